#pragma once

#include "Types.h"

#include <cstdarg>
#include <string>
#include <string_view>

namespace kivo {

std::string to_utf8(std::u16string_view);
// Decodes UTF-8 strictly: every malformed sequence (overlong, surrogate, past U+10FFFF, cut short)
// becomes one U+FFFD.
std::u16string to_utf16(std::string_view utf8);
// Whether the bytes are well-formed UTF-8 throughout.
bool is_utf8(std::string_view bytes);

// Case folding as the device compares names: ASCII and the Latin-1 letters.
char16_t fold_case(char16_t);
char16_t upper_case(char16_t);
bool equals_ignoring_case(std::u16string_view, std::u16string_view);
int compare_ignoring_case(std::u16string_view, std::u16string_view);

// printf-style formatting with the device's conventions: in a wide format %s and %c take wide
// text and %S, %hs and %hc narrow text; %ls and %lc are wide too. Widths, precisions, flags and
// the length prefixes h, l, ll, I64 and z are understood.
std::u16string vformat_wide(const char16_t* format, va_list);
std::u16string format_wide(const char16_t* format, ...);

} // namespace kivo
