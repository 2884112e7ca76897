#include "CDailPadDlg.h"

#include "CCallOutDlg.h"
#include "CDialdeckApp.h"
#include "DialdeckResources.h"
#include "DialdeckTexts.h"
#include "PhoneMessages.h"
#include "SkinControls.h"

#include <string>

namespace {

constexpr int SCREEN_WIDTH = 480;
constexpr int SCREEN_HEIGHT = 272;
constexpr int MAX_VOLUME = 10;
constexpr int DEFAULT_VOLUME = 5;

constexpr const WCHAR* KEYS[] = { u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"0", u"*", u"#" };

std::u16string SkinFile()
{
    return SkinFilePath(u"PhoneBook", u"DialPad.ini");
}

int StoredVolume()
{
    int volume = DEFAULT_VOLUME;
    al_GetRegSettingInt(u"Volume", u"CurrentVolume", DEFAULT_VOLUME, &volume);
    return volume;
}

// What the dialog class does by itself: closing the pad is cancelling it.
LRESULT CALLBACK DialPadClassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CLOSE) {
        ::PostMessage(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return 0;
    }
    return DefWindowProc(window, message, wparam, lparam);
}

void RegisterDialPadClass()
{
    WNDCLASS windowClass {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = DialPadClassProc;
    windowClass.hInstance = AfxGetResourceHandle();
    windowClass.lpszClassName = DIAL_PAD_CLASS;
    // A second pad of the process finds the class there already.
    RegisterClass(&windowClass);
}

} // namespace

CDailPadDlg::CDailPadDlg(CWnd* owner)
    : CPhoneScreen(IDD_DIAL_PAD, owner)
{
    add_dialdeck_resources();
    RegisterDialPadClass();
    TakeMouse({ &m_layout, &m_buttons });
}

BOOL CDailPadDlg::OnInitDialog()
{
    CPhoneScreen::OnInitDialog();
    SetForegroundWindow();
    CDialdeckApp& app = CDialdeckApp::Get();
    // The user's volume, so that the call's reports store it back unchanged.
    m_volume = StoredVolume();

    std::u16string file = SkinFile();
    PlaceFromSkin(file.c_str());
    GetStaticCtlInfoFromSetting(m_title, u"st_Title", file.c_str());
    GetStaticCtlInfoFromSetting(m_callNo, u"st_CallNo", file.c_str());
    WCHAR titleFile[260] = {};
    al_GetSettingString(u"Title_layout", u"file", file.c_str(), titleFile, 260);
    std::u16string titlePath = app.m_skinFolder + titleFile;
    m_layout.InitLayout(titlePath.c_str(), u"layout", m_hWnd);
    m_buttons.InitLayout(file.c_str(), u"Button_layout", m_hWnd);
    Enable(u"call", false);
    SetCallToggle(0);
    Enable(u"Hangup", false);
    Enable(u"Mute", false);
    SetValue(u"Mute", 1);
    Enable(u"TransferAudio", false);
    SetValue(u"TransferAudio", 1);
    RefreshVolumeButtons();

    ShowWindow(SW_SHOW);
    SetWindowPos(&wndTopMost, 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, 0);
    ShowWindow(SW_SHOW);
    UpdateWindow();

    int state = app.GetCallState();
    // The buttons follow a call that is already under way.
    PostMessage(WM_PHONE_CALLUPDATE, static_cast<WPARAM>(state), 0);
    if (state != 0)
        SetDisplay(app.GetCallNumber().c_str(), false);
    return TRUE;
}

LRESULT CDailPadDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_LAYOUTBTN_CLICK:
        return OnButtonClick(*reinterpret_cast<CLayoutBtn*>(lparam));
    case WM_LBUTTONDBLCLK:
        // A quick second tap on a key is a second press.
        OnLButtonDown(static_cast<UINT>(wparam), CPoint(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)));
        return 0;
    case WM_PHONE_CALLUPDATE:
        OnCallUpdate(wparam);
        return 1;
    case WM_PHONE_CLOSE:
        Close();
        return 1;
    case WM_PHONE_SHOWHIDE:
        ShowWindow(static_cast<int>(wparam));
        return 1;
    case WM_PHONE_LANGCHANGED:
        return 1;
    default:
        return CPhoneScreen::WindowProc(message, wparam, lparam);
    }
}

void CDailPadDlg::SetDisplay(const CString& text, bool updateCall)
{
    m_callNo.text = text;
    if (CDC* dc = GetDC()) {
        m_buttons.DrawLayout(*dc, m_callNo.rect);
        DrawStaticText(*dc, m_callNo, 1);
        ReleaseDC(dc);
    }
    if (updateCall)
        Enable(u"call", !text.IsEmpty());
}

