#include "CHubscreenDlg.h"

#include "CAppUtil.h"
#include "COneKeySelectDlg.h"
#include "DAPI.h"
#include "HubscreenState.h"
#include "KivoNotify.h"
#include "LinkProtocol.h"

#include <cstring>
#include <vector>

namespace {

constexpr DWORD key_click_volume = 0x404D404D;
constexpr int card_check_retries = 11;
// The largest dial block passed on.
constexpr DWORD max_dial_bytes = 520;
constexpr const char16_t* card_store = u"SD Memory Card";
// The phone link's poll: every 500 ms until the page is subscribed, then a call-state request
// every 5000 ms.
constexpr UINT link_first_poll_ms = 100;
constexpr UINT link_search_ms = 500;
constexpr UINT link_request_ms = 5000;
constexpr const char16_t* phone_link_image = u"\\NAND\\App\\BT\\Voxlane.exe";

// The program table, by icon index.
struct Program {
    const char16_t* title;
    const char16_t* image;
    int app_id;
    bool needs_card;
};
constexpr Program programs[icon_count] = {
    { NAVI_WINDOW_TITLE, u"\\SDMMC\\KivoNavi\\Corvane-RXM.exe", APPID_NAVI, true },
    { u"Telvix", u"\\NAND\\App\\Telvix.exe", APPID_TV, false },
    { PHONELINK_WINDOW_TITLE, phone_link_image, APPID_PHONELINK, false },
    { u"audio", u"\\NAND\\App\\Melodo.exe", APPID_AUDIO, true },
    { u"video", u"\\NAND\\App\\Flickro.exe", APPID_VIDEO, true },
    { u"photo", u"\\NAND\\App\\Glimmo.exe", APPID_PHOTO, true },
    { u"setting", u"\\NAND\\App\\setting.exe", APPID_SETTING, false },
};
enum Icon { navi_icon,
    tv_icon,
    phone_icon,
    audio_icon,
    video_icon,
    photo_icon,
    setting_icon };

// Which running programs' windows make a tap on an icon be ignored, as bits of icon indices.
constexpr unsigned blocking_windows[icon_count] = {
    1u << navi_icon | 1u << audio_icon | 1u << video_icon | 1u << setting_icon | 1u << photo_icon,
    1u << tv_icon | 1u << audio_icon | 1u << video_icon | 1u << setting_icon | 1u << photo_icon,
    0,
    1u << tv_icon | 1u << audio_icon | 1u << video_icon | 1u << setting_icon | 1u << photo_icon,
    1u << navi_icon | 1u << tv_icon | 1u << audio_icon | 1u << video_icon | 1u << setting_icon | 1u << photo_icon,
    1u << navi_icon | 1u << tv_icon | 1u << audio_icon | 1u << video_icon | 1u << setting_icon | 1u << photo_icon,
    1u << navi_icon | 1u << tv_icon | 1u << audio_icon | 1u << video_icon | 1u << setting_icon | 1u << photo_icon,
};

int icon_of_app(LPARAM app_id)
{
    for (int i = 0; i < icon_count; ++i) {
        if (programs[i].app_id == app_id)
            return i;
    }
    return -1;
}

} // namespace

CHubscreenDlg::CHubscreenDlg()
    : CDialog(IDD_HUBSCREEN)
{
    // Made before the page has a window, they have no owner: the page's broadcasts reach them.
    m_insertSd.CreateHidden(u"e c isd dlg\n!!!!!!!!");
    m_usbConnect.CreateHidden(u"e c usb dlg\n!!!!!!!!");
    m_lowBattery.CreateHidden(u"e c lbat dlg\n!!!!!!!!");
    m_hardKey.CreateHidden(u"e c hdk dlg\n!!!!!!!!");
    m_shutdown.CreateHidden(u"e c shdn dlg\n!!!!!!!!");
    m_gpsCheck.CreateHidden(u"e c gpschk dlg\n!!!!!!!!");
    m_key_click_on.LoadBitmap(IDB_KEYCLICK_ON);
    m_key_click_off.LoadBitmap(IDB_KEYCLICK_OFF);
    m_top_bar.LoadBitmap(IDB_TOP_BAR);
    m_clock_background.LoadBitmap(IDB_CLOCK_BACKGROUND);
    m_link_background.LoadBitmap(IDB_LINK_BACKGROUND);
    hubscreen_state().card_present = DAPI_IsSdCardInserted() ? 1 : 0;
}

