#pragma once

#include "Colour.h"
#include "FrameBuffer.h"
#include "GdiApi.h"

namespace kivo::test {

// How many screen pixels inside the rectangle differ from a colour (compared in RGB565).
inline int screen_pixels_not(const FrameBuffer& frame_buffer, const RECT& rect, COLORREF colour)
{
    int count = 0;
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        for (LONG x = rect.left; x < rect.right; ++x)
            count += frame_buffer.pixel(x, y) != rgb565_of_colorref(colour);
    }
    return count;
}

} // namespace kivo::test
