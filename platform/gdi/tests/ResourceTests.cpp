#include "GdiTest.h"

#include "Process.h"

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr char16_t image[] = u"\\NAND\\App\\Hubscreen.exe";
constexpr COLORREF panel = BitmapCanvas::Palette::panel;
constexpr COLORREF key = BitmapCanvas::transparent_key;

// The program's pictures: a warning frame and a round button on the transparent key.
void add_resources(ResourceTable& table)
{
    table.add_bitmap(207, 320, 150, [](BitmapCanvas& canvas) {
        canvas.fill(panel);
        canvas.frame_rect(canvas.bounds(), BitmapCanvas::Palette::frame, 2);
        canvas.label({ 0, 0, 320, 40 }, u"Warning", BitmapCanvas::Palette::white, 20, true);
    });
    table.add_bitmap(150, 42, 42, [](BitmapCanvas& canvas) {
        canvas.fill(key);
        canvas.fill_ellipse(canvas.bounds(), BitmapCanvas::Palette::ok);
        canvas.arrow({ 12, 11, 32, 31 }, BitmapCanvas::Direction::Right, BitmapCanvas::Palette::white);
    });
    table.add_icon(128, 32, 32, [](BitmapCanvas& canvas) { canvas.fill(BitmapCanvas::Palette::highlight); });
    table.add_string(1001, u"Hello");
}

} // namespace

class ResourceTest : public GdiTest {
protected:
    ResourceTest()
    {
        module = device->register_module(image);
        add_resources(gdi.resources(module));
        gdi.draw_log().set_recording(true);
    }

    HMODULE module;
};

TEST_F(ResourceTest, AProgramLoadsItsBitmapAndTheDrawLogRecordsWhereItWent)
{
    BITMAP size {};
    BOOL blitted = FALSE;
    device->programs().add(image, [&](std::u16string_view) {
        HBITMAP bitmap = LoadBitmap(GetModuleHandle(nullptr), MAKEINTRESOURCE(207));
        GetObject(bitmap, sizeof(size), &size);
        HDC window = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(window);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        blitted = BitBlt(window, 80, 60, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
        ReleaseDC(nullptr, window);
        DeleteObject(bitmap);
        return 0;
    });
    DWORD error = 0;
    ASSERT_TRUE(device->create_process(image, u"", error));
    device->run_until_idle();

    EXPECT_TRUE(blitted);
    EXPECT_EQ(size.bmWidth, 320);
    EXPECT_EQ(size.bmHeight, 150);
    auto entry = gdi.draw_log().last_bitmap(207);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->call, "BitBlt");
    EXPECT_EQ(entry->rect.left, 80);
    EXPECT_EQ(entry->rect.top, 60);
    EXPECT_EQ(entry->rect.right, 400);
    EXPECT_EQ(entry->rect.bottom, 210);
    EXPECT_TRUE(entry->painted);
    EXPECT_EQ(pixel(80, 60), c565(BitmapCanvas::Palette::frame));
    EXPECT_EQ(pixel(200, 150), c565(panel));
}

TEST_F(ResourceTest, TransparentResourcePicturesKeepTheirKeyOutOfTheScreen)
{
    fill_screen(RGB(0, 0, 0));
    HBITMAP button = LoadBitmap(module, MAKEINTRESOURCE(150));
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(TransparentImage(screen, 10, 10, 42, 42, button, 0, 0, 42, 42, key));
    EXPECT_EQ(pixel(10, 10), c565(RGB(0, 0, 0))) << "the corner outside the circle is key";
    EXPECT_EQ(pixel(10 + 21, 10 + 4), c565(BitmapCanvas::Palette::ok));
    EXPECT_EQ(pixel(10 + 20, 10 + 21), c565(BitmapCanvas::Palette::white)) << "the arrow";
    auto entry = gdi.draw_log().last_bitmap(150);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->call, "TransparentImage");

    // Each load is a bitmap of its own: painting on one leaves the next load as drawn.
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(dc, button);
    SetPixel(dc, 21, 21, RGB(255, 0, 0));
    SelectObject(dc, previous);
    HBITMAP again = LoadBitmap(module, MAKEINTRESOURCE(150));
    SelectObject(dc, again);
    EXPECT_EQ(GetPixel(dc, 21, 21), colorref_of_565(c565(BitmapCanvas::Palette::white)));
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(button);
    DeleteObject(again);
}

TEST_F(ResourceTest, MissingResourcesAreRefused)
{
    struct Case {
        const char* name;
        HINSTANCE module;
        LPCWSTR resource;
    } cases[] = {
        { "unknown number", module, MAKEINTRESOURCE(999) },
        { "another module", device->register_module(u"\\NAND\\App\\Other.exe"), MAKEINTRESOURCE(207) },
        { "no module", nullptr, MAKEINTRESOURCE(207) },
        { "a name", module, u"WARNING" },
        { "an icon number", module, MAKEINTRESOURCE(128) },
    };
    for (auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(LoadBitmap(c.module, c.resource), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND) << c.name;
    }
}

TEST_F(ResourceTest, StringsAreCutToTheBufferAndIconsLoadByNumber)
{
    struct Case {
        int size;
        int copied;
        std::u16string text;
    } cases[] = { { 16, 5, u"Hello" }, { 6, 5, u"Hello" }, { 4, 3, u"Hel" }, { 1, 0, u"" } };
    for (auto& c : cases) {
        WCHAR buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        EXPECT_EQ(LoadString(module, 1001, buffer, c.size), c.copied) << c.size;
        EXPECT_EQ(std::u16string(buffer), c.text) << c.size;
    }
    WCHAR buffer[8];
    EXPECT_EQ(LoadString(module, 1002, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(LoadString(module, 1001, buffer, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    HICON icon = LoadIcon(module, MAKEINTRESOURCE(128));
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_EQ(LoadIcon(module, MAKEINTRESOURCE(207)), nullptr);
}
