#pragma once

#include "kernel/Types.h"

#include <limits>

extern "C" {
#include <libavutil/rational.h>
}

namespace kivo {

// DirectShow counts media time in 100-ns units.
inline constexpr AVRational hundred_nanoseconds { 1, 10'000'000 };

// Sums of times from a file, whose time stamps may be anything: they stop at the ends of the range
// instead of overflowing.
inline LONGLONG saturating_add(LONGLONG a, LONGLONG b)
{
    LONGLONG sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<LONGLONG>::max() : std::numeric_limits<LONGLONG>::min();
    return sum;
}

inline LONGLONG saturating_subtract(LONGLONG a, LONGLONG b)
{
    LONGLONG difference = 0;
    if (__builtin_sub_overflow(a, b, &difference))
        return b < 0 ? std::numeric_limits<LONGLONG>::max() : std::numeric_limits<LONGLONG>::min();
    return difference;
}

} // namespace kivo