CHubscreenDlg::~CHubscreenDlg()
{
    // A warning window going away may activate the page, which then paints with the members it
    // still has only here.
    destroy_warnings();
    if (m_icon)
        DestroyIcon(m_icon);
}

BOOL CHubscreenDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(HOME_WINDOW_TITLE);
    m_icon = LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(IDI_HUBSCREEN));
    SetIcon(m_icon, TRUE);
    SetIcon(m_icon, FALSE);
    hubscreen_state().running_mask = 0;
    CenterWindow();
    m_background.LoadBitmap(IDB_BACKGROUND);
    m_bHasTuner = DAPI_HasTvTuner() ? TRUE : FALSE;
    start_clock_alignment();
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetTimer(phone_link_timer, link_first_poll_ms);
    m_battery = std::make_unique<CBatteryIcon>(this, battery_blink_timer, IDB_BATTERY_FIRST, IDB_BATTERY_FIRST + 1,
        IDB_BATTERY_FIRST + 2, IDB_BATTERY_FIRST + 3, IDB_BATTERY_FIRST + 4, IDB_BATTERY_FIRST + 5, IDB_TOP_BAR, 412, 7,
        420, 15);
    set_battery(DAPI_GetBatteryLevel(), false);
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

void CHubscreenDlg::draw_icon(int index, bool selected)
{
    CBitmap picture;
    picture.LoadBitmap(icon_bitmap(index, selected));
    CAppUtil().DrawBitmap(this, icon_rects[index].left, icon_rects[index].top, 0, 0, 0, 0, &picture);
}

void CHubscreenDlg::draw_icons(bool all_normal_first)
{
    for (int i = 0; i < icon_count; ++i)
        draw_icon(i, !all_normal_first && i == m_nSelectedIcon);
    if (all_normal_first && m_nSelectedIcon >= 0 && m_nSelectedIcon < icon_count)
        draw_icon(m_nSelectedIcon, true);
}

void CHubscreenDlg::draw_clock()
{
    CAppUtil painter;
    painter.DrawBitmap(this, 130, 8, 200, 35, 0, 0, &m_clock_background);
    SYSTEMTIME now;
    GetLocalTime(&now);
    CString text;
    text.Format(u"%04d/%02d/%02d      %02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute);
    painter.DrawText(this, 130, 12, 200, 30, text, DT_LEFT, RGB(255, 255, 255), 0, 24);
}

void CHubscreenDlg::draw_key_click()
{
    CBitmap* picture = hubscreen_state().setting[3] == 1 ? &m_key_click_on : &m_key_click_off;
    CAppUtil().DrawBitmap(this, 8, 8, 0, 0, 0, 0, picture);
}

void CHubscreenDlg::draw_link_background()
{
    CAppUtil().DrawBitmap(this, 370, 8, 25, 35, 0, 0, &m_link_background);
}

void CHubscreenDlg::draw_link_indicator()
{
    draw_link_background();
    m_linkIcon.Redraw();
}

BOOL CHubscreenDlg::PollLink()
{
    auto& state = hubscreen_state();
    DWORD now = GetTickCount();
    if (!state.first_link_poll)
        state.first_link_poll = now;
    HWND link = FindWindow(nullptr, PHONELINK_WINDOW_TITLE);
    if (!link) {
        if (!state.phone_link_started) {
            // Hidden: the phone link keeps the phone connected in the background until a tap on
            // its icon shows it. A failed start is tried again at the next poll.
            PROCESS_INFORMATION info {};
            WCHAR command_line[] = u"-h";
            if (CreateProcess(phone_link_image, command_line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info)) {
                CloseHandle(info.hThread);
                CloseHandle(info.hProcess);
                state.phone_link_started = 1;
            }
        }
        return FALSE;
    }
    state.link_found = now;
    NKDbgPrintfW(u"hbq found bt window %x, %u ms after the first poll\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(link)),
        static_cast<unsigned>(state.link_found - *state.first_link_poll));
    state.msg_show_hide_phone_line = RegisterWindowMessage(std::u16string(LinkMessageName(LinkMessage::ShowHidePhoneLine)).c_str());
    state.msg_get_call_status = RegisterWindowMessage(std::u16string(LinkMessageName(LinkMessage::GetCallStatus)).c_str());
    state.msg_call_status = RegisterWindowMessage(std::u16string(LinkMessageName(LinkMessage::CallStatus)).c_str());
    subscribe_to_link(link);
    return TRUE;
}

void CHubscreenDlg::subscribe_to_link(HWND link)
{
    _tagZOL_MSGOUT_WND record {};
    std::u16string_view title = HOME_WINDOW_TITLE;
    title.copy(record.title, title.size());
    COPYDATASTRUCT block { COPYDATA_REGISTERWND, sizeof(record), &record };
    // Sent, so the record only has to live through the call.
    ::SendMessage(link, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&block));
    m_hLinkWnd = link;
    SetRunning(APPID_PHONELINK);
}

