#include "GdiTest.h"

#include "gdi/tests/BmpFixture.h"
#include "BmpFile.h"

#include <climits>
#include <cstring>
#include <string>

using namespace kivo;
using namespace kivo::test;

namespace {

// Colours that every format holds exactly, 5-5-5 included (green's lowest bit follows its top
// one), so one expected picture serves all files.
constexpr COLORREF colours[] = { RGB(248, 132, 8), RGB(8, 64, 248), RGB(0, 0, 0), RGB(255, 255, 255) };

// Each row and each column differs, so a mirrored or shifted picture shows.
COLORREF pattern(int x, int y)
{
    return colours[(x + 2 * y) % 4];
}

// Odd widths leave padding at each row's end in every format.
constexpr int width = 5;
constexpr int height = 3;

std::vector<uint8_t> good_file(BmpFormat format = {})
{
    return bmp_file(format, width, height, pattern);
}

void put32(std::vector<uint8_t>& file, size_t at, uint32_t value)
{
    std::memcpy(&file[at], &value, 4);
}

class BitmapFileTest : public GdiTest {
protected:
    // Writes the bytes as a device file and answers its device path.
    std::u16string store(const std::vector<uint8_t>& bytes, const std::u16string& name = u"picture.bmp")
    {
        std::u16string path = u"\\NAND\\" + name;
        HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr));
        CloseHandle(file);
        return path;
    }

    // How many screen pixels differ from the pattern after the bitmap is copied to the corner.
    int pixels_off_pattern(HBITMAP bitmap)
    {
        fill_screen(RGB(1, 2, 3));
        // A key that no pixel has, so the transparent copy paints them all.
        EXPECT_TRUE(TransparentImage(screen, 0, 0, width, height, bitmap, 0, 0, width, height, RGB(40, 40, 40)));
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                wrong += pixel(x, y) != c565(pattern(x, y));
        }
        return wrong;
    }
};

} // namespace

TEST_F(BitmapFileTest, EachDepthAndRowOrderGivesThePicture)
{
    struct Case {
        const char* name;
        BmpFormat format;
    };
    const Case cases[] = {
        { "8 bits, bottom-up", { 8, false, false, 40 } },
        { "8 bits, top-down", { 8, false, true, 40 } },
        { "16 bits 5-5-5, bottom-up", { 16, false, false, 40 } },
        { "16 bits 5-5-5, top-down", { 16, false, true, 40 } },
        { "16 bits 5-6-5 fields, bottom-up", { 16, true, false, 40 } },
        { "16 bits 5-6-5 fields, top-down", { 16, true, true, 40 } },
        { "16 bits 5-6-5 fields in a long header", { 16, true, false, 108 } },
        { "24 bits, bottom-up", { 24, false, false, 40 } },
        { "24 bits, top-down", { 24, false, true, 40 } },
    };
    for (auto& test : cases) {
        SCOPED_TRACE(test.name);
        auto path = store(good_file(test.format));
        HBITMAP bitmap = SHLoadDIBitmap(path.c_str());
        ASSERT_NE(bitmap, nullptr);
        BITMAP info {};
        ASSERT_EQ(GetObject(bitmap, sizeof(info), &info), int(sizeof(info)));
        EXPECT_EQ(info.bmWidth, width);
        EXPECT_EQ(info.bmHeight, height);
        EXPECT_EQ(info.bmBitsPixel, 16);
        EXPECT_EQ(pixels_off_pattern(bitmap), 0);
        DeleteObject(bitmap);
    }
}

