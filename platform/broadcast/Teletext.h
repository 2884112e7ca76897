#pragma once

// Teletext (EN 300 706) carried in DVB (EN 300 472): packets of 42 bytes in the order the standard
// numbers their bits (bit 1 the least significant), Hamming-protected addresses and control bits,
// rows with odd parity, X/26 enhancement triplets for accented letters and packet 8/30 format 1;
// the PES that carries them, bit-reversed in data units of 44 bytes.

#include "broadcast/Sections.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

using TeletextPacket = std::array<uint8_t, 42>;

uint8_t hamming_8_4(uint8_t nibble);
// 18 data bits into three bytes, least significant first.
void hamming_24_18(uint32_t data, uint8_t out[3]);
uint8_t odd_parity(uint8_t character);
uint8_t reverse_bits(uint8_t byte);

// A row of up to 40 characters: printable ASCII, and letters with a diacritical mark that travel
// as the bare letter plus an X/26 triplet.
struct TeletextRow {
    std::array<uint8_t, 40> characters;
    struct Accent {
        uint8_t column;
        uint8_t mark; // 1 grave ... 15 caron, as the G2 set numbers them
        uint8_t letter;
    };
    std::vector<Accent> accents;
};
// Nullopt when the text is longer than 40 characters or holds one the row cannot carry.
std::optional<TeletextRow> make_teletext_row(const std::string& utf8);

struct TeletextPage {
    uint16_t number; // 100 to 899
    std::vector<TeletextRow> rows; // rows 1, 2, ...
};

// The header (X/0, erase bit set, 32 characters of `header` at columns 8 to 39), the rows
// (X/1 to X/25) and the X/26 packets that place the page's accented letters.
std::vector<TeletextPacket> teletext_page_packets(const TeletextPage& page, const std::string& header);

// Packet 8/30 format 1: the initial page, the network, the local time and a status line.
TeletextPacket teletext_830_packet(uint16_t initial_page, uint16_t network_id, int64_t utc, int offset_minutes,
                                   const std::string& status);

// A PES of EN 300 472: data identifier 0x10, one data unit per packet (id `data_unit_id`), stuffed
// so that the PES fills whole transport packets; `pts` in 90 kHz units.
Bytes teletext_pes(const std::vector<TeletextPacket>& packets, uint64_t pts, uint8_t data_unit_id = 0x02);

} // namespace kivo
