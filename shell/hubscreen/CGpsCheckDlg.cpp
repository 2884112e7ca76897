#include "CGpsCheckDlg.h"

#include "HubscreenPaint.h"
#include "HubscreenResources.h"

CGpsCheckDlg::CGpsCheckDlg()
    : CWarningDlg(IDD_GPS_CHECK, u"no gps warning", true)
{
}

void CGpsCheckDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    draw_resource_bitmap(dc, IDB_WARNING_BACKGROUND, 0, 0);
    draw_resource_bitmap(dc, IDB_NO_GPS, 80, 60);
    EndPaint(m_hWnd, &paint);
}
