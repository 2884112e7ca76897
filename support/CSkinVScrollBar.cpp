#include "CSkinVScrollBar.h"

using namespace skin_scroll;

namespace {

enum Picture { up_arrow,
    up_arrow_pressed,
    down_arrow,
    down_arrow_pressed };

} // namespace

CSkinVScrollBar::~CSkinVScrollBar()
{
    for (auto& picture : m_bmp)
        picture.DeleteObject();
}

void CSkinVScrollBar::SetBitmaps(
    UINT up, UINT up_pressed, UINT down, UINT down_pressed, UINT track, UINT thumb, UINT thumb_pressed)
{
    reload_pictures(m_bmp, { up, up_pressed, down, down_pressed, track, thumb, thumb_pressed });
}

void CSkinVScrollBar::Layout()
{
    CRect client;
    GetClientRect(&client);
    int width = GetSystemMetrics(SM_CXVSCROLL);
    int arrow = GetSystemMetrics(SM_CYVSCROLL);
    m_rcUp.SetRect(client.left, client.top, client.left + width, client.top + arrow);
    m_rcDown.SetRect(client.left, client.bottom - arrow, client.left + width, client.bottom);
    m_rcTrack.SetRect(client.left, client.top + arrow, client.left + width, client.bottom - arrow);
    m_rcThumb = m_rcTrack;
}

void CSkinVScrollBar::UpdateThumb()
{
    place_thumb();
    CClientDC dc(this);
    paint(dc);
}

void CSkinVScrollBar::OnPaint()
{
    CPaintDC dc(this);
    place_thumb();
    paint(dc);
}

void CSkinVScrollBar::place_thumb()
{
    if (!m_pList)
        return;
    SCROLLINFO info {};
    if (!m_pList->GetScrollInfo(SB_VERT, &info, SIF_ALL))
        return;
    if (auto span = thumb_span(m_rcTrack.top, m_rcTrack.bottom, info, true)) {
        m_rcThumb.top = span->start;
        m_rcThumb.bottom = span->end;
    }
}

void CSkinVScrollBar::paint(CDC& dc)
{
    const CBitmap& track = m_bmp[track_picture];
    stretch_into(dc, m_rcUp, m_bmp[m_bUpPressed ? up_arrow_pressed : up_arrow], m_bmp[up_arrow]);
    stretch_into(dc, CRect(m_rcTrack.left, m_rcTrack.top, m_rcTrack.right, m_rcThumb.top), m_bmp[track_picture], track);
    stretch_into(dc, CRect(m_rcTrack.left, m_rcThumb.bottom, m_rcTrack.right, m_rcTrack.bottom), m_bmp[track_picture], track);
    stretch_into(dc, m_rcDown, m_bmp[m_bDownPressed ? down_arrow_pressed : down_arrow], m_bmp[down_arrow]);
    stretch_into(dc, m_rcThumb, m_bmp[m_bThumbPressed ? thumb_pressed_picture : thumb_picture], m_bmp[thumb_picture]);
}

void CSkinVScrollBar::scroll(UINT code)
{
    if (m_pList)
        m_pList->SendMessage(WM_VSCROLL, code, 0);
    UpdateThumb();
}

void CSkinVScrollBar::OnLButtonDown(UINT, CPoint point)
{
    m_nLastY = point.y;
    SetCapture();
    if (m_rcThumb.PtInRect(point)) {
        m_bThumbPressed = 1;
    } else if (m_rcDown.PtInRect(point)) {
        m_bDownPressed = 1;
        SetTimer(delay_timer, delay_ms);
    } else if (m_rcUp.PtInRect(point)) {
        m_bUpPressed = 1;
        SetTimer(delay_timer, delay_ms);
    } else {
        SetTimer(page_timer, page_ms);
        scroll(point.y > m_rcThumb.top ? SB_PAGEDOWN : SB_PAGEUP);
        Default();
    }
}

void CSkinVScrollBar::OnTimer(UINT_PTR id)
{
    if (id == delay_timer) {
        if (m_bDownPressed || m_bUpPressed) {
            KillTimer(delay_timer);
            SetTimer(repeat_timer, repeat_ms);
        }
    } else if (id == repeat_timer) {
        if (m_bDownPressed)
            scroll(SB_LINEDOWN);
        if (m_bUpPressed)
            scroll(SB_LINEUP);
    } else if (id == page_timer) {
        // Paging stops once the thumb has reached the stylus.
        if (m_nLastY >= m_rcThumb.bottom)
            scroll(SB_PAGEDOWN);
        else if (m_nLastY < m_rcThumb.top)
            scroll(SB_PAGEUP);
    }
}

void CSkinVScrollBar::OnMouseMove(UINT, CPoint point)
{
    m_nLastY = point.y;
    if (m_bThumbPressed)
        m_bDragging = 1;
    if (m_bDragging)
        drag_to(point.y);
}

void CSkinVScrollBar::drag_to(int y)
{
    if (!m_pList)
        return;
    // A stylus within the thumb moves nothing.
    int distance = 0;
    if (y < m_rcThumb.top)
        distance = y - m_rcThumb.top;
    else if (y >= m_rcThumb.bottom)
        distance = y - m_rcThumb.bottom;
    else
        return;
    int room = m_rcTrack.Height() - m_rcThumb.Height();
    // A thumb as long as its track (or longer) leaves nothing to drag along.
    if (room <= 0)
        return;
    CRect first_item(LVIR_BOUNDS, 0, 0, 0);
    if (!m_pList->SendMessage(LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first_item)))
        first_item.SetRectEmpty();
    double limit = m_pList->GetScrollLimit(SB_VERT);
    auto dy = whole_amount(static_cast<double>(distance) / room * first_item.Height() * limit);
    if (!dy)
        return;
    m_pList->SendMessage(LVM_SCROLL, 0, *dy);
    UpdateThumb();
}

void CSkinVScrollBar::OnLButtonUp(UINT, CPoint)
{
    UpdateThumb();
    KillTimer(delay_timer);
    KillTimer(repeat_timer);
    KillTimer(page_timer);
    ReleaseCapture();
    if (m_bUpPressed)
        scroll(SB_LINEUP);
    if (m_bDownPressed)
        scroll(SB_LINEDOWN);
    m_bUpPressed = m_bDownPressed = m_bDragging = m_bThumbPressed = 0;
}
