#include "PaintTest.h"

#include "CAppUtil.h"
#include "WideText.h"

#include <string>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr COLORREF grey = RGB(128, 128, 128);
constexpr COLORREF dirt = RGB(200, 200, 200);
constexpr COLORREF red = RGB(255, 0, 0);
constexpr COLORREF green = RGB(0, 255, 0);
constexpr COLORREF blue = RGB(0, 0, 255);
constexpr COLORREF white = RGB(255, 255, 255);
constexpr COLORREF black = RGB(0, 0, 0);
constexpr UINT quadrants = 300;
constexpr UINT halves = 301;

class Painters : public PaintTest {
protected:
    Painters()
    {
        // 40 x 20 in four quadrants: red, green / blue, white.
        resources().add_bitmap(quadrants, 40, 20, [](BitmapCanvas& canvas) {
            canvas.fill_rect({ 0, 0, 20, 10 }, red);
            canvas.fill_rect({ 20, 0, 40, 10 }, green);
            canvas.fill_rect({ 0, 10, 20, 20 }, blue);
            canvas.fill_rect({ 20, 10, 40, 20 }, white);
        });
        // 20 x 10, red on the left, blue on the right.
        resources().add_bitmap(halves, 20, 10, [](BitmapCanvas& canvas) {
            canvas.fill_rect({ 0, 0, 10, 10 }, red);
            canvas.fill_rect({ 10, 0, 20, 10 }, blue);
        });
    }
    int pixels_equal(const RECT& rect, COLORREF colour)
    {
        return static_cast<int>((rect.right - rect.left) * (rect.bottom - rect.top)) - pixels_not(rect, colour);
    }

    CAppUtil util;
};

TEST_F(Painters, DrawBitmapCopiesTheAskedAreaOrTheWholeBitmapForZeroSizes)
{
    struct Case {
        const char* name;
        int width, height, source_x, source_y;
        RECT covered;
        COLORREF top_left, bottom_right;
    };
    const Case cases[] = {
        { "both sizes 0: the whole bitmap", 0, 0, 0, 0, { 10, 10, 50, 30 }, red, white },
        { "only the width 0: nothing", 0, 20, 0, 0, { 10, 10, 10, 10 }, grey, grey },
        { "only the height 0: nothing", 40, 0, 0, 0, { 10, 10, 10, 10 }, grey, grey },
        { "a part from the source point", 20, 10, 20, 10, { 10, 10, 30, 20 }, white, white },
        { "a part across quadrants", 20, 10, 10, 5, { 10, 10, 30, 20 }, red, white },
    };
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadBitmap(quadrants));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fill_screen(grey);
        util.DrawBitmap(&window, 10, 10, c.width, c.height, c.source_x, c.source_y, &bitmap);
        const RECT& r = c.covered;
        int area = (r.right - r.left) * (r.bottom - r.top);
        EXPECT_EQ(pixels_not({ 0, 0, 100, 60 }, grey), area) << "only the covered area changes";
        if (area > 0) {
            EXPECT_EQ(pixel(r.left, r.top), c565(c.top_left));
            EXPECT_EQ(pixel(r.right - 1, r.bottom - 1), c565(c.bottom_right));
            auto entry = gdi.draw_log().last_bitmap(quadrants);
            ASSERT_TRUE(entry);
            EXPECT_EQ(entry->call, "BitBlt");
        }
        gdi.draw_log().clear();
    }
}

TEST_F(Painters, TransparentCopiesLeaveTheKeyColourUntouched)
{
    fill_screen(grey);
    CBitmap picture;
    ASSERT_TRUE(picture.LoadBitmap(TestPictures::first_battery));
    util.DrawBitmapTransparent(&window, 100, 50, &picture, CAppUtil::transparent_key);
    // The key frame of 3 pixels around the body keeps the screen; the body is copied.
    EXPECT_EQ(pixels_equal({ 100, 50, 124, 64 }, grey), 24 * 14 - 18 * 8);
    EXPECT_EQ(pixels_not({ 103, 53, 121, 61 }, TestPictures::battery_colours[0]), 0);
    EXPECT_EQ(pixels_not({ 124, 50, 200, 64 }, grey), 0);
    auto entry = gdi.draw_log().last_bitmap(TestPictures::first_battery);
    ASSERT_TRUE(entry);
    EXPECT_EQ(CRect(entry->rect), CRect(100, 50, 124, 64));
}

