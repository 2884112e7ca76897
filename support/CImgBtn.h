#pragma once

#include "platform.h"

#include <functional>

// A button painted by its dialog: a rectangle of the dialog's client area with a normal and a
// pressed picture, never a window of its own. The dialog paints it, hit-tests the stylus against
// its buttons' rectangles and tells the pressed button of the press and of the release; a release
// that completes a click (pending set) runs the button's handler after the button is drawn
// released. While any button of the program is held, even a button disabled meanwhile follows
// its release, so a held press always ends drawn up and acted upon.
class CImgBtn : public CWnd {
public:
    // The dialog's action for a completed click; it gets the dialog the button was pressed on.
    using ClickHandler = std::function<void(CWnd* dialog)>;

    CImgBtn() = default;
    ~CImgBtn() override;

    // The window's own Create stays callable beside the button's.
    using CWnd::Create;
    // Releases the pictures, takes the rectangle (x, y, x + width, y + height) and loads both
    // pictures from the program's resources.
    void Create(int x, int y, int width, int height, UINT normal_picture, UINT pressed_picture);
    // Releases and reloads both pictures; draws the normal one at once when the low byte of
    // `draw` is nonzero.
    void SetBitmaps(CWnd* dialog, UINT normal_picture, UINT pressed_picture, BOOL draw);
    // Draws the button pressed (`down` nonzero) or released, then runs a pending click. A
    // disabled button is left alone unless some button is held.
    void Press(CWnd* dialog, BOOL down);
    // Draws the normal picture when the button is visible.
    void Paint(CWnd* dialog);
    // Enabled and visible both follow the low byte of `on`.
    void Enable(BOOL on);

    // Whether the point lies strictly inside the rectangle: a point on an edge hits nothing.
    bool Contains(POINT point) const;
    // The dialogs' side of their row of buttons. StylusDown presses the first button holding the
    // point and answers its index, or `count` for none. StylusUp completes the click when the
    // release falls on the button `held` (as StylusDown answered) and draws that button up.
    static int HitTest(const CImgBtn* buttons, int count, POINT point);
    static int StylusDown(CWnd* dialog, CImgBtn* buttons, int count, POINT point);
    static void StylusUp(CWnd* dialog, CImgBtn* buttons, int count, int held, POINT point);

    int m_nLeft = 0;
    int m_nTop = 0;
    int m_nRight = 0;
    int m_nBottom = 0;
    CBitmap m_bmpNormal;
    CBitmap m_bmpPressed;
    // Set by the dialog when a release completes a click on this button.
    BYTE m_bPending = 0;
    BYTE m_bEnabled = 1;
    BYTE m_bVisible = 1;
    ClickHandler m_pfnOnRelease;

private:
    void draw(CWnd* dialog, CBitmap& picture);
};
