#pragma once

#include "kernel/Types.h"

#include <vector>

namespace kivo {

// A set of pixels as non-overlapping rectangles: the update and visible regions of windows.
class Region {
public:
    Region() = default;
    explicit Region(const RECT&);

    bool is_empty() const { return m_rects.empty(); }
    const std::vector<RECT>& rects() const { return m_rects; }
    RECT bounds() const;
    long area() const;

    void add(const RECT&);
    void add(const Region&);
    void subtract(const RECT&);
    void intersect(const RECT&);
    void offset(int dx, int dy);
    void clear() { m_rects.clear(); }
    bool intersects(const RECT&) const;

    static bool is_empty(const RECT&);
    static RECT intersection(const RECT&, const RECT&);

private:
    std::vector<RECT> m_rects;
};

} // namespace kivo
