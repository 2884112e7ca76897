#pragma once

#include "CWarningDlg.h"

// "shutdown": the whole screen while the device shuts down.
class CShutdownDlg : public CWarningDlg {
public:
    CShutdownDlg();
    void OnPaint() override;
};
