#pragma once

#include "Colour.h"
#include "GdiApi.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kivo::test {

// How a test picture is stored in its BMP file.
struct BmpFormat {
    int bits = 24;             // 8 (with a palette), 16 or 24
    bool bit_fields = false;   // 16 bits only: 5-6-5 given by masks, else 5-5-5
    bool top_down = false;     // a negative height
    uint32_t header_size = 40; // 40, or 108 with the masks inside the header
};

// A BMP file of a picture whose pixel (x, y) has colour(x, y), written as the format asks; an
// 8-bit file's palette holds the colours in the order they are first met.
inline std::vector<uint8_t> bmp_file(const BmpFormat& format, int width, int height,
    const std::function<COLORREF(int x, int y)>& colour)
{
    std::vector<uint8_t> file;
    auto put16 = [&](uint32_t value) {
        file.push_back(uint8_t(value));
        file.push_back(uint8_t(value >> 8));
    };
    auto put32 = [&](uint32_t value) {
        put16(value & 0xFFFF);
        put16(value >> 16);
    };
    std::vector<COLORREF> palette;
    auto index_of = [&](COLORREF value) {
        for (size_t i = 0; i < palette.size(); ++i) {
            if (palette[i] == value)
                return uint8_t(i);
        }
        palette.push_back(value);
        return uint8_t(palette.size() - 1);
    };
    if (format.bits == 8) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                index_of(colour(x, y));
        }
    }
    bool masks_after_header = format.bit_fields && format.header_size == 40;
    uint32_t pixels_offset = 14 + format.header_size + (masks_after_header ? 12 : 0) + uint32_t(palette.size()) * 4;
    uint32_t stride = (uint32_t(width) * format.bits + 31) / 32 * 4;
    uint32_t pixel_bytes = stride * uint32_t(height);

    file.push_back('B');
    file.push_back('M');
    put32(pixels_offset + pixel_bytes);
    put32(0);
    put32(pixels_offset);
    put32(format.header_size);
    put32(uint32_t(width));
    put32(uint32_t(format.top_down ? -height : height));
    put16(1);
    put16(uint32_t(format.bits));
    put32(format.bit_fields ? 3 : 0);
    put32(pixel_bytes);
    put32(2835);
    put32(2835);
    put32(uint32_t(palette.size()));
    put32(0);
    if (format.bit_fields) {
        put32(0xF800);
        put32(0x07E0);
        put32(0x001F);
    }
    file.resize(14 + format.header_size + (masks_after_header ? 12 : 0), 0);
    for (COLORREF entry : palette) {
        file.push_back(GetBValue(entry));
        file.push_back(GetGValue(entry));
        file.push_back(GetRValue(entry));
        file.push_back(0);
    }
    for (int row = 0; row < height; ++row) {
        int y = format.top_down ? row : height - 1 - row;
        size_t start = file.size();
        for (int x = 0; x < width; ++x) {
            COLORREF c = colour(x, y);
            switch (format.bits) {
            case 8:
                file.push_back(index_of(c));
                break;
            case 16:
                put16(format.bit_fields ? rgb565_of_colorref(c)
                                        : ((GetRValue(c) >> 3) << 10) | ((GetGValue(c) >> 3) << 5) | (GetBValue(c) >> 3));
                break;
            default:
                file.push_back(GetBValue(c));
                file.push_back(GetGValue(c));
                file.push_back(GetRValue(c));
                break;
            }
        }
        file.resize(start + stride, 0);
    }
    return file;
}

} // namespace kivo::test
