#include "CDialdeckDlg.h"

#include "CDialdeckApp.h"
#include "Contacts.h"
#include "DialdeckResources.h"
#include "DialdeckTexts.h"
#include "KivoNotify.h"
#include "PhoneMessages.h"
#include "SearchPairDlg.h"
#include "StoredFiles.h"

#include <algorithm>

namespace {

// The language texts of the toggle buttons: value 0 shows the first, 1 the second.

constexpr DWORD BATTERY_PICTURE_CODE = 0x223610;
constexpr const WCHAR* WATCHDOG_TITLE = u"ZOLWATCHDOG";
constexpr UINT_PTR HIDE_TIMER = 1;

int StartCallback()
{
    return 0;
}

CDialdeckApp& App()
{
    return CDialdeckApp::Get();
}

std::u16string SkinFile()
{
    return SkinFilePath(u"Mainskin", u"panel.ini");
}

bool Supports(const PhoneSupportFun& support, int function)
{
    return support.functions[function] == 1;
}

void Enable(CLayoutBtn* button, bool enable)
{
    if (button)
        button->EnableWindow(enable);
}

void PostIfWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (window)
        ::PostMessage(window, message, wparam, lparam);
}

} // namespace

CDialdeckDlg::CDialdeckDlg()
    : CPhoneScreen(IDD_DIALDECK, nullptr)
{
    TakeMouse({ &m_titleLayout, &m_buttonLayout });
}

CLayoutBtn* CDialdeckDlg::FindButton(LPCWSTR name)
{
    if (CLayoutBtn* button = m_buttonLayout.FindButtonByName(name))
        return button;
    return m_titleLayout.FindButtonByName(name);
}

BOOL CDialdeckDlg::OnInitDialog()
{
    CPhoneScreen::OnInitDialog();
    CDialdeckApp& app = App();
    app.SetWindowRef(WindowRef::Panel, this);
    m_hIcon = LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(IDI_DIALDECK));
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // Without the library the panel still opens; every manager call then answers as missing.
    app.m_manager.Load(false);
    app.m_manager.ManagerInitial(StartCallback);

    std::u16string file = SkinFile();
    PlaceFromSkin(file.c_str());
    al_GetSettingRect(u"panel", u"rect", file.c_str(), &m_panelRect);
    GetStaticCtlInfoFromSetting(m_titleText, u"st_Title", file.c_str());
    m_titleLayout.InitLayout(file.c_str(), u"title_layout", m_hWnd);
    m_buttonLayout.InitLayout(file.c_str(), u"btn_layout", m_hWnd);
    CLayoutBtn* dialpad = FindButton(u"dialpad");
    m_dialpadOffered = dialpad && !dialpad->m_bDisabled;
    for (auto name : { u"Phonebook", u"SMS", u"File" })
        Enable(FindButton(name), false);
    LoadPictureList(m_powerPictures, u"PowerStatusPic", file.c_str(), &m_powerBitmap);

    m_showMode = app.m_startMode;
    if (m_showMode == -1) {
        m_showMode = 0;
        al_GetSettingInt(u"mobile", u"ShowUI", app.m_settingsFile.c_str(), &m_showMode);
    }
    SetWindowText(DIALDECK_WINDOW_TITLE);
    InitBTPower();
    // Read with 0 as its default, where the power-up reads 1: a fresh device connects while
    // "btstatus" stays disabled.
    int connectAtStart = 0;
    al_GetRegSettingInt(u"Phone", u"bConnect", 0, &connectAtStart);
    Enable(FindButton(u"btstatus"), connectAtStart != 0);

    if (m_showMode == 1 || m_showMode == 2) {
        ShowWindow(SW_SHOW);
        WriteRegString(VOXLANE_KEY, u"Show", u"1");
        UpdateWindow();
    } else {
        m_bStartHidden = TRUE;
    }
    WriteRegString(VOXLANE_KEY, u"CloseWindow", m_showMode == 1 || m_showMode == 3 ? u"1" : u"0");
    StartWatchdog();
    al_GetRegSettingInt(u"Volume", u"CurrentVolume", 5, &m_volume);
    ReadPowerFromBattery();
    return TRUE;
}

