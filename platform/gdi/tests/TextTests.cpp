#include "GdiTest.h"

#include "Font.h"
#include "WideText.h"

#include <string>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr COLORREF white = RGB(255, 255, 255);
constexpr COLORREF red = RGB(255, 0, 0);

HFONT arial(int height, int weight = FW_NORMAL)
{
    return CreateFont(height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 1, FF_SWISS, u"Arial");
}

SIZE extent(HDC dc, std::u16string_view text)
{
    SIZE size {};
    EXPECT_TRUE(GetTextExtentPoint32(dc, text.data(), int(text.size()), &size));
    return size;
}

} // namespace

class TextTest : public GdiTest {
protected:
    TextTest() { gdi.draw_log().set_recording(true); }

    // The columns and rows of the screen rectangle where pixels are not the background.
    RECT ink(const RECT& area, COLORREF background)
    {
        RECT found { area.right, area.bottom, area.left, area.top };
        for (LONG y = area.top; y < area.bottom; ++y) {
            for (LONG x = area.left; x < area.right; ++x) {
                if (pixel(x, y) == c565(background))
                    continue;
                found = { std::min(found.left, x), std::min(found.top, y), std::max(found.right, x + 1), std::max(found.bottom, y + 1) };
            }
        }
        return found;
    }

    std::vector<std::u16string> drawn_lines()
    {
        std::vector<std::u16string> lines;
        for (auto& entry : gdi.draw_log().entries()) {
            if (entry.call == "DrawText")
                lines.push_back(entry.text);
        }
        return lines;
    }
};

TEST_F(TextTest, TheSameTextAlwaysMeasuresTheSumOfItsCharacters)
{
    HFONT font = arial(20);
    SelectObject(screen, font);
    std::u16string text = u"Signal Weakness 15秒";
    SIZE whole = extent(screen, text);
    EXPECT_EQ(whole.cy, 20) << "a positive height is the cell height";
    LONG sum = 0;
    for (char16_t c : text)
        sum += extent(screen, std::u16string_view(&c, 1)).cx;
    EXPECT_EQ(whole.cx, sum);
    EXPECT_EQ(extent(screen, text).cx, whole.cx);

    // Another context with the same font, and a new font of the same kind, measure the same.
    HDC other = memory_dc(10, 10, white);
    HFONT again = arial(20);
    SelectObject(other, again);
    EXPECT_EQ(extent(other, text).cx, whole.cx);

    // Bold is wider; a taller font is wider; a negative height asks for the character height.
    HFONT bold = arial(20, FW_BOLD);
    SelectObject(other, bold);
    EXPECT_GT(extent(other, u"Warning").cx, extent(screen, u"Warning").cx);
    HFONT em = arial(-20);
    SelectObject(other, em);
    EXPECT_GT(extent(other, u"Warning").cy, 20);
    EXPECT_GT(extent(other, u"Warning").cx, extent(screen, u"Warning").cx);

    SelectObject(screen, GetStockObject(SYSTEM_FONT));
    SelectObject(other, GetStockObject(SYSTEM_FONT));
    for (HFONT f : { font, again, bold, em })
        DeleteObject(f);
}

TEST_F(TextTest, AFreshContextMeasuresWithTheSystemFont)
{
    HDC fresh = GetDC(nullptr);
    HFONT system_like = arial(16);
    HDC other = memory_dc(4, 4, white);
    SelectObject(other, system_like);
    EXPECT_EQ(extent(fresh, u"No program").cx, extent(other, u"No program").cx);
    EXPECT_EQ(extent(fresh, u"No program").cy, 16);
    LOGFONT logical {};
    ASSERT_EQ(GetObject(GetStockObject(SYSTEM_FONT), sizeof(logical), &logical), int(sizeof(LOGFONT)));
    EXPECT_EQ(std::u16string(logical.lfFaceName), u"Arial");
    ReleaseDC(nullptr, fresh);
    SelectObject(other, GetStockObject(SYSTEM_FONT));
    DeleteObject(system_like);
}

