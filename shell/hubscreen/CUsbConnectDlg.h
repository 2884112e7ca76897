#pragma once

#include "CWarningDlg.h"

// "USB connection": the whole screen while the cable is in, connected or transferring.
class CUsbConnectDlg : public CWarningDlg {
public:
    CUsbConnectDlg();
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;
    void OnPaint() override;

    UINT m_nPicture = 160;
    BOOL m_bHeldBack = FALSE;
};
