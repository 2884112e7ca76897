#include "CminCallWnd.h"

#include "CDialdeckApp.h"
#include "LinkProtocol.h"
#include "PhoneMessages.h"
#include "PhoneScreen.h"

namespace {

// The style the device's floating strips are made with, beside pop-up.
constexpr DWORD FLOATING_STYLE_BIT = 1u << 8;
// Where the strip first appears, before its skin places it.
constexpr RECT FIRST_RECT { 386, 0, 480, 30 };

void MicrophoneOn()
{
    CDialdeckApp::Get().m_manager.SetDeviceVol(0, 1);
}

} // namespace

void CminCallWnd::SetSkinFile(LPCWSTR file, CWnd* owner)
{
    m_skinFile = file;
    m_owner = owner;
}

std::u16string CminCallWnd::SkinPath() const
{
    return SkinFilePath(u"Mainskin", m_skinFile);
}

BOOL CminCallWnd::PreCreateWindow(CREATESTRUCT& create)
{
    create.style = WS_POPUP | FLOATING_STYLE_BIT;
    return CFrameWnd::PreCreateWindow(create);
}

int CminCallWnd::OnCreate(LPCREATESTRUCT create)
{
    std::u16string file = SkinPath();
    RECT rect = DEFAULT_SCREEN_RECT;
    al_GetSettingRect(u"panel", u"rect", file.c_str(), &rect);
    RECT place {};
    if (!al_GetSettingRect(u"panel", u"screentrect", file.c_str(), &place)) {
        // Without a place of its own the strip keeps the skin's size, centred on the screen.
        int width = rect.right - rect.left;
        int height = rect.bottom - rect.top;
        int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        place = { left, top, left + width, top + height };
    }
    if (CFrameWnd::OnCreate(create) == -1)
        return -1;
    MoveWindow(&place);
    if (ReadSkinCursorPoint(file.c_str(), m_cursorPoint)) {
        m_cursorPointGiven = true;
        SetCursorPos(m_cursorPoint.x, m_cursorPoint.y);
    }

    m_layout.InitLayout(file.c_str(), u"btn_layout", m_hWnd);
    // Both wait for the call to be seen with the audio here.
    for (LPCWSTR name : { u"Mute", u"TransferAudio" }) {
        if (CLayoutBtn* button = FindButton(name)) {
            button->EnableWindow(FALSE);
            button->SetValue(1);
        }
    }
    PostMessage(WM_PHONE_CALLUPDATE, static_cast<WPARAM>(CDialdeckApp::Get().GetCallState()), 0);
    return 0;
}

LRESULT CminCallWnd::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_LAYOUTBTN_CLICK:
        return OnButtonClick(*reinterpret_cast<CLayoutBtn*>(lparam));
    case WM_PHONE_CALLUPDATE:
        OnCallUpdate(wparam);
        return 1;
    case WM_PHONE_CLOSE:
        HangUp();
        return 1;
    case WM_PHONE_SHOWHIDE:
    case WM_PHONE_LANGCHANGED:
        return 1;
    default:
        return CFrameWnd::WindowProc(message, wparam, lparam);
    }
}

void CminCallWnd::OnPaint()
{
    CPaintDC dc(this);
    m_layout.DrawLayout(dc);
}

void CminCallWnd::OnLButtonDown(UINT flags, CPoint point)
{
    m_layout.OnLButtonDown(flags, point);
}

void CminCallWnd::OnMouseMove(UINT flags, CPoint point)
{
    RECT client {};
    GetClientRect(&client);
    if (PtInRect(&client, point)) {
        if (!m_capturing) {
            SetCapture();
            m_capturing = true;
        }
        m_layout.OnMouseMove(flags, point);
        return;
    }
    // Leaving the strip lets a pressed button go without a click.
    if (m_capturing) {
        ReleaseCapture();
        m_capturing = false;
    }
    m_layout.OnLButtonUp(flags, point);
}

