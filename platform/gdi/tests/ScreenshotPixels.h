#pragma once

#include "FrameBuffer.h"
#include "Screenshot.h"

#include <png.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kivo::test {

// A PNG decoded by libpng into 8-bit RGB rows.
struct DecodedPng {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;

    // The pixel at (x, y) back in RGB565, to compare with what was drawn.
    uint16_t pixel_565(int x, int y) const
    {
        const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
        return FrameBuffer::rgb565(p[0], p[1], p[2]);
    }
};

inline DecodedPng decode_png(const std::vector<uint8_t>& png)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    DecodedPng result;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
        return result;
    image.format = PNG_FORMAT_RGB;
    result.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return {};
    }
    result.width = image.width;
    result.height = image.height;
    return result;
}

// What the screen shows, also written as "screenshots/<name>.png" in the test's working folder
// (the build tree) for a person to look at.
inline DecodedPng review_screenshot(Device& device, const std::string& name)
{
    std::filesystem::create_directories("screenshots");
    write_screenshot_png(device, std::filesystem::path("screenshots") / (name + ".png"));
    return decode_png(screenshot_png(device));
}

} // namespace kivo::test
