#pragma once

// The progress bar of the phone link's progress dialogs: the platform's progress control painted
// from two skin pictures, a background and a bar whose columns show the position.

#include "platform.h"

class CProgressCtrlEx : public CProgressCtrl {
public:
    // Reads "BkImage" and "BarImage" of a section of a skin file and loads both pictures.
    void LoadImages(LPCWSTR section, LPCWSTR skinFile);

    // How many columns of the bar show on a control `width` pixels wide (a pixel of frame each
    // side): the position kept inside the range, none for an empty range.
    static int BarWidth(int position, int lower, int upper, int width);

    // Height of the bar picture's strip that is drawn.
    static constexpr int BAR_HEIGHT = 18;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }

private:
    CBitmap m_bmpBackground;
    CBitmap m_bmpBar;
};
