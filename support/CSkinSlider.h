#pragma once

#include "platform.h"

// The players' seek bar: a progress control of the dialog, subclassed, that paints itself from
// four pictures (empty track, filled track, thumb, pressed thumb) and follows the stylus. It tells
// its parent the position by posted WM_HSCROLL messages, wParam = code | position << 16 and lParam
// the slider's window: SB_THUMBTRACK (5) on the press and while dragging, 0 when the stylus is
// lifted. The position travels in the message because a later move may have changed the slider's
// own by the time the parent reads it. The range is the progress control's (PBM_SETRANGE); with
// lo..hi the positions run from lo at the left edge to hi + 1 at the right edge. A disabled window
// takes no stylus and keeps its picture.
class CSkinSlider : public CProgressCtrl {
public:
    // The codes of the notification's low word.
    static constexpr UINT code_track = SB_THUMBTRACK;
    static constexpr UINT code_release = 0;

    CSkinSlider() = default;
    ~CSkinSlider() override;

    // Releases the four pictures and loads the given resources.
    void SetBitmaps(UINT track, UINT filled_track, UINT thumb, UINT pressed_thumb);
    // Stores the position; with `repaint` the whole window is invalidated (no erase) and the
    // paint follows.
    void SetPos(int position, BOOL repaint = TRUE);
    int GetPos() const { return m_nPos; }

protected:
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return FALSE; }

private:
    void track(int x);
    void notify(UINT code);
    void paint(CDC& dc);

    CBitmap m_bmpTrack;
    CBitmap m_bmpFilled;
    CBitmap m_bmpThumb;
    CBitmap m_bmpThumbPressed;
    int m_nPos = 0;
    // The pixel offset of the last tracked point from the left edge.
    int m_nOffset = 0;
    int m_bPressed = 0;
};
