#include "Subtitler.h"

namespace {

template<typename Interface>
Interface* query(IBaseFilter* filter)
{
    Interface* found = nullptr;
    if (!filter || FAILED(filter->QueryInterface(kivo::InterfaceId<Interface>::value, reinterpret_cast<void**>(&found))))
        return nullptr;
    return found;
}

} // namespace

int CSubtitler::SetWindow(HWND window)
{
    if (!IsWindow(window) || !m_pSubtitleDecoder)
        return 0;
    auto* subtitle_window = query<ISubtitleWindow>(m_pImageRenderer);
    if (!subtitle_window)
        return 0;
    subtitle_window->SetSubtitleWindow(0, &window);
    subtitle_window->Release();
    return 1;
}

int CSubtitler::Show(int on)
{
    auto* display = query<ISubtitleDisplay>(m_pSubtitleDecoder);
    if (!display)
        return 0;
    display->ShowSubtitle(on);
    display->Release();
    return 1;
}

int CSubtitler::SelectPage(DWORD page)
{
    m_dwPage = page;
    auto* display = query<ISubtitleDisplay>(m_pSubtitleDecoder);
    if (!display)
        return 0;
    display->SelectPage(static_cast<BYTE>(page / 100), page % 100);
    display->Release();
    return 1;
}
