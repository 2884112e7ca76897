#pragma once

#include "CWarningDlg.h"

// "low battery warning": the 30-second countdown to the shutdown, or the request to connect the
// mains adapter before using USB.
class CLowBatteryDlg : public CWarningDlg {
public:
    static constexpr UINT_PTR countdown_timer = 0xABCD1234;
    static constexpr RECT digit_rect { 234, 148, 257, 168 };

    CLowBatteryDlg();
    ~CLowBatteryDlg() override;
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;
    void OnPaint() override;
    void OnTimer(UINT_PTR) override;
    void OnOK() override;

    UINT m_nPicture = 207;
    int m_nSecondsLeft = 30;

private:
    HFONT m_digit_font = nullptr;
};
