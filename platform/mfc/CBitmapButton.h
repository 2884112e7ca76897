#pragma once

#include "CButton.h"

// An owner-drawn button showing one of four bitmaps of the program's resources: up, down (while
// pressed), focus and disabled. It clicks like any button: BN_CLICKED on a release inside.
class CBitmapButton : public CButton {
public:
    BOOL LoadBitmaps(UINT up, UINT down = 0, UINT focus = 0, UINT disabled = 0);
    // The bitmap the button shows now, by its state: the down one while pressed, the disabled
    // one while disabled, the focus one with the focus, and the up one otherwise (a face the
    // program did not give falls back to the up one).
    UINT CurrentBitmapId() const;
    void SizeToContent();

    UINT m_nUp = 0;
    UINT m_nDown = 0;
    UINT m_nFocus = 0;
    UINT m_nDisabled = 0;
};
