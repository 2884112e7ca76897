#include "CSkinSlider.h"

#include "BitmapSource.h"
#include "CAppUtil.h"

#include <algorithm>

using namespace support_painting;

CSkinSlider::~CSkinSlider()
{
    m_bmpTrack.DeleteObject();
    m_bmpFilled.DeleteObject();
    m_bmpThumb.DeleteObject();
    m_bmpThumbPressed.DeleteObject();
}

void CSkinSlider::SetBitmaps(UINT track, UINT filled_track, UINT thumb, UINT pressed_thumb)
{
    m_bmpTrack.DeleteObject();
    m_bmpFilled.DeleteObject();
    m_bmpThumb.DeleteObject();
    m_bmpThumbPressed.DeleteObject();
    m_bmpTrack.LoadBitmap(track);
    m_bmpFilled.LoadBitmap(filled_track);
    m_bmpThumb.LoadBitmap(thumb);
    m_bmpThumbPressed.LoadBitmap(pressed_thumb);
}

void CSkinSlider::SetPos(int position, BOOL repaint)
{
    m_nPos = position;
    if (repaint)
        InvalidateRect(nullptr, FALSE);
}

void CSkinSlider::OnLButtonDown(UINT, CPoint point)
{
    SetCapture();
    m_bPressed = 1;
    track(point.x);
    notify(code_track);
    Default();
}

void CSkinSlider::OnMouseMove(UINT, CPoint point)
{
    if (!m_bPressed)
        return;
    track(point.x);
    {
        CClientDC dc(this);
        paint(dc);
    }
    notify(code_track);
    Default();
}

void CSkinSlider::OnLButtonUp(UINT, CPoint point)
{
    m_bPressed = 0;
    ReleaseCapture();
    track(point.x);
    notify(code_release);
    Default();
}

void CSkinSlider::OnPaint()
{
    CPaintDC dc(this);
    paint(dc);
}

void CSkinSlider::track(int x)
{
    CRect client;
    GetClientRect(&client);
    int width = client.Width();
    // A slider without width has no point to take a position from.
    if (width <= 0)
        return;
    m_nOffset = x <= client.left ? 0 : std::min<int>(x, client.right) - client.left;
    int low = 0;
    int high = 0;
    GetRange(low, high);
    int64_t count = int64_t { high } - low + 1;
    SetPos(static_cast<int>(low + m_nOffset * count / width));
}

void CSkinSlider::notify(UINT code)
{
    ::PostMessage(::GetParent(m_hWnd), WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(m_nPos)),
        reinterpret_cast<LPARAM>(m_hWnd));
}

void CSkinSlider::paint(CDC& dc)
{
    CRect client;
    GetClientRect(&client);
    CBitmap& thumb = m_bPressed ? m_bmpThumbPressed : m_bmpThumb;
    SIZE thumb_size = has_picture(&m_bmpThumb) ? size_of(m_bmpThumb) : SIZE {};
    int low = 0;
    int high = 0;
    GetRange(low, high);
    int64_t count = int64_t { high } - low + 1;
    int thumb_x = count > 0 ? static_cast<int>((client.Width() - thumb_size.cx) * int64_t { m_nPos } / count) : 0;
    int centre = thumb_size.cx / 2 + thumb_x;
    if (has_picture(&m_bmpTrack)) {
        BitmapSource source(&dc, &m_bmpTrack);
        dc.BitBlt(centre, 0, client.right - centre, client.Height(), source.get(), centre, 0, SRCCOPY);
    }
    if (has_picture(&m_bmpFilled)) {
        BitmapSource source(&dc, &m_bmpFilled);
        dc.BitBlt(0, 0, centre, client.Height(), source.get(), 0, 0, SRCCOPY);
    }
    if (has_picture(&thumb)) {
        SIZE size = size_of(thumb);
        dc.TransparentImage(thumb_x, 0, size.cx, size.cy, &thumb, 0, 0, size.cx, size.cy, CAppUtil::transparent_key);
    }
}
