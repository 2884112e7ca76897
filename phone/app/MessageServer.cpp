#include "MessageServer.h"

#include "CDailPadDlg.h"
#include "CDialdeckApp.h"
#include "CDialdeckDlg.h"
#include "DialdeckTexts.h"
#include "Kitbase.h"
#include "KivoNotify.h"
#include "PhoneMessages.h"
#include "SkinControls.h"
#include "StoredFiles.h"

#include <cstring>

namespace {

// The manager needs a moment between dropping the link and switching the radio off.
constexpr DWORD POWER_OFF_WAIT_MS = 1000;
// After a resume the radio is asked to go off this many times, this long apart, then left alone
// for a while before it is switched on again.
constexpr int REPOWER_TRIES = 10;
constexpr DWORD REPOWER_TRY_WAIT_MS = 500;
constexpr DWORD REPOWER_SETTLE_MS = 2000;

constexpr const WCHAR* DEVICE_FILE_MAGIC = u"ZOLDEVICE";

CDialdeckApp& App()
{
    return CDialdeckApp::Get();
}

void Enable(CLayoutBtn* button, bool enable)
{
    if (button)
        button->EnableWindow(enable);
}

HWND WindowOf(CWnd* screen)
{
    return screen && ::IsWindow(screen->m_hWnd) ? screen->m_hWnd : nullptr;
}

void Relabel(CLayoutBtn* button, int textId)
{
    if (!button)
        return;
    button->UpdateBtnInfo(u"", LanguageText(textId).c_str(), FALSE);
}

} // namespace

int CMessageServer::StatusOfCallState(int callState)
{
    switch (callState) {
    case 0:
        return 1;
    case 1:
        return 2;
    case 2:
        return 4;
    case 3:
        return 3;
    default:
        return 0;
    }
}

void CMessageServer::SendToSubscribers(LinkMessage notification, WPARAM wparam, LPARAM lparam)
{
    m_subscribers.PostToAll(LinkMessageId(notification), wparam, lparam);
}

void CMessageServer::SendToScreens(std::initializer_list<CWnd*> screens, UINT message, WPARAM wparam)
{
    for (CWnd* screen : screens) {
        if (HWND window = WindowOf(screen))
            ::SendMessage(window, message, wparam, 0);
    }
}

LRESULT CMessageServer::OnRequest(LinkMessage request, WPARAM wparam, LPARAM)
{
    CDialdeckApp& app = App();
    switch (request) {
    case LinkMessage::ShowHidePhoneLine:
        return OnShowHidePhoneLine(wparam);
    case LinkMessage::ShowHideDialer:
        return OnShowHideDialer(wparam);
    case LinkMessage::ShowHideSetting:
        return OnShowHideSetting(wparam);
    case LinkMessage::ShowHideFloatingWnd:
        return OnShowHideFloatingWnd(wparam);
    case LinkMessage::BTPower:
        return OnBTPower(wparam);
    case LinkMessage::GetBTPower:
        SendToSubscribers(LinkMessage::BTPowerStatus, app.m_manager.GetBTPower() ? 1 : 0);
        return 1;
    case LinkMessage::GetCallStatus:
        return OnGetCallStatus();
    case LinkMessage::HangUp:
        return OnHangUp();
    case LinkMessage::GetMissCall:
        return OnGetMissCall();
    case LinkMessage::QueryFunction:
        return OnQueryFunction(wparam);
    case LinkMessage::GprsConnection:
        return OnGprsConnection(wparam);
    case LinkMessage::ChangeLang:
        return OnChangeLang(wparam);
    case LinkMessage::DogResume:
        return OnDogResume(wparam);
    default:
        // The notifications are the link's own; another program posting one gets nothing.
        return 0;
    }
}

// Showing and hiding.

