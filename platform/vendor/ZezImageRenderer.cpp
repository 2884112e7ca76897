#include "ZezImageRenderer.h"

#include <mutex>

namespace kivo {

ZezImageRenderer::ZezImageRenderer()
    : RendererFilter(CLSID_TCCIMGRENDFILTER, u"Zez Image Renderer", u"In")
    , m_control(device())
{
}

ZezImageRenderer::~ZezImageRenderer()
{
    // The renderer's thread counts into this object: end it first.
    if (state() != State_Stopped)
        Stop();
}

void* ZezImageRenderer::find_interface(REFIID iid)
{
    if (iid == IID_ISubtitleWindow)
        return static_cast<ISubtitleWindow*>(this);
    return RendererFilter::find_interface(iid);
}

HRESULT ZezImageRenderer::SetSubtitleWindow(DWORD reserved, HWND* window)
{
    const uint64_t handle = window ? reinterpret_cast<uintptr_t>(*window) : 0;
    return m_control.call({ Operation::SetSubtitleWindow, reserved, handle, {} }, [&] {
        if (!window)
            return E_POINTER;
        std::lock_guard guard(m_window_lock);
        m_window = *window;
        return S_OK;
    });
}

HWND ZezImageRenderer::window() const
{
    std::lock_guard guard(m_window_lock);
    return m_window;
}

HRESULT ZezImageRenderer::check_input_type(const MediaType& type)
{
    return type.subtype == MEDIASUBTYPE_I420 || type.subtype == MEDIASUBTYPE_PCM ? S_FALSE : S_OK;
}

void ZezImageRenderer::present(const MediaSample&) { m_presented.fetch_add(1, std::memory_order_acq_rel); }

} // namespace kivo