void CDialdeckDlg::InitBTPower()
{
    CDialdeckApp& app = App();
    int on = 1;
    if (!al_GetRegSettingInt(u"BT", u"bON", 1, &on))
        al_SetRegSettingInt(u"BT", u"bON", 1);
    CLayoutBtn* connect = FindButton(u"Connect");
    if (on != 1) {
        SetToggleButton(FindButton(u"BT"), 0, TEXT_BT_OFF, TEXT_BT_ON);
        for (auto name : { u"Connect", u"PhoneManager", u"PairList" })
            Enable(FindButton(name), false);
        return;
    }
    m_btReady = true;
    app.m_manager.DeviceInitial();
    Enable(FindButton(u"PhoneManager"), true);
    Enable(FindButton(u"PairList"), true);
    SetToggleButton(FindButton(u"BT"), 1, TEXT_BT_OFF, TEXT_BT_ON);
    int connectAtStart = 1;
    al_GetRegSettingInt(u"Phone", u"bConnect", 1, &connectAtStart);
    bool known = KnowsPhone();
    if (connectAtStart) {
        if (known)
            app.m_connectWanted = true;
        ::PostMessage(m_hWnd, WM_PHONE_CONNECT, 1, known ? 0 : 1);
        SetToggleButton(connect, 1, TEXT_CONNECT_OFF, TEXT_CONNECT_ON);
    } else {
        SetToggleButton(connect, 0, TEXT_CONNECT_OFF, TEXT_CONNECT_ON);
    }
    Enable(connect, known);
}

std::u16string CDialdeckDlg::PhoneName()
{
    WCHAR name[260] = {};
    al_GetSettingString(u"mobile", u"name", App().m_settingsFile.c_str(), name, 260);
    return name;
}

bool CDialdeckDlg::KnowsPhone()
{
    const WCHAR* file = App().m_settingsFile.c_str();
    for (auto key : { u"name", u"phone", u"company" }) {
        WCHAR text[260] = {};
        if (!al_GetSettingString(u"mobile", key, file, text, 260) || !text[0])
            return false;
    }
    return true;
}

void CDialdeckDlg::StartWatchdog()
{
    if (FindWindow(nullptr, WATCHDOG_TITLE))
        return;
    std::u16string program = App().m_moduleFolder + u"ZolDog.exe";
    WCHAR commandLine[MAX_PATH];
    wsprintf(commandLine, u"-t\"%s\" -f\"%s\"", DIALDECK_WINDOW_TITLE, u"Voxlane.exe");
    PROCESS_INFORMATION process {};
    // The panel runs without a watchdog that cannot be started.
    if (CreateProcess(program.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &process)) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
}

void CDialdeckDlg::ReadPowerFromBattery()
{
    HANDLE driver = CreateFile(u"BAT2:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (driver == INVALID_HANDLE_VALUE)
        return;
    DWORD in = 0;
    DWORD answer = 0;
    DWORD returned = 0;
    // A driver that does not answer leaves the frame shown at start.
    if (DeviceIoControl(driver, BATTERY_PICTURE_CODE, &in, sizeof(in), &answer, sizeof(answer), &returned, nullptr)
        && returned == sizeof(answer))
        m_powerPicture = static_cast<int>(answer) - 2;
    CloseHandle(driver);
    // The panel may have been painted with the first frame already.
    InvalidatePowerFrame();
}

LRESULT CDialdeckDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    // The registered requests have numbers only at run time.
    if (auto request = LinkMessageOf(message))
        return m_server.OnRequest(*request, wparam, lparam);
    switch (message) {
    case WM_LAYOUTBTN_CLICK:
        return OnButtonClick(*reinterpret_cast<CLayoutBtn*>(lparam));
    case WM_SETCURSOR:
        return 0;
    case WM_KIVO_NOTIFY:
        return OnNotify(wparam, lparam);
    case WM_SD_INSERTED:
        App().m_cardState = 1;
        return 0;
    case WM_SD_REMOVED:
        App().m_cardState = 0;
        return 0;
    case WM_PHONE_CONNECT:
        OnConnectPhone(wparam, lparam);
        return 0;
    case WM_PHONE_CONNECTSTATUS:
        OnConnectStatus(wparam);
        return 0;
    case WM_PHONE_CALLACTIVE:
        OnCallActive(wparam);
        return 0;
    case WM_PHONE_REPOWERBT:
        return m_server.OnRepowerBT();
    case WM_PHONE_CALLSTATUS:
        OnCallStatus(wparam, reinterpret_cast<PhonebookEntry*>(lparam));
        return 0;
    case WM_PHONE_CALLSTATE:
        OnCallState(wparam);
        return 0;
    case WM_PHONE_INCOMINGSMS:
        OnIncomingSMS(reinterpret_cast<SmsRecord*>(lparam));
        return 0;
    case WM_PHONE_GPRSBUTTON:
        OnDialUpButton(reinterpret_cast<CLayoutBtn*>(lparam));
        return 1;
    default:
        return CPhoneScreen::WindowProc(message, wparam, lparam);
    }
}

