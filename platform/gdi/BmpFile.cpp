#include "BmpFile.h"

#include "Colour.h"
#include "Errors.h"

#include <array>
#include <cstdlib>

namespace kivo {

namespace {

constexpr size_t file_header_size = 14;
constexpr size_t info_header_size = 40;
// A side longer than this is refused before its rows are looked for.
constexpr int64_t largest_side = 8192;

constexpr DWORD compression_none = 0;
constexpr DWORD compression_bit_fields = 3;

constexpr std::array<uint32_t, 3> masks_555 { 0x7C00, 0x03E0, 0x001F };
constexpr std::array<uint32_t, 3> masks_565 { 0xF800, 0x07E0, 0x001F };

// Little-endian fields; callers have checked that they lie inside the file.
uint16_t u16(std::span<const uint8_t> bytes, size_t at)
{
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

uint32_t u32(std::span<const uint8_t> bytes, size_t at)
{
    return uint32_t(u16(bytes, at)) | (uint32_t(u16(bytes, at + 2)) << 16);
}

int32_t s32(std::span<const uint8_t> bytes, size_t at)
{
    return static_cast<int32_t>(u32(bytes, at));
}

uint16_t rgb565_of_555(uint16_t pixel)
{
    auto widen = [](unsigned five) { return static_cast<uint8_t>((five << 3) | (five >> 2)); };
    return rgb565_of(widen((pixel >> 10) & 0x1F), widen((pixel >> 5) & 0x1F), widen(pixel & 0x1F));
}

std::shared_ptr<Bitmap> refuse(DWORD& error, DWORD reason)
{
    error = reason;
    return nullptr;
}

} // namespace

std::shared_ptr<Bitmap> decode_bmp(std::span<const uint8_t> file, DWORD& error)
{
    if (file.size() < file_header_size + info_header_size || file[0] != 'B' || file[1] != 'M')
        return refuse(error, ERROR_INVALID_DATA);
    // The file's own size field is often wrong in files that work elsewhere; the bytes that are
    // there bound every read instead.
    uint32_t pixels_offset = u32(file, 10);
    uint32_t header_size = u32(file, 14);
    if (header_size == 12) {
        // FIXME: the oldest header (12 bytes, 16-bit sizes); no skin is saved with it.
        return refuse(error, ERROR_NOT_SUPPORTED);
    }
    // The later headers (52, 56, 108, 124 bytes) add masks and colour spaces after the first 40.
    if (header_size != 40 && header_size != 52 && header_size != 56 && header_size != 108 && header_size != 124)
        return refuse(error, ERROR_INVALID_DATA);
    if (header_size > file.size() - file_header_size)
        return refuse(error, ERROR_INVALID_DATA);

    int64_t width = s32(file, 18);
    int32_t height_field = s32(file, 22);
    uint16_t planes = u16(file, 26);
    uint16_t bits = u16(file, 28);
    uint32_t compression = u32(file, 30);
    uint32_t colours_used = u32(file, 46);
    int64_t height = std::abs(int64_t(height_field));
    bool bottom_up = height_field > 0;
    if (planes != 1 || width <= 0 || height == 0)
        return refuse(error, ERROR_INVALID_DATA);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return refuse(error, ERROR_INVALID_DATA);
    if (bits != 8 && bits != 16 && bits != 24) {
        // FIXME: 1, 4 and 32 bits a pixel; the skins use 8, 16 and 24.
        return refuse(error, ERROR_NOT_SUPPORTED);
    }
    if (width > largest_side || height > largest_side || width * height > Bitmap::largest_pixels)
        return refuse(error, ERROR_NOT_ENOUGH_MEMORY);

    size_t after_headers = file_header_size + header_size;
    std::array<uint32_t, 3> masks = masks_555;
    if (compression == compression_bit_fields) {
        if (bits != 16) {
            // FIXME: bit fields of 32-bit pixels; the skins' 16-bit files are the only ones.
            return refuse(error, bits == 32 ? ERROR_NOT_SUPPORTED : ERROR_INVALID_DATA);
        }
        // The masks are in the longer headers, or follow the 40-byte one.
        size_t masks_at = file_header_size + info_header_size;
        if (header_size == info_header_size) {
            if (file.size() - after_headers < 12)
                return refuse(error, ERROR_INVALID_DATA);
            after_headers += 12;
        }
        masks = { u32(file, masks_at), u32(file, masks_at + 4), u32(file, masks_at + 8) };
        if (masks != masks_555 && masks != masks_565) {
            // FIXME: other bit fields; 5-5-5 and 5-6-5 are all the device's tools write.
            return refuse(error, ERROR_NOT_SUPPORTED);
        }
    } else if (compression != compression_none) {
        // FIXME: run-length and embedded compressed pictures; skins are stored uncompressed.
        return refuse(error, ERROR_NOT_SUPPORTED);
    }

    // The palette sits between the headers and the pixels.
    std::array<uint16_t, 256> palette {};
    size_t palette_size = 0;
    if (bits == 8) {
        uint32_t count = colours_used == 0 ? 256 : colours_used;
        if (count > 256)
            return refuse(error, ERROR_INVALID_DATA);
        palette_size = size_t(count) * 4;
        if (file.size() - after_headers < palette_size)
            return refuse(error, ERROR_INVALID_DATA);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* entry = &file[after_headers + i * 4];
            palette[i] = rgb565_of(entry[2], entry[1], entry[0]);
        }
    }
    if (pixels_offset < after_headers + palette_size || pixels_offset > file.size())
        return refuse(error, ERROR_INVALID_DATA);
    // Rows are padded to whole 32-bit words; every row, the last one's padding too, must be there.
    uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    if (stride * uint64_t(height) > file.size() - pixels_offset)
        return refuse(error, ERROR_INVALID_DATA);

