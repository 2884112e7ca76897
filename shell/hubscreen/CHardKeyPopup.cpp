#include "CHardKeyPopup.h"

#include "HubscreenPaint.h"
#include "HubscreenResources.h"
#include "KivoNotify.h"

CHardKeyPopup::CHardKeyPopup()
    : CWarningDlg(IDD_HARD_KEY, nullptr, false)
{
}

LRESULT CHardKeyPopup::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_KIVO_NOTIFY && wparam == APP_HARDKEY) {
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, 138, 78, 204, 116, SWP_SHOWWINDOW);
        ShowWindow(SW_SHOW);
        m_bVisible = TRUE;
        SetTimer(hide_timer, 2000);
    }
    return CWarningDlg::WindowProc(message, wparam, lparam);
}

void CHardKeyPopup::OnTimer(UINT_PTR id)
{
    if (id != hide_timer) {
        CWarningDlg::OnTimer(id);
        return;
    }
    KillTimer(hide_timer);
    HideWarning();
}

void CHardKeyPopup::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    draw_resource_bitmap(dc, IDB_KEYS_LOCKED, 0, 0);
    EndPaint(m_hWnd, &paint);
}
