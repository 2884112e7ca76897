#include "CHubscreenDlg.h"

#include "DAPI.h"
#include "HubscreenState.h"
#include "KivoNotify.h"

namespace {

constexpr COLORREF partial_fill = RGB(0, 17, 56);
constexpr DWORD key_click_volume = 0x404D404D;
constexpr RECT clock_text_rect { 130, 12, 330, 42 };

// The battery state's picture: below 3 empty, 3 to 5 rising charge, 6 unknown, 7 on the mains.
int battery_picture(int state)
{
    switch (state) {
    case 3:
        return 1;
    case 4:
        return 2;
    case 5:
        return 3;
    case 6:
        return 5;
    case 7:
        return 4;
    default:
        return 0;
    }
}

} // namespace

CHubscreenDlg::CHubscreenDlg()
    : CDialog(IDD_HUBSCREEN)
{
    hubscreen_state().card_present = DAPI_IsSdCardInserted() ? 1 : 0;
    // FIXME: the six warning windows (insert card, USB, low battery, hard key, shutdown, GPS)
    // are created here once they exist.
    OutputDebugString(u"hbq: warning windows not built yet\n");
}

CHubscreenDlg::~CHubscreenDlg()
{
    if (m_clock_font)
        DeleteObject(m_clock_font);
}

BOOL CHubscreenDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(HOME_WINDOW_TITLE);
    hubscreen_state().running_mask = 0;
    m_bHasTuner = DAPI_HasTvTuner() ? TRUE : FALSE;
    m_clock_font = CreateFont(24, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
    start_clock_alignment();
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetTimer(phone_link_timer, 100);
    // FIXME: the battery indicator of the support library draws and blinks this.
    m_battery_state = DAPI_GetBatteryLevel();
    SetTimer(card_check_timer, 37);
    DAPI_SetBrightLevel(hubscreen_state().setting[0]);
    m_dwLastTap = 0;
    m_dwTapInterval = 1000;
    return TRUE;
}

void CHubscreenDlg::start_clock_alignment()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    SetTimer(clock_align_timer, 60000 - 1000 * now.wSecond);
}

UINT CHubscreenDlg::icon_bitmap(int index, bool selected) const
{
    if (index == 1 && !m_bHasTuner)
        return IDB_NO_TUNER;
    return selected ? icon_selected_bitmaps[index] : icon_normal_bitmaps[index];
}

