#include "COneKeySelectDlg.h"

#include "HubscreenPaint.h"
#include "HubscreenResources.h"

COneKeySelectDlg::COneKeySelectDlg(UINT picture)
    : CDialog(IDD_ONE_KEY_SELECT)
    , m_nPicture(picture)
{
}

void COneKeySelectDlg::DoDataExchange(CDataExchange* exchange)
{
    DDX_Control(exchange, IDOK, m_ok);
    DDX_Control(exchange, IDCANCEL, m_cancel);
}

BOOL COneKeySelectDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(u"One Key Selection");
    m_ok.LoadBitmaps(IDB_ONE_KEY_OK_UP, IDB_ONE_KEY_OK_DOWN);
    m_cancel.LoadBitmaps(IDB_ONE_KEY_CANCEL_UP, IDB_ONE_KEY_CANCEL_DOWN);
    m_ok.MoveWindow(370, 205, 68, 40);
    m_cancel.MoveWindow(27, 205, 68, 40);
    m_ok.ShowWindow(SW_SHOW);
    m_cancel.ShowWindow(SW_SHOW);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 480, 272, SWP_NOMOVE);
    return TRUE;
}

void COneKeySelectDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    draw_resource_bitmap(dc, IDB_WARNING_BACKGROUND, 0, 0);
    draw_resource_bitmap(dc, m_nPicture, 80, 60);
    EndPaint(m_hWnd, &paint);
}

void COneKeySelectDlg::OnOK()
{
    m_setting_holder.ClickWithBacklight();
    EndDialog(IDOK);
}

void COneKeySelectDlg::OnCancel()
{
    m_setting_holder.ClickWithBacklight();
    EndDialog(IDCANCEL);
}
