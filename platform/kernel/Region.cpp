#include "Region.h"

#include <algorithm>

namespace kivo {

Region::Region(const RECT& rect)
{
    if (!is_empty(rect))
        m_rects.push_back(rect);
}

RECT Region::intersection(const RECT& a, const RECT& b)
{
    return { std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom) };
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

bool Region::contains(LONG x, LONG y) const
{
    return std::any_of(m_rects.begin(), m_rects.end(), [&](const RECT& rect) {
        return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
    });
}

bool Region::intersects(const RECT& rect) const
{
    for (auto& own : m_rects) {
        if (!is_empty(intersection(own, rect)))
            return true;
    }
    return false;
}

long Region::area() const
{
    long total = 0;
    for (auto& rect : m_rects)
        total += long(rect.right - rect.left) * (rect.bottom - rect.top);
    return total;
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

void Region::intersect(const Region& other)
{
    std::vector<RECT> result;
    for (auto& rect : m_rects) {
        for (auto& clip : other.m_rects) {
            RECT part = intersection(rect, clip);
            if (!is_empty(part))
                result.push_back(part);
        }
    }
    m_rects = std::move(result);
}

void Region::subtract(const RECT& hole)
{
    if (is_empty(hole))
        return;
    std::vector<RECT> result;
    for (auto& rect : m_rects) {
        RECT cut = intersection(rect, hole);
        if (is_empty(cut)) {
            result.push_back(rect);
            continue;
        }
        // What is left of the rectangle: the bands above and below the hole, and the pieces to
        // its left and right within the hole's rows.
        RECT pieces[] = {
            { rect.left, rect.top, rect.right, cut.top },
            { rect.left, cut.bottom, rect.right, rect.bottom },
            { rect.left, cut.top, cut.left, cut.bottom },
            { cut.right, cut.top, rect.right, cut.bottom },
        };
        for (auto& piece : pieces) {
            if (!is_empty(piece))
                result.push_back(piece);
        }
    }
    m_rects = std::move(result);
}

void Region::subtract(const Region& other)
{
    for (auto& rect : other.m_rects)
        subtract(rect);
}

void Region::unite(const RECT& rect)
{
    Region added(rect);
    added.subtract(*this);
    m_rects.insert(m_rects.end(), added.m_rects.begin(), added.m_rects.end());
}

void Region::unite(const Region& other)
{
    for (auto& rect : other.m_rects)
        unite(rect);
}

void Region::offset(LONG dx, LONG dy)
{
    for (auto& rect : m_rects) {
        rect.left += dx;
        rect.right += dx;
        rect.top += dy;
        rect.bottom += dy;
    }
}

bool Region::operator==(const Region& other) const
{
    // Equal areas, however they are cut into rectangles.
    Region a = *this;
    a.subtract(other);
    Region b = other;
    b.subtract(*this);
    return a.empty() && b.empty();
}

} // namespace kivo
