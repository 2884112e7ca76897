#pragma once

#include "Types.h"

#include <vector>

namespace kivo {

// An area of the screen or of a bitmap as a set of rectangles that never overlap. Clipping is
// done with these: a window's visible part, a device context's clip region, a region object.
class Region {
public:
    Region() = default;
    explicit Region(const RECT&);

    static bool is_empty(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }
    static RECT intersection(const RECT&, const RECT&);

    const std::vector<RECT>& rects() const { return m_rects; }
    bool empty() const { return m_rects.empty(); }
    // The smallest rectangle around the region; an empty rectangle for an empty region.
    RECT bounds() const;
    bool contains(LONG x, LONG y) const;
    bool intersects(const RECT&) const;
    // The number of pixels covered.
    long area() const;
    void clear() { m_rects.clear(); }

    void intersect(const RECT&);
    void intersect(const Region&);
    void subtract(const RECT&);
    void subtract(const Region&);
    void unite(const RECT&);
    void unite(const Region&);
    void offset(LONG dx, LONG dy);

    bool operator==(const Region&) const;

private:
    std::vector<RECT> m_rects;
};

} // namespace kivo