void CHubscreenDlg::request_call_status()
{
    HWND link = FindWindow(nullptr, PHONELINK_WINDOW_TITLE);
    if (!link)
        return;
    // Another window is another copy of the phone link (restarted by its watchdog or by a tap),
    // which knows no subscriber. The same window is not subscribed twice: the phone link keeps
    // duplicates and would send everything twice.
    if (link != m_hLinkWnd) {
        OutputDebugString(u"hbq: bt window changed, subscribing again\n");
        subscribe_to_link(link);
    }
    ::PostMessage(link, hubscreen_state().msg_get_call_status, 0, 0);
}

void CHubscreenDlg::OnCallStatus(UINT message, WPARAM state)
{
    auto& shared = hubscreen_state();
    if (!m_bLinkSubscribed || message == 0 || message != shared.msg_call_status)
        return;
    switch (state) {
    case 0:
    case 1:
        draw_link_background();
        m_linkIcon.SetState(static_cast<int>(state));
        // Losing the phone during a call resumes nothing: the media wait for the next idle.
        if (state == 1 && shared.paused_for_call) {
            shared.paused_for_call = 0;
            broadcast(APP_MEDIA_RUN, 0);
        }
        break;
    case 2:
    case 3:
        // A call rings or is dialled: the indicator's place stays blank until the next repaint,
        // and the media pause once for the whole call.
        draw_link_background();
        m_linkIcon.SetState(static_cast<int>(state));
        if (!shared.paused_for_call) {
            shared.paused_for_call = 1;
            broadcast(APP_MEDIA_PAUSE, 0);
        }
        break;
    case 4:
        draw_link_background();
        m_linkIcon.SetState(4);
        break;
    default:
        break;
    }
}

void CHubscreenDlg::set_battery(int state, bool draw)
{
    m_battery->SetState(state, draw ? 1 : 0);
    hubscreen_state().battery_state = m_battery->GetState();
}

bool CHubscreenDlg::battery_charging() const
{
    return ::battery_charging(m_battery->GetState());
}

void CHubscreenDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    const RECT& dirty = paint.rcPaint;
    if (dirty.right - dirty.left < 480 || dirty.bottom - dirty.top < 272) {
        HBRUSH brush = CreateSolidBrush(page_background);
        FillRect(dc, &dirty, brush);
        DeleteObject(brush);
        draw_icons(false);
    } else {
        CAppUtil painter;
        painter.DrawBitmap(this, 0, 0, 0, 0, 0, 0, &m_background);
        painter.DrawBitmap(this, 8, 8, 0, 0, 0, 0, &m_top_bar);
        draw_key_click();
        draw_icons(true);
        draw_clock();
        m_battery->Draw(1);
        if (m_bLinkSubscribed)
            draw_link_indicator();
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
        draw_clock();
        if (id == clock_timer && m_bLinkSubscribed)
            draw_link_indicator();
        if (id == clock_align_timer)
            KillTimer(clock_align_timer);
        break;
    }
    case card_check_timer:
        card_check();
        break;
    case navigation_poll_timer:
        poll_navigation();
        break;
    case power_off_timer:
        OutputDebugString(u"hbq wait app close event time-out\n");
        KillTimer(power_off_timer);
        power_off();
        break;
    case usb_picture_timer:
        OnDriverMessage(WM_USB_IDLE);
        break;
    case phone_link_timer:
        if (m_bLinkSubscribed) {
            request_call_status();
            break;
        }
        KillTimer(phone_link_timer);
        m_bLinkSubscribed = PollLink();
        SetTimer(phone_link_timer, m_bLinkSubscribed ? link_request_ms : link_search_ms);
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
    draw_key_click();
    start_clock_alignment();
    m_dwTapInterval = 500;
    m_dwLastTap = GetTickCount();
}

void CHubscreenDlg::OnDestroy()
{
    if (m_hProgramWnd[tv_icon])
        ::PostMessage(HWND_BROADCAST, WM_KIVO_NOTIFY, APP_CLOSE, CLOSE_BY_HOME_PAGE);
    destroy_warnings();
    m_battery.reset();
    CDialog::OnDestroy();
}

