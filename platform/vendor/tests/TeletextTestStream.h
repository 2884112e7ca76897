#pragma once

// A small teletext encoder for the tests, after EN 300 706 and EN 300 472, with libzvbi's Hamming,
// parity and bit-reversal codes so that it shares nothing with the decoder under test.

#include <libzvbi.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

namespace kivo::test {

// One teletext packet as the line carries it after the framing code: the two address bytes and 40
// data bytes, least significant bit first.
using LinePacket = std::array<uint8_t, 42>;

// magazine 1 to 8.
inline LinePacket address_packet(unsigned magazine, unsigned packet)
{
    LinePacket line {};
    line[0] = uint8_t(vbi_ham8((magazine & 7) | (packet & 1) << 3));
    line[1] = uint8_t(vbi_ham8(packet >> 1));
    for (size_t i = 2; i < line.size(); ++i)
        line[i] = uint8_t(vbi_par8(' '));
    return line;
}

inline void put_text(LinePacket& line, size_t from, std::string_view text, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        line[from + i] = uint8_t(vbi_par8(i < text.size() ? uint8_t(text[i]) : ' '));
}

// A page header; page as two hex digits (0x00 for page 100 of magazine 1); control bits C4 to C14
// at bits 4 to 14; the text of columns 8 to 39.
inline LinePacket header_packet(unsigned magazine, unsigned page, unsigned subcode, unsigned control, std::string_view text)
{
    LinePacket line = address_packet(magazine, 0);
    auto c = [&](unsigned n) { return (control >> n) & 1; };
    const unsigned nibbles[8] = { page & 15, page >> 4, subcode & 15, ((subcode >> 4) & 7) | c(4) << 3, (subcode >> 8) & 15,
        ((subcode >> 12) & 3) | c(5) << 2 | c(6) << 3, c(7) | c(8) << 1 | c(9) << 2 | c(10) << 3, c(11) | c(12) << 1 | c(13) << 2 | c(14) << 3 };
    for (size_t i = 0; i < 8; ++i)
        line[2 + i] = uint8_t(vbi_ham8(nibbles[i]));
    put_text(line, 10, text, 32);
    return line;
}

inline LinePacket row_packet(unsigned magazine, unsigned row, std::string_view text)
{
    LinePacket line = address_packet(magazine, row);
    put_text(line, 2, text, 40);
    return line;
}

struct Triplet {
    unsigned address, mode, data;
};

inline LinePacket enhancement_packet(unsigned magazine, unsigned designation, std::span<const Triplet, 13> triplets)
{
    LinePacket line = address_packet(magazine, 26);
    line[2] = uint8_t(vbi_ham8(designation));
    for (size_t i = 0; i < 13; ++i)
        vbi_ham24p(&line[3 + 3 * i], triplets[i].address | triplets[i].mode << 6 | triplets[i].data << 11);
    return line;
}

// Packet 8/30 (format 1 for designations 0 and 1): the initial page, magazine 1 to 8.
inline LinePacket service_packet(unsigned designation, unsigned initial_magazine, unsigned page, unsigned subcode)
{
    LinePacket line = address_packet(8, 30);
    const unsigned m = initial_magazine & 7;
    const unsigned nibbles[7] = { designation, page & 15, page >> 4, subcode & 15, ((subcode >> 4) & 7) | (m & 1) << 3,
        (subcode >> 8) & 15, ((subcode >> 12) & 3) | (m >> 1) << 2 };
    for (size_t i = 0; i < 7; ++i)
        line[2 + i] = uint8_t(vbi_ham8(nibbles[i]));
    // The network's identification and time (not decoded), then the status display.
    for (size_t i = 9; i < 22; ++i)
        line[i] = uint8_t(vbi_ham8(0));
    put_text(line, 22, "KIVO TELETEXT", 20);
    return line;
}

struct DataUnit {
    uint8_t id = 0x02;
    std::vector<uint8_t> bytes; // after the identifier and the length
};

// A teletext data unit: field and line (set in its PES), the framing code, the packet bit-reversed.
inline DataUnit teletext_unit(const LinePacket& line, uint8_t id = 0x02)
{
    DataUnit unit { id, { 0xE0, 0xE4 } };
    for (uint8_t byte : line)
        unit.bytes.push_back(uint8_t(vbi_rev8(byte)));
    return unit;
}

// A PES of private stream 1 as EN 300 472 lays it out: a header of 45 bytes with a time stamp,
// the data identifier, the units, and stuffing units so that it fills whole transport packets.
inline std::vector<uint8_t> teletext_pes(const std::vector<DataUnit>& units, uint8_t data_identifier = 0x10, uint8_t stream = 0xBD, uint32_t pts = 0)
{
    // The time stamp's 33 bits with their marker bits (the top bit left 0).
    std::vector<uint8_t> pes { 0x00, 0x00, 0x01, stream, 0, 0, 0x84, 0x80, 0x24, uint8_t(0x21 | (pts >> 29 & 0x06)), uint8_t(pts >> 22),
        uint8_t(pts >> 14 | 1), uint8_t(pts >> 7), uint8_t(pts << 1 | 1) };
    pes.resize(45, 0xFF);
    pes.push_back(data_identifier);
    // The units of one PES are the lines of one field, from line 7 down.
    unsigned line = 7;
    for (const DataUnit& unit : units) {
        pes.push_back(unit.id);
        pes.push_back(uint8_t(unit.bytes.size()));
        pes.insert(pes.end(), unit.bytes.begin(), unit.bytes.end());
        if ((unit.id == 0x02 || unit.id == 0x03) && unit.bytes.size() == 44)
            pes[pes.size() - 44] = uint8_t(0xE0 | line++);
    }
    // One stuffing unit fills the last transport packet (a longer one when a single byte is missing).
    size_t missing = (184 - pes.size() % 184) % 184;
    if (missing == 1)
        missing += 184;
    if (missing != 0) {
        pes.push_back(0xFF);
        pes.push_back(uint8_t(missing - 2));
        pes.insert(pes.end(), missing - 2, 0xFF);
    }
    const size_t length = pes.size() - 6;
    pes[4] = uint8_t(length >> 8);
    pes[5] = uint8_t(length);
    return pes;
}

inline std::vector<uint8_t> concatenate(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The stream as the demultiplexer hands on transport payload: 184 bytes a sample.
inline std::vector<std::vector<uint8_t>> transport_payloads(const std::vector<uint8_t>& stream)
{
    std::vector<std::vector<uint8_t>> samples;
    for (size_t at = 0; at < stream.size(); at += 184)
        samples.emplace_back(stream.begin() + at, stream.begin() + std::min(stream.size(), at + 184));
    return samples;
}

} // namespace kivo::test