TEST_F(TextTest, DrawTextCentresWhereTheMeasuredExtentSaysAndInksInsideIt)
{
    fill_screen(white);
    HFONT font = arial(18, FW_BOLD);
    SelectObject(screen, font);
    SetBkMode(screen, TRANSPARENT);
    SetTextColor(screen, red);
    SIZE size = extent(screen, u"07");
    // Both parities of the room left over, so that a rounding difference shows.
    for (LONG right : { 240, 241 }) {
        fill_screen(white);
        RECT box { 100, 80, right, 130 };
        EXPECT_EQ(DrawText(screen, u"07", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE), (50 - size.cy) / 2 + size.cy);
        auto entry = gdi.draw_log().last_text(u"07");
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->rect.left, 100 + (right - 100 - size.cx) / 2) << right;
        EXPECT_EQ(entry->rect.top, 80 + (50 - size.cy) / 2);
        EXPECT_EQ(entry->rect.right - entry->rect.left, size.cx);
        RECT inked = ink({ 0, 0, 480, 272 }, white);
        EXPECT_GE(inked.left, entry->rect.left);
        EXPECT_LE(inked.right, entry->rect.right);
        EXPECT_GE(inked.top, entry->rect.top);
        EXPECT_LE(inked.bottom, entry->rect.bottom);
        EXPECT_GT(inked.right - inked.left, size.cx / 2);
    }

    RECT box { 100, 80, 240, 130 };
    // Right and bottom alignment put the text against those edges.
    DrawText(screen, u"R", 1, &box, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
    auto right = gdi.draw_log().last_text(u"R");
    ASSERT_TRUE(right);
    EXPECT_EQ(right->rect.right, box.right);
    EXPECT_EQ(right->rect.bottom, box.bottom);
    SelectObject(screen, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
}

TEST_F(TextTest, CalculatingTheRectangleDrawsNothing)
{
    fill_screen(white);
    RECT box { 10, 10, 10, 10 };
    SIZE size = extent(screen, u"Settings");
    EXPECT_EQ(DrawText(screen, u"Settings", -1, &box, DT_CALCRECT | DT_SINGLELINE), size.cy);
    EXPECT_EQ(box.right, 10 + size.cx);
    EXPECT_EQ(box.bottom, 10 + size.cy);
    EXPECT_EQ(pixels_not({ 0, 0, 480, 272 }, white), 0);
    EXPECT_TRUE(drawn_lines().empty());

    // Without DT_NOPREFIX an ampersand marks the next character and takes no room.
    RECT with_prefix { 0, 0, 0, 0 };
    RECT literal { 0, 0, 0, 0 };
    DrawText(screen, u"&Save", -1, &with_prefix, DT_CALCRECT | DT_SINGLELINE);
    DrawText(screen, u"&Save", -1, &literal, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(with_prefix.right, extent(screen, u"Save").cx);
    EXPECT_EQ(literal.right, extent(screen, u"&Save").cx);
}

TEST_F(TextTest, LinesBreakAtWordsAndAroundChineseCharacters)
{
    struct Case {
        std::u16string text;
        int width;
        std::vector<std::u16string> lines;
    } cases[] = {
        { u"Signal weakness, please check the antenna", 120, {} },
        { u"不關閉背光不關閉背光", 60, {} },
        { u"Unbreakableword", 20, { u"Unbreakableword" } },
        { u"one\r\ntwo\nthree", 400, { u"one", u"two", u"three" } },
    };
    for (auto& c : cases) {
        gdi.draw_log().clear();
        RECT box { 0, 0, c.width, 272 };
        int height = DrawText(screen, c.text.c_str(), -1, &box, DT_WORDBREAK);
        auto lines = drawn_lines();
        EXPECT_EQ(height, extent(screen, u"x").cy * int(lines.size()));
        if (!c.lines.empty()) {
            EXPECT_EQ(lines, c.lines);
            continue;
        }
        EXPECT_GT(lines.size(), 1u);
        std::u16string joined;
        for (auto& line : lines) {
            if (line.size() > 1) {
                EXPECT_LE(extent(screen, line).cx, c.width) << to_utf8(line);
            }
            joined += line;
        }
        std::u16string expected = c.text;
        std::erase(expected, u' ');
        std::erase(joined, u' ');
        EXPECT_EQ(joined, expected);
    }

    gdi.draw_log().clear();
    RECT box { 0, 0, 60, 50 };
    DrawText(screen, u"one\ntwo", -1, &box, DT_SINGLELINE);
    EXPECT_EQ(drawn_lines(), std::vector<std::u16string> { u"onetwo" });
}

TEST_F(TextTest, EndEllipsisCutsTheLineToFit)
{
    RECT box { 0, 0, 105, 20 };
    DrawText(screen, u"0123 Formosa Television Channel", -1, &box, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    auto lines = drawn_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(u"...")) << to_utf8(lines[0]);
    EXPECT_TRUE(std::u16string(u"0123 Formosa Television Channel").starts_with(lines[0].substr(0, lines[0].size() - 3)));
    EXPECT_LE(extent(screen, lines[0]).cx, 105);
    std::u16string longer = lines[0].substr(0, lines[0].size() - 3) + u"T...";
    EXPECT_GT(extent(screen, longer).cx, 105) << "no more characters would fit";

    gdi.draw_log().clear();
    DrawText(screen, u"Short", -1, &box, DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_EQ(drawn_lines(), std::vector<std::u16string> { u"Short" });
}

TEST_F(TextTest, BackgroundModeDecidesWhetherTheCellIsFilled)
{
    RECT box { 0, 0, 200, 40 };
    struct Case {
        int mode;
        bool filled;
    } cases[] = { { TRANSPARENT, false }, { OPAQUE, true } };
    for (auto& c : cases) {
        fill_screen(white);
        SetBkMode(screen, c.mode);
        SetBkColor(screen, RGB(0, 0, 255));
        DrawText(screen, u"ii", -1, &box, DT_LEFT | DT_TOP);
        SIZE size = extent(screen, u"ii");
        // The cell's top row carries no glyph ink, so it shows the background.
        EXPECT_EQ(pixel(size.cx - 1, 0) == c565(RGB(0, 0, 255)), c.filled) << c.mode;
    }
    EXPECT_EQ(SetBkMode(screen, 7), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(TextTest, ExtTextOutFillsOnlyAGivenRectangleAndClipsToIt)
{
    fill_screen(white);
    SetBkMode(screen, TRANSPARENT);
    SetBkColor(screen, red);
    RECT cell { 10, 10, 80, 40 };
    ASSERT_TRUE(ExtTextOut(screen, 15, 15, ETO_OPAQUE, &cell, u"AB", 2, nullptr));
    EXPECT_EQ(pixel(10, 10), c565(red));
    EXPECT_EQ(pixel(79, 39), c565(red));
    EXPECT_EQ(pixel(80, 40), c565(white));

    // ETO_OPAQUE without a rectangle fills nothing: only the glyphs' ink changes pixels.
    ASSERT_TRUE(ExtTextOut(screen, 100, 100, ETO_OPAQUE, nullptr, u"AB", 2, nullptr));
    SIZE size = extent(screen, u"AB");
    RECT inked = ink({ 90, 90, 200, 140 }, white);
    EXPECT_GT(inked.right, inked.left);
    EXPECT_GE(inked.left, 100);
    EXPECT_LE(inked.right, 100 + size.cx);
    EXPECT_EQ(pixel(100, 100), c565(white));

    // ETO_CLIPPED keeps the glyphs inside the rectangle.
    HFONT big = arial(40);
    SelectObject(screen, big);
    RECT narrow { 300, 100, 310, 110 };
    ASSERT_TRUE(ExtTextOut(screen, 300, 90, ETO_CLIPPED, &narrow, u"WWW", 3, nullptr));
    RECT clipped_ink = ink({ 280, 80, 400, 160 }, white);
    EXPECT_GT(clipped_ink.right, clipped_ink.left);
    EXPECT_GE(clipped_ink.left, 300);
    EXPECT_LE(clipped_ink.right, 310);
    EXPECT_GE(clipped_ink.top, 100);
    EXPECT_LE(clipped_ink.bottom, 110);
    SelectObject(screen, GetStockObject(SYSTEM_FONT));
    DeleteObject(big);
}

TEST_F(TextTest, ChineseCharactersComeFromTheChineseFaceAndShow)
{
    fill_screen(white);
    SetBkMode(screen, TRANSPARENT);
    HFONT font = arial(20);
    SelectObject(screen, font);
    RECT box { 200, 100, 300, 130 };
    DrawText(screen, u"警告", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RECT inked = ink({ 0, 0, 480, 272 }, white);
    EXPECT_GT(inked.right - inked.left, 20) << "both characters carry ink";
    EXPECT_GT(inked.bottom - inked.top, 10);

    auto& fonts = gdi.fonts();
    LOGFONT logical {};
    logical.lfHeight = 20;
    FontStyle style = fonts.style_for(logical);
    EXPECT_TRUE(fonts.glyph(style, U'警').from_cjk_face);
    EXPECT_FALSE(fonts.glyph(style, U'W').from_cjk_face);
    EXPECT_GT(fonts.glyph(style, U'警').advance, fonts.glyph(style, U'i').advance);
    SelectObject(screen, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
}

TEST_F(TextTest, ShownTextIsFoundFromAPlaceOnAndOnlyWhereItPainted)
{
    auto& log = gdi.draw_log();
    RECT outside { 500, 300, 600, 340 };
    DrawText(screen, u"1/6", -1, &outside, DT_SINGLELINE);
    EXPECT_FALSE(log.find_shown_text(u"1/6", 0)) << "drawn entirely off the screen";

    RECT box { 20, 20, 120, 60 };
    DrawText(screen, u"1/6", -1, &box, DT_SINGLELINE);
    DrawText(screen, u"2/6", -1, &box, DT_SINGLELINE);
    auto first = log.find_shown_text(u"1/6", 0);
    ASSERT_TRUE(first);
    EXPECT_FALSE(log.find_shown_text(u"1/6", *first + 1)) << "each drawing is found once";
    EXPECT_FALSE(log.find_shown_text(u"1/", 0)) << "a line matches whole";
    auto second = log.find_shown_text(u"2/6", *first + 1);
    ASSERT_TRUE(second);
    EXPECT_GT(*second, *first);

    // A place the log has dropped meanwhile reads from its oldest kept entry.
    log.clear();
    DrawText(screen, u"2/6", -1, &box, DT_SINGLELINE);
    auto after_clear = log.find_shown_text(u"2/6", 0);
    ASSERT_TRUE(after_clear);
    EXPECT_GT(*after_clear, *second);
}