void CHubscreenDlg::destroy_warnings()
{
    for (CWarningDlg* warning : std::initializer_list<CWarningDlg*> { &m_insertSd, &m_usbConnect, &m_lowBattery, &m_hardKey, &m_shutdown, &m_gpsCheck }) {
        if (warning->m_hWnd)
            warning->DestroyWindow();
    }
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
    case WM_APP + 1:
    case WM_APP + 2:
    case WM_SD_INSERTED:
    case WM_SD_REMOVED:
    case WM_USB_BUSY:
    case WM_USB_IDLE:
    case WM_APP + 23:
    case WM_APP + 24:
        OnDriverMessage(message);
        break;
    case MSG_SHUTDOWN:
        shut_down();
        break;
    case MSG_TV_READY:
        if (HWND tv = FindWindow(nullptr, u"Telvix")) {
            m_hProgramWnd[tv_icon] = tv;
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
    OnCallStatus(message, wparam);
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
    case APP_SWITCH_TV:
    case APP_SWITCH_AUDIO:
        switch_to(code == APP_SWITCH_TV ? 1 : 3);
        break;
    case DRV_SD_INSERT:
        hubscreen_state().card_check_done = 1;
        hubscreen_state().card_present = 1;
        post_to(m_insertSd, WM_KIVO_NOTIFY, APP_SD_READY, 0);
        break;
    case DRV_SD_RMV:
        card_removed(false);
        break;
    case DRV_SD_FORMAT_NOTSUPPORT2FMTNOSUPPORT:
        OutputDebugString(u"hbq recv DRV_SD_FORMAT_NOTSUPPORT2FMTNOSUPPORT\n");
        broadcast(DRV_SD_RMV2, SD_REASON_NOT_FAT);
        break;
    case DRV_SD_NONE2NOSD:
        OutputDebugString(u"hbq recv DRV_SD_NONE2NOSD\n");
        m_insertSd.m_nReason = SD_REASON_NOT_FAT;
        if (m_insertSd.m_hWnd)
            ::SetWindowPos(m_insertSd.m_hWnd, HWND_TOPMOST, 0, 0, 480, 272, SWP_NOMOVE | SWP_NOACTIVATE);
        broadcast(APP_SD_NONE, 0);
        break;
    case DRV_POWER_OFF:
        shut_down();
        break;
    case DRV_HARDKEY:
        if (!hubscreen_state().usb_connected)
            broadcast(APP_HARDKEY, 0);
        break;
    case DRV_AC_CHANGE: {
        // The state before this event's change, as the indicator remembers it.
        int previous = m_battery->GetPrevState();
        if (value == 1) {
            set_battery(7, true);
            DAPI_EnableAutoOff(0);
        } else {
            DAPI_EnableAutoOff(1);
        }
        if (previous != 7 && hubscreen_state().usb_connected && value == 1) {
            broadcast(APP_CLOSE, CLOSE_BY_SYSTEM);
            post_to(m_usbConnect, WM_KIVO_NOTIFY, APP_USB_CONNECTED, 7);
        }
        broadcast(DRV_BATT_AC_CHANGE, value);
        m_bCountdownSent = FALSE;
        m_bUsbLowBatteryShown = FALSE;
        break;
    }
    case DRV_BATT_CHANGE:
        set_battery(static_cast<int>(value), true);
        if (value == 1) {
            if (!m_bCountdownSent) {
                post_to(m_lowBattery, MSG_LOWBAT_COUNTDOWN, 0, 0);
                ::PostMessage(HWND_BROADCAST, MSG_BATT_CRITICAL, 0, 0);
                m_bCountdownSent = TRUE;
            }
        } else {
            m_bCountdownSent = FALSE;
            if (hubscreen_state().usb_connected && value <= 3 && !m_bUsbLowBatteryShown) {
                post_to(m_lowBattery, WM_KIVO_NOTIFY, APP_USB_CONNECTED, value);
                post_to(m_usbConnect, WM_KIVO_NOTIFY, APP_USB_CONNECTED, value);
                m_bUsbLowBatteryShown = TRUE;
            }
        }
        broadcast(DRV_BATT_LEVEL, value);
        break;
    case DRV_USB_CONNECT:
        close_crashed_navigation();
        hubscreen_state().usb_connected = 1;
        if (!m_bCountdownSent)
            broadcast(APP_USB_CONNECTED, m_battery->GetState());
        if (IsRunning(APPID_NAVI)) {
            // The navigation runs from the card, which the computer is about to take over.
            DAPI_PreparePowerOff();
            DAPI_Reset();
        }
        DAPI_EnableBacklightOff(0);
        break;
    case DRV_USB_REMOVE:
        hubscreen_state().usb_connected = 0;
        broadcast(APP_USB_REMOVED, 0);
        DAPI_EnableBacklightOff(1);
        break;
    case APP_NAVI_DIAL:
        NKDbgPrintfW(u"hbq recv WM_KIVO_NOTIFY.APP_NAVI_DIAL(%x)\n", static_cast<unsigned>(value));
        forward_dial(value);
        break;
    case APP_SHOW_NAVI:
        if (m_hProgramWnd[navi_icon])
            lower_navigation();
        home_down();
        SwitchProgram(0);
        break;
    case APP_CLOSED:
        program_closed(value);
        break;
    case APP_GET_KEYSOUND:
        ::PostMessage(HWND_BROADCAST, WM_KIVO_NOTIFY, APP_KEYSOUND, hubscreen_state().setting[3]);
        break;
    default:
        break;
    }
}

