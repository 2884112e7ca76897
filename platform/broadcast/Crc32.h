#pragma once

// The CRC of MPEG-2 sections (polynomial 0x04C11DB7, initial value all ones, no reflection, no
// final inversion): a section whose CRC field is included checks to 0.

#include <cstddef>
#include <cstdint>

namespace kivo {

uint32_t crc32_mpeg2(const uint8_t* data, size_t size);

} // namespace kivo
