#pragma once

#include "CBitmap.h"
#include "CButton.h"

// An owner-drawn button showing one of four bitmaps of the program's resources: up, down (while
// pressed), focus and disabled. It clicks like any button: BN_CLICKED on a release inside.
class CBitmapButton : public CButton {
public:
    // Loads the faces from the program's resources; false when the up face is missing (the
    // others are optional and fall back to the up one).
    BOOL LoadBitmaps(UINT up, UINT down = 0, UINT focus = 0, UINT disabled = 0);
    // The bitmap the button shows now, by its state: the down one while pressed, the disabled
    // one while disabled, the focus one with the focus, and the up one otherwise.
    UINT CurrentBitmapId() const;
    // Sizes the button to its up bitmap.
    void SizeToContent();
    void DrawItem(LPDRAWITEMSTRUCT) override;

    UINT m_nUp = 0;
    UINT m_nDown = 0;
    UINT m_nFocus = 0;
    UINT m_nDisabled = 0;
    CBitmap m_bitmap;
    CBitmap m_bitmapSel;
    CBitmap m_bitmapFocus;
    CBitmap m_bitmapDisabled;

private:
    // The face for a drawing state, falling back to the up one.
    CBitmap& face(UINT item_state);
};