LRESULT CDialdeckDlg::OnButtonClick(const CLayoutBtn& button)
{
    LPCWSTR name = button.m_strName;
    if (_wcsicmp(name, u"Phonebook") == 0)
        OpenPhoneBook();
    else if (_wcsicmp(name, u"SMS") == 0)
        OpenSMS();
    else if (_wcsicmp(name, u"File") == 0)
        OpenFileManager();
    else if (_wcsicmp(name, u"Pairlist") == 0)
        OpenPairList();
    else if (_wcsicmp(name, u"Setting") == 0)
        OpenSetting();
    else if (_wcsicmp(name, u"exit") == 0)
        ::PostMessage(m_hWnd, WM_COMMAND, IDOK, 0);
    return 1;
}

void CDialdeckDlg::OnOK()
{
    if (m_showMode == 1 || m_showMode == 3) {
        EndDialog(IDOK);
        return;
    }
    ShowWindow(SW_HIDE);
    WriteRegString(VOXLANE_KEY, u"Show", u"0");
    if (HWND front = GetForegroundWindow()) {
        ::InvalidateRect(front, nullptr, TRUE);
        ::UpdateWindow(front);
    }
}

LRESULT CDialdeckDlg::OnNotify(WPARAM code, LPARAM argument)
{
    switch (code) {
    case DRV_AC_CHANGE:
        m_powerPicture = 5;
        InvalidatePowerFrame();
        break;
    case DRV_BATT_CHANGE:
        m_powerPicture = static_cast<int>(argument) - 2;
        InvalidatePowerFrame();
        break;
    case APP_KEYSOUND:
        al_EnablePlayTouchSound(argument == 1);
        break;
    case APP_CLOSE:
        App().m_manager.DisconnectMobile();
        if (HWND home = FindWindow(nullptr, HOME_WINDOW_TITLE))
            ::PostMessage(home, WM_KIVO_NOTIFY, APP_CLOSED, APPID_PHONELINK);
        if (m_openScreen && ::IsWindow(m_openScreen->m_hWnd))
            ::PostMessage(m_openScreen->m_hWnd, WM_COMMAND, IDCANCEL, 0);
        break;
    default:
        break;
    }
    return 1;
}

void CDialdeckDlg::InvalidatePowerFrame()
{
    if (m_powerPictures.empty() || m_powerPictures[0].picCount < 1)
        return;
    const SkinPicture& strip = m_powerPictures[0];
    RECT frame = strip.rect;
    frame.right = frame.left + (strip.rect.right - strip.rect.left) / strip.picCount;
    InvalidateRect(&frame, TRUE);
}

void CDialdeckDlg::DrawPowerFrame(CDC& dc)
{
    // A skin without frames draws nothing, and a reported state beyond the strip shows its nearest
    // frame.
    if (m_powerPictures.empty() || m_powerPictures[0].picCount < 1 || !m_powerPictures[0].bitmap.token)
        return;
    const SkinPicture& strip = m_powerPictures[0];
    int width = (strip.rect.right - strip.rect.left) / strip.picCount;
    int height = strip.rect.bottom - strip.rect.top;
    int frame = std::clamp(m_powerPicture, 0, strip.picCount - 1);
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CBitmap* old = memory.SelectObject(&m_powerBitmap);
    dc.BitBlt(strip.rect.left, strip.rect.top, width, height, &memory, frame * width, 0, SRCCOPY);
    memory.SelectObject(old);
}

void CDialdeckDlg::OnPaint()
{
    CPaintDC dc(this);
    m_titleLayout.DrawLayout(dc);
    m_buttonLayout.DrawLayout(dc);
    DrawStaticText2(dc, m_titleText);
    DrawPowerFrame(dc);
}

void CDialdeckDlg::OnShowWindow(BOOL show, UINT status)
{
    CPhoneScreen::OnShowWindow(show, status);
    // The watchdog restarts the program as visible or hidden as it was.
    WCHAR text[16];
    wsprintf(text, u"%d", static_cast<int>(show));
    WriteRegString(VOXLANE_KEY, u"Show", text);
}

