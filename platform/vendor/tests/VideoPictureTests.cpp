#include "VideoPicture.h"

#include "VideoPlane.h"
#include "gdi/tests/GdiTest.h"
#include "gdi/tests/ScreenshotPixels.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>

using namespace kivo;
using namespace kivo::test;

namespace {

struct Yuv {
    uint8_t y, u, v;
};

// The picture's colours by BT.601 with YUV in limited range, computed here from the standard's
// coefficients, as an 8-bit RGB triple.
std::array<int, 3> bt601_rgb(Yuv c)
{
    const double y = 255.0 / 219.0 * (c.y - 16);
    const double cb = 255.0 / 224.0 * (c.u - 128);
    const double cr = 255.0 / 224.0 * (c.v - 128);
    const double kr = 0.299, kb = 0.114, kg = 1 - kr - kb;
    const double r = y + 2 * (1 - kr) * cr;
    const double b = y + 2 * (1 - kb) * cb;
    const double g = (y - kr * r - kb * b) / kg;
    auto to_byte = [](double value) { return int(std::lround(std::clamp(value, 0.0, 255.0))); };
    return { to_byte(r), to_byte(g), to_byte(b) };
}

// Whether an RGB565 pixel is within one step of each channel of an 8-bit colour.
bool within_one_step(uint16_t pixel, std::array<int, 3> rgb)
{
    const double channels[] = { double(pixel >> 11), double((pixel >> 5) & 63), double(pixel & 31) };
    const double steps[] = { 31, 63, 31 };
    for (int i = 0; i < 3; ++i) {
        if (std::abs(channels[i] - rgb[i] * steps[i] / 255.0) > 1.0)
            return false;
    }
    return true;
}

VideoPicture flat_picture(int width, int height, Yuv colour, SampleAspect aspect = {})
{
    VideoPicture picture(width, height, aspect);
    auto bytes = picture.i420();
    const size_t luma = size_t(width) * height;
    const size_t chroma = size_t(picture.chroma_width()) * picture.chroma_height();
    std::fill_n(bytes.begin(), luma, colour.y);
    std::fill_n(bytes.begin() + luma, chroma, colour.u);
    std::fill_n(bytes.begin() + luma + chroma, chroma, colour.v);
    return picture;
}

// Every pixel of its own in all three planes: a plane, a row or a column out of place shows.
VideoPicture pattern_picture(int width, int height)
{
    VideoPicture picture(width, height);
    auto bytes = picture.i420();
    const size_t luma = size_t(width) * height;
    const int chroma_width = picture.chroma_width();
    const size_t chroma = size_t(chroma_width) * picture.chroma_height();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            bytes[size_t(y) * width + x] = uint8_t(16 + (x * 3 + y * 5) % 220);
    }
    for (int y = 0; y < picture.chroma_height(); ++y) {
        for (int x = 0; x < chroma_width; ++x) {
            bytes[luma + size_t(y) * chroma_width + x] = uint8_t(16 + (x * 7) % 225);
            bytes[luma + chroma + size_t(y) * chroma_width + x] = uint8_t(240 - (y * 11) % 225);
        }
    }
    return picture;
}

// The broadcast colour bars (white, yellow, cyan, green, magenta, red, blue, black) over the top
// three quarters, a grey ramp below.
constexpr Yuv colour_bars[] = { { 235, 128, 128 }, { 210, 16, 146 }, { 170, 166, 16 }, { 145, 54, 34 }, { 106, 202, 222 }, { 81, 90, 240 },
    { 41, 240, 110 }, { 16, 128, 128 } };

VideoPicture colour_bar_picture(int width, int height, SampleAspect aspect)
{
    VideoPicture picture(width, height, aspect);
    auto bytes = picture.i420();
    const size_t luma = size_t(width) * height;
    const int chroma_width = picture.chroma_width();
    const size_t chroma = size_t(chroma_width) * picture.chroma_height();
    const int bars_height = height * 3 / 4;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            bytes[size_t(y) * width + x] = y < bars_height ? colour_bars[x * 8 / width].y : uint8_t(16 + x * 219 / (width - 1));
    }
    for (int y = 0; y < picture.chroma_height(); ++y) {
        for (int x = 0; x < chroma_width; ++x) {
            const bool bars = 2 * y < bars_height;
            const Yuv bar = colour_bars[2 * x * 8 / width];
            bytes[luma + size_t(y) * chroma_width + x] = bars ? bar.u : 128;
            bytes[luma + chroma + size_t(y) * chroma_width + x] = bars ? bar.v : 128;
        }
    }
    return picture;
}

