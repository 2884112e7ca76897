#include "CImageList.h"

#include "CDC.h"

#include <algorithm>
#include <utility>

namespace {

// A memory context with a bitmap selected, put back as it was when it goes.
class SelectedBitmap {
public:
    explicit SelectedBitmap(HBITMAP bitmap)
        : m_dc(::CreateCompatibleDC(nullptr))
        , m_previous(m_dc ? ::SelectObject(m_dc, bitmap) : nullptr)
    {
    }
    ~SelectedBitmap()
    {
        if (!m_dc)
            return;
        ::SelectObject(m_dc, m_previous);
        ::DeleteDC(m_dc);
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;
    HDC dc() const { return m_dc; }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    if (m_strip.m_hObject || cx <= 0 || cy <= 0 || initial < 0)
        return FALSE;
    m_cx = cx;
    m_cy = cy;
    m_flags = flags;
    m_grow = std::max(grow, 1);
    m_capacity = 0;
    m_masks.clear();
    m_background = CLR_NONE;
    return reserve(std::max(initial, 1));
}

bool CImageList::reserve(int count)
{
    if (count <= m_capacity)
        return true;
    int capacity = std::max(count, m_capacity + m_grow);
    HDC screen = ::GetDC(nullptr);
    HBITMAP strip = ::CreateCompatibleBitmap(screen, capacity * m_cx, m_cy);
    ::ReleaseDC(nullptr, screen);
    if (!strip)
        return false;
    if (m_strip.m_hObject) {
        SelectedBitmap to(strip);
        SelectedBitmap from(m_strip);
        ::BitBlt(to.dc(), 0, 0, GetImageCount() * m_cx, m_cy, from.dc(), 0, 0, SRCCOPY);
    }
    m_strip.DeleteObject();
    m_strip.Attach(strip);
    m_capacity = capacity;
    return true;
}

int CImageList::Add(CBitmap* bitmap, COLORREF mask)
{
    BITMAP info {};
    if (!m_strip.m_hObject || !bitmap || !bitmap->GetBitmap(&info))
        return -1;
    int added = std::max(static_cast<int>(info.bmWidth) / m_cx, 1);
    int first = GetImageCount();
    if (!reserve(first + added))
        return -1;
    {
        SelectedBitmap to(m_strip);
        SelectedBitmap from(*bitmap);
        ::BitBlt(to.dc(), first * m_cx, 0, std::min(static_cast<int>(info.bmWidth), added * m_cx),
            std::min(static_cast<int>(info.bmHeight), m_cy), from.dc(), 0, 0, SRCCOPY);
    }
    m_masks.insert(m_masks.end(), added, (m_flags & ILC_MASK) ? mask : CLR_NONE);
    return first;
}

BOOL CImageList::Draw(CDC* dc, int image, POINT at, UINT style)
{
    if (!dc || image < 0 || image >= GetImageCount())
        return FALSE;
    SelectedBitmap from(m_strip);
    COLORREF mask = m_masks[static_cast<size_t>(image)];
    int x = image * m_cx;
    if (mask == CLR_NONE)
        return ::BitBlt(dc->m_hDC, at.x, at.y, m_cx, m_cy, from.dc(), x, 0, SRCCOPY);
    if (!(style & ILD_TRANSPARENT) && m_background != CLR_NONE) {
        RECT area { at.x, at.y, at.x + m_cx, at.y + m_cy };
        HBRUSH brush = ::CreateSolidBrush(m_background);
        ::FillRect(dc->m_hDC, &area, brush);
        ::DeleteObject(brush);
    }
    return ::TransparentBlt(dc->m_hDC, at.x, at.y, m_cx, m_cy, from.dc(), x, 0, m_cx, m_cy, mask);
}

BOOL CImageList::Remove(int image)
{
    if (image == -1) {
        m_masks.clear();
        return TRUE;
    }
    if (image < 0 || image >= GetImageCount())
        return FALSE;
    {
        // One picture at a time, so that no copy overlaps itself.
        SelectedBitmap strip(m_strip);
        for (int later = image + 1; later < GetImageCount(); ++later)
            ::BitBlt(strip.dc(), (later - 1) * m_cx, 0, m_cx, m_cy, strip.dc(), later * m_cx, 0, SRCCOPY);
    }
    m_masks.erase(m_masks.begin() + image);
    return TRUE;
}

BOOL CImageList::DeleteImageList()
{
    if (!m_strip.m_hObject)
        return FALSE;
    m_strip.DeleteObject();
    m_masks.clear();
    m_capacity = 0;
    return TRUE;
}

COLORREF CImageList::SetBkColor(COLORREF colour)
{
    return std::exchange(m_background, colour);
}