TEST_F(Painters, OverBackgroundRestoresTheSameAreaOfTheBackgroundFirst)
{
    fill_screen(dirt);
    CBitmap background;
    ASSERT_TRUE(background.LoadBitmap(TestPictures::background));
    const POINT at = TestPictures::battery_background;
    util.DrawBitmapOverBackground(&window, at.x, at.y, &background, TestPictures::first_battery + 1,
        CAppUtil::transparent_key);
    // Under the key frame the background's own area shows, not the dirt that was there.
    EXPECT_EQ(pixels_equal({ at.x, at.y, at.x + 24, at.y + 14 }, TestPictures::battery_area_colour), 24 * 14 - 18 * 8);
    EXPECT_EQ(pixels_not({ at.x + 3, at.y + 3, at.x + 21, at.y + 11 }, TestPictures::battery_colours[1]), 0);
    EXPECT_EQ(pixel(at.x - 1, at.y), c565(dirt));
    EXPECT_EQ(pixel(at.x + 24, at.y + 13), c565(dirt));
    EXPECT_EQ(pixel(at.x, at.y + 14), c565(dirt));

    // A picture the program does not have draws nothing, background included.
    fill_screen(dirt);
    util.DrawBitmapOverBackground(&window, at.x, at.y, &background, 999, CAppUtil::transparent_key);
    EXPECT_EQ(pixels_not({ 0, 0, 480, 272 }, dirt), 0);
}

TEST_F(Painters, StretchedCopiesFillTheRectangleFromTheWholeBitmap)
{
    fill_screen(grey);
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadBitmap(halves));
    util.DrawBitmapStretched(&window, 50, 50, 40, 20, 0, 0, &bitmap);
    EXPECT_EQ(pixels_not({ 50, 50, 70, 70 }, red), 0);
    EXPECT_EQ(pixels_not({ 70, 50, 90, 70 }, blue), 0);
    EXPECT_EQ(pixels_not({ 90, 50, 120, 80 }, grey), 0);
    auto entry = gdi.draw_log().last_bitmap(halves);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->call, "StretchBlt");
}

TEST_F(Painters, TextBackgroundZeroIsTransparentAndAnyOtherIsPainted)
{
    const RECT box { 10, 10, 210, 40 };
    struct Case {
        COLORREF background;
        bool cell_painted;
    };
    // RGB(1, 0, 0) is near-black red: on the screen it becomes black.
    for (auto c : { Case { 0, false }, Case { RGB(1, 0, 0), true } }) {
        SCOPED_TRACE(c.background);
        fill_screen(white);
        gdi.draw_log().clear();
        util.DrawText(&window, 10, 10, 200, 30, CString(u"Hello"), DT_LEFT | DT_SINGLELINE, red, c.background, 20);
        EXPECT_EQ(pixels_equal(box, black) > 0, c.cell_painted);
        EXPECT_GT(pixels_equal(box, red), 0) << "the text is drawn";
        EXPECT_EQ(pixels_not({ 210, 0, 480, 60 }, white), 0);
        auto entry = gdi.draw_log().last_text(u"Hello");
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->colour, red);
    }
}

TEST_F(Painters, TextTakesTheFontHeightAndWeight)
{
    auto ink = [&](int height, int weight) {
        fill_screen(white);
        util.DrawTextWeight(&window, 0, 0, 480, 100, CString(u"Battery"), DT_LEFT | DT_TOP | DT_SINGLELINE, black, 0,
            height, weight);
        return pixels_not({ 0, 0, 480, 100 }, white);
    };
    int normal = ink(20, 400);
    EXPECT_GT(ink(20, 700), normal);
    EXPECT_GT(ink(40, 400), normal);
    // DrawText is the normal weight.
    fill_screen(white);
    util.DrawText(&window, 0, 0, 480, 100, CString(u"Battery"), DT_LEFT | DT_TOP | DT_SINGLELINE, black, 0, 20);
    EXPECT_EQ(pixels_not({ 0, 0, 480, 100 }, white), normal);
}

