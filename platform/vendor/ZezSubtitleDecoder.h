#pragma once

#include "FilterControl.h"
#include "RendererFilter.h"
#include "vendor/VendorTvApi.h"

#include <atomic>

namespace kivo {

// The chip vendor's subtitle decoder, "Zez RaruSubtitle" with its input "In" and its output
// "Out". It decodes nothing: it takes the subtitle stream, hands it on unchanged to "Out" (the
// image renderer), and keeps what the programs ask of its `ISubtitleDisplay` (show, the page),
// which the test control reads back.
class ZezSubtitleDecoder final : public TransformFilter
    , public ISubtitleDisplay {
public:
    enum class Operation {
        ShowSubtitle,
        SelectPage,
    };
    using Call = FilterControl<Operation>::Record;

    struct Display {
        bool shown = false;
        DWORD magazine = 0;
        DWORD page = 0;
    };

    ZezSubtitleDecoder();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID) override;

    // ISubtitleDisplay
    HRESULT STDMETHODCALLTYPE ShowSubtitle(BOOL on) override;
    HRESULT STDMETHODCALLTYPE SelectPage(DWORD magazine, DWORD page) override;

    // Test control: a sample taken as if it came on "In"; what was taken; what the display was
    // told; the interface calls with their arguments and results; a forced result.
    HRESULT inject(const SamplePtr& sample) { return input().receive(sample); }
    uint64_t samples_taken() const { return m_samples.load(std::memory_order_acquire); }
    Display display() const;
    std::vector<Call> calls() const { return m_control.calls(); }
    void force_result(Operation operation, HRESULT result) { m_control.force_result(operation, result); }
    void clear_forced_results() { m_control.clear_forced_results(); }

private:
    HRESULT check_input_type(const MediaType&) override;
    std::vector<MediaType> output_types() override;
    HRESULT transform(const SamplePtr&) override;

    FilterControl<Operation> m_control;
    std::atomic<uint64_t> m_samples = 0;
    mutable HostMutex m_display_lock { LockRank::VendorFilterRecord };
    Display m_display;
};

} // namespace kivo
