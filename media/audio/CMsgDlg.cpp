#include "CMsgDlg.h"

#include "BitmapSource.h"
#include "KivoNotify.h"
#include "MelodoResources.h"
#include "MessagePictures.h"

namespace {

// Where the play list's messages and the card warnings stand.
constexpr POINT wide_message_at { 60, 35 };
constexpr POINT card_message_at { 80, 65 };

struct Layout {
    bool ok_shown;
    POINT ok_at;
    bool x_shown;
    POINT x_at;
};

// The buttons by mode: the two deletions ask (OK and X), the full list only tells (X), the card
// warnings are acknowledged (OK). A mode without a message keeps X, so the box can be closed.
Layout layout_of(int mode)
{
    switch (mode) {
    case CMsgDlg::mode_delete_list:
    case CMsgDlg::mode_reload_card:
        return { true, { 350, 190 }, true, { 75, 190 } };
    case CMsgDlg::mode_list_full:
        return { false, {}, true, { 350, 190 } };
    case CMsgDlg::mode_card_full:
    case CMsgDlg::mode_card_protected:
        return { true, { 400, 220 }, false, {} };
    default:
        return { false, {}, true, { 350, 190 } };
    }
}

bool is_card_warning(int mode)
{
    return mode == CMsgDlg::mode_card_full || mode == CMsgDlg::mode_card_protected;
}

void place(CBitmapButton& button, bool shown, POINT at)
{
    button.SetWindowPos(nullptr, at.x, at.y, message_button_size.cx, message_button_size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    button.ShowWindow(shown ? SW_SHOW : SW_HIDE);
}

} // namespace

CMsgDlg::CMsgDlg(int mode, HWND* navigation_window, CWnd* parent)
    : CDialog(IDD_MESSAGE, parent)
    , m_nMode(mode)
    , m_phNaviWnd(navigation_window)
{
}

BOOL CMsgDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowPos(&wndTopMost, 0, 0, 480, 272, SWP_NOACTIVATE);
    m_Ok.SubclassDlgItem(IDC_OK, this);
    m_Dismiss.SubclassDlgItem(IDC_CLOSE_X, this);
    // The card warnings' OK is the sound dialog's.
    if (is_card_warning(m_nMode))
        m_Ok.LoadBitmaps(IDB_SOUND_OK, IDB_SOUND_OK + 1);
    else
        m_Ok.LoadBitmaps(IDB_MESSAGE_OK, IDB_MESSAGE_OK + 1);
    m_Dismiss.LoadBitmaps(IDB_MESSAGE_X, IDB_MESSAGE_X + 1);
    if (m_nMode >= mode_delete_list && m_nMode <= mode_card_protected)
        m_Message.LoadBitmap(IDB_MESSAGE_FIRST + static_cast<UINT>(m_nMode));
    if (is_card_warning(m_nMode))
        m_Frame.LoadBitmap(IDB_MESSAGE_FRAME);
    Layout layout = layout_of(m_nMode);
    place(m_Ok, layout.ok_shown, layout.ok_at);
    place(m_Dismiss, layout.x_shown, layout.x_at);
    return TRUE;
}

void CMsgDlg::OnPaint()
{
    CPaintDC dc(this);
    if (is_card_warning(m_nMode)) {
        support_painting::draw_picture(dc, m_Frame, 0, 0);
        support_painting::draw_picture(dc, m_Message, card_message_at.x, card_message_at.y);
    } else {
        support_painting::draw_picture(dc, m_Message, wide_message_at.x, wide_message_at.y);
    }
}

BOOL CMsgDlg::OnEraseBkgnd(CDC*)
{
    // Around a play list message the screen below stays in sight; the card warnings cover it all.
    return TRUE;
}

void CMsgDlg::OnDestroy()
{
    m_Message.DeleteObject();
    m_Frame.DeleteObject();
    CDialog::OnDestroy();
}

void CMsgDlg::OnConfirm()
{
    key_click();
    m_nMode = mode_confirmed;
    m_Message.DeleteObject();
    OnOK();
}

void CMsgDlg::OnDismiss()
{
    key_click();
    OnOK();
}

BOOL CMsgDlg::OnCommand(WPARAM wparam, LPARAM lparam)
{
    if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == IDC_OK) {
        OnConfirm();
        return TRUE;
    }
    if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == IDC_CLOSE_X) {
        OnDismiss();
        return TRUE;
    }
    return CDialog::OnCommand(wparam, lparam);
}

LRESULT CMsgDlg::DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    // The card going, a USB connection and the close request end the box, and its caller, with 34.
    if (message == WM_KIVO_NOTIFY && (wparam == DRV_SD_RMV2 || wparam == APP_USB_CONNECTED || wparam == APP_CLOSE))
        EndDialog(static_cast<int>(APP_CLOSE));
    return CDialog::DefWindowProc(message, wparam, lparam);
}

void CMsgDlg::key_click()
{
    if (m_phNaviWnd && *m_phNaviWnd)
        m_Setting.Click();
    else
        m_Setting.ClickWithBacklight();
}
