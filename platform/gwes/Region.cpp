#include "Region.h"

#include <algorithm>

namespace kivo {

namespace {

// The parts of `from` outside `cut`: up to four bands, top, bottom, left and right.
void append_difference(const RECT& from, const RECT& cut, std::vector<RECT>& out)
{
    RECT overlap = Region::intersection(from, cut);
    if (Region::is_empty(overlap)) {
        out.push_back(from);
        return;
    }
    if (from.top < overlap.top)
        out.push_back({ from.left, from.top, from.right, overlap.top });
    if (overlap.bottom < from.bottom)
        out.push_back({ from.left, overlap.bottom, from.right, from.bottom });
    if (from.left < overlap.left)
        out.push_back({ from.left, overlap.top, overlap.left, overlap.bottom });
    if (overlap.right < from.right)
        out.push_back({ overlap.right, overlap.top, from.right, overlap.bottom });
}

} // namespace

Region::Region(const RECT& rect)
{
    add(rect);
}

bool Region::is_empty(const RECT& rect)
{
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

RECT Region::intersection(const RECT& a, const RECT& b)
{
    RECT result { std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom) };
    if (is_empty(result))
        return { 0, 0, 0, 0 };
    return result;
}

RECT Region::bounds() const
{
    if (m_rects.empty())
        return { 0, 0, 0, 0 };
    RECT result = m_rects.front();
    for (auto& rect : m_rects) {
        result.left = std::min(result.left, rect.left);
        result.top = std::min(result.top, rect.top);
        result.right = std::max(result.right, rect.right);
        result.bottom = std::max(result.bottom, rect.bottom);
    }
    return result;
}

long Region::area() const
{
    long total = 0;
    for (auto& rect : m_rects)
        total += static_cast<long>(rect.right - rect.left) * (rect.bottom - rect.top);
    return total;
}

void Region::add(const RECT& rect)
{
    if (is_empty(rect))
        return;
    // Only the parts not yet covered are added, so the rectangles never overlap.
    std::vector<RECT> pieces { rect };
    for (auto& existing : m_rects) {
        std::vector<RECT> next;
        for (auto& piece : pieces)
            append_difference(piece, existing, next);
        pieces = std::move(next);
        if (pieces.empty())
            return;
    }
    m_rects.insert(m_rects.end(), pieces.begin(), pieces.end());
}

void Region::add(const Region& other)
{
    for (auto& rect : other.m_rects)
        add(rect);
}

void Region::subtract(const RECT& cut)
{
    if (is_empty(cut))
        return;
    std::vector<RECT> result;
    for (auto& rect : m_rects)
        append_difference(rect, cut, result);
    m_rects = std::move(result);
}

void Region::intersect(const RECT& clip)
{
    std::vector<RECT> result;
    for (auto& rect : m_rects) {
        RECT part = intersection(rect, clip);
        if (!is_empty(part))
            result.push_back(part);
    }
    m_rects = std::move(result);
}

void Region::offset(int dx, int dy)
{
    for (auto& rect : m_rects) {
        rect.left += dx;
        rect.right += dx;
        rect.top += dy;
        rect.bottom += dy;
    }
}

bool Region::intersects(const RECT& rect) const
{
    return std::any_of(m_rects.begin(), m_rects.end(), [&](const RECT& r) { return !is_empty(intersection(r, rect)); });
}

} // namespace kivo
