#include "CUsbConnectDlg.h"

#include "HubscreenPaint.h"
#include "HubscreenResources.h"
#include "HubscreenState.h"
#include "KivoNotify.h"

CUsbConnectDlg::CUsbConnectDlg()
    : CWarningDlg(IDD_USB_CONNECT, u"USB connection", false)
{
}

LRESULT CUsbConnectDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_KIVO_NOTIFY) {
        if (wparam == APP_USB_CONNECTED) {
            if (FindWindow(nullptr, u"start warning of hubscreen")) {
                m_bHeldBack = TRUE;
                HideWarning();
            } else {
                OutputDebugString(u"start warning usb show\n");
                if (lparam == 4 || lparam == 5 || lparam == 7) {
                    m_nPicture = IDB_USB_CONNECTED;
                    ShowWarning();
                    Invalidate(FALSE);
                } else if (lparam >= 0 && lparam <= 3) {
                    HideWarning();
                }
            }
        } else if (wparam == APP_USB_REMOVED) {
            HideWarning();
        } else if ((wparam == APP_USB_BUSY || wparam == APP_USB_IDLE) && !m_bHeldBack) {
            m_nPicture = wparam == APP_USB_BUSY ? IDB_USB_BUSY : IDB_USB_CONNECTED;
            ShowWarning();
            Invalidate(FALSE);
            UpdateWindow();
        }
    } else if (message == MSG_SHOW_WARNINGS && m_bHeldBack) {
        m_bHeldBack = FALSE;
        // Shown as the connection would show it now: not once the cable is out, nor while the
        // battery is too low for USB (the low-battery window says so instead).
        const HubscreenState& state = hubscreen_state();
        if (state.usb_connected && battery_charging(state.battery_state)) {
            m_nPicture = IDB_USB_CONNECTED;
            ShowWarning();
            Invalidate(FALSE);
        }
    }
    return CWarningDlg::WindowProc(message, wparam, lparam);
}

void CUsbConnectDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    draw_resource_bitmap(dc, m_nPicture, 0, 0);
    EndPaint(m_hWnd, &paint);
}
