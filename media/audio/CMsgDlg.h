#pragma once

#include "CSettingHolder.h"
#include "platform.h"

// The player's picture message box: five fixed messages about the play list and the card. The
// caller sets the mode before it runs and reads it back: 5 when "OK" was tapped.
class CMsgDlg : public CDialog {
public:
    enum Mode {
        mode_delete_list = 0,
        mode_reload_card = 1,
        mode_list_full = 2,
        mode_card_full = 3,
        mode_card_protected = 4,
        mode_confirmed = 5,
    };

    // The navigation program's window handle, null outside navigation mode (for the key click).
    CMsgDlg(int mode, HWND* navigation_window, CWnd* parent = nullptr);

    BOOL OnInitDialog() override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override;
    void OnDestroy() override;
    LRESULT DefWindowProc(UINT message, WPARAM, LPARAM) override;
    void OnConfirm();
    void OnDismiss();

    int m_nMode = mode_delete_list;
    HWND* m_phNaviWnd = nullptr;
    CSettingHolder m_Setting;
    CBitmapButton m_Ok;
    CBitmapButton m_Dismiss;
    CBitmap m_Message;
    CBitmap m_Frame;

protected:
    BOOL OnCommand(WPARAM, LPARAM) override;

private:
    void key_click();
};