LONG width_of(const RECT& r) { return r.right - r.left; }
bool contains(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

std::string text(const RECT& r)
{
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" + std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

bool same(const RECT& a, const RECT& b)
{
    return (width_of(a) <= 0 && width_of(b) <= 0) || (a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom);
}

// How many pixels of a screen-sized picture break the rule: inside `film` one colour within a
// step, everywhere else black.
int misplaced_pixels(const std::vector<uint16_t>& screen, const RECT& film, std::array<int, 3> colour)
{
    int wrong = 0;
    for (int y = 0; y < FrameBuffer::height; ++y) {
        for (int x = 0; x < FrameBuffer::width; ++x) {
            uint16_t pixel = screen[size_t(y) * FrameBuffer::width + x];
            bool ok = contains(film, x, y) ? within_one_step(pixel, colour) : pixel == 0;
            wrong += ok ? 0 : 1;
        }
    }
    return wrong;
}

struct VideoPictureTest : GdiTest {
    VideoPictureTest() { fill_screen(RGB(255, 255, 255)); }

    // Paints the key as a program does, straight into the frame buffer.
    void paint_key(const RECT& area)
    {
        for (int y = area.top; y < area.bottom; ++y)
            std::fill_n(frame_buffer.pixels() + size_t(y) * FrameBuffer::width + area.left, area.right - area.left, Gdi::video_key_565);
    }

    VideoScaler scaler;
    std::vector<uint16_t> drawn;
};

constexpr Yuv film_grey { 150, 110, 140 };

} // namespace

// Where mode 1 shows a film: the mode rectangle on the screen, narrowed to the key painted inside
// it, the film fitted with its display aspect and centred, black around it.
TEST_F(VideoPictureTest, FilmsArePlacedInTheKeyInsideTheModeRectangleWithTheirAspectKept)
{
    struct Case {
        const char* name;
        int32_t mode_left, mode_top, mode_width, mode_height;
        std::vector<RECT> keys;
        int film_width, film_height;
        SampleAspect aspect;
        RECT target; // where the video shows
        RECT film;   // where the film lies in it
    };
    const Case cases[] = {
        { "full screen, 4:3 square pixels: pillar boxes", 0, 0, 480, 272, { { 0, 0, 480, 272 } }, 640, 480, {}, { 0, 0, 480, 272 },
            { 58, 0, 421, 272 } },
        { "full screen, 16:9: letter box", 0, 0, 480, 272, { { 0, 0, 480, 272 } }, 1920, 1080, { 1, 1 }, { 0, 0, 480, 272 },
            { 0, 1, 480, 271 } },
        { "PAL 4:3 with its sample aspect", 0, 0, 480, 272, {}, 720, 576, { 16, 15 }, { 0, 0, 480, 272 }, { 58, 0, 421, 272 } },
        { "PAL anamorphic 16:9", 0, 0, 480, 272, {}, 720, 576, { 64, 45 }, { 0, 0, 480, 272 }, { 0, 1, 480, 271 } },
        { "unknown aspect 0/7 is square", 0, 0, 480, 272, {}, 640, 480, { 0, 7 }, { 0, 0, 480, 272 }, { 58, 0, 421, 272 } },
        { "a key window smaller than the mode rectangle", 0, 0, 480, 272, { { 221, 54, 382, 146 } }, 1920, 1080, {},
            { 221, 54, 382, 146 }, { 221, 54, 382, 145 } },
        { "key at the screen's edge, mode partly off the screen", -40, 200, 200, 100, { { 0, 230, 480, 272 } }, 640, 480, {},
            { 0, 230, 160, 272 }, { 52, 230, 108, 272 } },
        { "key outside the mode rectangle only", 100, 50, 200, 100, { { 0, 0, 50, 50 } }, 100, 100, {}, { 100, 50, 300, 150 },
            { 150, 50, 250, 150 } },
        { "no key anywhere", 10, 20, 100, 50, {}, 320, 240, {}, { 10, 20, 110, 70 }, { 26, 20, 93, 70 } },
        { "zero width", 0, 0, 0, 272, { { 0, 0, 480, 272 } }, 640, 480, {}, {}, {} },
        { "negative height", 0, 0, 480, -5, { { 0, 0, 480, 272 } }, 640, 480, {}, {}, {} },
        { "right of the screen", 480, 0, 100, 100, { { 0, 0, 480, 272 } }, 640, 480, {}, {}, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fill_screen(RGB(255, 255, 255));
        for (const RECT& key : c.keys)
            paint_key(key);

        RECT mode = video_mode_rectangle(DWORD(c.mode_left), DWORD(c.mode_top), DWORD(c.mode_width), DWORD(c.mode_height));
        RECT target = video_target(gdi, mode);
        EXPECT_TRUE(same(target, c.target)) << text(target);
        VideoPicture film = flat_picture(c.film_width, c.film_height, film_grey, c.aspect);
        RECT placed = fitted_rectangle(target, film.width(), film.height(), film.sample_aspect());
        EXPECT_TRUE(same(placed, c.film)) << text(placed);

        const bool shown = width_of(c.film) > 0;
        EXPECT_EQ(scaler.draw(film, target, drawn), shown);
        ASSERT_EQ(drawn.size(), FrameBuffer::visible_pixels);
        EXPECT_EQ(misplaced_pixels(drawn, c.film, bt601_rgb(film_grey)), 0);
    }
}

TEST_F(VideoPictureTest, KeyBoundsInsideARectangleCountOnlyThatRectangle)
{
    paint_key({ 10, 10, 20, 20 });
    paint_key({ 100, 40, 101, 41 });
    paint_key({ 300, 200, 480, 272 });
    struct Case {
        RECT within;
        std::optional<RECT> bounds;
    };
    const Case cases[] = {
        { { 0, 0, 480, 272 }, RECT { 10, 10, 480, 272 } },
        { { 15, 0, 480, 100 }, RECT { 15, 10, 101, 41 } },
        { { 101, 0, 300, 200 }, std::nullopt },
        { { 400, 250, 900, 900 }, RECT { 400, 250, 480, 272 } },
        { { -5, -5, 11, 11 }, RECT { 10, 10, 11, 11 } },
        { { 50, 50, 50, 60 }, std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(text(c.within));
        auto bounds = gdi.video_key_bounds(c.within);
        ASSERT_EQ(bounds.has_value(), c.bounds.has_value());
        if (bounds) {
            EXPECT_TRUE(same(*bounds, *c.bounds)) << text(*bounds);
        }
    }
}

TEST_F(VideoPictureTest, FlatColoursAreShownAsBt601LimitedRangeGives)
{
    const Yuv colours[] = { { 16, 128, 128 }, { 235, 128, 128 }, { 126, 128, 128 }, { 81, 90, 240 }, { 145, 54, 34 }, { 41, 240, 110 },
        { 210, 16, 146 }, { 200, 60, 200 } };
    const RECT whole { 0, 0, 480, 272 };
    for (Yuv colour : colours) {
        SCOPED_TRACE(testing::Message() << int(colour.y) << "/" << int(colour.u) << "/" << int(colour.v));
        ASSERT_TRUE(scaler.draw(flat_picture(96, 54, colour), whole, drawn));
        // 96 × 54 is 16:9: the film's rows 1 to 270.
        EXPECT_EQ(misplaced_pixels(drawn, { 0, 1, 480, 271 }, bt601_rgb(colour)), 0);
    }
}

// The preview is the picture scaled as libswscale scales I420 into I420, planes in their order.
TEST_F(VideoPictureTest, ThePreviewIsThePictureScaledToTheCallersSize)
{
    const VideoPicture picture = pattern_picture(720, 576);
    constexpr int width = 112, height = 64;
    constexpr size_t size = width * height * 3 / 2;

    std::vector<uint8_t> expected(size);
    SwsContext* context = sws_getContext(720, 576, AV_PIX_FMT_YUV420P, width, height, AV_PIX_FMT_YUV420P,
        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr);
    ASSERT_NE(context, nullptr);
    const uint8_t* const source[] = { picture.y(), picture.u(), picture.v() };
    const int source_strides[] = { 720, 360, 360 };
    uint8_t* const planes[] = { expected.data(), expected.data() + width * height, expected.data() + width * height * 5 / 4 };
    const int strides[] = { width, width / 2, width / 2 };
    ASSERT_EQ(sws_scale(context, source, source_strides, 0, 576, planes, strides), height);
    sws_freeContext(context);

    // Twice, with a drawing between, to see the kept contexts give the same bytes.
    for (int round = 0; round < 2; ++round) {
        std::vector<uint8_t> preview(width * height * 2, 0xEE);
        ASSERT_EQ(scaler.preview(picture, width, height, preview), size);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), preview.begin()));
        EXPECT_TRUE(std::all_of(preview.begin() + size, preview.end(), [](uint8_t b) { return b == 0xEE; })) << "written past the picture";
        scaler.draw(picture, { 0, 0, 480, 272 }, drawn);
    }

    std::vector<uint8_t> short_buffer(size - 1, 0xEE);
    EXPECT_EQ(scaler.preview(picture, width, height, short_buffer), 0u);
    EXPECT_TRUE(std::all_of(short_buffer.begin(), short_buffer.end(), [](uint8_t b) { return b == 0xEE; }));
    EXPECT_EQ(scaler.preview(picture, 0, height, expected), 0u);
    EXPECT_EQ(scaler.preview(VideoPicture(), width, height, expected), 0u);
}

