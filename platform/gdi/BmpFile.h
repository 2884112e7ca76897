#pragma once

#include "Bitmap.h"
#include "Types.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kivo {

// The pictures of a BMP file (a skin's buttons and backgrounds) as a bitmap in the screen's
// format: 8 bits with a palette, 16 bits (5-5-5, or 5-6-5 given as bit fields) and 24 bits, rows
// bottom-up or top-down. The file comes from a card or the flash disk, so every size and offset
// it states is checked against the bytes that are there before anything is read. On failure
// answers null and the platform's error: ERROR_INVALID_DATA for a damaged file,
// ERROR_NOT_SUPPORTED for a format the device does not read, ERROR_NOT_ENOUGH_MEMORY for a
// picture larger than any bitmap may be.
std::shared_ptr<Bitmap> decode_bmp(std::span<const uint8_t> file, DWORD& error);

// A BMP file of a bitmap, exactly as it is: 16 bits given as 5-6-5 bit fields, rows bottom-up.
// Pictures drawn by code (skins, test fixtures) are stored this way.
std::vector<uint8_t> encode_bmp(Bitmap&);

} // namespace kivo
