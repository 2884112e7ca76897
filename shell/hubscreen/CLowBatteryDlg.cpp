#include "CLowBatteryDlg.h"

#include "HubscreenPaint.h"
#include "HubscreenResources.h"
#include "KivoNotify.h"

CLowBatteryDlg::CLowBatteryDlg()
    : CWarningDlg(IDD_LOW_BATTERY, u"low battery warning", true)
{
    m_digit_font = CreateFont(18, 0, 0, 0, FW_BOLD, 0, 0, 0, 1, 0, 0, 1, 32, u"Arial");
}

CLowBatteryDlg::~CLowBatteryDlg()
{
    DeleteObject(m_digit_font);
}

LRESULT CLowBatteryDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == MSG_LOWBAT_COUNTDOWN && !m_bVisible) {
        SetTimer(countdown_timer, 1000);
        m_nSecondsLeft = 30;
        m_nPicture = IDB_LOW_BATTERY_COUNTDOWN;
        show_ok(false);
        ShowWarning();
        Invalidate(FALSE);
    } else if (message == WM_KIVO_NOTIFY) {
        if (wparam == APP_USB_CONNECTED && lparam >= 0 && lparam <= 3) {
            m_nPicture = IDB_LOW_BATTERY_USB;
            show_ok(true);
            ShowWarning();
            Invalidate(FALSE);
        } else if (wparam == DRV_BATT_AC_CHANGE && m_bVisible) {
            KillTimer(countdown_timer);
            HideWarning();
        } else if (wparam == APP_USB_REMOVED && m_bVisible && m_nPicture != IDB_LOW_BATTERY_COUNTDOWN) {
            KillTimer(countdown_timer);
            HideWarning();
        }
    }
    return CWarningDlg::WindowProc(message, wparam, lparam);
}

void CLowBatteryDlg::OnTimer(UINT_PTR id)
{
    if (id != countdown_timer) {
        CWarningDlg::OnTimer(id);
        return;
    }
    --m_nSecondsLeft;
    InvalidateRect(&digit_rect, TRUE);
    // Painted now, so that "00" is on the screen before the shutdown broadcast is handled.
    UpdateWindow();
    if (m_nSecondsLeft < 1) {
        KillTimer(countdown_timer);
        OutputDebugString(u"low bat countdown time-up.\n");
        ::PostMessage(HWND_BROADCAST, MSG_SHUTDOWN, 0, 0);
    }
}

void CLowBatteryDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    draw_resource_bitmap(dc, IDB_WARNING_BACKGROUND, 0, 0);
    draw_resource_bitmap(dc, m_nPicture, 80, 60);
    if (m_nPicture == IDB_LOW_BATTERY_COUNTDOWN) {
        RECT digits = digit_rect;
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        FillRect(dc, &digits, white);
        DeleteObject(white);
        WCHAR text[8];
        swprintf(text, u"%02d", m_nSecondsLeft);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 26, 0));
        HGDIOBJ font = SelectObject(dc, m_digit_font);
        DrawText(dc, text, -1, &digits, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(dc, font);
    }
    EndPaint(m_hWnd, &paint);
}

void CLowBatteryDlg::OnOK()
{
    KillTimer(countdown_timer);
    CWarningDlg::OnOK();
}
