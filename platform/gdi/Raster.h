#pragma once

#include "Region.h"
#include "Surface.h"

#include <cstdint>
#include <optional>

namespace kivo {

// How source pixels combine with the destination's.
enum class RasterOp {
    Copy, // SRCCOPY
    And,  // SRCAND
    Or,   // SRCPAINT
    Xor,  // SRCINVERT
};

// Copies the `source` rectangle of `from` onto the `destination` rectangle of `to`, stretching
// (nearest pixel) when their sizes differ, painting only inside `clip` (in `to`'s coordinates).
// Source pixels outside `from` are left out. With a key, source pixels of that RGB565 value are
// left out too. Returns whether any pixel was inside the clip region.
bool copy_pixels(const Surface& to, const RECT& destination, const Region& clip, const Surface& from,
    const RECT& source, RasterOp, std::optional<uint16_t> key = std::nullopt);

} // namespace kivo
