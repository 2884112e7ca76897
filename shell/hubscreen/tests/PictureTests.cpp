#include "HubscreenTest.h"

#include "CLowBatteryDlg.h"
#include "Colour.h"
#include "FrameBuffer.h"
#include "HubscreenResources.h"
#include "WideText.h"

#include <cstdint>

using namespace kivo;
using namespace kivo::test;

namespace {

SIZE measure(HDC dc, HFONT font, std::u16string_view text)
{
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size {};
    GetTextExtentPoint32(dc, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    return size;
}

// The font a picture's line is drawn in: the Arial stand-in of its cell height and weight.
HFONT line_font(const PictureText& line)
{
    LOGFONT logical {};
    logical.lfHeight = line.height;
    logical.lfWeight = line.bold ? FW_BOLD : FW_NORMAL;
    return CreateFontIndirect(&logical);
}

SIZE picture_size(UINT id)
{
    HBITMAP picture = LoadBitmap(AfxGetResourceHandle(), MAKEINTRESOURCE(id));
    BITMAP info {};
    if (picture)
        GetObject(picture, sizeof(info), &info);
    DeleteObject(picture);
    return { info.bmWidth, info.bmHeight };
}

// Each warning picture's words fit the boxes they are centred in, measured as the screen measures
// text, and each box lies inside its picture: a line wider than its box would lose its ends.
TEST_F(HubscreenTest, EveryWarningPicturesTextFitsItsBox)
{
    add_hubscreen_resources();
    struct Case {
        const char* what;
        std::vector<UINT> pictures;
    };
    const Case cases[] = {
        { "locked keys", { IDB_KEYS_LOCKED } },
        { "low battery", { IDB_LOW_BATTERY_COUNTDOWN, IDB_LOW_BATTERY_USB } },
        { "insert card", { 152, 155, 156, 157, 158 } },
        { "USB", { IDB_USB_CONNECTED, IDB_USB_BUSY } },
        { "shutdown", { IDB_SHUTTING_DOWN } },
        { "GPS check", { IDB_NO_GPS } },
        { "one-key select", { IDB_ASK_START_TV, IDB_ASK_START_AUDIO, IDB_ONE_KEY_OK_UP, IDB_ONE_KEY_OK_DOWN, IDB_ONE_KEY_CANCEL_UP, IDB_ONE_KEY_CANCEL_DOWN } },
        { "OK buttons", { IDB_OK_UP, IDB_OK_DOWN } },
        { "icons", { 186, 185, 184, 183, 182, 181, 180, 179, 188, 187, 191, 189, 193, 197, IDB_NO_TUNER } },
    };
    HDC dc = CreateCompatibleDC(nullptr);
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (UINT picture : c.pictures) {
            SIZE bounds = picture_size(picture);
            ASSERT_GT(bounds.cx, 0) << picture;
            int lines = 0;
            for (const PictureText& line : hubscreen_picture_texts()) {
                if (line.picture != picture)
                    continue;
                ++lines;
                SCOPED_TRACE(to_utf8(line.text));
                EXPECT_TRUE(line.box.left >= 0 && line.box.top >= 0 && line.box.right <= bounds.cx && line.box.bottom <= bounds.cy)
                    << "picture " << picture << " is " << bounds.cx << " by " << bounds.cy;
                HFONT font = line_font(line);
                SIZE size = measure(dc, font, line.text);
                DeleteObject(font);
                EXPECT_LE(size.cx, line.box.right - line.box.left) << "picture " << picture;
                EXPECT_LE(size.cy, line.box.bottom - line.box.top) << "picture " << picture;
            }
            EXPECT_GT(lines, 0) << "picture " << picture << " says nothing";
        }
    }
    // The countdown's digits, painted over the low-battery picture in their white rectangle.
    HFONT digits_font = CreateFont(18, 0, 0, 0, FW_BOLD, 0, 0, 0, 1, 0, 0, 1, 32, u"Arial");
    const RECT& digits = CLowBatteryDlg::digit_rect;
    for (int seconds = 0; seconds <= 30; ++seconds) {
        WCHAR text[8];
        swprintf(text, u"%02d", seconds);
        SIZE size = measure(dc, digits_font, text);
        EXPECT_LE(size.cx, digits.right - digits.left) << seconds;
        EXPECT_LE(size.cy, digits.bottom - digits.top) << seconds;
    }
    DeleteObject(digits_font);
    DeleteDC(dc);
}

class PageLook : public HubscreenTest {
protected:
    HWND start_page()
    {
        HWND page = start();
        device->advance(1000);
        return page;
    }
    std::vector<uint16_t> screen()
    {
        std::vector<uint16_t> pixels(FrameBuffer::visible_pixels);
        device->component<FrameBuffer>().copy_visible(pixels);
        return pixels;
    }
    static uint16_t at(const std::vector<uint16_t>& pixels, int x, int y) { return pixels[size_t(y) * FrameBuffer::width + x]; }
    // How many pixels of the area differ between two screens.
    static int differences(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b, const RECT& area)
    {
        int count = 0;
        for (LONG y = area.top; y < area.bottom; ++y) {
            for (LONG x = area.left; x < area.right; ++x)
                count += at(a, int(x), int(y)) != at(b, int(x), int(y));
        }
        return count;
    }
};

// What a partial repaint leaves — where a pop-up closed, or over any part of the page below the
// top bar — is what the full repaint drew there: no patch of the fill colour stands out.
TEST_F(PageLook, PartialRepaintsLeaveWhatTheFullRepaintDrew)
{
    HWND page = start_page();
    ASSERT_NE(page, nullptr);
    const auto full = screen();
    EXPECT_EQ(at(full, 240, 260), rgb565_of_colorref(page_background)) << "the page's own colour";

    // The locked-keys pop-up comes and goes.
    PostMessage(page, WM_KIVO_NOTIFY, DRV_HARDKEY, 0);
    device->run_until_idle();
    const RECT popup { 138, 78, 342, 194 };
    EXPECT_GT(differences(full, screen(), popup), 0) << "the pop-up is up";
    device->advance(2100);
    EXPECT_EQ(differences(full, screen(), popup), 0);

    // Any area narrower or lower than the screen is repainted partially.
    const RECT areas[] = { { 0, 44, 480, 272 }, { 95, 44, 190, 160 }, { 0, 200, 120, 272 } };
    for (const RECT& area : areas) {
        SCOPED_TRACE(area.top);
        InvalidateRect(page, &area, FALSE);
        device->run_until_idle();
        EXPECT_EQ(differences(full, screen(), area), 0);
    }
}

// The top bar's outline runs unbroken round the bar, under the key-click indicator and the clock
// drawn over it, and the bar's and the icons' rounded corners show the page's own background.
TEST_F(PageLook, TopBarAndIconTilesJoinTheBackground)
{
    ASSERT_NE(start_page(), nullptr);
    const auto shown = screen();
    const uint16_t background = rgb565_of_colorref(page_background);
    const uint16_t outline = at(shown, 240, 8);
    EXPECT_NE(outline, background);
    int breaks = 0;
    for (int x = 16; x < 464; ++x)
        breaks += (at(shown, x, 8) != outline) + (at(shown, x, 42) != outline);
    for (int y = 16; y < 35; ++y)
        breaks += (at(shown, 8, y) != outline) + (at(shown, 471, y) != outline);
    EXPECT_EQ(breaks, 0);
    const POINT corners[] = { { 8, 8 }, { 471, 8 }, { 8, 42 }, { 471, 42 } };
    for (const POINT& corner : corners)
        EXPECT_EQ(at(shown, int(corner.x), int(corner.y)), background) << corner.x << "," << corner.y;
    for (const RECT& icon : CHubscreenDlg::icon_rects) {
        EXPECT_EQ(at(shown, int(icon.left), int(icon.top)), background) << icon.left << "," << icon.top;
        EXPECT_EQ(at(shown, int(icon.left) + 79, int(icon.top) + 101), background) << icon.left << "," << icon.top;
    }
}

} // namespace
