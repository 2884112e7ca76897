#pragma once

#include "kernel/Region.h"
#include "kernel/Types.h"

#include <cstddef>
#include <cstdint>

namespace kivo {

// A view of pixels to draw on or copy from: the screen's page, a bitmap's memory. Rows may run
// bottom-up (a DIB with a positive height), so `top` is the address of the top row and `stride`
// the signed distance to the next row down. Pixels are RGB565 (16 bits) or blue-green-red bytes
// (24 bits); every operation works in RGB565, the screen's format.
class Surface {
public:
    Surface() = default;
    Surface(uint8_t* top, ptrdiff_t stride, int width, int height, int bits_per_pixel)
        : m_top(top)
        , m_stride(stride)
        , m_width(width)
        , m_height(height)
        , m_bits(bits_per_pixel)
    {
    }

    int width() const { return m_width; }
    int height() const { return m_height; }
    int bits_per_pixel() const { return m_bits; }
    RECT bounds() const { return { 0, 0, m_width, m_height }; }
    bool is_565() const { return m_bits == 16; }

    uint8_t* row(int y) const { return m_top + m_stride * y; }
    uint16_t* row_565(int y) const { return reinterpret_cast<uint16_t*>(row(y)); }

    uint16_t get(int x, int y) const;
    void set(int x, int y, uint16_t colour) const;
    // Fills the part of `rect` inside the clip region.
    void fill(const RECT&, uint16_t colour, const Region& clip) const;

private:
    uint8_t* m_top = nullptr;
    ptrdiff_t m_stride = 0;
    int m_width = 0;
    int m_height = 0;
    int m_bits = 16;
};

} // namespace kivo
