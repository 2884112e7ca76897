#pragma once

#include "FilterControl.h"
#include "RendererFilter.h"
#include "vendor/VendorTvApi.h"

#include <atomic>

namespace kivo {

// The chip vendor's image renderer, "Zez Image Renderer" with its input "In": where the subtitle
// decoder's pictures would show. It draws nothing: it takes the samples at their time and keeps
// the window the programs give its `ISubtitleWindow`, which the test control reads back.
class ZezImageRenderer final : public RendererFilter
    , public ISubtitleWindow {
public:
    enum class Operation {
        SetSubtitleWindow,
    };
    using Call = FilterControl<Operation>::Record;

    ZezImageRenderer();
    ~ZezImageRenderer() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID) override;

    // ISubtitleWindow: the window the handle points at (E_POINTER for none).
    HRESULT STDMETHODCALLTYPE SetSubtitleWindow(DWORD reserved, HWND* window) override;

    // Test control: a sample taken as if it came on "In"; how many were presented; the window;
    // the interface calls with their arguments (reserved, the window) and results; a forced result.
    HRESULT inject(const SamplePtr& sample) { return input().receive(sample); }
    uint64_t samples_presented() const { return m_presented.load(std::memory_order_acquire); }
    HWND window() const;
    std::vector<Call> calls() const { return m_control.calls(); }
    void force_result(Operation operation, HRESULT result) { m_control.force_result(operation, result); }
    void clear_forced_results() { m_control.clear_forced_results(); }

private:
    HRESULT check_input_type(const MediaType&) override;
    void present(const MediaSample&) override;

    FilterControl<Operation> m_control;
    std::atomic<uint64_t> m_presented = 0;
    mutable HostMutex m_window_lock { LockRank::VendorFilterRecord };
    HWND m_window = nullptr;
};

} // namespace kivo
