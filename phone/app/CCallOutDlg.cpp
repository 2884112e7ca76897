#include "CCallOutDlg.h"

#include "CDialdeckApp.h"
#include "CIncomingCallDlg.h"
#include "DialdeckResources.h"
#include "DialdeckTexts.h"
#include "PhoneMessages.h"
#include "SkinControls.h"

namespace {

constexpr int SCREEN_WIDTH = 480;
constexpr int SCREEN_HEIGHT = 272;

std::u16string SkinFile()
{
    return SkinFilePath(u"PhoneBook", u"Callout.ini");
}

} // namespace

CCallOutDlg::CCallOutDlg(CWnd* owner)
    : CPhoneScreen(IDD_CALL_OUT, owner)
{
    add_dialdeck_resources();
    TakeMouse({ &m_titleLayout, &m_infoLayout, &m_statusLayout });
}

void CCallOutDlg::SetNameNumber(const std::u16string& name, const std::u16string& number)
{
    m_name = name;
    m_number = number;
}

BOOL CCallOutDlg::CreateModeless()
{
    m_modeless = true;
    return Create(IDD_CALL_OUT, m_pParentWnd);
}

BOOL CCallOutDlg::OnInitDialog()
{
    CPhoneScreen::OnInitDialog();
    SetForegroundWindow();
    CDialdeckApp& app = CDialdeckApp::Get();

    std::u16string file = SkinFile();
    PlaceFromSkin(file.c_str());
    GetStaticCtlInfoFromSetting(m_title, u"st_Title", file.c_str());
    GetStaticCtlInfoFromSetting(m_nameCaption, u"st_Name", file.c_str());
    GetStaticCtlInfoFromSetting(m_numberCaption, u"st_Number", file.c_str());
    GetStaticCtlInfoFromSetting(m_nameInfo, u"st_NameInfo", file.c_str());
    GetStaticCtlInfoFromSetting(m_numberInfo, u"st_NumberInfo", file.c_str());
    GetStaticCtlInfoFromSetting(m_calling, u"st_Calling", file.c_str());
    m_titleLayout.InitLayout(file.c_str(), u"Title_layout", m_hWnd);
    m_infoLayout.InitLayout(file.c_str(), u"Info_layout", m_hWnd);
    m_statusLayout.InitLayout(file.c_str(), u"Status_layout", m_hWnd);
    m_nameInfo.text = m_name.c_str();
    m_numberInfo.text = m_number.c_str();
    int state = app.GetCallState();
    if (state == 2) {
        m_title.text = LanguageText(TEXT_CALL_ANSWERED).c_str();
        m_calling.text = LanguageText(TEXT_CALL_ACTIVE).c_str();
    }

    ShowWindow(SW_SHOW);
    // The whole screen, whatever the skin's rectangle.
    SetWindowPos(&wndTopMost, 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, 0);
    UpdateWindow();

    if (state != 2 && state != 3) {
        // Opened while no call is up: this screen places the call. A failed dial leaves the
        // number shown until the user leaves.
        WCHAR number[260] = {};
        wcsncpy(number, m_number.c_str(), 259);
        app.m_manager.Dial(number);
    }
    app.SetCallNumber(m_number);
    return TRUE;
}

LRESULT CCallOutDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_LAYOUTBTN_CLICK:
        return OnButtonClick(*reinterpret_cast<CLayoutBtn*>(lparam));
    case WM_PHONE_CALLUPDATE:
        // A modeless screen is gone after the idle report: nothing of it may be touched here.
        OnCallUpdate(wparam);
        return 1;
    case WM_PHONE_LANGCHANGED:
        OnLanguageChanged();
        return 1;
    case WM_PHONE_CLOSE:
        HangUp();
        return 1;
    case WM_PHONE_SHOWHIDE:
        return 1;
    default:
        return CPhoneScreen::WindowProc(message, wparam, lparam);
    }
}

LRESULT CCallOutDlg::OnButtonClick(const CLayoutBtn& button)
{
    LPCWSTR name = button.m_strName;
    if (_wcsicmp(name, u"exit") == 0) {
        // The call goes on.
        EndDialog(IDOK);
        return 0;
    }
    if (_wcsicmp(name, u"mini") == 0) {
        ShowWindow(SW_HIDE);
        CDialdeckApp::Get().SetCallNumber(static_cast<LPCWSTR>(m_numberInfo.text));
        // The panel's dial pad request: the pad runs on top of this hidden screen.
        if (CWnd* main = AfxGetMainWnd())
            ::SendMessage(main->m_hWnd, RegisterWindowMessage(u"WM_ZOLBT_INMSG_SHOWHIDE_DIALER"), 1, 0);
        return 0;
    }
    if (_wcsicmp(name, u"Hangup") == 0)
        HangUp();
    return 1;
}

void CCallOutDlg::HangUp()
{
    CDialdeckApp& app = CDialdeckApp::Get();
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    // A failed hang-up still ends the screen; the manager's next report settles the rest.
    app.m_manager.HangupCall();
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    app.SetCallState(0);
    EndDialog(IDOK);
}

void CCallOutDlg::OnCallUpdate(WPARAM state)
{
    if (state == 0) {
        EndDialog(IDOK);
        if (m_modeless)
            DestroyWindow(); // frees the screen
        return;
    }
    if (state == 2) {
        std::u16string active = LanguageText(TEXT_CALL_ACTIVE);
        if (_wcsicmp(active.c_str(), m_calling.text) != 0) {
            m_calling.text = active.c_str();
            InvalidateRect(&m_calling.rect, TRUE);
        }
    }
}

void CCallOutDlg::OnLanguageChanged()
{
    std::u16string file = SkinFile();
    RelabelStatics(file.c_str(),
        { { m_title, u"st_Title", m_titleLayout, true }, { m_nameCaption, u"st_Name", m_infoLayout },
            { m_numberCaption, u"st_Number", m_infoLayout }, { m_calling, u"st_Calling", m_infoLayout } });
}

void CCallOutDlg::OnPaint()
{
    PaintOffScreen([&](CDC& dc) {
        m_titleLayout.DrawLayout(dc);
        m_infoLayout.DrawLayout(dc);
        DrawStaticText2(dc, m_title);
        for (const StaticInfo* info : { &m_nameCaption, &m_numberCaption, &m_nameInfo, &m_numberInfo, &m_calling })
            DrawStaticText(dc, *info, 0);
    });
}

void CCallOutDlg::OnDestroy()
{
    // The call-status callback must find no window of this screen from now on.
    CDialdeckApp& app = CDialdeckApp::Get();
    if (app.GetWindowRef(WindowRef::CallScreen) == this)
        app.SetWindowRef(WindowRef::CallScreen, nullptr);
    CPhoneScreen::OnDestroy();
}

void CCallOutDlg::PostNcDestroy()
{
    if (m_modeless)
        delete this;
}
