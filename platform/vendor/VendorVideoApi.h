#pragma once

// The chip vendor's video renderer as programs reach it: its class, its mode record and the
// interfaces the television and the media engine query from it.

#include "dshow/DShowApi.h"

// The renderer's mode: what it shows (0 nothing, 1 the video) and the rectangle it shows it in,
// then five words the programs pass through unread.
struct VrenderModeFlag {
    DWORD mode;
    DWORD left;
    DWORD top;
    DWORD width;
    DWORD height;
    DWORD reserved[5];
};
static_assert(sizeof(VrenderModeFlag) == 40);

// Called on the renderer's thread once per arming of the preview: the bytes written into the
// caller's buffer, the buffer and the caller's context.
using VideoPreviewCallback = int (*)(DWORD value, unsigned char* buffer, void* context);

struct IVideoRenderMode : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRenderMode(VrenderModeFlag* flag) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRenderMode(VrenderModeFlag flag) = 0;
};

struct IVideoRenderOverlay : IUnknown {
    // Shows a picture in planar YUV 4:2:0 until the next video frame.
    virtual HRESULT STDMETHODCALLTYPE DrawYuv420(BYTE* buffer, int width, int height) = 0;
    // Arms the preview: the next frame, scaled to width x height as planar YUV 4:2:0, goes into
    // the buffer, then the callback runs. A null buffer disarms it.
    virtual HRESULT STDMETHODCALLTYPE SetPreview(BYTE* buffer, int width, int height, VideoPreviewCallback callback, void* context) = 0;
};

struct IVideoCapture : IUnknown {
    // The current frame as planar YUV 4:2:0 at its own size; refused when `capacity` is short.
    virtual HRESULT STDMETHODCALLTYPE CaptureCurrentFrame(BYTE* buffer, int* width, int* height, int* bytes, DWORD capacity) = 0;
};

struct IVideoReceiveTick : IUnknown {
    // The tick count when the renderer last received a sample.
    virtual HRESULT STDMETHODCALLTYPE GetLastReceiveTick(DWORD* tick) = 0;
};

inline constexpr CLSID CLSID_ZezVideoRenderer = kivo::guid("{CD0FB4F0-69F3-4FA5-B42A-08DC41516B3A}");
inline constexpr IID IID_IVideoRenderMode = kivo::guid("{ADF85A65-358F-4FCD-86B1-B8F3D6540324}");
inline constexpr IID IID_IVideoRenderOverlay = kivo::guid("{DB1922DC-3E3C-488F-8253-076C34F0FE5D}");
inline constexpr IID IID_IVideoCapture = kivo::guid("{F9A3EFD9-6812-4166-8679-728082CE3FB6}");
inline constexpr IID IID_IVideoReceiveTick = kivo::guid("{D7BAEA8A-1762-428E-9B1A-B0E42E25DC37}");

KIVO_INTERFACE_ID(IVideoRenderMode, IID_IVideoRenderMode);
KIVO_INTERFACE_ID(IVideoRenderOverlay, IID_IVideoRenderOverlay);
KIVO_INTERFACE_ID(IVideoCapture, IID_IVideoCapture);
KIVO_INTERFACE_ID(IVideoReceiveTick, IID_IVideoReceiveTick);
