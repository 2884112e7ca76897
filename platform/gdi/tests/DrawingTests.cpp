#include "GdiTest.h"

#include <cstring>
#include <functional>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr COLORREF blue = RGB(0, 0, 255);
constexpr COLORREF red = RGB(255, 0, 0);
constexpr COLORREF green = RGB(0, 255, 0);
constexpr COLORREF white = RGB(255, 255, 255);
constexpr COLORREF black = RGB(0, 0, 0);
constexpr COLORREF key = RGB(255, 102, 255);

// A 16-bit DIB section's description with the RGB565 masks after the header.
struct Dib565Info {
    BITMAPINFOHEADER header;
    DWORD masks[3];
};

Dib565Info dib565(LONG width, LONG height)
{
    Dib565Info info {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 16;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    return info;
}

} // namespace

// A window below another paints through a context whose clip region leaves out the window
// above: whatever it draws, the window above keeps its pixels.
struct CoveredPainter {
    const char* name;
    std::function<void(HDC dc, HDC full_screen_bitmap)> paint;
    friend void PrintTo(const CoveredPainter& painter, std::ostream* out) { *out << painter.name; }
};

class CoveredWindow : public GdiTest
    , public ::testing::WithParamInterface<CoveredPainter> {
};

TEST_P(CoveredWindow, DoesNotPaintOverTheWindowAbove)
{
    const RECT above { 100, 50, 300, 200 };
    fill_screen(white);
    HDC window_above = memory_dc(200, 150, blue);
    BitBlt(screen, above.left, above.top, 200, 150, window_above, 0, 0, SRCCOPY);
    HDC picture = memory_dc(FrameBuffer::width, FrameBuffer::height, red);

    HDC below = GetDC(nullptr);
    HRGN visible = CreateRectRgn(0, 0, FrameBuffer::width, FrameBuffer::height);
    HRGN cover = CreateRectRgnIndirect(&above);
    ASSERT_EQ(CombineRgn(visible, visible, cover, RGN_DIFF), COMPLEXREGION);
    ASSERT_EQ(SelectClipRgn(below, visible), COMPLEXREGION);
    GetParam().paint(below, picture);

    EXPECT_EQ(pixels_not(above, blue), 0) << GetParam().name;
    EXPECT_GT(pixels_not({ 0, 0, FrameBuffer::width, FrameBuffer::height }, white), pixels_not(above, white)) << GetParam().name;
    DeleteObject(visible);
    DeleteObject(cover);
    ReleaseDC(nullptr, below);
}

