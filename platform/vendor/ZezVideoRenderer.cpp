#include "ZezVideoRenderer.h"

#include "ComClassTable.h"
#include "Device.h"
#include "Errors.h"
#include "FilterCatalog.h"
#include "VendorFilters.h"
#include "ZezImageRenderer.h"
#include "ZezSubtitleDecoder.h"
#include "ZezTeletextDecoder.h"
#include "ZezPsiParser.h"
#include "Gdi.h"
#include "KernelApi.h"
#include "RaruTsDemuxer.h"
#include "VendorNullRenderer.h"
#include "ZezMp2AudioDecoder.h"
#include "ZezMpeg2VideoDecoder.h"
#include "ZezSplitter.h"
#include "TccDvbtTuneFilter.h"

#include <mutex>

namespace kivo {

ZezVideoRenderer::ZezVideoRenderer()
    : RendererFilter(CLSID_ZezVideoRenderer, u"ZEZ Video Renderer", u"Input")
    , m_plane(device().component<VideoPlane>())
    , m_gdi(device().component<Gdi>())
    , m_owner(m_plane.new_owner())
{
}

ZezVideoRenderer::~ZezVideoRenderer()
{
    // The renderer's thread uses what is torn down here: end it first (a graph has stopped the
    // renderer already; one released while streaming has not).
    if (state() != State_Stopped)
        Stop();
    m_plane.clear(m_owner);
}

void* ZezVideoRenderer::find_interface(REFIID iid)
{
    if (iid == IID_IVideoRenderMode)
        return static_cast<IVideoRenderMode*>(this);
    if (iid == IID_IVideoRenderOverlay)
        return static_cast<IVideoRenderOverlay*>(this);
    if (iid == IID_IVideoCapture)
        return static_cast<IVideoCapture*>(this);
    if (iid == IID_IVideoReceiveTick)
        return static_cast<IVideoReceiveTick*>(this);
    if (iid == IID_IVideoWindow)
        return static_cast<IVideoWindow*>(this);
    return RendererFilter::find_interface(iid);
}

ZezVideoRenderer::WindowRecord ZezVideoRenderer::window() const
{
    std::lock_guard guard(m_record_lock);
    return m_window;
}

// The mode.

HRESULT ZezVideoRenderer::GetRenderMode(VrenderModeFlag* flag)
{
    return m_control.call(Operation::GetRenderMode, [&] {
        if (!flag)
            return E_POINTER;
        std::lock_guard guard(m_picture_lock);
        *flag = m_mode;
        return S_OK;
    });
}

HRESULT ZezVideoRenderer::SetRenderMode(VrenderModeFlag flag)
{
    return m_control.call(Operation::SetRenderMode, [&] {
        std::lock_guard guard(m_picture_lock);
        m_mode = flag;
        show_locked();
        return S_OK;
    });
}

void ZezVideoRenderer::show_locked()
{
    const VideoPicture& picture = m_overlay.empty() ? m_frame : m_overlay;
    if (m_mode.mode != 1) {
        m_plane.clear(m_owner);
        return;
    }
    if (picture.empty())
        return;
    RECT target = video_target(m_gdi, video_mode_rectangle(m_mode.left, m_mode.top, m_mode.width, m_mode.height));
    if (!m_screen_scaler.draw(picture, target, m_screen)) {
        m_plane.clear(m_owner);
        return;
    }
    m_plane.present(m_owner, m_screen, target);
}

// Pictures.

HRESULT ZezVideoRenderer::DrawYuv420(BYTE* buffer, int width, int height)
{
    return m_control.call(Operation::DrawYuv420, [&] {
        if (!buffer)
            return E_POINTER;
        size_t size = VideoPicture::i420_size(width, height);
        if (size == 0)
            return E_INVALIDARG;
        auto picture = VideoPicture::from_i420({ buffer, size }, width, height);
        std::lock_guard guard(m_picture_lock);
        m_overlay = std::move(*picture);
        show_locked();
        return S_OK;
    });
}

HRESULT ZezVideoRenderer::check_input_type(const MediaType& type)
{
    if (type.major != MEDIATYPE_Video || type.subtype != MEDIASUBTYPE_I420)
        return S_FALSE;
    const auto* format = type.format_as<VideoFrameFormat>(FORMAT_VideoFrame);
    if (!format || VideoPicture::i420_size(format->width, format->height) == 0)
        return S_FALSE;
    return S_OK;
}

HRESULT ZezVideoRenderer::on_input_connected(const MediaType& type)
{
    std::lock_guard guard(m_picture_lock);
    m_format = *type.format_as<VideoFrameFormat>(FORMAT_VideoFrame);
    return S_OK;
}

void ZezVideoRenderer::present(const MediaSample& sample)
{
    VideoFrameFormat format;
    {
        std::lock_guard guard(m_picture_lock);
        format = m_format;
    }
    auto picture = VideoPicture::from_i420(sample.data, format.width, format.height, { format.sample_aspect_num, format.sample_aspect_den });
    if (!picture)
        return; // a sample shorter than its format says: nothing to show
    {
        std::lock_guard guard(m_picture_lock);
        m_frame = std::move(*picture);
        m_overlay = VideoPicture();
        show_locked();
    }
    // The preview gets the frame now shown, so a capture from its callback answers the same one.
    // Only this thread changes the frame, so it reads it without the lock.
    deliver_preview(m_frame);
}

void ZezVideoRenderer::on_renderer_stopped()
{
    m_plane.clear(m_owner);
}

// The preview.

HRESULT ZezVideoRenderer::SetPreview(BYTE* buffer, int width, int height, VideoPreviewCallback callback, void* context)
{
    return m_control.call(Operation::SetPreview, [&] {
        if (!buffer) {
            // Disarmed: once this returns no callback runs, so a callback running now is waited
            // for (unless it is the caller).
            std::unique_lock held(m_preview_lock);
            m_preview.reset();
            const DWORD caller = GetCurrentThreadId();
            m_preview_done.wait(held, std::nullopt, [&] { return !m_preview_running || m_preview_thread == caller; });
            return S_OK;
        }
        const size_t size = VideoPicture::i420_size(width, height);
        if (size == 0 || size > size_t(width) * size_t(height) * 2)
            return E_INVALIDARG;
        std::lock_guard guard(m_preview_lock);
        m_preview = Preview { buffer, width, height, callback, context };
        return S_OK;
    });
}

void ZezVideoRenderer::deliver_preview(const VideoPicture& picture)
{
    Preview armed;
    {
        std::lock_guard guard(m_preview_lock);
        if (!m_preview)
            return;
        armed = *m_preview;
        m_preview.reset();
        m_preview_running = true;
        m_preview_thread = GetCurrentThreadId();
    }
    // Whatever the callback does (even ending the thread), a disarm waiting for it goes on.
    struct Done {
        ZezVideoRenderer& renderer;
        ~Done()
        {
            std::lock_guard guard(renderer.m_preview_lock);
            renderer.m_preview_running = false;
            renderer.m_preview_done.notify_all();
        }
    } done { *this };
    const size_t capacity = size_t(armed.width) * size_t(armed.height) * 2;
    const size_t written = m_preview_scaler.preview(picture, armed.width, armed.height, { armed.buffer, capacity });
    if (written != 0 && armed.callback)
        armed.callback(static_cast<unsigned long>(written), armed.buffer, armed.context);
}

// Capture and the receive tick.

HRESULT ZezVideoRenderer::CaptureCurrentFrame(BYTE* buffer, int* width, int* height, int* bytes, DWORD capacity)
{
    return m_control.call(Operation::CaptureCurrentFrame, [&] {
        if (!buffer || !width || !height || !bytes)
            return E_POINTER;
        std::lock_guard guard(m_picture_lock);
        if (m_frame.empty())
            return E_FAIL;
        *width = m_frame.width();
        *height = m_frame.height();
        *bytes = static_cast<int>(m_frame.i420().size());
        if (!capture_i420(m_frame, { buffer, capacity }))
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        return S_OK;
    });
}

HRESULT ZezVideoRenderer::GetLastReceiveTick(DWORD* tick)
{
    return m_control.call(Operation::GetLastReceiveTick, [&] {
        if (!tick)
            return E_POINTER;
        *tick = last_receive_tick();
        return S_OK;
    });
}

// The video window: recorded only.

HRESULT ZezVideoRenderer::put_WindowStyle(long style)
{
    return m_control.call(Operation::PutWindowStyle, [&] {
        std::lock_guard guard(m_record_lock);
        m_window.style = style;
        return S_OK;
    });
}

HRESULT ZezVideoRenderer::put_Visible(long visible)
{
    return m_control.call(Operation::PutVisible, [&] {
        std::lock_guard guard(m_record_lock);
        m_window.visible = visible;
        return S_OK;
    });
}

HRESULT ZezVideoRenderer::put_Owner(OAHWND owner)
{
    return m_control.call(Operation::PutOwner, [&] {
        std::lock_guard guard(m_record_lock);
        m_window.owner = owner;
        return S_OK;
    });
}

HRESULT ZezVideoRenderer::put_MessageDrain(OAHWND drain)
{
    return m_control.call(Operation::PutMessageDrain, [&] {
        std::lock_guard guard(m_record_lock);
        m_window.message_drain = drain;
        return S_OK;
    });
}

HRESULT ZezVideoRenderer::get_MessageDrain(OAHWND* drain)
{
    return m_control.call(Operation::GetMessageDrain, [&] {
        if (!drain)
            return E_POINTER;
        std::lock_guard guard(m_record_lock);
        *drain = m_window.message_drain;
        return S_OK;
    });
}

HRESULT ZezVideoRenderer::put_FullScreenMode(long full_screen)
{
    return m_control.call(Operation::PutFullScreenMode, [&] {
        std::lock_guard guard(m_record_lock);
        m_window.full_screen = full_screen;
        return S_OK;
    });
}

HRESULT ZezVideoRenderer::SetWindowForeground(long focus)
{
    return m_control.call(Operation::SetWindowForeground, [&] {
        std::lock_guard guard(m_record_lock);
        m_window.foreground_focus = focus;
        return S_OK;
    });
}

HRESULT ZezVideoRenderer::SetWindowPosition(long left, long top, long width, long height)
{
    return m_control.call(Operation::SetWindowPosition, [&] {
        std::lock_guard guard(m_record_lock);
        m_window.position = { left, top, width, height };
        return S_OK;
    });
}

void install_vendor_filters(Device& device)
{
    device.component<ComClassTable>().add(CLSID_ZezVideoRenderer, [] { return static_cast<ComObjectBase*>(new ZezVideoRenderer()); });
    device.component<ComClassTable>().add(CLSID_TeletextDecoder, [] { return static_cast<ComObjectBase*>(new ZezTeletextDecoder()); });
    device.component<ComClassTable>().add(CLSID_DVBSubtitleDecoder, [] { return static_cast<ComObjectBase*>(new ZezSubtitleDecoder()); });
    device.component<ComClassTable>().add(CLSID_TCCIMGRENDFILTER, [] { return static_cast<ComObjectBase*>(new ZezImageRenderer()); });
    device.component<ComClassTable>().add(CLSID_RaruTsDemuxer, [] { return static_cast<ComObjectBase*>(new RaruTsDemuxer()); });
    device.component<ComClassTable>().add(CLSID_MPG2DEC, [] { return static_cast<ComObjectBase*>(new ZezMpeg2VideoDecoder()); });
    device.component<ComClassTable>().add(CLSID_TCCSPLITTER, [] { return static_cast<ComObjectBase*>(new ZezSplitter()); });
    device.component<ComClassTable>().add(CLSID_TCCMP2DEC, [] { return static_cast<ComObjectBase*>(new ZezMp2AudioDecoder()); });
    device.component<ComClassTable>().add(CLSID_NullRenderer, [] { return static_cast<ComObjectBase*>(new VendorNullRenderer()); });
    device.component<ComClassTable>().add(CLSID_Zez_PsiParser3, [] { return static_cast<ComObjectBase*>(new ZezPsiParser()); });
    // A decoded film's pictures end here when a graph renders a file.
    device.component<FilterCatalog>().add(CLSID_ZezVideoRenderer, FilterCatalog::Role::Renderer);
    device.component<ComClassTable>().add(CLSID_TCCDVBTTuneFilter, [] { return static_cast<ComObjectBase*>(new TccDvbtTuneFilter()); });
}

} // namespace kivo
