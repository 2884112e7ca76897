#pragma once

// DVB text (EN 300 468 Annex A) as the builder writes it: the default table (ISO/IEC 6937, accented
// letters as a non-spacing mark before the letter), the 16-bit tables 0x11 to 0x14 (big-endian
// code units of the Basic Multilingual Plane) and UTF-8 (0x15).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

struct DvbText {
    uint8_t selector = 0; // 0: the default table, no selector byte
    std::string text;     // UTF-8
};

// The encoded bytes, selector first; nullopt when the selector is not one of those above or a
// character has no place in its table.
std::optional<std::vector<uint8_t>> encode_dvb_text(const DvbText& text);

// The text's code points; nullopt when it is not valid UTF-8.
std::optional<std::u32string> decode_utf8(const std::string& text);
// One code point as UTF-8.
std::string encode_utf8(char32_t code);

} // namespace kivo
