#pragma once

#include "FilterControl.h"
#include "HostMutex.h"
#include "RendererFilter.h"
#include "SimCondition.h"
#include "SimMutex.h"
#include "VideoPicture.h"
#include "VideoPlane.h"
#include "vendor/VendorVideoApi.h"

#include <optional>
#include <vector>

namespace kivo {

// The chip vendor's video renderer, "ZEZ Video Renderer" with its input "Input": it shows decoded
// I420 pictures on the video plane, where the frame buffer holds the key colour inside the
// rectangle of its mode (mode 1; mode 0 shows nothing), fitted with their aspect kept. Programs
// also draw a picture of their own on it (the radio background), take one frame scaled into a
// small buffer (the preview screen's thumbnails), capture the current frame and read when a
// sample last came in. Its video window is recorded and moves nothing: what shows follows the
// mode alone.
//
// Stop takes the picture off the screen (when this renderer's is shown); Pause keeps it.
class ZezVideoRenderer final : public RendererFilter,
                               public IVideoRenderMode,
                               public IVideoRenderOverlay,
                               public IVideoCapture,
                               public IVideoReceiveTick,
                               public IVideoWindow {
public:
    // The operations of the renderer's interfaces, as the test control names them.
    enum class Operation {
        GetRenderMode,
        SetRenderMode,
        DrawYuv420,
        SetPreview,
        CaptureCurrentFrame,
        GetLastReceiveTick,
        PutWindowStyle,
        PutVisible,
        PutOwner,
        PutMessageDrain,
        GetMessageDrain,
        PutFullScreenMode,
        SetWindowForeground,
        SetWindowPosition,
    };

    using Call = FilterControl<Operation>::Record;

    // What the programs asked of the video window.
    struct WindowRecord {
        long style = 0;
        long visible = OAFALSE;
        OAHWND owner = 0;
        OAHWND message_drain = 0;
        long full_screen = OAFALSE;
        long foreground_focus = 0;
        struct {
            long left = 0, top = 0, width = 0, height = 0;
        } position;
    };

    static constexpr VrenderModeFlag default_mode { 1, 0, 0, 480, 272, { 0, 0, 0, 0, 0 } };

    ZezVideoRenderer();
    ~ZezVideoRenderer() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID) override;

    // IVideoRenderMode
    HRESULT STDMETHODCALLTYPE GetRenderMode(VrenderModeFlag* flag) override;
    HRESULT STDMETHODCALLTYPE SetRenderMode(VrenderModeFlag flag) override;
    // IVideoRenderOverlay
    HRESULT STDMETHODCALLTYPE DrawYuv420(BYTE* buffer, int width, int height) override;
    // The caller's buffer holds width × height × 2 bytes; a size whose I420 picture would not fit
    // in that (some odd sizes) is refused.
    HRESULT STDMETHODCALLTYPE SetPreview(BYTE* buffer, int width, int height, VideoPreviewCallback callback, void* context) override;
    // IVideoCapture: the size and the byte count are answered also when `capacity` is short
    // (ERROR_INSUFFICIENT_BUFFER), so the caller learns what to allocate; E_FAIL before any frame.
    HRESULT STDMETHODCALLTYPE CaptureCurrentFrame(BYTE* buffer, int* width, int* height, int* bytes, DWORD capacity) override;
    // IVideoReceiveTick
    HRESULT STDMETHODCALLTYPE GetLastReceiveTick(DWORD* tick) override;
    // IVideoWindow
    HRESULT STDMETHODCALLTYPE put_WindowStyle(long style) override;
    HRESULT STDMETHODCALLTYPE put_Visible(long visible) override;
    HRESULT STDMETHODCALLTYPE put_Owner(OAHWND owner) override;
    HRESULT STDMETHODCALLTYPE put_MessageDrain(OAHWND drain) override;
    HRESULT STDMETHODCALLTYPE get_MessageDrain(OAHWND* drain) override;
    HRESULT STDMETHODCALLTYPE put_FullScreenMode(long full_screen) override;
    HRESULT STDMETHODCALLTYPE SetWindowForeground(long focus) override;
    HRESULT STDMETHODCALLTYPE SetWindowPosition(long left, long top, long width, long height) override;

    // Test control: the interface calls made so far with their results, in order; a forced
    // result that an operation answers, doing nothing, until cleared; the video window's record.
    std::vector<Call> calls() const { return m_control.calls(); }
    void force_result(Operation operation, HRESULT result) { m_control.force_result(operation, result); }
    void clear_forced_results() { m_control.clear_forced_results(); }
    WindowRecord window() const;
    VideoPlane::Owner plane_owner() const { return m_owner; }

private:
    struct Preview {
        BYTE* buffer = nullptr;
        int width = 0;
        int height = 0;
        VideoPreviewCallback callback = nullptr;
        void* context = nullptr;
    };

    HRESULT check_input_type(const MediaType&) override;
    HRESULT on_input_connected(const MediaType&) override;
    void present(const MediaSample&) override;
    bool shows_still_when_paused() const override { return true; }
    void on_renderer_stopped() override;

    // Runs an operation unless a result is forced for it, and records the call.
    void deliver_preview(const VideoPicture&);
    // Shows what is to be shown (the program's picture, else the last frame) as the mode says.
    void show_locked();

    VideoPlane& m_plane;
    Gdi& m_gdi;
    const VideoPlane::Owner m_owner;

    // The pictures, the mode and the screen scaler. Held while drawing, so a frame and a
    // program's picture never draw at once.
    mutable SimMutex m_picture_lock;
    VrenderModeFlag m_mode = default_mode;
    VideoFrameFormat m_format;
    VideoPicture m_frame;   // the last frame received
    VideoPicture m_overlay; // a program's picture, shown until the next frame
    VideoScaler m_screen_scaler;
    std::vector<uint16_t> m_screen;

    // The preview: armed for one frame; `m_preview_running` while a frame is scaled into the
    // caller's buffer and its callback runs, on the renderer's thread.
    SimMutex m_preview_lock;
    SimCondition m_preview_done;
    std::optional<Preview> m_preview;
    bool m_preview_running = false;
    DWORD m_preview_thread = 0;
    VideoScaler m_preview_scaler; // the renderer's thread alone

    mutable HostMutex m_record_lock { LockRank::VideoRendererRecord };
    FilterControl<Operation> m_control { device() };
    WindowRecord m_window;
};

} // namespace kivo
