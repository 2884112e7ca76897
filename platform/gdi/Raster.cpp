#include "Raster.h"

#include <cstring>

namespace kivo {

namespace {

uint16_t combine(RasterOp op, uint16_t under, uint16_t pixel)
{
    switch (op) {
    case RasterOp::Copy:
        return pixel;
    case RasterOp::And:
        return under & pixel;
    case RasterOp::Or:
        return under | pixel;
    case RasterOp::Xor:
        return under ^ pixel;
    }
    return pixel;
}

// The plain copy between two RGB565 surfaces of the same size, a row at a time. Rows run in the
// order that keeps an overlapping copy within one surface (a scroll) correct.
void copy_rows(const Surface& to, const RECT& part, const Surface& from, LONG dx, LONG dy)
{
    size_t bytes = size_t(part.right - part.left) * 2;
    bool upwards = from.row(0) == to.row(0) && dy < 0;
    for (LONG i = 0; i < part.bottom - part.top; ++i) {
        LONG y = upwards ? part.bottom - 1 - i : part.top + i;
        std::memmove(to.row_565(y) + part.left, from.row_565(y + dy) + part.left + dx, bytes);
    }
}

// The transparent copy between two RGB565 surfaces of the same size.
void copy_rows_keyed(const Surface& to, const RECT& part, const Surface& from, LONG dx, LONG dy, uint16_t key)
{
    for (LONG y = part.top; y < part.bottom; ++y) {
        uint16_t* out = to.row_565(y);
        const uint16_t* in = from.row_565(y + dy);
        for (LONG x = part.left; x < part.right; ++x) {
            if (uint16_t pixel = in[x + dx]; pixel != key)
                out[x] = pixel;
        }
    }
}

} // namespace

bool copy_pixels(const Surface& to, const RECT& destination, const Region& clip, const Surface& from,
    const RECT& source, RasterOp op, std::optional<uint16_t> key)
{
    LONG width = destination.right - destination.left;
    LONG height = destination.bottom - destination.top;
    LONG source_width = source.right - source.left;
    LONG source_height = source.bottom - source.top;
    if (width <= 0 || height <= 0 || source_width <= 0 || source_height <= 0)
        return false;
    bool stretched = width != source_width || height != source_height;

    // Without stretching, only the part of the destination whose source lies inside `from`.
    RECT reachable = destination;
    if (!stretched) {
        RECT inside = Region::intersection(source, from.bounds());
        reachable = { destination.left + (inside.left - source.left), destination.top + (inside.top - source.top),
            destination.right - (source.right - inside.right), destination.bottom - (source.bottom - inside.bottom) };
    }
    reachable = Region::intersection(reachable, to.bounds());

    bool painted = false;
    for (auto& clip_rect : clip.rects()) {
        RECT part = Region::intersection(reachable, clip_rect);
        if (Region::is_empty(part))
            continue;
        painted = true;
        LONG dx = source.left - destination.left;
        LONG dy = source.top - destination.top;
        if (!stretched && op == RasterOp::Copy && to.is_565() && from.is_565()) {
            if (key)
                copy_rows_keyed(to, part, from, dx, dy, *key);
            else
                copy_rows(to, part, from, dx, dy);
            continue;
        }
        for (LONG y = part.top; y < part.bottom; ++y) {
            LONG sy = stretched ? LONG(source.top + int64_t(y - destination.top) * source_height / height) : y + dy;
            if (sy < 0 || sy >= from.height())
                continue;
            for (LONG x = part.left; x < part.right; ++x) {
                LONG sx = stretched ? LONG(source.left + int64_t(x - destination.left) * source_width / width) : x + dx;
                if (sx < 0 || sx >= from.width())
                    continue;
                uint16_t pixel = from.get(sx, sy);
                if (key && pixel == *key)
                    continue;
                to.set(x, y, op == RasterOp::Copy ? pixel : combine(op, to.get(x, y), pixel));
            }
        }
    }
    return painted;
}

} // namespace kivo
