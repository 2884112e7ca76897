#include "GdiTest.h"
#include "ScreenshotPixels.h"
#include "VideoPlane.h"

#include <atomic>
#include <thread>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr RECT whole_screen { 0, 0, FrameBuffer::width, FrameBuffer::height };

// A picture whose every pixel tells where it belongs (a row or column out of place shows), and
// never the key colour: blue is 200 everywhere.
uint16_t pattern_at(int x, int y) { return FrameBuffer::rgb565(static_cast<uint8_t>(x / 2), static_cast<uint8_t>(y), 200); }

std::vector<uint16_t> pattern_picture()
{
    std::vector<uint16_t> picture(FrameBuffer::visible_pixels);
    for (int y = 0; y < FrameBuffer::height; ++y) {
        for (int x = 0; x < FrameBuffer::width; ++x)
            picture[size_t(y) * FrameBuffer::width + x] = pattern_at(x, y);
    }
    return picture;
}

std::vector<uint16_t> one_colour_picture(uint16_t colour) { return std::vector<uint16_t>(FrameBuffer::visible_pixels, colour); }

// A television-like page: a window painting the key over the top of the screen (0, 0)-(480, 200)
// with a push button over it at (190, 80)-(290, 120); the rest of the screen is white.
struct VideoPlaneTest : GdiTest {
    static constexpr RECT key_window { 0, 0, 480, 200 };
    static constexpr RECT button_rect { 190, 80, 290, 120 };

    VideoPlaneTest()
    {
        fill_screen(RGB(255, 255, 255));
        WNDCLASS description {};
        description.lpfnWndProc = fill_with_own_colour;
        description.lpszClassName = u"VideoPage";
        RegisterClass(&description);
        page = CreateWindowEx(0, u"VideoPage", u"", WS_POPUP | WS_VISIBLE, key_window.left, key_window.top, key_window.right,
            key_window.bottom, nullptr, nullptr, nullptr, nullptr);
        SetWindowLong(page, GWL_USERDATA, static_cast<LONG>(Gdi::video_key));
        CreateWindowEx(0, WC_BUTTON, u"OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, button_rect.left, button_rect.top,
            button_rect.right - button_rect.left, button_rect.bottom - button_rect.top, page, nullptr, nullptr, nullptr);
        MSG message {};
        while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&message);
    }
    ~VideoPlaneTest() override { DestroyWindow(page); }

    VideoPlane& plane = device->component<VideoPlane>();
    HWND page = nullptr;
};

} // namespace