void CHubscreenDlg::forward_dial(LPARAM value)
{
    // lParam is an address in the navigation's memory, which it may change or free at any time,
    // and any program may post code 17 with any value: the header and then the data are copied
    // at once through the checked read, within the stated size, and the copy is sent, since a
    // posted WM_COPYDATA would hand the other programs a pointer they cannot read safely. The
    // device's processes share one address space, so the address is read as it stands.
    COPYDATASTRUCT dial {};
    BYTE data[max_dial_bytes] = {};
    HANDLE memory = GetCurrentProcess();
    DWORD read = 0;
    bool readable = ReadProcessMemory(memory, reinterpret_cast<LPCVOID>(value), &dial, sizeof(dial), &read)
        && dial.cbData <= max_dial_bytes && (dial.cbData == 0 || ReadProcessMemory(memory, dial.lpData, data, dial.cbData, &read));
    if (!readable) {
        OutputDebugString(u"hbq: navigation dial block refused\n");
        return;
    }
    COPYDATASTRUCT copy { dial.dwData, dial.cbData, data };
    std::vector<HWND> windows;
    DWORD own_process = GetCurrentProcessId();
    for (HWND window = ::GetWindow(m_hWnd, GW_HWNDFIRST); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != own_process)
            windows.push_back(window);
    }
    for (HWND window : windows) {
        DWORD_PTR result = 0;
        SendMessageTimeout(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, 1000, &result);
    }
}

int CHubscreenDlg::HitTestIcon(int x, int y) const
{
    for (int i = 0; i < icon_count; ++i) {
        if (i == tv_icon && !m_bHasTuner)
            continue;
        const RECT& r = icon_rects[i];
        if (x >= r.left && x <= r.right && y >= r.top && y <= r.bottom)
            return i;
    }
    return -1;
}

void CHubscreenDlg::RefreshWindows()
{
    for (int i = 0; i < icon_count; ++i)
        m_hProgramWnd[i] = FindWindow(nullptr, programs[i].title);
}

bool CHubscreenDlg::tap_ignored(int icon) const
{
    auto& state = hubscreen_state();
    if (programs[icon].needs_card && state.card_present && !state.card_check_done)
        return true;
    for (int i = 0; i < icon_count; ++i) {
        if ((blocking_windows[icon] & (1u << i)) && m_hProgramWnd[i])
            return true;
    }
    return false;
}

void CHubscreenDlg::OnLButtonDown(UINT flags, CPoint point)
{
    CDialog::OnLButtonDown(flags, point);
    DWORD now = GetTickCount();
    if (now - m_dwLastTap < m_dwTapInterval)
        return;
    m_dwLastTap = now;
    m_dwTapInterval = 10000;
    RefreshWindows();
    int icon = HitTestIcon(point.x, point.y);
    if (icon == -1 || m_bShuttingDown) {
        m_dwLastTap = GetTickCount();
        m_dwTapInterval = 500;
        return;
    }
    if (tap_ignored(icon)) {
        m_dwLastTap = GetTickCount();
        m_dwTapInterval = 1000;
        return;
    }
    m_setting_holder.ClickWithBacklight();
    m_nPendingIcon = icon;
    if (m_nSelectedIcon >= 0)
        draw_icon(m_nSelectedIcon, false);
    draw_icon(icon, true);
    int started = LaunchProgram(icon);
    m_dwTapInterval = started ? 10000 : 500;
    m_dwLastTap = GetTickCount();
    m_nSelectedIcon = icon;
}

