#include "KitbaseTest.h"

#include "CodePages.h"

#include <memory>

using namespace kitbase::test;

namespace {

using TextTest = KitbaseTest;

std::string narrow(const char16_t* text)
{
    std::unique_ptr<char[]> converted(WideChar2ANSI(text));
    return converted.get();
}

std::u16string wide(const char* text)
{
    std::unique_ptr<WCHAR[]> converted(ANSI2WideChar(text));
    return converted.get();
}

} // namespace

TEST_F(TextTest, ChineseTextGoesThroughTheDevicesCodePageAndBack)
{
    // 電話簿 in Big5, the device's code page 950.
    const std::string big5 = "\xB9\x71\xB8\xDC\xC3\xAF";
    EXPECT_EQ(narrow(u"電話簿"), big5);
    EXPECT_EQ(wide(big5.c_str()), u"電話簿");
    EXPECT_EQ(narrow(u"COM3 電話"), "COM3 \xB9\x71\xB8\xDC");
    EXPECT_EQ(wide("a\xA4\xA4z"), u"a中z");
}

TEST_F(TextTest, EmptyAndUnrepresentableText)
{
    std::unique_ptr<char[]> empty(WideChar2ANSI(u""));
    EXPECT_EQ(empty[0], 0);
    std::unique_ptr<WCHAR[]> wide_empty(ANSI2WideChar(""));
    EXPECT_EQ(wide_empty[0], 0);
    // Thai has no place in Big5: the page's default character stands in.
    EXPECT_EQ(narrow(u"a\u0E01b"), "a?b");
}

TEST_F(TextTest, APageWithLongerSequencesStillKeepsChineseText)
{
    // Two bytes a character would cut UTF-8 short; the text must come through whole.
    device->component<kivo::CodePages>().set_ansi_code_page(CP_UTF8);
    EXPECT_EQ(narrow(u"電話簿"), "\xE9\x9B\xBB\xE8\xA9\xB1\xE7\xB0\xBF");
}

TEST(PathTest, SplitFollowsTheLibrarysOwnRules)
{
    struct Case {
        const char16_t* path;
        const char16_t* drive;
        const char16_t* dir;
        const char16_t* fname;
        const char16_t* ext;
    };
    const Case cases[] = {
        { u"\\NAND\\App\\BT\\Voxlane.exe", u"", u"NAND\\App\\BT", u"Voxlane", u".exe" },
        { u"a/b/c.tar.gz", u"a", u"b", u"c", u".tar.gz" },
        { u"plainname", u"", u"", u"plainname", u"" },
        { u"\\file.txt", u"", u"", u"file", u".txt" },
        { u"dir\\sub.d\\name", u"dir", u"sub.d", u"name", u"" },
        { u"\\a.b.c", u"", u"", u"a", u".b.c" },
        { u"C:\\x", u"C:", u"", u"x", u"" },
        // With both separators only backslashes split.
        { u"top\\a/b\\c/d.e", u"top", u"a/b", u"c/d", u".e" },
        { u"50%s.txt", u"", u"", u"50%s", u".txt" },
        { u"", u"", u"", u"", u"" },
    };
    for (auto& c : cases) {
        WCHAR drive[MAX_PATH] = u"x";
        WCHAR dir[MAX_PATH] = u"x";
        WCHAR fname[MAX_PATH] = u"x";
        WCHAR ext[MAX_PATH] = u"x";
        _wsplitpath(c.path, drive, dir, fname, ext);
        auto path = kivo::to_utf8(c.path);
        EXPECT_EQ(std::u16string(drive), c.drive) << path;
        EXPECT_EQ(std::u16string(dir), c.dir) << path;
        EXPECT_EQ(std::u16string(fname), c.fname) << path;
        EXPECT_EQ(std::u16string(ext), c.ext) << path;
    }
}

TEST(PathTest, SplitNeverWritesPastAPartOfAWholePath)
{
    std::u16string name(400, u'n');
    WCHAR fname[MAX_PATH + 1];
    fname[MAX_PATH] = u'!';
    _wsplitpath((u"\\dir\\" + name).c_str(), nullptr, nullptr, fname, nullptr);
    EXPECT_EQ(std::u16string(fname), name.substr(0, MAX_PATH - 1));
    EXPECT_EQ(fname[MAX_PATH], u'!');
}

TEST(PathTest, MakeJoinsWithTwoBackslashesAlways)
{
    struct Case {
        const char16_t* drive;
        const char16_t* dir;
        const char16_t* fname;
        const char16_t* ext;
        const char16_t* path;
    };
    const Case cases[] = {
        { u"", u"NAND\\App\\BT", u"Voxlane", u".exe", u"\\NAND\\App\\BT\\Voxlane.exe" },
        { u"", u"NAND\\App\\BT", u"", u"", u"\\NAND\\App\\BT\\" },
        { u"C", u"dir\\", u"f", u"txt", u"C\\dir\\\\f.txt" },
        { u"", u"", u"f", u".txt", u"\\\\f.txt" },
        { u"d", u"x", u"f", u"", u"d\\x\\f" },
    };
    for (auto& c : cases) {
        WCHAR path[3 * MAX_PATH];
        _wmakepath(path, c.drive, c.dir, c.fname, c.ext);
        EXPECT_EQ(std::u16string(path), c.path);
    }
}

TEST_F(TextTest, ClockCountsMillisecondsSince1601AndJumpsWithTheSystemTime)
{
    SYSTEMTIME epoch { 1970, 1, 4, 1, 0, 0, 0, 0 };
    ASSERT_TRUE(SetSystemTime(&epoch));
    EXPECT_EQ(CE_clock(), 11'644'473'600'000ull);
    device->advance(1000);
    EXPECT_EQ(CE_clock(), 11'644'473'601'000ull);

    SYSTEMTIME later { 2024, 3, 5, 1, 12, 0, 0, 0 };
    ASSERT_TRUE(SetSystemTime(&later));
    // 1 March 2024 12:00 UTC: 19,783 days after 1970, plus half a day.
    EXPECT_EQ(CE_clock(), 11'644'473'600'000ull + (19'783ull * 86'400 + 43'200) * 1000);
}
