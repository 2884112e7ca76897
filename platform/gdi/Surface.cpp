#include "Surface.h"

#include "Colour.h"

#include <algorithm>

namespace kivo {

uint16_t Surface::get(int x, int y) const
{
    if (is_565())
        return row_565(y)[x];
    const uint8_t* pixel = row(y) + x * 3;
    return rgb565_of(pixel[2], pixel[1], pixel[0]);
}

void Surface::set(int x, int y, uint16_t colour) const
{
    if (is_565()) {
        row_565(y)[x] = colour;
        return;
    }
    uint8_t* pixel = row(y) + x * 3;
    pixel[0] = blue_of(colour);
    pixel[1] = green_of(colour);
    pixel[2] = red_of(colour);
}

void Surface::fill(const RECT& rect, uint16_t colour, const Region& clip) const
{
    for (auto& clip_rect : clip.rects()) {
        RECT part = Region::intersection(Region::intersection(rect, clip_rect), bounds());
        if (Region::is_empty(part))
            continue;
        for (LONG y = part.top; y < part.bottom; ++y) {
            if (is_565()) {
                std::fill(row_565(y) + part.left, row_565(y) + part.right, colour);
                continue;
            }
            for (LONG x = part.left; x < part.right; ++x)
                set(x, y, colour);
        }
    }
}

} // namespace kivo