bool CHubscreenDlg::start_process(int icon, bool keep_navigation_process)
{
    PROCESS_INFORMATION info {};
    if (!CreateProcess(programs[icon].image, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info))
        return false;
    CloseHandle(info.hThread);
    if (keep_navigation_process) {
        if (m_naviProcess.hProcess)
            CloseHandle(m_naviProcess.hProcess);
        m_naviProcess = info;
        m_naviProcess.hThread = nullptr;
    } else {
        CloseHandle(info.hProcess);
    }
    return true;
}

int CHubscreenDlg::LaunchProgram(int icon)
{
    if (icon == navi_icon) {
        if (!check_card_for_navigation())
            return 1;
        if (GetFileAttributes(programs[navi_icon].image) == INVALID_FILE_ATTRIBUTES) {
            if (m_gpsCheck.m_hWnd)
                m_gpsCheck.ShowWarning();
            return 1;
        }
        DAPI_EnableBacklightOff(0);
    } else if (programs[icon].needs_card) {
        if (!check_card_present())
            return 1;
        if (!hubscreen_state().card_check_done)
            return 1;
    }
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    if (icon == phone_icon) {
        if (HWND link = FindWindow(nullptr, PHONELINK_WINDOW_TITLE)) {
            // The show message is registered at the subscription: before it nothing is posted.
            if (UINT show = hubscreen_state().msg_show_hide_phone_line)
                ::PostMessage(link, show, 1, 0);
            return 1;
        }
        OutputDebugString(u"-------- clk hbq not found bt, start bt\n");
        return start_process(icon, false) ? 1 : 0;
    }
    if (icon == navi_icon) {
        if (HWND tv = FindWindow(nullptr, programs[tv_icon].title))
            ::PostMessage(tv, WM_KIVO_NOTIFY, APP_MEDIA_PAUSE, 0);
        if (HWND navigation = FindWindow(nullptr, NAVI_WINDOW_TITLE)) {
            ::PostMessage(navigation, WM_KIVO_NOTIFY, APP_SHOW_NAVI, 0);
            place_full_screen_top(navigation);
            home_down();
            return 1;
        }
        bool started = start_process(navi_icon, true);
        if (started) {
            DAPI_EnableBacklightOff(0);
            DAPI_EnableAutoOff(0);
            SetRunning(APPID_NAVI);
            SetTimer(navigation_poll_timer, 3000);
        }
        home_down();
        return started ? 1 : 0;
    }
    bool started = start_process(icon, false);
    if (HWND window = FindWindow(nullptr, programs[icon].title)) {
        m_hProgramWnd[icon] = window;
        SetRunning(programs[icon].app_id);
        return 1;
    }
    if (icon == tv_icon)
        OutputDebugString(u"[hubscreen] run dtv, find it yet\n");
    return started ? 1 : 0;
}

bool CHubscreenDlg::navigation_ended()
{
    if (!m_naviProcess.hProcess || WaitForSingleObject(m_naviProcess.hProcess, 0) != WAIT_OBJECT_0)
        return false;
    CloseHandle(m_naviProcess.hProcess);
    m_naviProcess = {};
    return true;
}

void CHubscreenDlg::poll_navigation()
{
    KillTimer(navigation_poll_timer);
    // A navigation that ended without reporting its close (a crash) is closed here, once, so its
    // bit and the backlight and power-off holds of its start do not stay for ever.
    if (navigation_ended()) {
        if (IsRunning(APPID_NAVI)) {
            OutputDebugString(u"hbq: navigation ended without closing\n");
            program_closed(APPID_NAVI);
        }
        return;
    }
    if (!FindWindow(nullptr, NAVI_WINDOW_TITLE))
        SetTimer(navigation_poll_timer, 3000);
}

void CHubscreenDlg::place_full_screen_top(HWND window)
{
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 480, 272, SWP_SHOWWINDOW);
    ::ShowWindow(window, SW_SHOW);
}

void CHubscreenDlg::lower_navigation()
{
    if (m_hProgramWnd[navi_icon])
        ::SetWindowPos(m_hProgramWnd[navi_icon], HWND_NOTOPMOST, 0, 0, 480, 272, SWP_SHOWWINDOW);
}