LRESULT CMessageServer::OnShowHidePhoneLine(WPARAM show)
{
    CDialdeckApp& app = App();
    // The home screen answers with its key-click setting.
    if (HWND home = FindWindow(nullptr, HOME_WINDOW_TITLE))
        ::PostMessage(home, WM_KIVO_NOTIFY, APP_GET_KEYSOUND, 0);
    CWnd* screens[] = { m_panel.m_openScreen, app.GetWindowRef(WindowRef::SettingsScreen),
        app.GetWindowRef(WindowRef::DialPad) };
    if (show) {
        if (!m_panel.IsWindowVisible()) {
            m_panel.ShowWindow(SW_SHOW);
            WriteRegString(VOXLANE_KEY, u"Show", u"1");
            SendToScreens({ screens[0], screens[1], screens[2] }, WM_PHONE_SHOWHIDE, SW_SHOW);
        }
        m_panel.SetForegroundWindow();
        if (HasPairedDevices())
            m_panel.OpenPairList();
    } else if (m_panel.IsWindowVisible()) {
        SendToScreens({ screens[0], screens[1], screens[2] }, WM_PHONE_SHOWHIDE, SW_HIDE);
        m_panel.ShowWindow(SW_HIDE);
        WriteRegString(VOXLANE_KEY, u"Show", u"0");
    }
    return 1;
}

bool CMessageServer::HasPairedDevices()
{
    CDialdeckApp& app = App();
    if (!app.SettingsImei().empty() || app.m_deviceFile.empty())
        return false;
    HANDLE file = CreateFile(app.m_deviceFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    struct {
        WCHAR magic[10];
        DWORD version;
        DWORD count;
    } header {};
    DWORD read = 0;
    bool complete = ReadFile(file, &header, sizeof(header), &read, nullptr) && read == sizeof(header);
    CloseHandle(file);
    if (!complete)
        return false;
    WCHAR magic[11] = {};
    std::memcpy(magic, header.magic, sizeof(header.magic));
    return _wcsicmp(magic, DEVICE_FILE_MAGIC) == 0 && header.version == 1 && header.count != 0;
}

LRESULT CMessageServer::OnShowHideDialer(WPARAM show)
{
    CDialdeckApp& app = App();
    HWND pad = app.WindowOf(WindowRef::DialPad);
    if (show) {
        if (pad) {
            ::SetForegroundWindow(pad);
            ::ShowWindow(pad, SW_SHOW);
            return 1;
        }
        // The screen open before the pad is given back afterwards, so that closing the program
        // still reaches it.
        CWnd* outer = m_panel.m_openScreen;
        CDailPadDlg dialPad(&m_panel);
        m_panel.m_openScreen = &dialPad;
        app.SetWindowRef(WindowRef::DialPad, &dialPad);
        dialPad.DoModal();
        app.SetWindowRef(WindowRef::DialPad, nullptr);
        m_panel.m_openScreen = outer;
        m_panel.RestoreCursor();
        if (dialPad.CallHere() != 0)
            ::PostMessage(m_panel.m_hWnd, WM_PHONE_CALLACTIVE, static_cast<WPARAM>(app.GetCallState()), 0);
        return 1;
    }
    if (pad) {
        // The pad's "exit": during a call the call-out screen comes to the front.
        ::SendMessage(pad, WM_PHONE_CLOSE, 0, 0);
        if (int state = app.GetCallState(); state != 0)
            ::PostMessage(m_panel.m_hWnd, WM_PHONE_CALLACTIVE, static_cast<WPARAM>(state), 0);
    }
    return 1;
}

LRESULT CMessageServer::OnShowHideSetting(WPARAM show)
{
    HWND settings = App().WindowOf(WindowRef::SettingsScreen);
    if (show) {
        if (settings) {
            ::SetForegroundWindow(settings);
            ::ShowWindow(settings, SW_SHOW);
        } else {
            m_panel.OpenSetting();
        }
    } else if (settings) {
        ::SendMessage(settings, WM_PHONE_CLOSE, 0, 0);
    }
    return 1;
}

LRESULT CMessageServer::OnShowHideFloatingWnd(WPARAM show)
{
    HWND mini = App().WindowOf(WindowRef::MiniCallWindow);
    if (!mini)
        return 1;
    if (show) {
        ::ShowWindow(mini, SW_SHOW);
        ::SetForegroundWindow(mini);
    } else {
        ::ShowWindow(mini, SW_HIDE);
    }
    return 1;
}

// Bluetooth.

LRESULT CMessageServer::OnBTPower(WPARAM on)
{
    bool isOn = App().m_manager.GetBTPower() != 0;
    if (on)
        return isOn ? 1 : PowerOn();
    return isOn ? PowerOff() : 1;
}

LRESULT CMessageServer::PowerOn()
{
    CDialdeckApp& app = App();
    if (!m_panel.m_btReady) {
        m_panel.m_btReady = true;
        app.m_manager.DeviceInitial();
        int handsFree = 1;
        al_GetRegSettingInt(u"HF", u"OnWhenLanuch", 1, &handsFree);
        app.m_manager.HFAudioConnect(handsFree != 0 ? 1 : 0);
    }
    if (app.m_manager.SetBTPower(1) == 0)
        return 0;
    al_SetRegSettingInt(u"BT", u"bON", 1);
    bool known = !m_panel.PhoneName().empty();
    Enable(m_panel.FindButton(u"PhoneManager"), true);
    Enable(m_panel.FindButton(u"PairList"), true);
    SetToggleButton(m_panel.FindButton(u"BT"), 1, TEXT_BT_OFF, TEXT_BT_ON);
    CLayoutBtn* connect = m_panel.FindButton(u"Connect");
    int connectWanted = 1;
    al_GetRegSettingInt(u"Phone", u"bConnect", 1, &connectWanted);
    if (connectWanted) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        app.m_manager.SetConnectStatusCallBack(OnConnectStatusCallback);
        int result = app.m_manager.ConnectMobile();
        CZolManagerAPI::ShowError(result);
        app.m_manager.SetIncomingframeCallBack(OnCallStatusCallback, OnIncomingSMSCallback);
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
        if (result == 1) {
            if (known)
                app.m_connectWanted = true;
            Enable(connect, known);
            SetToggleButton(connect, app.m_connectWanted ? 1 : 0, TEXT_CONNECT_OFF, TEXT_CONNECT_ON);
            if (HWND settings = app.WindowOf(WindowRef::SettingsScreen))
                ::PostMessage(settings, WM_PHONE_CONNECTSTATUS, 0, 0);
        }
    } else {
        Enable(connect, known);
        SetToggleButton(connect, 0, TEXT_CONNECT_OFF, TEXT_CONNECT_ON);
    }
    SendToSubscribers(LinkMessage::BTPowerStatus, 1);
    // Switching on answers 0 as a refused switch does: the clients read BTPOWERSTATUS.
    return 0;
}

