#pragma once

#include "CWarningDlg.h"

// "no gps warning": the navigation program could not be started and must be installed again.
class CGpsCheckDlg : public CWarningDlg {
public:
    CGpsCheckDlg();
    void OnPaint() override;
};
