#include "Raster.h"

#include <cstring>
#include <vector>

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

// Sixteen pixels at once: the compiler's vector types become SSE2, AVX2 or NEON registers, or
// plain code where there are none. The loop is written with them because the release build's
// optimisation level does not vectorise a loop of unknown length by itself.
using SixteenPixels = uint16_t __attribute__((vector_size(32)));

// One row of the transparent copy: sixteen pixels a step compared with the key and blended, with
// no branch a pixel. Every destination pixel is written, with its own value where the source has
// the key.
inline __attribute__((always_inline)) void copy_row_keyed_with_vectors(
    uint16_t* out, const uint16_t* in, size_t count, uint16_t key)
{
    const SixteenPixels keys = SixteenPixels {} + key;
    size_t x = 0;
    for (; x + 16 <= count; x += 16) {
        SixteenPixels pixels;
        SixteenPixels under;
        std::memcpy(&pixels, in + x, sizeof pixels);
        std::memcpy(&under, out + x, sizeof under);
        auto see_through = reinterpret_cast<SixteenPixels>(pixels == keys);
        SixteenPixels result = (under & see_through) | (pixels & ~see_through);
        std::memcpy(out + x, &result, sizeof result);
    }
    for (; x < count; ++x)
        out[x] = in[x] == key ? out[x] : in[x];
}

#if defined(__x86_64__)
// Built a second time for AVX2 (sixteen pixels an instruction), used where the processor has it.
// Chosen at run time rather than by the loader, which would run the choice before a sanitizer's
// runtime is ready.
__attribute__((target("avx2"))) void copy_row_keyed_avx2(uint16_t* out, const uint16_t* in, size_t count, uint16_t key)
{
    copy_row_keyed_with_vectors(out, in, count, key);
}
#endif

void copy_row_keyed(uint16_t* out, const uint16_t* in, size_t count, uint16_t key)
{
#if defined(__x86_64__)
    static const bool has_avx2 = __builtin_cpu_supports("avx2");
    if (has_avx2) {
        copy_row_keyed_avx2(out, in, count, key);
        return;
    }
#endif
    copy_row_keyed_with_vectors(out, in, count, key);
}

// The transparent copy between two RGB565 surfaces of the same size. Within one surface each
// source row is taken aside first and rows run in the order copy_rows uses, so an overlapping
// copy reads the pixels as they were.
void copy_rows_keyed(const Surface& to, const RECT& part, const Surface& from, LONG dx, LONG dy, uint16_t key)
{
    auto count = size_t(part.right - part.left);
    bool same_surface = from.row(0) == to.row(0);
    std::vector<uint16_t> aside(same_surface ? count : 0);
    bool upwards = same_surface && dy < 0;
    for (LONG i = 0; i < part.bottom - part.top; ++i) {
        LONG y = upwards ? part.bottom - 1 - i : part.top + i;
        const uint16_t* in = from.row_565(y + dy) + part.left + dx;
        if (same_surface) {
            std::memcpy(aside.data(), in, count * 2);
            in = aside.data();
        }
        copy_row_keyed(to.row_565(y) + part.left, in, count, key);
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