void CDialdeckDlg::OnTimer(UINT_PTR)
{
    ShowWindow(SW_HIDE);
    WriteRegString(VOXLANE_KEY, u"Show", u"0");
    MoveWindow(&m_panelRect);
    KillTimer(HIDE_TIMER);
}

void CDialdeckDlg::OnClose()
{
    CDialdeckApp& app = App();
    for (CWnd* screen : { m_openScreen, m_incomingScreen, m_smsPopup, app.GetWindowRef(WindowRef::SettingsScreen),
             app.GetWindowRef(WindowRef::DialPad) }) {
        if (screen && ::IsWindow(screen->m_hWnd))
            ::SendMessage(screen->m_hWnd, WM_PHONE_CLOSE, 0, 0);
    }
    // The mini call window hangs up and destroys itself on WM_PHONE_CLOSE.
    if (HWND mini = app.WindowOf(WindowRef::MiniCallWindow))
        ::SendMessage(mini, WM_PHONE_CLOSE, 0, 0);
    app.SetWindowRef(WindowRef::MiniCallWindow, nullptr);
    EndDialog(IDCANCEL);
}

void CDialdeckDlg::OnDestroy()
{
    if (HWND watchdog = FindWindow(nullptr, WATCHDOG_TITLE))
        ::PostMessage(watchdog, WM_CLOSE, 0, 0);
    CDialdeckApp& app = App();
    app.m_manager.SetConnectStatusCallBack(nullptr);
    app.m_manager.DeviceClose();
    app.m_manager.ManagerClose();
    app.m_manager.Unload();
    app.SetWindowRef(WindowRef::Panel, nullptr);
    CPhoneScreen::OnDestroy();
}

BOOL CDialdeckDlg::OnCopyData(CWnd* sender, COPYDATASTRUCT* block)
{
    m_server.OnCopyData(block);
    return CPhoneScreen::OnCopyData(sender, block);
}

// The connection.

void CDialdeckDlg::OnConnectPhone(WPARAM fromStartUp, LPARAM noKnownPhone)
{
    CDialdeckApp& app = App();
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    app.m_manager.SetConnectStatusCallBack(OnConnectStatusCallback);
    app.m_manager.HFAudioConnect(m_hfOn ? 1 : 0);
    int result = app.m_manager.ConnectMobile();
    bool known = !PhoneName().empty();
    if (noKnownPhone == 0 && known) {
        app.m_connectWanted = true;
        al_SetRegSettingInt(u"Phone", u"bConnect", 1);
    }
    CLayoutBtn* connect = FindButton(u"Connect");
    SetToggleButton(connect, app.m_connectWanted ? 1 : 0, TEXT_CONNECT_OFF, TEXT_CONNECT_ON);
    if (known)
        Enable(connect, true);
    if (!m_connected)
        PostIfWindow(app.WindowOf(WindowRef::SettingsScreen), WM_PHONE_CONNECTSTATUS, 0, 0);
    CZolManagerAPI::ShowError(result);
    app.m_manager.SetIncomingframeCallBack(OnCallStatusCallback, OnIncomingSMSCallback);
    // After the start-up connection of a known phone the wait cursor stays until its state arrives.
    if (noKnownPhone != 0 || fromStartUp != 1)
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
}

void CDialdeckDlg::OnConnectStatus(WPARAM connected)
{
    CDialdeckApp& app = App();
    app.m_imei = app.SettingsImei();
    SetCurrentIMEI(app.m_imei);
    bool known = !PhoneName().empty();
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    if (connected == 1) {
        m_connected = true;
        ReportCallStatus(1);
        PhoneSupportFun support {};
        app.m_manager.GetPhoneSupportFun(&support);
        ApplyPhoneSupport(support);
        if (m_firstConnect) {
            m_firstConnect = false;
            m_wasConnected = true;
        }
        return;
    }
    if (m_wasConnected) {
        if (!known) {
            app.m_connectWanted = false;
            Enable(FindButton(u"Connect"), false);
        }
        m_firstConnect = true;
        m_wasConnected = false;
        EnablePhoneButtons(false);
    }
    m_connected = false;
    ReportCallStatus(0);
}