TEST_F(BitmapFileTest, AnEncodedBitmapReadsBackPixelForPixel)
{
    // An odd width pads every row; the key colour must survive for the transparent copies.
    auto drawn = Bitmap::create_compatible(width, height);
    Surface surface = drawn->surface();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            surface.set(x, y, c565(x == 0 && y == 0 ? RGB(255, 102, 255) : pattern(x, y)));
    }
    auto path = store(encode_bmp(*drawn));
    HBITMAP bitmap = SHLoadDIBitmap(path.c_str());
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            EXPECT_EQ(c565(GetPixel(dc, x, y)), surface.get(x, y)) << x << "," << y;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TEST_F(BitmapFileTest, LoadImageReadsAFileOrAModulesBitmap)
{
    auto path = store(good_file({ 24, false, false, 40 }));
    auto bitmap = static_cast<HBITMAP>(LoadImage(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    // Usable with the other blits through a memory context too.
    HDC memory = CreateCompatibleDC(screen);
    SelectObject(memory, bitmap);
    fill_screen(RGB(1, 2, 3));
    ASSERT_TRUE(BitBlt(screen, 10, 20, width, height, memory, 0, 0, SRCCOPY));
    EXPECT_EQ(pixel(10, 20), c565(pattern(0, 0)));
    EXPECT_EQ(pixel(14, 22), c565(pattern(4, 2)));
    DeleteDC(memory);
    DeleteObject(bitmap);

    EXPECT_EQ(LoadImage(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    // Without LR_LOADFROMFILE the name is a resource's, and there is no module here.
    EXPECT_EQ(LoadImage(nullptr, MAKEINTRESOURCE(1), IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST_F(BitmapFileTest, DamagedOrUnreadableFilesAnswerNullWithTheReason)
{
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
        DWORD error;
        BmpFormat format = {};
    };
    const Case cases[] = {
        { "empty", [](auto& f) { f.clear(); }, ERROR_INVALID_DATA },
        { "not a bitmap", [](auto& f) { f[0] = 'P'; }, ERROR_INVALID_DATA },
        { "last row cut short", [](auto& f) { f.pop_back(); }, ERROR_INVALID_DATA },
        { "cut inside the header", [](auto& f) { f.resize(30); }, ERROR_INVALID_DATA },
        { "pixels past the end", [](auto& f) { put32(f, 10, uint32_t(f.size()) - 4); }, ERROR_INVALID_DATA },
        { "pixels far past the end", [](auto& f) { put32(f, 10, 0xFFFFFFF0); }, ERROR_INVALID_DATA },
        { "pixels inside the header", [](auto& f) { put32(f, 10, 20); }, ERROR_INVALID_DATA },
        { "pixels inside the palette", [](auto& f) { put32(f, 10, 60); }, ERROR_INVALID_DATA, { 8 } },
        { "palette of 257 colours", [](auto& f) { put32(f, 46, 257); }, ERROR_INVALID_DATA, { 8 } },
        { "palette running into the pixels", [](auto& f) { put32(f, 46, 200); }, ERROR_INVALID_DATA, { 8 } },
        { "unknown header size", [](auto& f) { put32(f, 14, 41); }, ERROR_INVALID_DATA },
        { "header longer than the file", [](auto& f) { put32(f, 14, 124); f.resize(100); }, ERROR_INVALID_DATA },
        { "zero planes", [](auto& f) { f[26] = 0; }, ERROR_INVALID_DATA },
        { "zero width", [](auto& f) { put32(f, 18, 0); }, ERROR_INVALID_DATA },
        { "negative width", [](auto& f) { put32(f, 18, uint32_t(-5)); }, ERROR_INVALID_DATA },
        { "zero height", [](auto& f) { put32(f, 22, 0); }, ERROR_INVALID_DATA },
        { "rows wider than the file", [](auto& f) { put32(f, 18, 4000); }, ERROR_INVALID_DATA },
        { "huge width", [](auto& f) { put32(f, 18, 0x7FFFFFFF); }, ERROR_NOT_ENOUGH_MEMORY },
        { "huge negative height", [](auto& f) { put32(f, 22, uint32_t(INT_MIN)); }, ERROR_NOT_ENOUGH_MEMORY },
        { "more pixels than any bitmap", [](auto& f) { put32(f, 18, 8000); put32(f, 22, 8000); }, ERROR_NOT_ENOUGH_MEMORY },
        { "3 bits a pixel", [](auto& f) { f[28] = 3; }, ERROR_INVALID_DATA },
        { "32 bits a pixel", [](auto& f) { f[28] = 32; }, ERROR_NOT_SUPPORTED },
        { "run-length compressed", [](auto& f) { put32(f, 30, 1); }, ERROR_NOT_SUPPORTED, { 8 } },
        { "bit fields of 24-bit pixels", [](auto& f) { put32(f, 30, 3); }, ERROR_INVALID_DATA },
        { "bit fields of 4-4-4", [](auto& f) { put32(f, 54, 0x0F00); }, ERROR_NOT_SUPPORTED, { 16, true } },
    };
    for (auto& test : cases) {
        SCOPED_TRACE(test.name);
        auto bytes = good_file(test.format);
        test.damage(bytes);
        auto path = store(bytes);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(SHLoadDIBitmap(path.c_str()), nullptr);
        EXPECT_EQ(GetLastError(), test.error);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(LoadImage(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
        EXPECT_EQ(GetLastError(), test.error);
    }
    EXPECT_EQ(SHLoadDIBitmap(u"\\NAND\\missing.bmp"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}
