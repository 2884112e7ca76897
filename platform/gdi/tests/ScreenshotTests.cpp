#include "GdiTest.h"

#include "Screenshot.h"

#include <png.h>

using namespace kivo;
using namespace kivo::test;

namespace {

// The PNG decoded by libpng into 8-bit RGB rows.
struct Decoded {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
};

Decoded decode(const std::vector<uint8_t>& png)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    Decoded result;
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

} // namespace

TEST_F(GdiTest, DirectFrameBufferWritesAndDrawingBothShowInTheScreenshot)
{
    RECT left_half { 0, 0, 240, 272 };
    FillRect(screen, &left_half, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // A program writes the right half directly, as the device's fill routines do.
    uint16_t* pixels = frame_buffer.pixels();
    for (int y = 0; y < FrameBuffer::height; ++y) {
        for (int x = 240; x < FrameBuffer::width; ++x)
            pixels[y * FrameBuffer::width + x] = FrameBuffer::rgb565(255, 102, 255);
    }
    pixels[5 * FrameBuffer::width + 7] = FrameBuffer::rgb565(16, 0, 16);
    // The second page is not on the screen.
    pixels[FrameBuffer::width * FrameBuffer::height] = 0x1234;

    Decoded shot = decode(screenshot_png(*device));
    ASSERT_EQ(shot.width, 480u);
    ASSERT_EQ(shot.height, 272u);
    auto at = [&](int x, int y) {
        const uint8_t* p = &shot.rgb[(size_t(y) * 480 + x) * 3];
        return std::array<int, 3> { p[0], p[1], p[2] };
    };
    EXPECT_EQ(at(0, 0), (std::array<int, 3> { 255, 255, 255 }));
    EXPECT_EQ(at(7, 5), (std::array<int, 3> { 16, 0, 16 }));
    EXPECT_EQ(at(300, 271), (std::array<int, 3> { 255, 101, 255 }));
    EXPECT_EQ(at(479, 0), (std::array<int, 3> { 255, 101, 255 }));

    auto file = device->root() / "shot.png";
    ASSERT_TRUE(write_screenshot_png(*device, file));
    EXPECT_EQ(std::filesystem::file_size(file), screenshot_png(*device).size());
}
