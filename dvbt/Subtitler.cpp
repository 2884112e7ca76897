#include "Subtitler.h"

#include "Queried.h"

int CSubtitler::SetWindow(HWND window)
{
    if (!IsWindow(window) || !m_pSubtitleDecoder)
        return 0;
    Queried<ISubtitleWindow> subtitle_window(m_pImageRenderer);
    if (!subtitle_window)
        return 0;
    subtitle_window->SetSubtitleWindow(0, &window);
    return 1;
}

int CSubtitler::Show(int on)
{
    Queried<ISubtitleDisplay> display(m_pSubtitleDecoder);
    if (!display)
        return 0;
    display->ShowSubtitle(on);
    return 1;
}

int CSubtitler::SelectPage(DWORD page)
{
    m_dwPage = page;
    Queried<ISubtitleDisplay> display(m_pSubtitleDecoder);
    if (!display)
        return 0;
    display->SelectPage(static_cast<BYTE>(page / 100), page % 100);
    return 1;
}