void CDialdeckDlg::EnablePhoneButtons(bool enable)
{
    for (auto name : { u"Phonebook", u"SMS", u"File", u"gprs", u"HF", u"dialpad", u"callLog", u"btstatus" })
        Enable(FindButton(name), enable);
}

void CDialdeckDlg::ApplyPhoneSupport(const PhoneSupportFun& support)
{
    bool idle = !App().IsCallBusy();
    CLayoutBtn* phonebook = FindButton(u"Phonebook");
    CLayoutBtn* dialpad = FindButton(u"dialpad");
    // A disconnection disables the dial pad with the other phone buttons; a connection gives it
    // back as the skin offered it, or the phonebook, which needs it, would stay off for good.
    if (dialpad && m_dialpadOffered)
        Enable(dialpad, true);
    if (phonebook)
        Enable(phonebook, !dialpad || (Supports(support, PHONE_SUPPORT_PHONEBOOK) && !dialpad->m_bDisabled));
    Enable(FindButton(u"SMS"), Supports(support, PHONE_SUPPORT_SMS_LIST));
    Enable(FindButton(u"File"), Supports(support, PHONE_SUPPORT_FILE_TRANSFER) && idle);
    Enable(FindButton(u"callLog"), Supports(support, PHONE_SUPPORT_CALL_LOG) && idle);
    Enable(FindButton(u"gprs"), idle);
    CLayoutBtn* handsFree = FindButton(u"HF");
    if (Supports(support, PHONE_SUPPORT_HANDS_FREE)) {
        Enable(handsFree, idle);
    } else {
        // A phone without hands-free keeps the call's sound on the handset.
        if (handsFree && handsFree->m_nValue == 1) {
            App().m_manager.HFInitial();
            App().m_manager.HFAudioConnect(0);
            SetToggleButton(handsFree, 0, TEXT_HF_OFF, TEXT_HF_ON);
            m_hfOn = false;
        }
        Enable(handsFree, false);
    }
    Enable(FindButton(u"btstatus"), true);
}

void CDialdeckDlg::ApplyCallBusy(bool busy, const PhoneSupportFun& support)
{
    bool idle = !busy;
    Enable(FindButton(u"HF"), m_connected && Supports(support, PHONE_SUPPORT_HANDS_FREE) && idle);
    Enable(FindButton(u"File"), m_connected && Supports(support, PHONE_SUPPORT_FILE_TRANSFER) && idle);
    Enable(FindButton(u"gprs"), m_connected && idle);
    Enable(FindButton(u"callLog"), m_connected && Supports(support, PHONE_SUPPORT_CALL_LOG) && idle);
    for (auto name : { u"Setting", u"PhoneManager", u"Pairlist", u"BT", u"Connect" })
        Enable(FindButton(name), idle);
}

void CDialdeckDlg::OnCallActive(WPARAM state)
{
    CDialdeckApp& app = App();
    bool busy = state != 0;
    if (app.IsCallBusy() != busy) {
        PhoneSupportFun support {};
        app.m_manager.GetPhoneSupportFun(&support);
        ApplyCallBusy(busy, support);
        app.SetCallBusy(busy);
    }
    for (CWnd* screen : { m_openScreen, app.GetWindowRef(WindowRef::SettingsScreen), app.GetWindowRef(WindowRef::DialPad) }) {
        if (screen && ::IsWindow(screen->m_hWnd))
            ::SendMessage(screen->m_hWnd, WM_PHONE_CALLACTIVE, state, 0);
    }
}

// The screens.

INT_PTR CDialdeckDlg::RunScreen(const char16_t* className, CWnd** reference)
{
    // Each screen arrives with its own Part; until then its opener runs the rest of its road.
    std::u16string line = className;
    line += u" not built yet\r\n";
    OutputDebugString(line.c_str());
    *reference = nullptr;
    RestoreCursor();
    return IDCANCEL;
}

void CDialdeckDlg::RepaintNow()
{
    Invalidate(FALSE);
    UpdateWindow();
}

void CDialdeckDlg::ReconnectAfterScreen()
{
    RepaintNow();
    // The screens' downloads leave the phone connected again.
    OnConnectPhone(0, 0);
}

bool CDialdeckDlg::CardReadyForPhoneData()
{
    CDialdeckApp& app = App();
    if (app.m_cardState == 0 || app.m_cardState == 2) {
        CZolManagerAPI::ShowError(MANAGER_NO_CARD);
        return false;
    }
    app.m_imei = app.SettingsImei();
    return true;
}

