#include "TestDevice.h"

#include "WideCrt.h"
#include "WideText.h"

#include <gtest/gtest.h>

using namespace kivo;
using namespace kivo::test;

TEST(WideText, FormattingFollowsTheDevicesConventions)
{
    struct Case {
        std::u16string expected;
        std::u16string actual;
    } cases[] = {
        { u"name=Telvix", format_wide(u"name=%s", u"Telvix") },
        { u"narrow=abc", format_wide(u"narrow=%S", "abc") },
        { u"narrow=abc", format_wide(u"narrow=%hs", "abc") },
        { u"[  42][42  ][0042][-042]", format_wide(u"[%4d][%-4d][%04d][%04d]", 42, 42, 42, -42) },
        { u"ff FF 0x1f 00FF", format_wide(u"%x %X %#x %04X", 255, 255, 31, 255) },
        { u"4294967295 -1", format_wide(u"%u %d", 0xFFFFFFFFu, -1) },
        { u"%d/%d 3/7", format_wide(u"%%d/%%d %d/%d", 3, 7) },
        { u"x=A y=B", format_wide(u"x=%c y=%C", u'A', 'B') },
        { u"3.14 1.5", format_wide(u"%.2f %g", 3.14159, 1.5) },
        { u"[ab]", format_wide(u"[%.2s]", u"abc") },
        { u"12345678901", format_wide(u"%I64d", 12345678901LL) },
        { u"中文", format_wide(u"%s", u"中文") },
    };
    for (auto& c : cases)
        EXPECT_EQ(to_utf8(c.actual), to_utf8(c.expected));
}

TEST(WideText, SnwprintfReportsOverflowLikeTheDevice)
{
    WCHAR buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(_snwprintf(buffer, 4, u"%s", u"abcdef"), -1);
    EXPECT_EQ(std::u16string(buffer, 5), u"abcd#");
    EXPECT_EQ(_snwprintf(buffer, 8, u"%d", 123), 3);
    EXPECT_EQ(std::u16string(buffer), u"123");
}

TEST(WideText, NumberParsingAndCaseRules)
{
    EXPECT_EQ(_wtoi(u"  -17xyz"), -17);
    EXPECT_EQ(_wtoi(u"abc"), 0);
    WCHAR* end = nullptr;
    const WCHAR hex[] = u"0x1F!";
    EXPECT_EQ(wcstol(hex, &end, 16), 31);
    EXPECT_EQ(*end, u'!');
    EXPECT_EQ(wcstoul(u"4294967295", nullptr, 10), 4294967295UL);
    EXPECT_EQ(wcstol(u"99999999999", nullptr, 10), 2147483647L);
    WCHAR number[16];
    EXPECT_EQ(std::u16string(_itow(-305, number, 10)), u"-305");
    EXPECT_EQ(_wcsicmp(u"\\NAND\\App", u"\\nand\\APP"), 0);
    EXPECT_LT(_wcsicmp(u"abc", u"ABD"), 0);
    EXPECT_EQ(_wcsnicmp(u"SDMMC\\x", u"sdmmc\\y", 6), 0);
    const WCHAR path[] = u"a\\b\\c";
    EXPECT_EQ(wcsrchr(path, u'\\') - path, 3);
    EXPECT_EQ(to_utf16(to_utf8(u"Zh 中文 \U0001F600")), u"Zh 中文 \U0001F600");
}

TEST(WideText, MalformedUtf8DecodesToReplacementCharacters)
{
    struct Case {
        std::string bytes;
        std::u16string text;
        bool well_formed = false;
    } cases[] = {
        { "\xed\xb1\x82", u"\xFFFD" },               // an encoded lone surrogate
        { "\xf4\x90\x80\x80", u"\xFFFD" },           // past U+10FFFF
        { "a\xc3", u"a\xFFFD" },                     // cut short
        { "\xe4\xb8x", u"\xFFFDx" },                 // a broken sequence keeps the next character
        { "\xf0\x9f\x98\x80", u"\U0001F600", true }, // a valid pair
        { "a\xc0\x8a"
          "b",
            u"a\xFFFD"
            u"b" },                          // an overlong line feed
        { "\xc1\x9c", u"\xFFFD" },           // an overlong backslash
        { "\xe0\x80\xaf", u"\xFFFD" },       // an overlong slash in three bytes
        { "\xf0\x80\x80\xaf", u"\xFFFD" },   // ... and in four
        { "\xf5\x80\x80\x80", u"\xFFFD" },   // a lead byte beyond Unicode
        { "\x80\xff", u"\xFFFD\xFFFD" },     // stray bytes, one each
        { "\xef\xbf\xbd", u"\xFFFD", true }, // the replacement character itself is text
    };
    for (auto& c : cases) {
        EXPECT_EQ(to_utf16(c.bytes), c.text);
        EXPECT_EQ(to_utf16(to_utf8(to_utf16(c.bytes))), c.text);
        EXPECT_EQ(is_utf8(c.bytes), c.well_formed);
    }
    EXPECT_TRUE(is_utf8("plain \xc3\xa9\xe4\xb8\xad"));
}