LRESULT CMessageServer::PowerOff()
{
    CDialdeckApp& app = App();
    SendToScreens({ m_panel.m_openScreen, m_panel.m_incomingScreen, m_panel.m_smsPopup,
                      app.GetWindowRef(WindowRef::SettingsScreen), app.GetWindowRef(WindowRef::DialPad) },
        WM_PHONE_CLOSE, 0);
    // The mini call window hangs up and destroys itself.
    if (HWND mini = app.WindowOf(WindowRef::MiniCallWindow))
        ::SendMessage(mini, WM_PHONE_CLOSE, 0, 0);
    app.SetWindowRef(WindowRef::MiniCallWindow, nullptr);
    int result = app.m_manager.DisconnectMobile();
    if (result != 1) {
        SendToSubscribers(LinkMessage::ErrorCode, static_cast<WPARAM>(result));
        return 0;
    }
    app.m_connectWanted = false;
    if (HWND settings = app.WindowOf(WindowRef::SettingsScreen))
        ::PostMessage(settings, WM_PHONE_CONNECTSTATUS, 0, 0);
    m_panel.OnConnectStatus(0);
    Sleep(POWER_OFF_WAIT_MS);
    app.m_manager.SetBTPower(0);
    al_SetRegSettingInt(u"BT", u"bON", 0);
    SendToSubscribers(LinkMessage::BTPowerStatus, 0);
    for (auto name : { u"PhoneManager", u"PairList", u"Connect" })
        Enable(m_panel.FindButton(name), false);
    SetToggleButton(m_panel.FindButton(u"BT"), 0, TEXT_BT_OFF, TEXT_BT_ON);
    return 1;
}

