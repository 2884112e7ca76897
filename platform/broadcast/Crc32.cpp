#include "broadcast/Crc32.h"

#include <array>

namespace kivo {

namespace {

constexpr std::array<uint32_t, 256> make_table()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 0x80000000u) ? (value << 1) ^ 0x04C11DB7u : value << 1;
        table[i] = value;
    }
    return table;
}

constexpr auto crc_table = make_table();

} // namespace

uint32_t crc32_mpeg2(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        crc = (crc << 8) ^ crc_table[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}

} // namespace kivo
