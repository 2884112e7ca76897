#pragma once

#include <cstdint>

namespace kivo {

// Colours as the device's 16-bit screen holds them: 5 bits of red, 6 of green, 5 of blue. A
// 24-bit colour loses its low bits on the way in; on the way out the bits are repeated into the
// low bits, so that white stays 255, 255, 255.
constexpr uint16_t rgb565_of(uint8_t red, uint8_t green, uint8_t blue)
{
    return static_cast<uint16_t>(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3));
}

// A COLORREF holds red in its low byte, then green, then blue.
constexpr uint16_t rgb565_of_colorref(uint32_t colour)
{
    return rgb565_of(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

constexpr uint8_t red_of(uint16_t colour)
{
    unsigned five = colour >> 11;
    return static_cast<uint8_t>((five << 3) | (five >> 2));
}

constexpr uint8_t green_of(uint16_t colour)
{
    unsigned six = (colour >> 5) & 0x3F;
    return static_cast<uint8_t>((six << 2) | (six >> 4));
}

constexpr uint8_t blue_of(uint16_t colour)
{
    unsigned five = colour & 0x1F;
    return static_cast<uint8_t>((five << 3) | (five >> 2));
}

constexpr uint32_t colorref_of_565(uint16_t colour)
{
    return red_of(colour) | (uint32_t(green_of(colour)) << 8) | (uint32_t(blue_of(colour)) << 16);
}

// Mixes `colour` over `under` by `coverage` (0 to 255), as anti-aliased text is laid on.
constexpr uint16_t blend_565(uint16_t under, uint16_t colour, unsigned coverage)
{
    if (coverage >= 255)
        return colour;
    auto mix = [coverage](unsigned a, unsigned b) { return (a * (255 - coverage) + b * coverage + 127) / 255; };
    return rgb565_of(static_cast<uint8_t>(mix(red_of(under), red_of(colour))),
        static_cast<uint8_t>(mix(green_of(under), green_of(colour))),
        static_cast<uint8_t>(mix(blue_of(under), blue_of(colour))));
}

static_assert(rgb565_of(255, 102, 255) == 0xFB3F);
static_assert(rgb565_of(16, 0, 16) == 0x1002);

} // namespace kivo
