#pragma once

#include "RendererFilter.h"

#include <atomic>

namespace kivo {

// The chip vendor's video splitter, "ZEZ SPLITTER" ("XForm In", "XForm Out"): hands every sample on
// as it came, on the upstream thread, with the type its input was connected with.
class ZezSplitter final : public TransformFilter {
public:
    ZezSplitter();

    // Test control: the samples taken since it was made.
    uint64_t received() const { return m_received.load(std::memory_order_acquire); }

private:
    HRESULT check_input_type(const MediaType&) override { return S_OK; }
    std::vector<MediaType> output_types() override { return { input().type() }; }
    HRESULT transform(const SamplePtr&) override;

    std::atomic<uint64_t> m_received = 0;
};

} // namespace kivo