    auto bitmap = Bitmap::create_compatible(static_cast<int>(width), static_cast<int>(height));
    Surface surface = bitmap->surface();
    for (int64_t y = 0; y < height; ++y) {
        int64_t stored = bottom_up ? height - 1 - y : y;
        const uint8_t* in = &file[pixels_offset + size_t(stored * int64_t(stride))];
        uint16_t* out = surface.row_565(static_cast<int>(y));
        switch (bits) {
        case 8:
            // An index past the palette's end is black, as the palette's unused entries are.
            for (int64_t x = 0; x < width; ++x)
                out[x] = palette[in[x]];
            break;
        case 16:
            for (int64_t x = 0; x < width; ++x) {
                auto pixel = static_cast<uint16_t>(in[x * 2] | (in[x * 2 + 1] << 8));
                out[x] = masks == masks_565 ? pixel : rgb565_of_555(pixel);
            }
            break;
        case 24:
            for (int64_t x = 0; x < width; ++x)
                out[x] = rgb565_of(in[x * 3 + 2], in[x * 3 + 1], in[x * 3]);
            break;
        }
    }
    error = ERROR_SUCCESS;
    return bitmap;
}

} // namespace kivo

namespace kivo {

std::vector<uint8_t> encode_bmp(Bitmap& bitmap)
{
    Surface surface = bitmap.surface();
    const uint32_t width = static_cast<uint32_t>(surface.width());
    const uint32_t height = static_cast<uint32_t>(surface.height());
    const uint32_t stride = (width * 2 + 3) / 4 * 4;
    const uint32_t pixels_offset = file_header_size + info_header_size + 12;
    std::vector<uint8_t> file;
    file.reserve(pixels_offset + stride * height);
    auto put16 = [&](uint32_t value) {
        file.push_back(uint8_t(value));
        file.push_back(uint8_t(value >> 8));
    };
    auto put32 = [&](uint32_t value) {
        put16(value & 0xFFFF);
        put16(value >> 16);
    };
    file.push_back('B');
    file.push_back('M');
    put32(pixels_offset + stride * height);
    put32(0);
    put32(pixels_offset);
    put32(info_header_size);
    put32(width);
    put32(height);
    put16(1);
    put16(16);
    put32(compression_bit_fields);
    put32(stride * height);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (uint32_t mask : masks_565)
        put32(mask);
    for (int y = static_cast<int>(height) - 1; y >= 0; --y) {
        for (uint32_t x = 0; x < width; ++x)
            put16(surface.get(static_cast<int>(x), y));
        for (uint32_t pad = width * 2; pad < stride; ++pad)
            file.push_back(0);
    }
    return file;
}

} // namespace kivo