LRESULT CDailPadDlg::OnButtonClick(const CLayoutBtn& button)
{
    LPCWSTR name = button.m_strName;
    for (LPCWSTR key : KEYS) {
        if (_wcsicmp(name, key) == 0) {
            OnKey(key);
            return 1;
        }
    }
    if (_wcsicmp(name, u"backspace") == 0) {
        CString text = m_callNo.text;
        if (!text.IsEmpty())
            text = text.Left(text.GetLength() - 1);
        SetDisplay(text, true);
    } else if (_wcsicmp(name, u"+") == 0) {
        SetDisplay(u"+", true);
    } else if (_wcsicmp(name, u"call") == 0) {
        OnCall();
    } else if (_wcsicmp(name, u"Hangup") == 0) {
        OnHangUp();
    } else if (_wcsicmp(name, u"ReDail") == 0) {
        OnRedial();
    } else if (_wcsicmp(name, u"Mute") == 0) {
        OnMute();
    } else if (_wcsicmp(name, u"TransferAudio") == 0) {
        OnTransferAudio();
    } else if (_wcsicmp(name, u"exit") == 0) {
        Close();
        return 0;
    }
    return 1;
}

void CDailPadDlg::OnKey(const CString& key)
{
    CString text = m_callNo.text + key;
    if (m_callHere == 2) {
        CDialdeckApp::Get().m_manager.DialDTMF(key);
        SetDisplay(text, false);
    } else {
        SetDisplay(text, true);
    }
}

void CDailPadDlg::OnCall()
{
    CLayoutBtn* call = FindButton(u"call");
    if (call && call->m_nValue == 1) {
        OnHangUp();
        SetCallToggle(0);
        return;
    }
    CDialdeckApp& app = CDialdeckApp::Get();
    LockKeysForCall();
    m_redialing = false;
    std::u16string number = static_cast<LPCWSTR>(m_callNo.text);
    WCHAR dialled[260] = {};
    number.copy(dialled, 259);
    int result = app.m_manager.Dial(dialled);
    app.SetLastDialled(number);
    SetCallToggle(TakeDialResult(result) ? 1 : 0);
}

void CDailPadDlg::LockKeysForCall()
{
    EnableGroupA(false);
    EnableGroupB(false);
    if (CDialdeckApp::Get().AudioOnDevice()) {
        Enable(u"Mute", true);
        SetValue(u"Mute", 1);
        RefreshVolumeButtons();
    }
}

bool CDailPadDlg::TakeDialResult(int result)
{
    bool placed = result == 1;
    if (placed) {
        m_callHere = 1;
        // The call is up for everyone from now on, so that leaving the pad before the phone's
        // report opens a call-out screen that does not dial the number again.
        CDialdeckApp::Get().SetCallState(3);
    }
    EnableGroupA(!placed);
    EnableGroupB(!placed);
    return placed;
}

void CDailPadDlg::OnHangUp()
{
    CDialdeckApp& app = CDialdeckApp::Get();
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    // A failed hang-up leaves the keys in the call's state until the idle report.
    if (app.m_manager.HangupCall() == 1) {
        m_callHere = 0;
        EnableGroupA(true);
        SetDisplay(u"", true);
        EnableGroupB(true);
    }
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    if (app.m_manager.SetDeviceVol(0, 1) != 0) {
        Enable(u"Mute", false);
        SetValue(u"Mute", 1);
    }
    Enable(u"more", false);
    Enable(u"less", false);
    RefreshVolumeButtons();
}

void CDailPadDlg::OnRedial()
{
    CDialdeckApp& app = CDialdeckApp::Get();
    SetDisplay(u"", true);
    LockKeysForCall();
    m_redialing = true;
    if (!TakeDialResult(app.m_manager.ReDial()))
        m_redialing = false;
}

void CDailPadDlg::OnMute()
{
    CLayoutBtn* mute = FindButton(u"Mute");
    if (!mute)
        return;
    int value = 0;
    int level = 0;
    if (mute->m_nValue == 0) {
        m_volume = StoredVolume();
        value = 1;
        level = m_volume;
    }
    // A refused volume leaves the button as it was.
    if (CDialdeckApp::Get().m_manager.SetDeviceVol(1, level) != 0)
        mute->SetValue(value);
    RefreshVolumeButtons();
}

void CDailPadDlg::OnTransferAudio()
{
    CLayoutBtn* transfer = FindButton(u"TransferAudio");
    if (!transfer)
        return;
    CDialdeckApp::Get().ToggleAudioTransfer(*transfer, this);
}

