#include "CWarningDlg.h"

#include "HubscreenResources.h"

CWarningDlg::CWarningDlg(UINT template_id, LPCWSTR title, bool has_ok)
    : m_template(template_id)
    , m_title(title)
    , m_has_ok(has_ok)
{
    if (has_ok)
        m_setting_holder = std::make_unique<CSettingHolder>();
}

bool CWarningDlg::CreateHidden(const char16_t* failure_line)
{
    if (Create(m_template, nullptr))
        return true;
    OutputDebugString(failure_line);
    return false;
}

void CWarningDlg::DoDataExchange(CDataExchange* exchange)
{
    if (m_has_ok)
        DDX_Control(exchange, IDOK, m_ok);
}

BOOL CWarningDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (m_title)
        SetWindowText(m_title);
    if (m_has_ok)
        m_ok.LoadBitmaps(IDB_OK_UP, IDB_OK_DOWN);
    HideWarning();
    return TRUE;
}

void CWarningDlg::ShowWarning()
{
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 480, 272, SWP_SHOWWINDOW);
    ShowWindow(SW_SHOW);
    m_bVisible = TRUE;
}

void CWarningDlg::HideWarning()
{
    ShowWindow(SW_HIDE);
    ::SetWindowPos(m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_bVisible = FALSE;
}

void CWarningDlg::show_ok(bool shown)
{
    if (m_has_ok && m_ok.m_hWnd)
        m_ok.ShowWindow(shown ? SW_SHOW : SW_HIDE);
}

void CWarningDlg::OnOK()
{
    if (m_setting_holder)
        m_setting_holder->ClickWithBacklight();
    HideWarning();
}