// The screen shows the plane wherever the key is painted, inside the plane's area; elsewhere under
// the key it shows black, and everything not painted in the key shows as painted.
TEST_F(VideoPlaneTest, TheScreenShowsThePlaneUnderTheKeyAndTheFrameBufferKeepsTheKey)
{
    ASSERT_EQ(frame_buffer.pixel(20, 20), Gdi::video_key_565);
    uint16_t button_face = frame_buffer.pixel(240, 100);
    ASSERT_NE(button_face, Gdi::video_key_565) << "the button painted itself over the key";

    struct Case {
        const char* name;
        std::optional<RECT> area; // where the plane's picture is shown; none: nothing presented
        POINT inside;             // a key pixel inside the area
        POINT outside;            // a key pixel outside it
    };
    const Case cases[] = {
        { "whole screen", whole_screen, { 20, 20 }, { -1, -1 } },
        { "a rectangle, clipped to the screen", RECT { -50, 10, 150, 300 }, { 149, 199 }, { 150, 20 } },
        { "nothing presented", std::nullopt, { -1, -1 }, { 20, 20 } },
    };
    const auto picture = pattern_picture();
    VideoPlane::Owner renderer = plane.new_owner();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plane.clear(renderer);
        if (c.area) {
            ASSERT_TRUE(plane.present(renderer, picture, *c.area));
        }

        DecodedPng shot = decode_png(screenshot_png(*device));
        ASSERT_EQ(shot.rgb.size(), FrameBuffer::visible_pixels * 3);
        if (c.inside.x >= 0) {
            EXPECT_EQ(shot.pixel_565(c.inside.x, c.inside.y), pattern_at(c.inside.x, c.inside.y));
        }
        if (c.outside.x >= 0) {
            EXPECT_EQ(shot.pixel_565(c.outside.x, c.outside.y), 0);
        }
        EXPECT_EQ(shot.pixel_565(240, 100), button_face);
        EXPECT_EQ(shot.pixel_565(button_rect.left, button_rect.top), frame_buffer.pixel(button_rect.left, button_rect.top));
        EXPECT_EQ(shot.pixel_565(20, 230), c565(RGB(255, 255, 255)));
        // No pixel of the screen shows the key, and each one not painted in it shows as painted.
        int key_shown = 0;
        int changed_outside_key = 0;
        for (int y = 0; y < FrameBuffer::height; ++y) {
            for (int x = 0; x < FrameBuffer::width; ++x) {
                key_shown += shot.pixel_565(x, y) == Gdi::video_key_565 ? 1 : 0;
                bool is_key = frame_buffer.pixel(x, y) == Gdi::video_key_565;
                changed_outside_key += !is_key && shot.pixel_565(x, y) != frame_buffer.pixel(x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(key_shown, 0);
        EXPECT_EQ(changed_outside_key, 0);

        // Programs read back the key they painted, from the screen and by copying it.
        EXPECT_EQ(GetPixel(screen, 20, 20), Gdi::video_key);
        HDC copy = memory_dc(1, 1, RGB(0, 0, 0));
        BitBlt(copy, 0, 0, 1, 1, screen, 20, 20, SRCCOPY);
        EXPECT_EQ(GetPixel(copy, 0, 0), Gdi::video_key);
        EXPECT_EQ(gdi.video_key_bounds().value_or(RECT {}).bottom, key_window.bottom);
    }
}

TEST_F(VideoPlaneTest, TheLastPresenterOwnsThePlaneAndOnlyItClearsIt)
{
    VideoPlane::Owner first = plane.new_owner();
    VideoPlane::Owner second = plane.new_owner();
    ASSERT_NE(first, second);
    EXPECT_FALSE(plane.picture());
    EXPECT_FALSE(plane.clear(first)) << "an empty plane has no owner";

    const uint16_t red = FrameBuffer::rgb565(255, 0, 0);
    const uint16_t green = FrameBuffer::rgb565(0, 255, 0);
    ASSERT_TRUE(plane.present(first, one_colour_picture(red)));
    EXPECT_FALSE(plane.clear(second));
    ASSERT_TRUE(plane.picture());
    EXPECT_EQ(plane.picture()->owner, first);

    // A second renderer takes over; the first one stopping late leaves its picture alone.
    ASSERT_TRUE(plane.present(second, one_colour_picture(green), { 10, 20, 30, 40 }));
    EXPECT_FALSE(plane.clear(first));
    auto held = plane.picture();
    ASSERT_TRUE(held);
    EXPECT_EQ(held->owner, second);
    EXPECT_EQ(held->area.left, 10);
    EXPECT_EQ(held->area.bottom, 40);
    EXPECT_EQ(held->pixels[size_t(20) * FrameBuffer::width + 10], green);
    EXPECT_EQ(held->pixels[size_t(39) * FrameBuffer::width + 29], green);
    EXPECT_EQ(held->pixels[size_t(19) * FrameBuffer::width + 10], 0) << "outside the area the plane is empty";
    EXPECT_EQ(held->pixels[size_t(20) * FrameBuffer::width + 30], 0);
    std::vector<uint16_t> shown(FrameBuffer::visible_pixels);
    plane.copy_shown_screen(shown);
    EXPECT_EQ(shown[size_t(25) * FrameBuffer::width + 15], green);

    EXPECT_TRUE(plane.clear(second));
    EXPECT_FALSE(plane.picture());
    plane.copy_shown_screen(shown);
    EXPECT_EQ(shown[size_t(25) * FrameBuffer::width + 15], 0) << "the key shows black once the plane is empty";

    // A picture that is not the screen's size is refused and changes nothing.
    EXPECT_FALSE(plane.present(first, std::vector<uint16_t>(FrameBuffer::visible_pixels - 1, red)));
    EXPECT_FALSE(plane.picture());
}

TEST_F(VideoPlaneTest, APictureGoesWhenItsRenderersProgramEnds)
{
    // A program presents and ends without stopping its renderer; the controller's own picture,
    // presented by another process, stays when a program ends.
    const uint16_t red = FrameBuffer::rgb565(255, 0, 0);
    for (bool program_presents_last : { true, false }) {
        SCOPED_TRACE(program_presents_last ? "the program's picture" : "the controller's picture");
        VideoPlane::Owner controller = plane.new_owner();
        device->programs().add(u"\\player.exe", [&](std::u16string_view) {
            VideoPlane& shared = Device::current().component<VideoPlane>();
            shared.present(shared.new_owner(), one_colour_picture(red));
            if (!program_presents_last)
                shared.present(controller, one_colour_picture(red));
            return 0;
        });
        DWORD error = 0;
        device->create_process(u"\\player.exe", u"", error);
        device->run_until_idle();
        EXPECT_EQ(plane.picture().has_value(), !program_presents_last);
        plane.clear(controller);
    }
}

// On the real clock an interface thread paints the whole screen in the key and in white by turns
// while a renderer thread presents red and blue frames by turns, and a host thread reads the
// screen as the simulator's window and the screenshots do: every copy must be one colour, never
// a mixture of an old and a new drawing or of an old and a new frame.
TEST(VideoPlaneCopies, ReadersSeeWholeFramesWhileTheRendererPresentsAndTheInterfacePaints)
{
    auto device = make_test_device({ ClockMode::Real });
    auto& plane = device->component<VideoPlane>();
    constexpr int copies_wanted = 40;
    std::atomic<int> copies = 0;
    std::atomic<int> running = 2;
    const uint16_t white = FrameBuffer::rgb565(255, 255, 255);
    const uint16_t red = FrameBuffer::rgb565(255, 0, 0);
    const uint16_t blue = FrameBuffer::rgb565(0, 0, 255);

    device->create_thread(device->system_process(), [&]() -> DWORD {
        fill_screen_by_turns(Gdi::video_key, RGB(255, 255, 255), [&] { return copies >= copies_wanted; });
        --running;
        return 0;
    });
    device->create_thread(device->system_process(), [&]() -> DWORD {
        const std::vector<uint16_t> frames[] = { one_colour_picture(red), one_colour_picture(blue) };
        VideoPlane::Owner renderer = plane.new_owner();
        for (int i = 0; copies < copies_wanted && i < 1'000'000; ++i)
            plane.present(renderer, frames[i % 2]);
        --running;
        return 0;
    });

    int mixed = 0;
    int not_shown_colour = 0;
    std::thread reader([&] {
        std::vector<uint16_t> page(FrameBuffer::visible_pixels);
        while (running > 0) {
            if (copies % 4 == 3) {
                DecodedPng shot = decode_png(screenshot_png(*device));
                for (int i = 0; i < int(page.size()); ++i)
                    page[i] = shot.rgb.size() == page.size() * 3 ? shot.pixel_565(i % FrameBuffer::width, i / FrameBuffer::width) : 0;
            } else {
                plane.copy_shown_screen(page);
            }
            mixed += std::all_of(page.begin(), page.end(), [&](uint16_t pixel) { return pixel == page[0]; }) ? 0 : 1;
            not_shown_colour += page[0] == white || page[0] == red || page[0] == blue || page[0] == 0 ? 0 : 1;
            ++copies;
        }
    });
    bool finished = device->run_until([&] { return running == 0; }, 60'000);
    reader.join();
    ASSERT_TRUE(finished);
    EXPECT_GE(copies, copies_wanted);
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(not_shown_colour, 0);
}