void CHubscreenDlg::home_down()
{
    ::SetWindowPos(m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

int CHubscreenDlg::SwitchProgram(int which)
{
    if (which == 0) {
        if (HWND navigation = FindWindow(nullptr, NAVI_WINDOW_TITLE)) {
            DAPI_EnableAutoOff(0);
            ::PostMessage(navigation, WM_KIVO_NOTIFY, APP_SHOW_NAVI, 0);
            place_full_screen_top(navigation);
        } else if (start_process(navi_icon, true)) {
            DAPI_EnableBacklightOff(0);
            DAPI_EnableAutoOff(0);
            SetRunning(APPID_NAVI);
            SetTimer(navigation_poll_timer, 3000);
        }
        return 0;
    }
    int icon = which == 1 ? tv_icon : audio_icon;
    HWND window = FindWindow(nullptr, programs[icon].title);
    if (window) {
        ::PostMessage(window, WM_KIVO_NOTIFY, which == 1 ? APP_SWITCH_TV : APP_SWITCH_AUDIO, 0);
    } else {
        start_process(icon, false);
        window = FindWindow(nullptr, programs[icon].title);
        if (!window)
            return 0;
        SetRunning(programs[icon].app_id);
    }
    ::SetForegroundWindow(window);
    return 0;
}

void CHubscreenDlg::program_closed(LPARAM app_id)
{
    auto& state = hubscreen_state();
    if (app_id >= 0 && app_id < 16)
        state.running_mask = static_cast<WORD>(state.running_mask & ~(1u << app_id));
    if (int icon = icon_of_app(app_id); icon >= 0)
        m_hProgramWnd[icon] = nullptr;
    if (app_id == APPID_TV || app_id == APPID_NAVI)
        DAPI_SetBrightLevel(state.setting[0]);
    if (app_id == APPID_SETTING)
        m_bSettingClosed = TRUE;
    if (m_bShuttingDown) {
        if (state.running_mask == 0) {
            KillTimer(power_off_timer);
            power_off();
        }
        return;
    }
    if (app_id == APPID_NAVI) {
        if (m_hProgramWnd[tv_icon]) {
            ::PostMessage(m_hProgramWnd[tv_icon], WM_KIVO_NOTIFY, APP_SWITCH_TV, 1);
        } else {
            DAPI_EnableBacklightOff(1);
            DAPI_EnableAutoOff(1);
        }
        if (m_hProgramWnd[audio_icon])
            ::PostMessage(m_hProgramWnd[audio_icon], WM_KIVO_NOTIFY, APP_CLOSE, CLOSE_AUDIO_AFTER_NAVI);
    } else if (app_id == APPID_TV) {
        if (m_hProgramWnd[navi_icon] && !m_hProgramWnd[audio_icon]) {
            lower_navigation();
            home_down();
            SwitchProgram(0);
        }
    } else if (app_id == APPID_AUDIO && m_hProgramWnd[navi_icon]) {
        HWND tv = FindWindow(nullptr, programs[tv_icon].title);
        lower_navigation();
        home_down();
        if (tv)
            place_full_screen_top(tv);
        else
            SwitchProgram(0);
    }
}

void CHubscreenDlg::post_to_insert_card_window(LPARAM reason)
{
    post_to(m_insertSd, WM_KIVO_NOTIFY, DRV_SD_RMV2, reason);
}

void CHubscreenDlg::post_to(CWnd& window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (window.m_hWnd)
        ::PostMessage(window.m_hWnd, message, wparam, lparam);
}

void CHubscreenDlg::broadcast(WPARAM code, LPARAM value)
{
    ::PostMessage(HWND_BROADCAST, WM_KIVO_NOTIFY, code, value);
}

LPARAM CHubscreenDlg::card_reason() const
{
    bool media = FindWindow(nullptr, u"audio") || FindWindow(nullptr, u"video") || FindWindow(nullptr, u"photo");
    return media ? SD_REASON_MEDIA_LOST : SD_REASON_MISSING;
}

void CHubscreenDlg::card_removed(bool may_reset)
{
    auto& state = hubscreen_state();
    state.card_present = 0;
    state.card_check_done = 1;
    if (may_reset) {
        close_crashed_navigation();
        if (IsRunning(APPID_NAVI) || FindWindow(nullptr, NAVI_WINDOW_TITLE)) {
            // The navigation runs from the card that has gone: only a restart recovers.
            DAPI_PreparePowerOff();
            DAPI_Reset();
            return;
        }
    }
    broadcast(DRV_SD_RMV2, card_reason());
}

void CHubscreenDlg::close_crashed_navigation()
{
    if (navigation_ended() && IsRunning(APPID_NAVI)) {
        OutputDebugString(u"hbq: navigation ended without closing\n");
        program_closed(APPID_NAVI);
    }
}

void CHubscreenDlg::OnDriverMessage(UINT message)
{
    auto& state = hubscreen_state();
    switch (message) {
    case WM_SD_INSERTED:
        state.card_present = 1;
        state.card_check_done = 1;
        broadcast(APP_SD_READY, 0);
        break;
    case WM_SD_REMOVED:
        card_removed(true);
        break;
    case WM_USB_BUSY:
        if (battery_charging()) {
            post_to(m_usbConnect, WM_KIVO_NOTIFY, APP_USB_BUSY, 0);
            SetTimer(usb_picture_timer, 1000);
        }
        break;
    case WM_USB_IDLE:
        KillTimer(usb_picture_timer);
        if (state.usb_connected && battery_charging())
            post_to(m_usbConnect, WM_KIVO_NOTIFY, APP_USB_IDLE, 0);
        break;
    default:
        break;
    }
}

void CHubscreenDlg::shut_down()
{
    if (m_bShuttingDown)
        return;
    // The screen is on the display before the pause, so the user sees it while the device waits.
    if (m_shutdown.m_hWnd) {
        m_shutdown.ShowWarning();
        ::SetForegroundWindow(m_shutdown.m_hWnd);
        m_shutdown.UpdateWindow();
    }
    Sleep(1000);
    m_bShuttingDown = TRUE;
    broadcast(APP_CLOSE, CLOSE_BY_SYSTEM);
    if (hubscreen_state().running_mask == 0) {
        power_off();
        return;
    }
    SetTimer(power_off_timer, 3000);
}

void CHubscreenDlg::power_off()
{
    DAPI_PreparePowerOff();
    GwesPowerOffSystem();
}

void CHubscreenDlg::switch_to(int which)
{
    bool tv = which == 1;
    if (!tv)
        home_down();
    if (tv && !m_bHasTuner) {
        home_down();
        lower_navigation();
        SwitchProgram(0);
        return;
    }
    HWND other = FindWindow(nullptr, tv ? u"audio" : programs[tv_icon].title);
    if (!other) {
        lower_navigation();
        home_down();
        SwitchProgram(which);
        return;
    }
    COneKeySelectDlg question(tv ? IDB_ASK_START_TV : IDB_ASK_START_AUDIO);
    INT_PTR answer = question.DoModal();
    if (answer == IDOK) {
        lower_navigation();
        home_down();
        SwitchProgram(which);
        ::PostMessage(other, WM_KIVO_NOTIFY, APP_CLOSE, CLOSE_BY_SYSTEM);
    } else if (answer == IDCANCEL) {
        lower_navigation();
        home_down();
        SwitchProgram(0);
    }
}

bool CHubscreenDlg::check_card_present()
{
    if (hubscreen_state().card_present)
        return true;
    OutputDebugString(u"show insert sd 2 start\n");
    post_to_insert_card_window(SD_REASON_MISSING);
    return false;
}

bool CHubscreenDlg::check_card_for_navigation()
{
    auto& state = hubscreen_state();
    if (!check_card_present())
        return false;
    CAppUtil util;
    if (util.IsStoreReadOnly(card_store) == 0) {
        OutputDebugString(u"show sd wp\n");
        post_to_insert_card_window(SD_REASON_WRITE_PROTECTED);
        return false;
    }
    if (util.CheckStoreFormat(card_store) != 0) {
        OutputDebugString(u"show sd fat\n");
        post_to_insert_card_window(SD_REASON_NOT_FAT);
        return false;
    }
    state.card_check_done = 1;
    return true;
}

void CHubscreenDlg::card_check()
{
    KillTimer(card_check_timer);
    auto& state = hubscreen_state();
    bool detected = false;
    for (int i = 0; i < 3 && !detected; ++i)
        detected = DAPI_IsSdCardInserted() != 0;
    ULARGE_INTEGER free_bytes {};
    state.card_present = GetDiskFreeSpaceEx(u"\\SDMMC\\", &free_bytes, nullptr, nullptr) || detected ? 1 : 0;
    if (!state.card_present) {
        post_to_insert_card_window(SD_REASON_MISSING);
    } else if (state.card_check_done || CAppUtil().CheckStoreFormat(card_store) == 0) {
        state.card_check_done = 1;
    } else if (m_card_check_retries++ < card_check_retries) {
        SetTimer(card_check_timer, 500);
    } else {
        post_to_insert_card_window(SD_REASON_NOT_FAT);
        state.card_check_done = 1;
    }
    if (state.usb_connected && m_usbConnect.m_hWnd) {
        m_usbConnect.m_nPicture = IDB_USB_CONNECTED;
        m_usbConnect.ShowWarning();
    }
}
