#include "CInsertSdDlg.h"

#include "CAppUtil.h"
#include "HubscreenPaint.h"
#include "HubscreenResources.h"
#include "HubscreenState.h"
#include "KivoNotify.h"

CInsertSdDlg::CInsertSdDlg()
    : CWarningDlg(IDD_INSERT_SD, u"hubscreen.sd", true)
{
}

bool CInsertSdDlg::ok_hidden() const
{
    return (m_nReason == SD_REASON_MEDIA_LOST || m_nReason == SD_REASON_MISSING) && hubscreen_state().usb_connected;
}

// A warning held back may be shown long after its reason arose: by then the card may be back in,
// or out, or unlocked, and a window about a cause that has gone would only wait to be closed.
bool CInsertSdDlg::reason_holds() const
{
    constexpr LPCWSTR card_store = u"SD Memory Card";
    bool card_present = hubscreen_state().card_present;
    switch (m_nReason) {
    case SD_REASON_MEDIA_LOST:
    case SD_REASON_MISSING:
        return !card_present;
    case SD_REASON_NOT_FAT:
        return card_present && CAppUtil().CheckStoreFormat(card_store) != 0;
    case SD_REASON_WRITE_PROTECTED:
        return card_present && CAppUtil().IsStoreReadOnly(card_store) == 0;
    default:
        return card_present;
    }
}

LRESULT CInsertSdDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_KIVO_NOTIFY) {
        if (wparam == APP_SD_READY && ok_hidden()) {
            HideWarning();
        } else if (wparam == DRV_SD_RMV2) {
            m_nReason = lparam;
            WORD mask = hubscreen_state().running_mask;
            if (mask & 0x1E) {
                ShowWarning();
            } else if (mask & 0x01) {
                OutputDebugString(u"-recv DRV_SD_RMV2 and dtv only, no action\n");
            } else if (FindWindow(nullptr, u"start warning of hubscreen")) {
                m_bHeldBack = TRUE;
                HideWarning();
            } else {
                ShowWarning();
            }
            show_ok(!ok_hidden());
            Invalidate(FALSE);
        } else if (wparam == APP_USB_REMOVED && m_bVisible) {
            HideWarning();
        }
    } else if (message == MSG_SHOW_WARNINGS && m_bHeldBack) {
        m_bHeldBack = FALSE;
        if (reason_holds()) {
            show_ok(!ok_hidden());
            ShowWarning();
            Invalidate(FALSE);
        }
    }
    return CWarningDlg::WindowProc(message, wparam, lparam);
}

void CInsertSdDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    draw_resource_bitmap(dc, IDB_WARNING_BACKGROUND, 0, 0);
    draw_resource_bitmap(dc, static_cast<UINT>(m_nReason), 80, 60);
    EndPaint(m_hWnd, &paint);
}
