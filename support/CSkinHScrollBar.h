#pragma once

#include "SkinScrollParts.h"
#include "platform.h"

// The painted horizontal scroll bar under a list whose own bars are hidden: a child window with a
// left and a right arrow, a track and a thumb, mirroring the list's horizontal scroll state. An
// arrow held scrolls a line after 250 ms and then every 50 ms, and once more when it is lifted
// over it; a tap on the track pages toward the tapped side when it is lifted; dragging the thumb
// scrolls the list to follow. The list is told by sent WM_HSCROLL codes (so it has moved when the
// call returns) and, for drags, LVM_SCROLL.
class CSkinHScrollBar : public CWnd {
public:
    static constexpr UINT_PTR delay_timer = 5;
    static constexpr UINT_PTR repeat_timer = 4;
    static constexpr UINT delay_ms = 250;
    static constexpr UINT repeat_ms = 50;

    CSkinHScrollBar() = default;
    ~CSkinHScrollBar() override;

    // Right arrow, right pressed, left arrow, left pressed, track, thumb, thumb pressed.
    void SetBitmaps(UINT right, UINT right_pressed, UINT left, UINT left_pressed, UINT track, UINT thumb,
        UINT thumb_pressed);
    // Places the arrows at the ends of the client area, the platform's arrow width wide, and the
    // track (and the thumb until the next update) between them.
    void Layout();
    // Places the thumb from the list's scroll state and paints the bar.
    void UpdateThumb();

    BYTE m_bRightPressed = 0;
    BYTE m_bLeftPressed = 0;
    BYTE m_bDragging = 0;
    BYTE m_bThumbPressed = 0;
    // The list served, set by its owner after creation.
    CWnd* m_pList = nullptr;
    CBitmap m_bmp[skin_scroll::picture_count];
    CRect m_rcLeft;
    CRect m_rcRight;
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
};
