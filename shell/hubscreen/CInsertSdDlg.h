#pragma once

#include "CWarningDlg.h"

// "hubscreen.sd": asks for the card, with the picture of the reason it is wanted.
class CInsertSdDlg : public CWarningDlg {
public:
    CInsertSdDlg();
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;
    void OnPaint() override;

    LPARAM m_nReason = 152;
    BOOL m_bHeldBack = FALSE;

private:
    bool ok_hidden() const;
    bool reason_holds() const;
};