void CHubscreenDlg::draw_bitmap(HDC dc, UINT bitmap_id, int x, int y)
{
    // FIXME: the support library's bitmap painter draws these once it exists.
    HBITMAP bitmap = LoadBitmap(AfxGetResourceHandle(), MAKEINTRESOURCE(bitmap_id));
    if (!bitmap)
        return;
    BITMAP info {};
    GetObject(bitmap, sizeof(info), &info);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

void CHubscreenDlg::draw_icons(HDC dc, bool all_normal_first)
{
    for (int i = 0; i < icon_count; ++i) {
        bool selected = !all_normal_first && i == m_nSelectedIcon;
        draw_bitmap(dc, icon_bitmap(i, selected), icon_rects[i].left, icon_rects[i].top);
    }
    if (all_normal_first && m_nSelectedIcon >= 0 && m_nSelectedIcon < icon_count)
        draw_bitmap(dc, icon_bitmap(m_nSelectedIcon, true), icon_rects[m_nSelectedIcon].left, icon_rects[m_nSelectedIcon].top);
}

void CHubscreenDlg::draw_clock(HDC dc)
{
    draw_bitmap(dc, IDB_CLOCK_BACKGROUND, 130, 8);
    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR text[64];
    swprintf(text, u"%04d/%02d/%02d      %02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute);
    // FIXME: the support library's text painter draws this once it exists.
    HGDIOBJ font = SelectObject(dc, m_clock_font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT area = clock_text_rect;
    DrawText(dc, text, -1, &area, DT_LEFT);
    SelectObject(dc, font);
}

void CHubscreenDlg::draw_key_click(HDC dc)
{
    draw_bitmap(dc, hubscreen_state().setting[3] == 1 ? IDB_KEYCLICK_ON : IDB_KEYCLICK_OFF, 8, 8);
}

void CHubscreenDlg::draw_battery(HDC dc)
{
    UINT picture = IDB_BATTERY_FIRST + static_cast<UINT>(battery_picture(m_battery_state));
    HBITMAP bitmap = LoadBitmap(AfxGetResourceHandle(), MAKEINTRESOURCE(picture));
    if (!bitmap)
        return;
    TransparentImage(dc, 420, 15, battery_picture_width, battery_picture_height, bitmap, 0, 0, battery_picture_width, battery_picture_height,
        RGB(255, 102, 255));
    DeleteObject(bitmap);
}

void CHubscreenDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    const RECT& dirty = paint.rcPaint;
    if (dirty.right - dirty.left < 480 || dirty.bottom - dirty.top < 272) {
        HBRUSH brush = CreateSolidBrush(partial_fill);
        FillRect(dc, &dirty, brush);
        DeleteObject(brush);
        draw_icons(dc, false);
    } else {
        draw_bitmap(dc, IDB_BACKGROUND, 0, 0);
        draw_bitmap(dc, IDB_TOP_BAR, 8, 8);
        draw_key_click(dc);
        draw_icons(dc, true);
        draw_clock(dc);
        draw_battery(dc);
        // FIXME: the phone-link indicator (with its background 232) once the subscription exists.
    }
    EndPaint(m_hWnd, &paint);
}

void CHubscreenDlg::OnTimer(UINT_PTR id)
{
    switch (id) {
    case clock_align_timer:
        SetTimer(clock_timer, 60000);
        [[fallthrough]];
    case clock_timer: {
        HDC dc = ::GetDC(m_hWnd);
        draw_clock(dc);
        ::ReleaseDC(m_hWnd, dc);
        if (id == clock_align_timer)
            KillTimer(clock_align_timer);
        break;
    }
    case card_check_timer:
        // FIXME: the card check after start (retries every 500 ms) is not built yet.
        KillTimer(card_check_timer);
        OutputDebugString(u"hbq: card check not built yet\n");
        break;
    case phone_link_timer:
        // FIXME: the phone-link poll and subscription are not built yet.
        KillTimer(phone_link_timer);
        OutputDebugString(u"hbq: phone-link subscription not built yet\n");
        break;
    default:
        CDialog::OnTimer(id);
        break;
    }
}

void CHubscreenDlg::OnActivate(UINT state, CWnd* other, BOOL minimized)
{
    CDialog::OnActivate(state, other, minimized);
    if (state == WA_INACTIVE) {
        m_dwTapInterval = 1000;
        m_dwLastTap = GetTickCount();
        return;
    }
    if (state == WA_CLICKACTIVE)
        return;
    auto& setting = hubscreen_state().setting;
    if (m_bSettingClosed) {
        ReloadSettings();
        m_setting_holder.ReadSetting();
        DAPI_SetBrightLevel(setting[0]);
        m_bSettingClosed = FALSE;
    }
    if (setting[3] == 1 && !IsRunning(APPID_NAVI))
        waveOutSetVolume(nullptr, key_click_volume);
    HDC dc = ::GetDC(m_hWnd);
    draw_key_click(dc);
    ::ReleaseDC(m_hWnd, dc);
    start_clock_alignment();
    m_dwTapInterval = 500;
    m_dwLastTap = GetTickCount();
}

void CHubscreenDlg::OnDestroy()
{
    if (m_hTvWnd)
        ::PostMessage(HWND_BROADCAST, WM_KIVO_NOTIFY, APP_CLOSE, CLOSE_BY_HOME_PAGE);
    CDialog::OnDestroy();
}

BOOL CHubscreenDlg::OnCommand(WPARAM wparam, LPARAM lparam)
{
    if (LOWORD(wparam) == hidden_exit_command) {
        EndDialog(IDOK);
        return TRUE;
    }
    return CDialog::OnCommand(wparam, lparam);
}

BOOL CHubscreenDlg::IsRunning(int app_id) const
{
    return app_id >= 0 && app_id < 16 && (hubscreen_state().running_mask & (1u << app_id)) != 0;
}

void CHubscreenDlg::SetRunning(int app_id)
{
    if (app_id >= 0 && app_id < 16)
        hubscreen_state().running_mask = static_cast<WORD>(hubscreen_state().running_mask | (1u << app_id));
}

LRESULT CHubscreenDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_KIVO_NOTIFY:
        OnKivoNotify(wparam, lparam);
        break;
    case MSG_TV_READY:
        if (HWND tv = FindWindow(nullptr, u"Telvix")) {
            m_hTvWnd = tv;
            SetRunning(APPID_TV);
        }
        break;
    // A freshly started program whose window did not exist at the single search after its start
    // still gets its bit, so a shutdown waits for it to save.
    case MSG_AUDIO_READY:
        SetRunning(APPID_AUDIO);
        break;
    case MSG_VIDEO_READY:
        SetRunning(APPID_VIDEO);
        break;
    case MSG_PHOTO_READY:
        SetRunning(APPID_PHOTO);
        break;
    case MSG_SETTING_READY:
        SetRunning(APPID_SETTING);
        break;
    default:
        break;
    }
    return CDialog::WindowProc(message, wparam, lparam);
}

void CHubscreenDlg::OnKivoNotify(WPARAM code, LPARAM value)
{
    if (code < APP_NAVI_VOICE || code > APP_GET_KEYSOUND)
        return;
    switch (code) {
    case APP_NAVI_VOICE:
    case APP_NAVI_ROUTE:
        NKDbgPrintfW(code == APP_NAVI_VOICE ? u"hbq recv WM_KIVO_NOTIFY.APP_NAVI_VOICE(%x)\n" : u"hbq recv WM_KIVO_NOTIFY.APP_NAVI_ROUTE(%x)\n",
            static_cast<unsigned>(value));
        if (value == 0)
            ::PostMessage(HWND_BROADCAST, WM_KIVO_NOTIFY, APP_MEDIA_PAUSE, 0);
        else if (value == 1)
            ::PostMessage(HWND_BROADCAST, WM_KIVO_NOTIFY, APP_MEDIA_RUN, 0);
        break;
    case APP_GET_KEYSOUND:
        ::PostMessage(HWND_BROADCAST, WM_KIVO_NOTIFY, APP_KEYSOUND, hubscreen_state().setting[3]);
        break;
    default:
        // FIXME: launching, the one-key switches, the navigation's dial block and the device
        // events come with the program table and the warning windows.
        NKDbgPrintfW(u"hbq: notify code %d not handled yet\n", static_cast<int>(code));
        break;
    }
}
