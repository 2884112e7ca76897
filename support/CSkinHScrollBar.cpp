#include "CSkinHScrollBar.h"

using namespace skin_scroll;

namespace {

enum Picture { right_arrow,
    right_arrow_pressed,
    left_arrow,
    left_arrow_pressed };

} // namespace

CSkinHScrollBar::~CSkinHScrollBar()
{
    for (auto& picture : m_bmp)
        picture.DeleteObject();
}

void CSkinHScrollBar::SetBitmaps(
    UINT right, UINT right_pressed, UINT left, UINT left_pressed, UINT track, UINT thumb, UINT thumb_pressed)
{
    reload_pictures(m_bmp, { right, right_pressed, left, left_pressed, track, thumb, thumb_pressed });
}

void CSkinHScrollBar::Layout()
{
    CRect client;
    GetClientRect(&client);
    int arrow = GetSystemMetrics(SM_CXHSCROLL);
    int height = GetSystemMetrics(SM_CYHSCROLL);
    m_rcLeft.SetRect(client.left, client.top, client.left + arrow, client.top + height);
    m_rcRight.SetRect(client.right - arrow, client.top, client.right, client.top + height);
    m_rcTrack.SetRect(client.left + arrow, client.top, client.right - arrow, client.top + height);
    m_rcThumb = m_rcTrack;
}

void CSkinHScrollBar::UpdateThumb()
{
    place_thumb();
    CClientDC dc(this);
    paint(dc);
}

void CSkinHScrollBar::OnPaint()
{
    CPaintDC dc(this);
    place_thumb();
    paint(dc);
}

void CSkinHScrollBar::place_thumb()
{
    if (!m_pList)
        return;
    SCROLLINFO info {};
    if (!m_pList->GetScrollInfo(SB_HORZ, &info, SIF_ALL))
        return;
    if (auto span = thumb_span(m_rcTrack.left, m_rcTrack.right, info, false)) {
        m_rcThumb.left = span->start;
        m_rcThumb.right = span->end;
    }
}

void CSkinHScrollBar::paint(CDC& dc)
{
    const CBitmap& track = m_bmp[track_picture];
    stretch_into(dc, m_rcLeft, m_bmp[m_bLeftPressed ? left_arrow_pressed : left_arrow], m_bmp[left_arrow]);
    stretch_into(dc, CRect(m_rcTrack.left, m_rcTrack.top, m_rcThumb.left, m_rcTrack.bottom), m_bmp[track_picture], track);
    stretch_into(dc, CRect(m_rcThumb.right, m_rcTrack.top, m_rcTrack.right, m_rcTrack.bottom), m_bmp[track_picture], track);
    stretch_into(dc, m_rcRight, m_bmp[m_bRightPressed ? right_arrow_pressed : right_arrow], m_bmp[right_arrow]);
    stretch_into(dc, m_rcThumb, m_bmp[m_bThumbPressed ? thumb_pressed_picture : thumb_picture], m_bmp[thumb_picture]);
}

void CSkinHScrollBar::scroll(UINT code)
{
    if (m_pList)
        m_pList->SendMessage(WM_HSCROLL, code, 0);
    UpdateThumb();
}

void CSkinHScrollBar::OnLButtonDown(UINT, CPoint point)
{
    SetCapture();
    if (m_rcThumb.PtInRect(point)) {
        m_bThumbPressed = 1;
    } else if (m_rcRight.PtInRect(point)) {
        m_bRightPressed = 1;
        SetTimer(delay_timer, delay_ms);
    } else if (m_rcLeft.PtInRect(point)) {
        m_bLeftPressed = 1;
        SetTimer(delay_timer, delay_ms);
    }
    // A press on the track waits for the release.
}

void CSkinHScrollBar::OnTimer(UINT_PTR id)
{
    if (id == delay_timer) {
        if (m_bRightPressed || m_bLeftPressed) {
            KillTimer(delay_timer);
            SetTimer(repeat_timer, repeat_ms);
        }
    } else if (id == repeat_timer) {
        if (m_bRightPressed)
            scroll(SB_LINERIGHT);
        if (m_bLeftPressed)
            scroll(SB_LINELEFT);
    }
}

void CSkinHScrollBar::OnMouseMove(UINT, CPoint point)
{
    if (m_bThumbPressed)
        m_bDragging = 1;
    if (!m_bDragging || !m_pList)
        return;
    int thumb = m_rcThumb.Width();
    int room = m_rcTrack.Width() - thumb;
    // A thumb as long as its track (or longer) leaves nothing to drag along.
    if (room <= 0)
        return;
    double limit = m_pList->GetScrollLimit(SB_HORZ);
    double target = (point.x - thumb / 2 - m_rcTrack.left) * limit / room;
    auto dx = whole_amount(target - m_pList->GetScrollPos(SB_HORZ));
    if (!dx)
        return;
    m_pList->SendMessage(LVM_SCROLL, static_cast<WPARAM>(*dx), 0);
    CClientDC dc(this);
    paint(dc);
}

void CSkinHScrollBar::OnLButtonUp(UINT, CPoint point)
{
    UpdateThumb();
    KillTimer(delay_timer);
    KillTimer(repeat_timer);
    ReleaseCapture();
    if (m_rcLeft.PtInRect(point) && m_bLeftPressed)
        scroll(SB_LINELEFT);
    else if (m_rcRight.PtInRect(point) && m_bRightPressed)
        scroll(SB_LINERIGHT);
    else if (!m_rcThumb.PtInRect(point))
        scroll(point.x > m_rcThumb.left ? SB_PAGERIGHT : SB_PAGELEFT);
    m_bRightPressed = m_bLeftPressed = m_bDragging = m_bThumbPressed = 0;
}