TEST_F(Painters, TextOverBackgroundRestoresOrFillsTheRectangleAndClipsToIt)
{
    const RECT box { 20, 100, 80, 120 };
    CBitmap background;
    ASSERT_TRUE(background.LoadBitmap(TestPictures::background));
    struct Case {
        const char* name;
        CBitmap* background;
        COLORREF fill;
    };
    for (auto c : { Case { "from the background", &background, TestPictures::background_colour },
             Case { "filled on the frame buffer", nullptr, blue } }) {
        SCOPED_TRACE(c.name);
        fill_screen(dirt);
        util.DrawTextOverBackground(&window, 20, 100, 60, 20, CString(u"A title far wider than its box"), DT_CENTER,
            white, blue, 16, c.background);
        EXPECT_EQ(pixels_equal(box, dirt), 0) << "the whole box is restored";
        EXPECT_GT(pixels_equal(box, c.fill), 0);
        EXPECT_GT(pixels_not(box, c.fill), 0) << "the text is drawn";
        EXPECT_EQ(pixels_not({ 0, 90, 480, 130 }, dirt), 60 * 20) << "nothing outside the box changes";
        // The text starts at the box's corner whatever the format asks.
        auto entry = gdi.draw_log().last_text(u"A title far wider than its box");
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->rect.left, 20);
    }
}

class TextFitting : public PaintTest {
protected:
    TextFitting()
    {
        CDC* dc = window.GetDC();
        m = dc->GetTextExtent(u"M", 1).cx;
        window.ReleaseDC(dc);
    }
    int m = 0; // the width of "M" in the window's font
    CAppUtil util;
};

TEST_F(TextFitting, EllipsizeCutsBeforeTheCharacterThatReachesTheWidth)
{
    ASSERT_GT(m, 2);
    struct Case {
        std::u16string text;
        int width;
        int result;
        std::u16string expected;
    };
    const std::u16string ten = u"MMMMMMMMMM";
    const std::vector<Case> cases = {
        { ten, 10 * m, -1, ten },
        { ten, 20 * m, -1, ten },
        { ten, 10 * m - 1, 0, u"MMMMMMMMM..." },
        { ten, 3 * m, 0, u"MM..." },
        { ten, 3 * m + 1, 0, u"MMM..." },
        { ten, 0, 0, u"..." },
        { u"", 0, -1, u"" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.text) + " in " + std::to_string(c.width));
        CString text(c.text);
        EXPECT_EQ(util.EllipsizeText(&window, c.width, text), c.result);
        EXPECT_EQ(text.str(), c.expected);
    }
}

TEST_F(TextFitting, FolderEntriesKeepTheirBracketsAroundTheCut)
{
    struct Case {
        std::u16string text;
        int width;
        int result;
        std::u16string expected;
    };
    const std::vector<Case> cases = {
        { u"<MMMMMMMMMM>", 3 * m, 0, u"<MM...>" },
        { u"<MMM>", 3 * m, -1, u"<MMM>" },
        { u"MMMMMMMMMM", 3 * m, 0, u"MM..." },
        { u"", 3 * m, -1, u"" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.text));
        CString text(c.text);
        EXPECT_EQ(util.EllipsizeItem(&window, c.width, text), c.result);
        EXPECT_EQ(text.str(), c.expected);
    }
    for (auto [text, expected] : { std::pair { u"<name>", u"name" }, { u"ab", u"" }, { u"x", u"" }, { u"", u"" } }) {
        CString stripped(text);
        util.StripEnds(stripped);
        EXPECT_EQ(stripped, expected) << to_utf8(text);
    }
}

TEST_F(TextFitting, ClipTextFromTakesThePartFromTheStartThatFits)
{
    struct Case {
        WORD start;
        int width;
        int result;
        std::u16string expected;
    };
    const std::u16string ten = u"MMMMMMMMMM";
    const std::vector<Case> cases = {
        { 0, 10 * m + 30, -1, ten },
        { 0, 10 * m + 29, 0, ten },
        { 2, 10 * m + 29, 0, u"MMMMMMMM" },
        { 3, 4 * m, 0, u"MMM" },
        { 6, 4 * m + 1, 0, u"MMMM" },
        { 12, 4 * m, 0, u"" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + " in " + std::to_string(c.width));
        CString text(ten);
        EXPECT_EQ(util.ClipTextFrom(&window, text, c.start, c.width), c.result);
        EXPECT_EQ(text.str(), c.expected);
    }
}

} // namespace
