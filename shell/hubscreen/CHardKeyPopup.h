#pragma once

#include "CWarningDlg.h"

// The keys-locked pop-up: shown for 2000 ms in the middle of the screen.
class CHardKeyPopup : public CWarningDlg {
public:
    static constexpr UINT_PTR hide_timer = 16413;

    CHardKeyPopup();
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;
    void OnPaint() override;
    void OnTimer(UINT_PTR) override;
};