LRESULT CMessageServer::OnRepowerBT()
{
    CDialdeckApp& app = App();
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    for (int i = 0; i < REPOWER_TRIES; ++i) {
        int answer = app.m_manager.SetBTPower(0);
        Sleep(REPOWER_TRY_WAIT_MS);
        if (answer != 0)
            break;
    }
    Sleep(REPOWER_SETTLE_MS);
    int wanted = 1;
    al_GetRegSettingInt(u"BT", u"bON", 1, &wanted);
    if (wanted == 1)
        OnBTPower(1);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    return 1;
}

LRESULT CMessageServer::OnDogResume(WPARAM resumed)
{
    CDialdeckApp& app = App();
    if (resumed) {
        m_panel.Invalidate(TRUE);
        m_panel.UpdateWindow();
        ::PostMessage(m_panel.m_hWnd, WM_PHONE_REPOWERBT, 0, 0);
        return 1;
    }
    if (HWND settings = app.WindowOf(WindowRef::SettingsScreen))
        ::SendMessage(settings, WM_PHONE_RESUMECLOSE, 0, 0);
    PlaySound(nullptr, nullptr, 0);
    if (HWND incoming = WindowOf(m_panel.m_incomingScreen))
        ::SendMessage(incoming, WM_COMMAND, IDCANCEL, 0);
    // "BT" "bON" stays as it is, so the resume switches Bluetooth on again.
    if (app.m_manager.DisconnectMobile() == 1) {
        app.m_connectWanted = false;
        Sleep(POWER_OFF_WAIT_MS);
        app.m_manager.SetBTPower(0);
        for (auto name : { u"PhoneManager", u"PairList", u"Connect" })
            Enable(m_panel.FindButton(name), false);
        SetToggleButton(m_panel.FindButton(u"BT"), 0, TEXT_BT_OFF, TEXT_BT_ON);
    }
    OnConnectStatusCallback(0);
    return 1;
}

// The call and the phone.

LRESULT CMessageServer::OnGetCallStatus()
{
    CDialdeckApp& app = App();
    int status = 0;
    if (app.m_manager.GetBTPower() != 0 && m_panel.m_connected)
        status = StatusOfCallState(app.GetCallState());
    SendToSubscribers(LinkMessage::CallStatus, static_cast<WPARAM>(status));
    return 1;
}

LRESULT CMessageServer::OnHangUp()
{
    if (!m_panel.m_connected) {
        SendToSubscribers(LinkMessage::ErrorCode, MANAGER_NOT_CONNECTED);
        return 0;
    }
    int result = App().m_manager.HangupCall();
    if (result == 1)
        return 1;
    // A hang-up that failed is not reported as done.
    SendToSubscribers(LinkMessage::ErrorCode, static_cast<WPARAM>(result));
    return 0;
}

LRESULT CMessageServer::OnGetMissCall()
{
    int missed = App().m_missedCalls != 0 ? 1 : 0;
    SendToSubscribers(LinkMessage::MissCall, static_cast<WPARAM>(missed));
    return missed;
}

PhoneSupportFun CMessageServer::ReadSupport()
{
    // Cleared first: a failed call reads as nothing supported.
    PhoneSupportFun support {};
    App().m_manager.GetPhoneSupportFun(&support);
    WCHAR port[260] = {};
    GetRegProfileString(u"COM", u"DUNCOM", u"", port, 260, App().m_settingsFile.c_str());
    if (!port[0])
        support.functions[PHONE_SUPPORT_DIAL_UP] = 0;
    return support;
}

LRESULT CMessageServer::OnQueryFunction(WPARAM function)
{
    if (!m_panel.m_connected)
        return 0;
    static constexpr int bytes[] = { PHONE_SUPPORT_PHONEBOOK, PHONE_SUPPORT_CALL_LOG, PHONE_SUPPORT_SMS_LIST,
        PHONE_SUPPORT_SEND_SMS, PHONE_SUPPORT_FILE_TRANSFER, PHONE_SUPPORT_DIAL_UP };
    if (function >= std::size(bytes))
        return 2;
    return ReadSupport().functions[bytes[function]] == 1 ? 1 : 2;
}