TEST(VideoPicture, CaptureAndCopyInRefuseWhatDoesNotFit)
{
    const VideoPicture picture = pattern_picture(33, 17); // 561 + 2 × 17 × 9 bytes
    ASSERT_EQ(VideoPicture::i420_size(33, 17), 867u);
    struct Case {
        size_t capacity;
        bool taken;
    };
    for (Case c : { Case { 867, true }, Case { 1000, true }, Case { 866, false }, Case { 0, false } }) {
        SCOPED_TRACE(c.capacity);
        std::vector<uint8_t> buffer(c.capacity, 0xEE);
        auto written = capture_i420(picture, buffer);
        ASSERT_EQ(written.has_value(), c.taken);
        if (c.taken) {
            EXPECT_EQ(*written, 867u);
            EXPECT_TRUE(std::equal(picture.i420().begin(), picture.i420().end(), buffer.begin()));
            EXPECT_TRUE(std::all_of(buffer.begin() + 867, buffer.end(), [](uint8_t b) { return b == 0xEE; }));
        } else {
            EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0xEE; }));
        }
    }
    std::vector<uint8_t> buffer(64);
    EXPECT_FALSE(capture_i420(VideoPicture(), buffer));

    // A caller's picture: the radio background's size, one byte short, and sizes that are none.
    std::vector<uint8_t> background(195840, 90);
    auto radio = VideoPicture::from_i420(background, 480, 272);
    ASSERT_TRUE(radio);
    EXPECT_EQ(radio->i420().size(), 195840u);
    EXPECT_FALSE(VideoPicture::from_i420(std::span(background).first(195839), 480, 272));
    for (auto [width, height] : { std::pair { 0, 272 }, std::pair { 480, -1 }, std::pair { VideoPicture::max_side + 1, 1 } }) {
        EXPECT_FALSE(VideoPicture::from_i420(background, width, height));
        EXPECT_EQ(VideoPicture::i420_size(width, height), 0u);
    }
}