INSTANTIATE_TEST_SUITE_P(Painters, CoveredWindow,
    ::testing::Values(
        CoveredPainter { "FillRect", [](HDC dc, HDC) {
                            RECT all { 0, 0, 480, 272 };
                            FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
                        } },
        CoveredPainter { "BitBlt", [](HDC dc, HDC picture) { BitBlt(dc, 0, 0, 480, 272, picture, 0, 0, SRCCOPY); } }, CoveredPainter { "StretchBlt", [](HDC dc, HDC picture) { StretchBlt(dc, 0, 0, 480, 272, picture, 0, 0, 10, 10, SRCCOPY); } }, CoveredPainter { "TransparentImage", [](HDC dc, HDC picture) { TransparentImage(dc, 0, 0, 480, 272, picture, 0, 0, 480, 272, key); } }, CoveredPainter { "Rectangle", [](HDC dc, HDC) { Rectangle(dc, 0, 0, 480, 272); } }, CoveredPainter { "LineTo", [](HDC dc, HDC) {
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                    MoveToEx(dc, 0, 0, nullptr);
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                    LineTo(dc, 479, 271);
                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                } },
        CoveredPainter { "SetPixel", [](HDC dc, HDC) {
                            for (int x = 0; x < 480; ++x)
                                SetPixel(dc, x, 100, black);
                        } },
        CoveredPainter { "DrawText", [](HDC dc, HDC) {
                            RECT all { 0, 0, 480, 272 };
                            SetBkColor(dc, black);
                            DrawText(dc, u"The window below writes a long line across the whole screen", -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
                        } },
        CoveredPainter { "ExtTextOut", [](HDC dc, HDC) {
                            RECT all { 0, 0, 480, 272 };
                            SetBkColor(dc, black);
                            ExtTextOut(dc, 0, 120, ETO_OPAQUE, &all, u"opaque", 6, nullptr);
                        } }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GdiTest, IntersectAndExcludeClipRectNarrowWhatAContextPaints)
{
    fill_screen(white);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(IntersectClipRect(dc, 10, 10, 110, 60), SIMPLEREGION);
    EXPECT_EQ(ExcludeClipRect(dc, 50, 20, 60, 30), COMPLEXREGION);
    RECT box {};
    EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.bottom, 60);
    RECT all { 0, 0, 480, 272 };
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(pixels_not({ 10, 10, 110, 60 }, black), 10 * 10);
    EXPECT_EQ(pixels_not({ 50, 20, 60, 30 }, white), 0);
    EXPECT_EQ(pixels_not({ 0, 0, 480, 10 }, white), 0);
    EXPECT_EQ(pixels_not({ 110, 0, 480, 272 }, white), 0);

    // Taking the clip region away again paints everywhere.
    EXPECT_EQ(SelectClipRgn(dc, nullptr), SIMPLEREGION);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(pixels_not(all, black), 0);
    ReleaseDC(nullptr, dc);
}

namespace {

HWND popup(const char16_t* title, RECT rect, HBRUSH background = nullptr)
{
    WNDCLASS window_class {};
    window_class.lpfnWndProc = DefWindowProc;
    window_class.lpszClassName = u"painted";
    window_class.hbrBackground = background;
    static_cast<void>(RegisterClass(&window_class));
    return CreateWindowEx(0, u"painted", title, WS_POPUP | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

TEST_F(GdiTest, WindowContextsDrawAtTheWindowsOriginOnlyWhereItShows)
{
    fill_screen(white);
    HWND below = popup(u"below", { 100, 100, 200, 150 });
    HWND above = popup(u"above", { 150, 80, 300, 120 }); // covers the top right corner of `below`
    ASSERT_TRUE(below && above);
    fill_screen(white);

    HDC dc = GetDC(below);
    ASSERT_NE(dc, nullptr);
    RECT everything { -100, -100, 480, 272 };
    FillRect(dc, &everything, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(pixels_not({ 100, 120, 200, 150 }, black), 0);
    EXPECT_EQ(pixels_not({ 100, 100, 150, 120 }, black), 0);
    EXPECT_EQ(pixels_not({ 150, 100, 200, 120 }, white), 0); // under the window above
    EXPECT_EQ(pixels_not({ 0, 0, 480, 100 }, white), 0);
    EXPECT_EQ(pixels_not({ 200, 100, 480, 272 }, white), 0);
    SetPixel(dc, 0, 30, red); // client coordinates
    EXPECT_EQ(pixel(100, 130), c565(red));
    ReleaseDC(below, dc);

    // A hidden window's context paints nothing; a destroyed window has none.
    ShowWindow(below, SW_HIDE);
    fill_screen(white);
    dc = GetDC(below);
    FillRect(dc, &everything, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(pixels_not({ 0, 0, 480, 272 }, white), 0);
    ReleaseDC(below, dc);
    DestroyWindow(below);
    EXPECT_EQ(GetDC(below), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    DestroyWindow(above);
}

TEST_F(GdiTest, BeginPaintErasesWithTheClassBrushAndClipsToTheInvalidPart)
{
    fill_screen(white);
    HBRUSH green_brush = CreateSolidBrush(green);
    HWND window = popup(u"painted", { 0, 0, 100, 100 }, green_brush);
    ValidateRect(window, nullptr);
    fill_screen(white);

    RECT invalid { 10, 10, 30, 20 };
    InvalidateRect(window, &invalid, TRUE);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(paint.rcPaint.left, 10);
    EXPECT_EQ(paint.rcPaint.bottom, 20);
    EXPECT_FALSE(paint.fErase); // the default erase filled it
    EXPECT_EQ(pixels_not(invalid, green), 0);
    RECT all { 0, 0, 100, 100 };
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(window, &paint);
    EXPECT_EQ(pixels_not(invalid, black), 0);
    EXPECT_EQ(pixels_not({ 30, 0, 100, 100 }, white), 0);
    EXPECT_EQ(pixels_not({ 0, 20, 100, 100 }, white), 0);

    // Nothing invalid: BeginPaint's context paints nothing.
    dc = BeginPaint(window, &paint);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(window, &paint);
    EXPECT_EQ(pixels_not({ 30, 0, 100, 100 }, white), 0);
    DestroyWindow(window);
    DeleteObject(green_brush);
}

TEST_F(GdiTest, TransparentCopiesLeaveKeyPixelsUntouched)
{
    // A 4 × 1 picture: the key, a colour that becomes the key in RGB565, red and green.
    HDC picture = memory_dc(4, 1, key);
    SetPixel(picture, 1, 0, RGB(250, 100, 250));
    SetPixel(picture, 2, 0, red);
    SetPixel(picture, 3, 0, green);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 1);
    HDC holder = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(holder, bitmap);
    BitBlt(holder, 0, 0, 4, 1, picture, 0, 0, SRCCOPY);
    SelectObject(holder, previous);
    DeleteDC(holder);

    struct Case {
        const char* name;
        std::function<BOOL(int y)> copy;
    } cases[] = {
        { "TransparentImage from a context", [&](int y) { return TransparentImage(screen, 10, y, 4, 1, picture, 0, 0, 4, 1, key); } },
        { "TransparentImage from a bitmap", [&](int y) { return TransparentImage(screen, 10, y, 4, 1, bitmap, 0, 0, 4, 1, key); } },
        { "TransparentBlt", [&](int y) { return TransparentBlt(screen, 10, y, 4, 1, picture, 0, 0, 4, 1, key); } },
    };
    fill_screen(blue);
    int y = 0;
    for (auto& c : cases) {
        ASSERT_TRUE(c.copy(y)) << c.name;
        EXPECT_EQ(pixel(10, y), c565(blue)) << c.name;
        EXPECT_EQ(pixel(11, y), c565(blue)) << c.name;
        EXPECT_EQ(pixel(12, y), c565(red)) << c.name;
        EXPECT_EQ(pixel(13, y), c565(green)) << c.name;
        ++y;
    }

    // Stretched: each source pixel covers two; the key's pixels stay the background's.
    ASSERT_TRUE(TransparentImage(screen, 20, 10, 8, 2, picture, 0, 0, 4, 1, key));
    EXPECT_EQ(pixels_not({ 20, 10, 24, 12 }, blue), 0);
    EXPECT_EQ(pixels_not({ 24, 10, 26, 12 }, red), 0);
    EXPECT_EQ(pixels_not({ 26, 10, 28, 12 }, green), 0);
    DeleteObject(bitmap);
}

// Rows long enough for the copy's many-pixels-a-step loop and its leftover pixels, at an odd
// place, with the key scattered; and copies within the screen that overlap their source.
TEST_F(GdiTest, TransparentCopiesOfLongRowsAndOverlappingPartsKeepEveryPixelRight)
{
    constexpr int width = 37;
    constexpr int height = 3;
    auto colour_at = [](int x, int y) -> COLORREF {
        return (x + y) % 3 == 0 ? key : RGB(uint8_t(x * 6), uint8_t(y * 80), 200);
    };
    HDC picture = memory_dc(width, height, black);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            SetPixel(picture, x, y, colour_at(x, y));
    }
    fill_screen(blue);
    ASSERT_TRUE(TransparentImage(screen, 7, 5, width, height, picture, 0, 0, width, height, key));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            COLORREF expected = colour_at(x, y) == key ? blue : colour_at(x, y);
            ASSERT_EQ(pixel(7 + x, 5 + y), c565(expected)) << x << ", " << y;
        }
    }

    // Within the screen, moved by a pixel each way over itself: every pixel comes from where the
    // source was before the copy began.
    const POINT moves[] = { { 1, 0 }, { -1, 0 }, { 0, 1 }, { 0, -1 }, { 1, 1 } };
    for (auto move : moves) {
        fill_screen(blue);
        BitBlt(screen, 7, 5, width, height, picture, 0, 0, SRCCOPY);
        std::vector<uint16_t> before(frame_buffer.pixels(), frame_buffer.pixels() + FrameBuffer::visible_pixels);
        auto was = [&](int x, int y) { return before[size_t(y) * FrameBuffer::width + x]; };
        ASSERT_TRUE(TransparentImage(screen, 7 + move.x, 5 + move.y, width, height, screen, 7, 5, width, height, key));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint16_t source = was(7 + x, 5 + y);
                uint16_t expected = source == c565(key) ? was(7 + move.x + x, 5 + move.y + y) : source;
                ASSERT_EQ(pixel(7 + move.x + x, 5 + move.y + y), expected) << move.x << ", " << move.y << ": " << x << ", " << y;
            }
        }
    }
}

TEST_F(GdiTest, BitBltCopiesTheSourcePartAndOnlyWhatLiesInsideTheSource)
{
    // A strip of three 10-pixel frames, as the programs keep animations.
    HDC strip = memory_dc(30, 10, red);
    RECT second { 10, 0, 20, 10 };
    RECT third { 20, 0, 30, 10 };
    HBRUSH green_brush = CreateSolidBrush(green);
    FillRect(strip, &second, green_brush);
    FillRect(strip, &third, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DeleteObject(green_brush);

    fill_screen(blue);
    ASSERT_TRUE(BitBlt(screen, 50, 50, 10, 10, strip, 10, 0, SRCCOPY));
    EXPECT_EQ(pixels_not({ 50, 50, 60, 60 }, green), 0);
    EXPECT_EQ(pixels_not({ 49, 49, 61, 61 }, blue), 10 * 10);

    // Reading past the source's right edge copies only the part that exists.
    ASSERT_TRUE(BitBlt(screen, 100, 100, 20, 10, strip, 20, 0, SRCCOPY));
    EXPECT_EQ(pixels_not({ 100, 100, 110, 110 }, white), 0);
    EXPECT_EQ(pixels_not({ 110, 100, 120, 110 }, blue), 0);

    // Off the screen's edges nothing is written out of bounds.
    EXPECT_TRUE(BitBlt(screen, 475, 268, 30, 10, strip, 0, 0, SRCCOPY));
    EXPECT_EQ(pixel(479, 271), c565(red));
    EXPECT_TRUE(BitBlt(screen, -25, -5, 30, 10, strip, 0, 0, SRCCOPY));
    EXPECT_EQ(pixel(0, 0), c565(white));
}

TEST_F(GdiTest, StretchBltPicksTheNearestSourcePixel)
{
    HDC quad = memory_dc(2, 2, red);
    SetPixel(quad, 1, 0, green);
    SetPixel(quad, 0, 1, blue);
    SetPixel(quad, 1, 1, white);
    ASSERT_TRUE(StretchBlt(screen, 0, 0, 6, 4, quad, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(pixels_not({ 0, 0, 3, 2 }, red), 0);
    EXPECT_EQ(pixels_not({ 3, 0, 6, 2 }, green), 0);
    EXPECT_EQ(pixels_not({ 0, 2, 3, 4 }, blue), 0);
    EXPECT_EQ(pixels_not({ 3, 2, 6, 4 }, white), 0);

    ASSERT_TRUE(StretchBlt(screen, 10, 0, 1, 1, quad, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(pixel(10, 0), c565(red));
    EXPECT_FALSE(StretchBlt(screen, 10, 0, -2, 2, quad, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST_F(GdiTest, RasterOperationsCombineSourceAndDestination)
{
    const uint16_t under = 0x0F0F;
    const uint16_t over = 0x00FF;
    struct Case {
        DWORD rop;
        uint16_t expected;
    } cases[] = {
        { SRCCOPY, over },
        { SRCAND, under & over },
        { SRCPAINT, under | over },
        { SRCINVERT, under ^ over },
        { BLACKNESS, 0x0000 },
        { WHITENESS, 0xFFFF },
    };
    HDC source = memory_dc(1, 1, black);
    SetPixel(source, 0, 0, colorref_of_565(over));
    for (auto& c : cases) {
        frame_buffer.pixels()[0] = under;
        ASSERT_TRUE(BitBlt(screen, 0, 0, 1, 1, source, 0, 0, c.rop)) << std::hex << c.rop;
        EXPECT_EQ(pixel(0, 0), c.expected) << std::hex << c.rop;
    }
    EXPECT_FALSE(BitBlt(screen, 0, 0, 1, 1, source, 0, 0, 0x00F00021));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST_F(GdiTest, DibSectionsHandOutTheirMemoryInTheAskedOrderAndFormat)
{
    // Bottom-up (positive height): the first row in memory is the picture's bottom row.
    void* bits = nullptr;
    auto info = dib565(3, 2);
    HBITMAP bottom_up = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bottom_up, nullptr);
    BITMAP description {};
    ASSERT_EQ(GetObject(bottom_up, sizeof(description), &description), int(sizeof(BITMAP)));
    EXPECT_EQ(description.bmWidth, 3);
    EXPECT_EQ(description.bmHeight, 2);
    EXPECT_EQ(description.bmWidthBytes, 8); // rows padded to 32 bits
    EXPECT_EQ(description.bmBitsPixel, 16);
    EXPECT_EQ(description.bmBits, bits);
    auto* rows = static_cast<uint16_t*>(bits);
    EXPECT_EQ(rows[0], 0) << "fresh DIB memory is black";
    rows[0] = c565(red);
    rows[4] = c565(green);

    // Top-down (negative height), 24 bits: blue, green, red bytes.
    BITMAPINFO info24 {};
    info24.bmiHeader = { sizeof(BITMAPINFOHEADER), 2, -2, 1, 24, BI_RGB, 0, 0, 0, 0, 0 };
    void* bits24 = nullptr;
    HBITMAP top_down = CreateDIBSection(screen, &info24, DIB_RGB_COLORS, &bits24, nullptr, 0);
    ASSERT_NE(top_down, nullptr);
    auto* bytes = static_cast<uint8_t*>(bits24);
    bytes[0] = 0xFF;     // first pixel blue
    bytes[8 + 4] = 0xFF; // second row (8 bytes on), second pixel: green

    HDC dc = CreateCompatibleDC(screen);
    SelectObject(dc, bottom_up);
    BitBlt(screen, 0, 0, 3, 2, dc, 0, 0, SRCCOPY);
    SelectObject(dc, top_down);
    BitBlt(screen, 10, 0, 2, 2, dc, 0, 0, SRCCOPY);
    DeleteDC(dc);
    EXPECT_EQ(pixel(0, 1), c565(red));
    EXPECT_EQ(pixel(0, 0), c565(green));
    EXPECT_EQ(pixel(10, 0), c565(blue));
    EXPECT_EQ(pixel(11, 1), c565(green));
    DeleteObject(bottom_up);
    DeleteObject(top_down);

    BITMAPINFO palette {};
    palette.bmiHeader = { sizeof(BITMAPINFOHEADER), 2, 2, 1, 8, BI_RGB, 0, 0, 0, 0, 0 };
    EXPECT_EQ(CreateDIBSection(screen, &palette, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(bits, nullptr);
    auto huge = dib565(1 << 20, 1 << 20);
    EXPECT_EQ(CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&huge), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(GdiTest, SelectObjectAnswersThePreviousObjectAndSaveDCBringsStateBack)
{
    HDC dc = memory_dc(20, 20, white);
    HBRUSH red_brush = CreateSolidBrush(red);
    HGDIOBJ stock_brush = SelectObject(dc, red_brush);
    EXPECT_EQ(stock_brush, GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc, stock_brush), red_brush);

    SelectObject(dc, red_brush);
    SetTextColor(dc, green);
    int level = SaveDC(dc);
    EXPECT_EQ(level, 1);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    SetTextColor(dc, blue);
    IntersectClipRect(dc, 0, 0, 1, 1);
    ASSERT_TRUE(RestoreDC(dc, -1));
    EXPECT_EQ(GetTextColor(dc), green);
    Rectangle(dc, 0, 0, 20, 20);
    EXPECT_EQ(GetPixel(dc, 10, 10), red) << "the red brush and the whole bitmap are back";
    EXPECT_FALSE(RestoreDC(dc, -1));

    // A bitmap cannot go into the screen's context.
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 4);
    EXPECT_EQ(SelectObject(screen, bitmap), nullptr);
    DeleteObject(bitmap);
    DeleteObject(red_brush);
}

TEST_F(GdiTest, DeletedObjectsAreRefusedButASelectedBitmapStaysUsable)
{
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    SelectObject(dc, bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetObject(bitmap, sizeof(BITMAP), nullptr), 0);
    EXPECT_NE(SetPixel(dc, 7, 7, red), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 7, 7), red);
    EXPECT_EQ(GetPixel(dc, 8, 8), CLR_INVALID);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));

    // Stock objects survive DeleteObject.
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    RECT one { 0, 0, 1, 1 };
    EXPECT_EQ(FillRect(screen, &one, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 1);
    EXPECT_EQ(pixel(0, 0), c565(black));
    EXPECT_EQ(GetStockObject(9), nullptr);
}

TEST_F(GdiTest, RectanglesAndLinesFollowThePensAndBrushesRules)
{
    fill_screen(blue);
    HPEN pen = CreatePen(PS_SOLID, 1, red);
    SelectObject(screen, pen);
    ASSERT_TRUE(Rectangle(screen, 10, 10, 20, 15));
    EXPECT_EQ(pixels_not({ 11, 11, 19, 14 }, white), 0) << "the default brush fills the inside";
    EXPECT_EQ(pixel(10, 10), c565(red));
    EXPECT_EQ(pixel(19, 14), c565(red));
    EXPECT_EQ(pixel(20, 15), c565(blue)) << "right and bottom edges are outside";

    ASSERT_TRUE(MoveToEx(screen, 30, 30, nullptr));
    ASSERT_TRUE(LineTo(screen, 40, 30));
    EXPECT_EQ(pixels_not({ 30, 30, 40, 31 }, red), 0);
    EXPECT_EQ(pixel(40, 30), c565(blue)) << "the end point is left out";
    POINT position {};
    MoveToEx(screen, 0, 0, &position);
    EXPECT_EQ(position.x, 40);

    MoveToEx(screen, 50, 50, nullptr);
    LineTo(screen, 53, 53);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pixel(50 + i, 50 + i), c565(red));

    SelectObject(screen, GetStockObject(NULL_PEN));
    SelectObject(screen, GetStockObject(BLACK_BRUSH));
    Rectangle(screen, 60, 60, 70, 70);
    EXPECT_EQ(pixels_not({ 60, 60, 69, 69 }, black), 0);
    EXPECT_EQ(pixel(69, 69), c565(blue)) << "without a pen the fill is a pixel smaller";
    SelectObject(screen, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
    EXPECT_EQ(CreatePen(1, 1, red), nullptr);
}

TEST_F(GdiTest, ColoursGoThroughTheScreensFormat)
{
    struct Case {
        COLORREF given;
        COLORREF read_back;
        uint16_t stored;
    } cases[] = {
        { RGB(255, 255, 255), RGB(255, 255, 255), 0xFFFF },
        { RGB(0, 0, 0), RGB(0, 0, 0), 0x0000 },
        { RGB(255, 102, 255), RGB(255, 101, 255), 0xFB3F },
        { RGB(16, 0, 16), RGB(16, 0, 16), 0x1002 },
        { RGB(255, 26, 0), RGB(255, 24, 0), 0xF8C0 },
    };
    for (auto& c : cases) {
        EXPECT_EQ(SetPixel(screen, 5, 5, c.given), c.read_back);
        EXPECT_EQ(pixel(5, 5), c.stored);
        EXPECT_EQ(GetPixel(screen, 5, 5), c.read_back);
    }
}

TEST_F(GdiTest, TheVideoKeyIsFoundWhereItIsPainted)
{
    fill_screen(black);
    EXPECT_FALSE(gdi.video_key_bounds());
    HBRUSH key_brush = CreateSolidBrush(Gdi::video_key);
    RECT picture { 40, 30, 440, 250 };
    FillRect(screen, &picture, key_brush);
    DeleteObject(key_brush);
    auto bounds = gdi.video_key_bounds();
    ASSERT_TRUE(bounds);
    EXPECT_EQ(bounds->left, 40);
    EXPECT_EQ(bounds->top, 30);
    EXPECT_EQ(bounds->right, 440);
    EXPECT_EQ(bounds->bottom, 250);
}
