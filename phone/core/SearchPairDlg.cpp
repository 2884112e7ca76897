#include "SearchPairDlg.h"

#include "PhoneCoreResources.h"
#include "PhoneMessages.h"

CSearchPairDlg::CSearchPairDlg(CWnd* parent)
    : CPhoneScreen(IDD_PHONE_MESSAGE, parent)
{
    AddPhoneCoreDialogs();
    TakeMouse({ &m_layout, &m_infoLayout });
}

void CSearchPairDlg::SetSkinFile(LPCWSTR fileName, int mode, void* context)
{
    m_nMode = mode;
    m_pContext = context;
    m_strFileName = fileName;
}

void CSearchPairDlg::SetErrorText(LPCWSTR text, bool errorMode)
{
    m_strErrorText = text;
    m_bErrorMode = errorMode;
}

std::u16string CSearchPairDlg::SkinFile() const
{
    return SkinFilePath(u"PhoneManager", static_cast<LPCWSTR>(m_strFileName));
}

void CSearchPairDlg::ReadStatics(LPCWSTR skinFile)
{
    m_statics.clear();
    int count = 0;
    al_GetSettingInt(u"Static", u"count", skinFile, &count);
    for (int i = 1; i <= count; ++i) {
        WCHAR section[32];
        wsprintf(section, u"Static%d", i);
        StaticInfo info;
        GetStaticCtlInfoFromSetting(info, section, skinFile);
        m_statics.push_back(info);
    }
}

BOOL CSearchPairDlg::OnInitDialog()
{
    CPhoneScreen::OnInitDialog();
    SetForegroundWindow();
    std::u16string file = SkinFile();
    PlaceFromSkin(file.c_str());
    ReadStatics(file.c_str());
    // The skin decides: without statics the caller's text is the message.
    m_bErrorMode = m_statics.empty();
    if (m_bErrorMode) {
        GetStaticCtlInfoFromSetting(m_errorInfo, u"errinfo", file.c_str());
        m_errorInfo.text = m_strErrorText;
    }
    m_infoLayout.InitLayout(file.c_str(), u"Info_layout", m_hWnd);
    ShowWindow(SW_SHOW);
    UpdateWindow();
    return TRUE;
}

LRESULT CSearchPairDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_LAYOUTBTN_CLICK:
        return OnButtonClick(*reinterpret_cast<CLayoutBtn*>(lparam));
    case WM_PHONE_CLOSE:
        EndDialog(IDCANCEL);
        return 0;
    case WM_PHONE_SHOWHIDE:
        ShowWindow(static_cast<int>(wparam));
        return 0;
    case WM_PHONE_LANGCHANGED:
        OnLanguageChanged();
        return 0;
    default:
        return CPhoneScreen::WindowProc(message, wparam, lparam);
    }
}

LRESULT CSearchPairDlg::OnButtonClick(const CLayoutBtn& button)
{
    if (_wcsicmp(button.m_strName, u"exit") == 0) {
        EndDialog(IDCANCEL);
        return 0;
    }
    if (_wcsicmp(button.m_strName, u"OK") == 0)
        EndDialog(m_nMode == 1 && !m_pContext ? IDCANCEL : IDOK);
    return 1;
}

void CSearchPairDlg::OnPaint()
{
    CPaintDC dc(this);
    m_layout.DrawLayout(dc);
    m_infoLayout.DrawLayout(dc);
    if (m_bErrorMode) {
        DrawStaticText(dc, m_errorInfo, 0);
        return;
    }
    for (const auto& info : m_statics)
        DrawStaticText(dc, info, 0);
}

void CSearchPairDlg::OnLanguageChanged()
{
    std::u16string file = SkinFile();
    ReadStatics(file.c_str());
    m_infoLayout.UpdateLanguage();
    CClientDC dc(this);
    m_layout.DrawLayout(dc);
    m_infoLayout.DrawLayout(dc);
    for (size_t i = 0; i < m_statics.size(); ++i) {
        if (i == 0)
            DrawStaticText2(dc, m_statics[i]);
        else
            DrawStaticText(dc, m_statics[i], 0);
    }
}
