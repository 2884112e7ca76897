#pragma once

#include "Filter.h"

#include <atomic>

namespace kivo {

// The chip vendor's null renderer, "Null Renderer" with its input "Input": a sink that takes every
// sample of any type at once and drops it (the teletext decoder's output ends here). It is not one
// of the renderers a graph waits for at the end of a stream.
class VendorNullRenderer final : public Filter {
public:
    VendorNullRenderer();

    InputPin& input() const { return *m_input; }
    // Test control: the samples and bytes taken since it was made.
    uint64_t received() const { return m_received.load(std::memory_order_acquire); }
    uint64_t received_bytes() const { return m_received_bytes.load(std::memory_order_acquire); }

private:
    class SinkInput;

    InputPin* m_input = nullptr;
    std::atomic<uint64_t> m_received = 0;
    std::atomic<uint64_t> m_received_bytes = 0;
};

} // namespace kivo
