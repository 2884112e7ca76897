#pragma once

// How the library reads 8-bit INI text, in the INI document and in the registry mirror alike.
// Lines end in CR, LF or CRLF, whichever program wrote them. Names are scanned and compared by
// characters of the device's ANSI code page: in a double-byte page the second byte of a character
// may be ']' or an ASCII letter (Big5 也 is A4 5D, 乙 is A4 41), so it must never end a name or
// have its case folded.

#include <string_view>
#include <vector>

namespace kitbase {

// The lines of a text without their ends; empty lines are kept.
std::vector<std::string_view> split_lines(std::string_view text);

// Where the first single-byte character `wanted` stands at or after `from`, the second bytes of
// double-byte characters stepped over; npos when there is none.
size_t find_character(std::string_view text, char wanted, size_t from = 0);
// The same for the first of several single-byte characters.
size_t find_first_character_of(std::string_view text, std::string_view wanted, size_t from = 0);

// The name a header line (one that begins with '[') gives its section: up to the first ']' or
// the line's end. First bytes left without their second bytes at the end of an unclosed name are
// left out: written back before a ']', they would take the bracket for a second byte.
std::string_view section_name_of(std::string_view header);

// Whether two names are the same, ignoring the case of ASCII letters that stand as characters of
// their own; double-byte characters compare exactly.
bool names_equal_ignoring_case(std::string_view a, std::string_view b);

} // namespace kitbase
