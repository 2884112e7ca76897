#include "TeletextCoding.h"

#include <array>
#include <bit>

namespace kivo {

namespace {

constexpr unsigned bit(unsigned word, unsigned position) { return (word >> (position - 1)) & 1; }

// Bit n of the byte is bn+1: P1 D1 P2 D2 P3 D3 P4 D4; each test and the whole byte have odd parity.
constexpr uint8_t encode_8_4(unsigned data)
{
    const unsigned d1 = data & 1, d2 = (data >> 1) & 1, d3 = (data >> 2) & 1, d4 = (data >> 3) & 1;
    const unsigned p1 = 1 ^ d1 ^ d3 ^ d4;
    const unsigned p2 = 1 ^ d1 ^ d2 ^ d4;
    const unsigned p3 = 1 ^ d1 ^ d2 ^ d3;
    const unsigned word = p1 | d1 << 1 | p2 << 2 | d2 << 3 | p3 << 4 | d3 << 5 | d4 << 7;
    const unsigned p4 = 1 ^ (std::popcount(word) & 1);
    return static_cast<uint8_t>(word | p4 << 6);
}

// The code words lie four bits apart: a byte one bit from a code word is that word with an error;
// a byte two bits from several cannot be told.
constexpr std::array<int8_t, 256> make_8_4_table()
{
    std::array<int8_t, 256> table {};
    for (unsigned byte = 0; byte < 256; ++byte) {
        table[byte] = -1;
        for (unsigned data = 0; data < 16; ++data) {
            if (std::popcount(byte ^ encode_8_4(data)) <= 1)
                table[byte] = static_cast<int8_t>(data);
        }
    }
    return table;
}

constexpr std::array<int8_t, 256> hamming_8_4_table = make_8_4_table();

constexpr std::array<uint8_t, 256> make_reverse_table()
{
    std::array<uint8_t, 256> table {};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned reversed = 0;
        for (unsigned i = 0; i < 8; ++i)
            reversed |= ((byte >> i) & 1) << (7 - i);
        table[byte] = static_cast<uint8_t>(reversed);
    }
    return table;
}

constexpr std::array<uint8_t, 256> reverse_table = make_reverse_table();

// Bits 1 to 23 of a triplet: parity bit Pk+1 sits at position 2^k and covers the positions whose
// number has bit k set; P6 (bit 24) makes the whole triplet odd.
constexpr std::array<uint32_t, 5> make_parity_groups()
{
    std::array<uint32_t, 5> groups {};
    for (unsigned k = 0; k < 5; ++k) {
        for (unsigned position = 1; position <= 23; ++position) {
            if ((position >> k) & 1)
                groups[k] |= 1u << (position - 1);
        }
    }
    return groups;
}

constexpr std::array<uint32_t, 5> parity_groups = make_parity_groups();

} // namespace

uint8_t reverse_bits(uint8_t byte) { return reverse_table[byte]; }

int decode_hamming_8_4(uint8_t byte) { return hamming_8_4_table[byte]; }

uint8_t encode_hamming_8_4(unsigned data) { return encode_8_4(data & 15); }

int32_t decode_hamming_24_18(const uint8_t triplet[3])
{
    uint32_t word = triplet[0] | uint32_t(triplet[1]) << 8 | uint32_t(triplet[2]) << 16;
    unsigned syndrome = 0;
    for (unsigned k = 0; k < 5; ++k) {
        if ((std::popcount(word & parity_groups[k]) & 1) == 0)
            syndrome |= 1u << k;
    }
    const bool whole_odd = std::popcount(word) & 1;
    if (whole_odd) {
        if (syndrome != 0)
            return -1; // two errors
    } else {
        // One error: at the syndrome's position, or in P6 itself when the groups hold.
        if (syndrome > 23)
            return -1;
        if (syndrome != 0)
            word ^= 1u << (syndrome - 1);
    }
    return static_cast<int32_t>(bit(word, 3) | ((word >> 4) & 0x7) << 1 | ((word >> 8) & 0x7F) << 4 | ((word >> 16) & 0x7F) << 11);
}

} // namespace kivo
