#include "GdiTest.h"
#include "ScreenshotPixels.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

using namespace kivo;
using namespace kivo::test;

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

    DecodedPng shot = decode_png(screenshot_png(*device));
    ASSERT_EQ(shot.width, 480u);
    ASSERT_EQ(shot.height, 272u);
    auto at = [&](int x, int y) {
        const uint8_t* p = &shot.rgb[(size_t(y) * 480 + x) * 3];
        return std::array<int, 3> { p[0], p[1], p[2] };
    };
    EXPECT_EQ(at(0, 0), (std::array<int, 3> { 255, 255, 255 }));
    // The video key shows the video plane, which holds nothing: black, as the overlay shows.
    EXPECT_EQ(at(7, 5), (std::array<int, 3> { 0, 0, 0 }));
    EXPECT_EQ(frame_buffer.pixel(7, 5), Gdi::video_key_565);
    EXPECT_EQ(at(300, 271), (std::array<int, 3> { 255, 101, 255 }));
    EXPECT_EQ(at(479, 0), (std::array<int, 3> { 255, 101, 255 }));

    auto file = device->root() / "shot.png";
    ASSERT_TRUE(write_screenshot_png(*device, file));
    EXPECT_EQ(std::filesystem::file_size(file), screenshot_png(*device).size());
}

TEST_F(GdiTest, AShotThatCannotBeWrittenKeepsThePictureBefore)
{
    auto file = device->root() / "kept.png";
    auto bytes_of = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    };
    ASSERT_TRUE(write_screenshot_png(*device, file));
    auto before = bytes_of();
    // The temporary file beside it cannot be made: a folder stands in its place.
    std::filesystem::create_directory(device->root() / "kept.png.new");
    RECT all { 0, 0, 480, 272 };
    FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_FALSE(write_screenshot_png(*device, file));
    EXPECT_EQ(bytes_of(), before);
    // Rows that do not fill the size given are no picture.
    EXPECT_TRUE(png_of_rgb(2, 2, std::vector<uint8_t>(11)).empty());
    EXPECT_EQ(decode_png(png_of_rgb(2, 1, std::vector<uint8_t>(6, 200))).width, 2u);
}

// Full-screen pictures in two colours drawn one after another on the real clock while a host
// thread reads the screen as the simulator's window and the screenshot do: each copy must be one
// whole picture, never the top of one and the bottom of the next.
TEST(ScreenCopy, ReadersNeverSeeHalfOfTwoPictures)
{
    auto device = make_test_device({ ClockMode::Real });
    auto& frame_buffer = device->component<FrameBuffer>();
    constexpr int copies_wanted = 30;
    std::atomic<int> copies = 0;
    std::atomic<bool> drawn = false;
    device->create_thread(device->system_process(), [&]() -> DWORD {
        fill_screen_by_turns(RGB(255, 0, 0), RGB(0, 0, 255), [&] { return copies >= copies_wanted; });
        drawn = true;
        return 0;
    });

    int torn = 0;
    std::thread reader([&] {
        std::vector<uint16_t> page(FrameBuffer::visible_pixels);
        while (!drawn) {
            if (copies % 4 == 3) {
                DecodedPng shot = decode_png(screenshot_png(*device));
                bool whole = shot.rgb.size() == page.size() * 3;
                for (size_t i = 3; whole && i < shot.rgb.size(); ++i)
                    whole = shot.rgb[i] == shot.rgb[i % 3];
                torn += whole ? 0 : 1;
            } else {
                frame_buffer.copy_visible(page);
                torn += std::all_of(page.begin(), page.end(), [&](uint16_t pixel) { return pixel == page[0]; }) ? 0 : 1;
            }
            ++copies;
        }
    });
    bool finished = device->run_until([&] { return drawn.load(); }, 60'000);
    reader.join();
    ASSERT_TRUE(finished);
    EXPECT_GE(copies, copies_wanted);
    EXPECT_EQ(torn, 0);
}