LRESULT CMessageServer::OnGprsConnection(WPARAM connect)
{
    int code = MANAGER_NOT_CONNECTED;
    if (m_panel.m_connected) {
        if (ReadSupport().functions[PHONE_SUPPORT_DIAL_UP] != 1) {
            code = MANAGER_ENTRY_MISSING;
        } else {
            code = connect ? App().m_manager.GPRSConnection() : App().m_manager.GPRSDisconnection();
            if (code == 1)
                return 1;
        }
    }
    SendToSubscribers(LinkMessage::ErrorCode, static_cast<WPARAM>(code));
    return 0;
}

void CMessageServer::Dial(const WCHAR* number)
{
    CDialdeckApp& app = App();
    if (!m_panel.m_connected) {
        SendToSubscribers(LinkMessage::ErrorCode, MANAGER_NOT_CONNECTED);
        return;
    }
    int result = app.m_manager.Dial(number);
    if (result != 1) {
        SendToSubscribers(LinkMessage::ErrorCode, static_cast<WPARAM>(result));
        return;
    }
    // The phone's outgoing report then opens the call-out screen; it finds the number here.
    app.SetCallNumber(number);
    app.SetLastDialled(number);
    app.SetCallState(3);
    ::PostMessage(m_panel.m_hWnd, WM_PHONE_CALLACTIVE, 3, 0);
}

void CMessageServer::OnCopyData(const COPYDATASTRUCT* block)
{
    auto request = ReadCopyData(block);
    if (!request)
        return;
    switch (request->code) {
    case COPYDATA_REGISTERWND:
        m_subscribers.Add(request->window);
        break;
    case COPYDATA_UNREGISTERWND:
        m_subscribers.Remove(request->window);
        break;
    case COPYDATA_DIALOUT:
        Dial(request->dial.number);
        break;
    default:
        break;
    }
}

// The language.

LRESULT CMessageServer::OnChangeLang(WPARAM lcid)
{
    CDialdeckApp& app = App();
    if (lcid)
        app.LoadLanguage(static_cast<DWORD>(lcid));
    else
        app.LoadSystemLanguage();
    std::u16string file = SkinFilePath(u"Mainskin", u"panel.ini");
    int titleId = 0;
    al_GetSettingInt(u"st_Title", u"TextId", file.c_str(), &titleId);
    if (titleId > 0)
        m_panel.m_titleText.text = LanguageText(titleId).c_str();
    m_panel.m_buttonLayout.UpdateLanguage();
    // The toggles carry the caption of their value, which the layout's texts do not cover; the
    // Bluetooth toggle too, or it would stay in the old language.
    struct Toggle {
        const char16_t* name;
        int textOff, textOn;
    };
    for (auto toggle : { Toggle { u"HF", TEXT_HF_OFF, TEXT_HF_ON }, Toggle { u"Connect", TEXT_CONNECT_OFF, TEXT_CONNECT_ON },
             Toggle { u"BT", TEXT_BT_OFF, TEXT_BT_ON } }) {
        CLayoutBtn* button = m_panel.FindButton(toggle.name);
        Relabel(button, button && button->m_nValue == 1 ? toggle.textOn : toggle.textOff);
    }
    // The layout takes its new texts without painting them: the whole panel is drawn again now.
    m_panel.Invalidate(FALSE);
    m_panel.UpdateWindow();
    for (CWnd* screen : { m_panel.m_openScreen, m_panel.m_incomingScreen, m_panel.m_smsPopup,
             app.GetWindowRef(WindowRef::SettingsScreen), app.GetWindowRef(WindowRef::DialPad) }) {
        if (HWND window = WindowOf(screen))
            ::PostMessage(window, WM_PHONE_LANGCHANGED, 0, 0);
    }
    return 1;
}
