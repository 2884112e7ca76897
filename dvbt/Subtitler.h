#pragma once

// The subtitle display of the player: the subtitle decoder that picks the page and the image
// renderer that draws it into a window. Both references are borrowed from the player, which
// creates and releases the filters; this record never releases them.

#include "StreamwellExport.h"
#include "platform.h"

class STREAMWELL_API CSubtitler {
public:
    // 1 once the renderer took the window; 0 for something that is no window, or without filters.
    int SetWindow(HWND window);
    // ISubtitleDisplay show; 1 once the decoder answered the query.
    int Show(int on);
    // Keeps the page and selects magazine (hundreds, as a byte) and page (the rest modulo 100).
    int SelectPage(DWORD page);

    IBaseFilter* m_pSubtitleDecoder = nullptr;
    IBaseFilter* m_pImageRenderer = nullptr;
    DWORD m_dwPage = 0;
};