void CDialdeckDlg::OpenPhoneBook()
{
    if (!CardReadyForPhoneData())
        return;
    RunScreen(u"CPhoneBookDlg", &m_openScreen);
    ReconnectAfterScreen();
}

void CDialdeckDlg::OpenSMS()
{
    if (!CardReadyForPhoneData())
        return;
    RunScreen(u"CSMSDlg", &m_smsScreen);
    m_openScreen = nullptr;
    ReconnectAfterScreen();
}

void CDialdeckDlg::OpenFileManager()
{
    RunScreen(u"CFileManagerDlg", &m_openScreen);
    ReconnectAfterScreen();
}

void CDialdeckDlg::OpenSetting()
{
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    CWnd* settings = nullptr;
    INT_PTR result = RunScreen(u"CSettingDlg", &settings);
    App().SetWindowRef(WindowRef::SettingsScreen, nullptr);
    // Only a settings screen that changed the phone asks for a new connection.
    if (result == IDOK) {
        RepaintNow();
        ::PostMessage(m_hWnd, WM_PHONE_CONNECT, 0, 0);
    }
}

void CDialdeckDlg::OpenPairList()
{
    int connectAtStart = 1;
    if (RunScreen(u"CPairListDlg", &m_openScreen) == IDOK) {
        INT_PTR managed = IDCANCEL;
        CSearchPairDlg question(this);
        question.SetSkinFile(u"Search.ini", 0, nullptr);
        if (question.DoModal() == IDOK)
            managed = RunScreen(u"CPhoneManagerDlg", &m_openScreen);
        RepaintNow();
        if (managed == IDOK) {
            al_SetRegSettingInt(u"Phone", u"bConnect", 1);
            ::PostMessage(m_hWnd, WM_PHONE_CONNECT, 0, 0);
            return;
        }
    } else {
        RepaintNow();
    }
    al_GetRegSettingInt(u"Phone", u"bConnect", 1, &connectAtStart);
    if (connectAtStart == 1)
        ::PostMessage(m_hWnd, WM_PHONE_CONNECT, 0, 0);
}

// The manager's callbacks, on its threads.

int OnConnectStatusCallback(int status)
{
    CDialdeckApp& app = CDialdeckApp::Get();
    if (status == 1) {
        app.m_linkLost = false;
    } else {
        if (status == MANAGER_NOT_CONNECTED)
            app.m_linkLost = true;
        // The call ends with the link.
        OnCallStatusCallback(PhonebookEntry {}, 0);
    }
    WPARAM connected = status == 1 ? 1 : 0;
    PostIfWindow(app.WindowOf(WindowRef::Panel), WM_PHONE_CONNECTSTATUS, connected, 0);
    PostIfWindow(app.WindowOf(WindowRef::SettingsScreen), WM_PHONE_CONNECTSTATUS, connected, 0);
    return 0;
}

int OnCallStatusCallback(PhonebookEntry party, int state)
{
    CDialdeckApp& app = CDialdeckApp::Get();
    std::u16string number;
    GetFirstNumber(&party, &number);
    bool wasBusy = false;
    if (!app.TakeCallReport(state, number, &wasBusy))
        return 1;
    HWND panel = app.WindowOf(WindowRef::Panel);
    if ((wasBusy && state == 0) || (!wasBusy && (state == 2 || state == 3)))
        PostIfWindow(panel, WM_PHONE_CALLACTIVE, state, 0);
    app.m_callReports.Post(panel, WM_PHONE_CALLSTATUS, state, party);
    for (WindowRef window : { WindowRef::DialPad, WindowRef::CallScreen, WindowRef::MiniCallWindow })
        PostIfWindow(app.WindowOf(window), WM_PHONE_CALLUPDATE, state, 0);
    PostIfWindow(panel, WM_PHONE_CALLSTATE, app.GetCallState(), 0);
    return 0;
}

int OnIncomingSMSCallback(SmsRecord message)
{
    int wanted = 1;
    al_GetRegSettingInt(u"SMS", u"ImcomingSMS", 1, &wanted);
    if (wanted == 1) {
        CDialdeckApp& app = CDialdeckApp::Get();
        app.m_smsReports.Post(app.WindowOf(WindowRef::Panel), WM_PHONE_INCOMINGSMS, 0, message);
    }
    return 0;
}
