#include "broadcast/Crc32.h"

namespace kivo {

namespace {

// Eight tables so that the CRC takes eight bytes a step: table k gives the CRC of a byte followed
// by k zero bytes.
struct CrcTables {
    uint32_t t[8][256];
    constexpr CrcTables()
        : t {}
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t crc = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
            t[0][i] = crc;
        }
        for (int k = 1; k < 8; ++k) {
            for (uint32_t i = 0; i < 256; ++i)
                t[k][i] = (t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 24];
        }
    }
};
constexpr CrcTables crc_tables;

} // namespace

uint32_t crc32_mpeg2(const uint8_t* data, size_t size)
{
    const auto& t = crc_tables.t;
    uint32_t crc = 0xFFFFFFFFu;
    while (size >= 8) {
        crc ^= uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3];
        crc = t[7][crc >> 24] ^ t[6][(crc >> 16) & 0xFF] ^ t[5][(crc >> 8) & 0xFF] ^ t[4][crc & 0xFF]
            ^ t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
        data += 8;
        size -= 8;
    }
    while (size-- > 0)
        crc = (crc << 8) ^ t[0][(crc >> 24) ^ *data++];
    return crc;
}

} // namespace kivo