// Odd and tiny sizes on both sides: nothing read or written out of bounds (the sanitizer build
// watches), and the film still where it belongs.
TEST_F(VideoPictureTest, OddSizesAreScaledWithinBounds)
{
    const std::pair<int, int> film_sizes[] = { { 1, 1 }, { 3, 5 }, { 7, 1 }, { 1, 9 }, { 479, 271 }, { 481, 273 } };
    const RECT targets[] = { { 0, 0, 480, 272 }, { 479, 271, 480, 272 }, { 3, 5, 104, 78 },
        video_mode_rectangle(DWORD(-33), DWORD(-7), 91, 41) };
    const std::pair<int, int> preview_sizes[] = { { 1, 1 }, { 3, 3 }, { 113, 65 }, { 2, 1 } };
    for (auto [film_width, film_height] : film_sizes) {
        // Held in a buffer of exactly its size, as a caller hands it over.
        const VideoPicture flat = flat_picture(film_width, film_height, film_grey);
        std::vector<uint8_t> exact(flat.i420().begin(), flat.i420().end());
        auto film = VideoPicture::from_i420(exact, film_width, film_height);
        ASSERT_TRUE(film);
        for (const RECT& target : targets) {
            SCOPED_TRACE(testing::Message() << film_width << "x" << film_height << " into " << text(target));
            ASSERT_TRUE(scaler.draw(*film, target, drawn));
            RECT placed = fitted_rectangle(target, film_width, film_height, {});
            EXPECT_EQ(misplaced_pixels(drawn, placed, bt601_rgb(film_grey)), 0);
        }
        for (auto [width, height] : preview_sizes) {
            SCOPED_TRACE(testing::Message() << film_width << "x" << film_height << " previewed at " << width << "x" << height);
            std::vector<uint8_t> preview(VideoPicture::i420_size(width, height));
            ASSERT_EQ(scaler.preview(*film, width, height, preview), preview.size());
            const size_t luma = size_t(width) * height;
            EXPECT_TRUE(std::all_of(preview.begin(), preview.begin() + luma, [](uint8_t y) { return std::abs(y - film_grey.y) <= 1; }));
            const size_t chroma = (preview.size() - luma) / 2;
            EXPECT_TRUE(std::all_of(preview.begin() + luma, preview.begin() + luma + chroma, [](uint8_t u) { return std::abs(u - film_grey.u) <= 1; }));
            EXPECT_TRUE(std::all_of(preview.end() - chroma, preview.end(), [](uint8_t v) { return std::abs(v - film_grey.v) <= 1; }));
        }
    }
}

