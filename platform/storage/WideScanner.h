#pragma once

#include "WideStream.h"

#include <cstdarg>

namespace kivo {

// The formatted wide input of the device's run-time (fwscanf) over a wide stream. It knows the
// conversions the programs read with: %d %i %u %x %o %c %s and %%, with widths, "*" and the
// prefixes h, l (32 bits, as on the device), ll and I64; in a wide format %c and %s store wide
// text and %hc, %hs, %S narrow text. Blanks in the format skip any blanks of the input.
class WideScanner {
public:
    explicit WideScanner(WideStream& stream)
        : m_stream(stream)
    {
    }

    // The number of values stored, or -1 when the input ended before the first conversion.
    int scan(const char16_t* format, va_list);

private:
    WideStream& m_stream;
};

} // namespace kivo
