#pragma once

#include "SkinScrollParts.h"
#include "platform.h"

// The painted vertical scroll bar beside a list whose own bars are hidden: a child window with an
// up and a down arrow, a track and a thumb, mirroring the list's vertical scroll state. An arrow
// held scrolls a line after 250 ms and then every 50 ms, and once more when it is lifted; a press
// on the track pages toward the stylus at once and every 250 ms until the thumb reaches it;
// dragging the thumb scrolls the list by the stylus's distance from the thumb. The list is told by
// sent WM_VSCROLL codes (so it has moved when the call returns) and, for drags, LVM_SCROLL.
class CSkinVScrollBar : public CWnd {
public:
    static constexpr UINT_PTR delay_timer = 7;
    static constexpr UINT_PTR repeat_timer = 6;
    static constexpr UINT_PTR page_timer = 8;
    static constexpr UINT delay_ms = 250;
    static constexpr UINT repeat_ms = 50;
    static constexpr UINT page_ms = 250;

    CSkinVScrollBar() = default;
    ~CSkinVScrollBar() override;

    // Up arrow, up pressed, down arrow, down pressed, track, thumb, thumb pressed.
    void SetBitmaps(UINT up, UINT up_pressed, UINT down, UINT down_pressed, UINT track, UINT thumb, UINT thumb_pressed);
    // Places the arrows at the ends of the client area, the platform's arrow height high, and the
    // track (and the thumb until the next update) between them.
    void Layout();
    // Places the thumb from the list's scroll state and paints the bar.
    void UpdateThumb();

    BYTE m_bUpPressed = 0;
    BYTE m_bDownPressed = 0;
    BYTE m_bDragging = 0;
    BYTE m_bThumbPressed = 0;
    // Where the stylus was last pressed or moved to, in client coordinates.
    int m_nLastY = 0;
    // The list served, set by its owner after creation.
    CWnd* m_pList = nullptr;
    CBitmap m_bmp[skin_scroll::picture_count];
    CRect m_rcDown;
    CRect m_rcUp;
    CRect m_rcTrack;
    CRect m_rcThumb;

protected:
    void OnPaint() override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnTimer(UINT_PTR id) override;

private:
    void place_thumb();
    void paint(CDC&);
    void scroll(UINT code);
    void drag_to(int y);
};