void CminCallWnd::OnLButtonUp(UINT flags, CPoint point)
{
    if (m_capturing) {
        ReleaseCapture();
        m_capturing = false;
    }
    m_layout.OnLButtonUp(flags, point);
}

LRESULT CminCallWnd::OnButtonClick(CLayoutBtn& button)
{
    CDialdeckApp& app = CDialdeckApp::Get();
    LPCWSTR name = button.m_strName;
    if (_wcsicmp(name, u"hangup") == 0) {
        HangUp();
        return 1;
    }
    if (_wcsicmp(name, u"Mute") == 0) {
        int wanted = button.m_nValue ? 0 : 1; // value 1: the microphone is on
        if (app.m_manager.SetDeviceVol(0, wanted) != 0)
            button.SetValue(wanted);
        return 1;
    }
    if (_wcsicmp(name, u"TransferAudio") == 0) {
        // The message dialog's loop may see the call end and this window go: nothing of it after.
        app.ToggleAudioTransfer(button, nullptr);
        return 1;
    }
    if (_wcsicmp(name, u"DialPad") == 0) {
        Close();
        // The dial pad takes over the call.
        if (CWnd* main = AfxGetMainWnd())
            ::PostMessage(main->m_hWnd, LinkMessageId(LinkMessage::ShowHideDialer), 1, 0);
        return 1;
    }
    return 1;
}

void CminCallWnd::HangUp()
{
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    // A failed hang-up still closes the strip; the manager's next report settles the other windows.
    CDialdeckApp::Get().m_manager.HangupCall();
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    if (CDialdeckApp::Get().AudioOnDevice())
        MicrophoneOn();
    Close();
}

void CminCallWnd::OnCallUpdate(WPARAM state)
{
    switch (state) {
    case 0:
        if (CDialdeckApp::Get().AudioOnDevice())
            MicrophoneOn();
        Close();
        return;
    case 1:
    case 3:
        if (CDialdeckApp::Get().AudioOnDevice())
            EnableMute();
        return;
    case 2:
        if (CDialdeckApp::Get().AudioOnDevice()) {
            EnableMute();
            CLayoutBtn* transfer = FindButton(u"TransferAudio");
            if (transfer && transfer->m_bDisabled) {
                transfer->EnableWindow(TRUE);
                transfer->SetValue(1);
            }
        }
        return;
    default:
        return;
    }
}

void CminCallWnd::EnableMute()
{
    CLayoutBtn* mute = FindButton(u"Mute");
    if (!mute || !mute->m_bDisabled)
        return;
    mute->EnableWindow(TRUE);
    MicrophoneOn();
    mute->SetValue(1);
}

void CminCallWnd::Close()
{
    DestroyWindow();
}

void CminCallWnd::OnDestroy()
{
    // Whoever closed the strip, the panel and the manager's callback find no window from now on.
    CDialdeckApp& app = CDialdeckApp::Get();
    if (app.GetWindowRef(WindowRef::MiniCallWindow) == this)
        app.SetWindowRef(WindowRef::MiniCallWindow, nullptr);
    CFrameWnd::OnDestroy();
}

CminCallWnd* OpenMiniCallWindow(LPCWSTR skinFile, CWnd* panel)
{
    auto* window = new CminCallWnd;
    window->SetSkinFile(skinFile, panel);
    // A window that cannot be made has freed its object already.
    if (!window->Create(nullptr, u"QIM_MINCALLWND", WS_POPUP, FIRST_RECT, nullptr, nullptr, WS_EX_TOPMOST))
        return nullptr;
    window->ShowWindow(SW_SHOW);
    window->SetForegroundWindow();
    CDialdeckApp& app = CDialdeckApp::Get();
    app.SetWindowRef(WindowRef::MiniCallWindow, window);
    int volume = 5;
    al_GetRegSettingInt(u"Volume", u"CurrentVolume", 5, &volume);
    app.m_manager.SetDeviceVol(1, volume);
    ::PostMessage(panel->m_hWnd, WM_PHONE_CALLACTIVE, static_cast<WPARAM>(app.GetCallState()), 0);
    return window;
}