void CDailPadDlg::OnCallUpdate(WPARAM state)
{
    CDialdeckApp& app = CDialdeckApp::Get();
    CLayoutBtn* call = FindButton(u"call");
    CLayoutBtn* mute = FindButton(u"Mute");
    switch (state) {
    case 0:
        if (call && call->m_nValue == 1) {
            SetDisplay(u"", true);
            m_redialing = false;
            EnableGroupA(true);
            SetCallToggle(0);
            Enable(u"call", false);
            EnableGroupB(true);
        }
        if (CDialdeckApp::Get().AudioOnDevice() && mute && !mute->m_bDisabled) {
            Enable(u"Mute", false);
            app.m_manager.SetDeviceVol(0, 1);
            SetValue(u"Mute", 1);
            al_SetRegSettingInt(u"Volume", u"CurrentVolume", m_volume);
            RefreshVolumeButtons();
        }
        m_callHere = 0;
        if (m_wasActive)
            EndDialog(IDOK);
        return;
    case 1:
    case 3:
        EnableGroupA(false);
        SetCallToggle(1);
        Enable(u"call", true);
        EnableGroupB(false);
        if (CDialdeckApp::Get().AudioOnDevice() && mute && mute->m_bDisabled)
            UnmuteForCall();
        if (m_redialing) {
            std::u16string last = app.GetLastDialled();
            if (!last.empty())
                SetDisplay(last.c_str(), false);
        }
        m_callHere = static_cast<int>(state);
        return;
    case 2:
        EnableGroupA(false);
        SetCallToggle(1);
        Enable(u"call", true);
        // The keys send tones now.
        EnableGroupB(true);
        m_wasActive = true;
        if (CDialdeckApp::Get().AudioOnDevice()) {
            if (mute && mute->m_bDisabled)
                UnmuteForCall();
            if (CLayoutBtn* transfer = FindButton(u"TransferAudio"); transfer && transfer->m_bDisabled) {
                Enable(u"TransferAudio", true);
                SetValue(u"TransferAudio", 1);
            }
        }
        m_callHere = 2;
        return;
    default:
        m_callHere = static_cast<int>(state);
        return;
    }
}

void CDailPadDlg::UnmuteForCall()
{
    Enable(u"Mute", true);
    CDialdeckApp::Get().m_manager.SetDeviceVol(0, 1);
    SetValue(u"Mute", 1);
    al_SetRegSettingInt(u"Volume", u"CurrentVolume", m_volume);
    RefreshVolumeButtons();
}

void CDailPadDlg::Close()
{
    CDialdeckApp& app = CDialdeckApp::Get();
    if (m_callHere != 0) {
        if (HWND open = app.WindowOf(WindowRef::CallScreen)) {
            ::ShowWindow(open, SW_SHOW);
            ::SetForegroundWindow(open);
        } else {
            CCallOutDlg screen(this);
            std::u16string number = static_cast<LPCWSTR>(m_callNo.text);
            screen.SetNameNumber(LanguageText(TEXT_UNKNOWN_NAME),
                number.empty() ? LanguageText(TEXT_UNKNOWN_NUMBER) : number);
            app.SetWindowRef(WindowRef::CallScreen, &screen);
            screen.DoModal();
            app.SetWindowRef(WindowRef::CallScreen, nullptr);
        }
    }
    EndDialog(IDOK);
    DestroyWindow();
}

void CDailPadDlg::EnableGroupA(bool enable)
{
    for (LPCWSTR name : { u"backspace", u"+", u"ReDail" })
        Enable(name, enable);
    Enable(u"Hangup", !enable);
}

void CDailPadDlg::EnableGroupB(bool enable)
{
    for (LPCWSTR key : KEYS)
        Enable(key, enable);
}

void CDailPadDlg::RefreshVolumeButtons()
{
    CLayoutBtn* mute = FindButton(u"Mute");
    bool speakerOn = mute && mute->m_nValue != 0 && !mute->m_bDisabled;
    Enable(u"more", speakerOn && m_volume != MAX_VOLUME);
    Enable(u"less", speakerOn && m_volume != 0);
}

void CDailPadDlg::SetCallToggle(int value)
{
    SetToggleButton(FindButton(u"call"), value, TEXT_DIAL_CALL, TEXT_DIAL_END_CALL);
}

void CDailPadDlg::Enable(LPCWSTR name, bool enable)
{
    if (CLayoutBtn* button = FindButton(name))
        button->EnableWindow(enable);
}

void CDailPadDlg::SetValue(LPCWSTR name, int value)
{
    if (CLayoutBtn* button = FindButton(name))
        button->SetValue(value);
}

void CDailPadDlg::OnPaint()
{
    PaintOffScreen([&](CDC& dc) {
        m_layout.DrawLayout(dc);
        m_buttons.DrawLayout(dc);
        DrawStaticText2(dc, m_title);
        // As typed: a number too long for the display keeps its end in view.
        DrawStaticText(dc, m_callNo, 1);
    });
}

void CDailPadDlg::OnDestroy()
{
    // The call-status callback must find no window of the pad from now on.
    CDialdeckApp& app = CDialdeckApp::Get();
    if (app.GetWindowRef(WindowRef::DialPad) == this)
        app.SetWindowRef(WindowRef::DialPad, nullptr);
    CPhoneScreen::OnDestroy();
}
