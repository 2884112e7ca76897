#include "CShutdownDlg.h"

#include "HubscreenPaint.h"
#include "HubscreenResources.h"

CShutdownDlg::CShutdownDlg()
    : CWarningDlg(IDD_SHUTDOWN, u"shutdown", false)
{
}

void CShutdownDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    draw_resource_bitmap(dc, IDB_SHUTTING_DOWN, 0, 0);
    EndPaint(m_hWnd, &paint);
}
