#include "KitbaseTest.h"

using namespace kitbase::test;

namespace {

using IniTextTest = KitbaseTest;

std::vector<std::string> parse(std::string text)
{
    IniEntryList entries { { u"stale", u"", u"" } };
    GetANSIIniFileInfo(text.data(), entries);
    std::vector<std::string> lines;
    for (auto& entry : entries)
        lines.push_back(kivo::to_utf8(entry.section + u"|" + entry.key + u"|" + entry.value));
    return lines;
}

} // namespace

TEST_F(IniTextTest, EveryKindOfLineEndEndsALine)
{
    const std::vector<std::string> expected = { "COM||", "COM|DUNCOM|COM3", "COM|BAUD|115200" };
    for (const char* text : { "[COM]\nDUNCOM=COM3\nBAUD=115200\n", "[COM]\r\nDUNCOM=COM3\r\nBAUD=115200",
             "[COM]\rDUNCOM=COM3\r\r\rBAUD=115200\r\n", "\n\n  [COM]\n\tDUNCOM = COM3\r\n  BAUD=   115200  \n" })
        EXPECT_EQ(parse(text), expected) << text;
}

TEST_F(IniTextTest, CommentsAndLinesOutsideASectionAreSkipped)
{
    EXPECT_EQ(parse("before=1\n"
                    "; note\n"
                    "[]\n"
                    "[Net\n"
                    "#hidden=1\n"
                    "/also=1\n"
                    "url = http://example.org\n"
                    "flag=1 ; a note\n"
                    "bare line\n"
                    "=nokey\n"
                    "empty=\n"),
        (std::vector<std::string> { "Net||", "Net|url|http:", "Net|flag|1", "Net|empty|" }));
}

TEST_F(IniTextTest, NamesAndValuesComeFromTheDevicesCodePage)
{
    // [電話] 名=中文 in Big5.
    EXPECT_EQ(parse("[\xB9\x71\xB8\xDC]\n\xA6\x57=\xA4\xA4\xA4\xE5\n"), (std::vector<std::string> { "電話||", "電話|名|中文" }));
}

TEST_F(IniTextTest, OverlongLinesAndSectionNamesAreSkippedNeverCut)
{
    std::string long_value(10'000, 'v');
    std::string long_section(260, 's');
    EXPECT_EQ(parse("[A]\nlong=" + long_value + "\nshort=1\n[" + long_section + "]\nlost=1\n[B]\nkept=1\n"),
        (std::vector<std::string> { "A||", "A|short|1", "B||", "B|kept|1" }));
}
