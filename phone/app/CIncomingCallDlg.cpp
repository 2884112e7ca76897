#include "CIncomingCallDlg.h"

#include "CDialdeckApp.h"
#include "CDialdeckDlg.h"
#include "Contacts.h"
#include "DialdeckResources.h"
#include "DialdeckTexts.h"
#include "PhoneMessages.h"
#include "SkinControls.h"
#include "StoredFiles.h"

namespace {

// The colour beneath the caller's name and number in the skin's picture: a changed text is drawn
// on it alone, without painting the whole screen.
constexpr COLORREF INFO_BACKGROUND = RGB(36, 76, 94);

std::u16string SkinFile()
{
    return SkinFilePath(u"Mainskin", u"incall.ini");
}

} // namespace

CIncomingCallDlg::CIncomingCallDlg()
    : CPhoneScreen(IDD_INCOMING_CALL, nullptr)
{
    add_dialdeck_resources();
    TakeMouse({ &m_layouts[0], &m_layouts[1], &m_layouts[2] });
}

BOOL CIncomingCallDlg::OnInitDialog()
{
    CPhoneScreen::OnInitDialog();
    SetForegroundWindow();
    SetWindowPos(&wndTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);

    std::u16string file = SkinFile();
    PlaceFromSkin(file.c_str());
    GetStaticCtlInfoFromSetting(m_title, u"st_Title", file.c_str());
    GetStaticCtlInfoFromSetting(m_nameCaption, u"st_Name", file.c_str());
    GetStaticCtlInfoFromSetting(m_numberCaption, u"st_Number", file.c_str());
    GetStaticCtlInfoFromSetting(m_nameInfo, u"st_NameInfo", file.c_str());
    GetStaticCtlInfoFromSetting(m_numberInfo, u"st_NumberInfo", file.c_str());
    m_layouts[2].InitLayout(file.c_str(), u"Status_layout", m_hWnd);

    if (m_party) {
        std::u16string name;
        std::u16string number;
        GetContactDisplayName(m_party, &name);
        GetFirstNumber(m_party, &number);
        m_nameInfo.text = name.empty() ? LanguageText(TEXT_UNKNOWN_NAME).c_str() : name.c_str();
        m_numberInfo.text = number.empty() ? LanguageText(TEXT_UNKNOWN_NUMBER).c_str() : number.c_str();
        // A caller the phone knows only by number is looked up among the stored contacts at once.
        if (!number.empty() && name.empty())
            PostMessage(WM_PHONE_CALLERINFO, 0, reinterpret_cast<LPARAM>(m_party));
    }

    al_GetRegSettingInt(u"Volume", u"CurrentVolume", 5, &m_volume);
    CDialdeckApp::Get().m_manager.SetDeviceVol(1, m_volume);

    ShowWindow(SW_SHOW);
    UpdateWindow();
    SetWindowText(u"Incoming Call");
    return TRUE;
}

LRESULT CIncomingCallDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_LAYOUTBTN_CLICK:
        return OnButtonClick(*reinterpret_cast<CLayoutBtn*>(lparam));
    case WM_PHONE_ANSWERED:
        OnAnsweredOnPhone();
        return 1;
    case WM_PHONE_CALLERINFO:
        OnCallerInfo(reinterpret_cast<const PhonebookEntry*>(lparam));
        return 1;
    case WM_PHONE_LANGCHANGED:
        OnLanguageChanged();
        return 1;
    case WM_PHONE_CLOSE:
        HangUp();
        return 1;
    case WM_PHONE_SHOWHIDE:
        // The ring stays in front whatever the other screens do.
        return 1;
    default:
        return CPhoneScreen::WindowProc(message, wparam, lparam);
    }
}

LRESULT CIncomingCallDlg::OnButtonClick(const CLayoutBtn& button)
{
    LPCWSTR name = button.m_strName;
    if (_wcsicmp(name, u"Answercall") == 0) {
        Answer();
    } else if (_wcsicmp(name, u"Hangup") == 0) {
        HangUp();
    } else if (_wcsicmp(name, u"exit") == 0) {
        HangUp();
        return 0;
    }
    return 1;
}

void CIncomingCallDlg::Answer()
{
    CDialdeckApp& app = CDialdeckApp::Get();
    m_answered = true;
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    app.SetCallState(2);
    // A failed answer is settled by the manager's next report.
    app.m_manager.AnswerCall();
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    DisableAnswer();
    EndDialog(IDOK);
}

void CIncomingCallDlg::HangUp()
{
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    CDialdeckApp::Get().m_manager.HangupCall();
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    EndDialog(IDCANCEL);
}

void CIncomingCallDlg::OnAnsweredOnPhone()
{
    m_answered = true;
    DisableAnswer();
    EndDialog(IDOK);
    if (CWnd* main = AfxGetMainWnd())
        ::PostMessage(main->m_hWnd, WM_PHONE_CALLACTIVE, 2, 0);
}

void CIncomingCallDlg::DisableAnswer()
{
    if (CLayoutBtn* answer = m_layouts[2].FindButtonByName(u"Answercall"))
        answer->EnableWindow(FALSE);
}

void CIncomingCallDlg::OnCallerInfo(const PhonebookEntry* party)
{
    if (!party)
        return;
    std::u16string name;
    std::u16string number;
    GetContactDisplayName(party, &name);
    GetFirstNumber(party, &number);
    CDialdeckApp::Get().m_callerNumber = number;
    if (!number.empty() && name.empty()) {
        // Looked up once: later reports without a name leave the shown one alone.
        if (!m_lookedUp) {
            if (!FindNameByNumber(number, &name))
                name = LanguageText(TEXT_UNKNOWN_NAME);
            m_lookedUp = true;
        }
    }
    UpdateInfo(m_nameInfo, name);
    UpdateInfo(m_numberInfo, number);
}

void CIncomingCallDlg::UpdateInfo(StaticInfo& info, const std::u16string& text)
{
    if (text.empty() || _wcsicmp(text.c_str(), info.text) == 0)
        return;
    info.text = text.c_str();
    CClientDC dc(this);
    m_layouts[1].DrawLayout(dc, info.rect);
    CBrush background(INFO_BACKGROUND);
    dc.FillRect(&info.rect, &background);
    DrawStaticText(dc, info, 0);
}

void CIncomingCallDlg::OnLanguageChanged()
{
    std::u16string file = SkinFile();
    RelabelStatics(file.c_str(),
        { { m_title, u"st_Title", m_layouts[0], true }, { m_nameCaption, u"st_Name", m_layouts[1] },
            { m_numberCaption, u"st_Number", m_layouts[1] } });
}

void CIncomingCallDlg::OnPaint()
{
    PaintOffScreen([&](CDC& dc) {
        for (CLayout& layout : m_layouts)
            layout.DrawLayout(dc);
        DrawStaticText2(dc, m_title);
        for (const StaticInfo* info : { &m_nameCaption, &m_numberCaption, &m_nameInfo, &m_numberInfo })
            DrawStaticText(dc, *info, 0);
    });
}

void CIncomingCallDlg::OnDestroy()
{
    if (!m_answered) {
        CDialdeckApp& app = CDialdeckApp::Get();
        ++app.m_missedCalls;
        if (auto* panel = static_cast<CDialdeckDlg*>(app.GetWindowRef(WindowRef::Panel)))
            panel->SendToSubscribers(LinkMessage::MissCall, 1);
    }
    CPhoneScreen::OnDestroy();
}