// A television page as the screen shows it: a key window with a button beside it, the film fitted
// in the key and shown through the video plane. The picture is kept beside the test for looking at.
TEST_F(VideoPictureTest, AFilmInAKeyWindowShowsInTheScreenshot)
{
    const RECT key_window { 40, 30, 360, 230 };
    paint_key(key_window);
    RECT button { 380, 110, 460, 150 };
    FillRect(screen, &button, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));

    // PAL 4:3 (720 × 576, samples 16:15) in a 320 × 200 window: 267 × 200, centred.
    const VideoPicture film = colour_bar_picture(720, 576, { 16, 15 });
    RECT target = video_target(gdi, video_mode_rectangle(0, 0, 480, 272));
    ASSERT_TRUE(same(target, key_window)) << text(target);
    RECT placed = fitted_rectangle(target, film.width(), film.height(), film.sample_aspect());
    ASSERT_TRUE(same(placed, { 66, 30, 333, 230 })) << text(placed);
    ASSERT_TRUE(scaler.draw(film, target, drawn));
    VideoPlane& plane = device->component<VideoPlane>();
    ASSERT_TRUE(plane.present(plane.new_owner(), drawn, target));

    DecodedPng shot = review_screenshot(*device, "film_in_key_window");
    ASSERT_EQ(shot.width, 480u);
    // Each bar in the middle of its eighth of the film, the ramp's ends, the black boxes beside
    // the film, the page around the key and the button.
    for (int bar = 0; bar < 8; ++bar) {
        SCOPED_TRACE(bar);
        const int x = placed.left + (2 * bar + 1) * width_of(placed) / 16;
        EXPECT_TRUE(within_one_step(shot.pixel_565(x, placed.top + 40), bt601_rgb(colour_bars[bar])));
    }
    EXPECT_TRUE(within_one_step(shot.pixel_565(placed.left + 1, placed.bottom - 5), bt601_rgb({ 17, 128, 128 })));
    EXPECT_TRUE(within_one_step(shot.pixel_565(placed.right - 2, placed.bottom - 5), bt601_rgb({ 234, 128, 128 })));
    EXPECT_EQ(shot.pixel_565(key_window.left + 5, 100), 0);
    EXPECT_EQ(shot.pixel_565(key_window.right - 5, 100), 0);
    EXPECT_EQ(shot.pixel_565(10, 10), c565(RGB(255, 255, 255)));
    EXPECT_EQ(shot.pixel_565(420, 130), frame_buffer.pixel(420, 130));
}
