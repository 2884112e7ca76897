#include "StorageTest.h"

#include "platform.h"

#include "CodePages.h"
#include "CrtStreams.h"
#include "WideText.h"

#include <cerrno>
#include <cstring>

using namespace kivo;
using namespace kivo::test;

namespace {

using TextTest = StorageTest;

std::string narrow(UINT code_page, std::u16string_view text, BOOL* used_default = nullptr)
{
    int size = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, used_default);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, used_default);
    return result;
}

std::u16string wide(UINT code_page, std::string_view text)
{
    int size = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string result(static_cast<size_t>(size), u'\0');
    MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

} // namespace

TEST_F(TextTest, CodePagesConvertAndMarkWhatTheyCannotHold)
{
    EXPECT_EQ(GetACP(), 950u);
    struct Case {
        UINT code_page;
        std::u16string text;
        std::string bytes;
        bool replaced;
    };
    const Case cases[] = {
        { CP_ACP, u"中文abc", "\xA4\xA4\xA4\xE5"
                              "abc",
            false },
        { 950, u"信號微弱", "\xAB\x48\xB8\xB9\xB7\x4C\xAE\x7A", false },
        { CP_ACP, u"한们", "??", true },
        { 1252, u"Café 中", "Caf\xE9 ?", true },
        { CP_UTF8, u"中é", "\xE4\xB8\xAD\xC3\xA9", false },
        { CP_UTF8, u"a\xD800"
                   u"b",
            "a?b", true },
    };
    for (auto& each : cases) {
        SCOPED_TRACE(each.code_page);
        BOOL used = FALSE;
        EXPECT_EQ(narrow(each.code_page, each.text, each.code_page == CP_UTF8 ? nullptr : &used), each.bytes);
        if (each.code_page != CP_UTF8) {
            EXPECT_EQ(used, each.replaced ? TRUE : FALSE);
        }
        if (!each.replaced) {
            EXPECT_EQ(wide(each.code_page, each.bytes), each.text);
        }
    }

    // The ANSI page is the device's setting.
    device->component<CodePages>().set_ansi_code_page(936);
    EXPECT_EQ(narrow(CP_ACP, u"们"), "\xC3\xC7");
}

TEST_F(TextTest, ConversionsMeasureTerminateAndRefuseShortBuffers)
{
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xA4\xA4", -1, nullptr, 0), 2);
    WCHAR two[2];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xA4\xA4", -1, two, 2), 2);
    EXPECT_EQ(std::u16string(two), u"中");
    WCHAR one[1];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xA4\xA4", -1, one, 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    char bytes[3];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"中", -1, bytes, 3, nullptr, nullptr), 3);
    EXPECT_STREQ(bytes, "\xA4\xA4");

    // A lead byte without its trail is no character: '?', or a failure when asked for one.
    EXPECT_EQ(wide(950, "a\xA4"), u"a?");
    EXPECT_EQ(MultiByteToWideChar(950, MB_ERR_INVALID_CHARS, "a\xA4", 2, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    BOOL used = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(TextTest, WideTextFilesKeepUtf16WithDeviceLineEnds)
{
    FILE* out = _wfopen(u"\\NAND\\DVBTChannelList.lst", u"w");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(fwprintf(out, u"%u\n%d\n", 101u, -1), 7);
    std::u16string name(256, u'\0');
    name.replace(0, 4, u"台視新聞");
    fwprintf(out, u"%u, %u, %u,", 474000u, 1u, 0x10u);
    for (char16_t c : name)
        fwprintf(out, u"%c", c);
    fwprintf(out, u"\n");
    EXPECT_EQ(fputws(u"尾\n", out), 0);
    ASSERT_EQ(fclose(out), 0);

    std::string raw = *read_file(u"\\NAND\\DVBTChannelList.lst");
    EXPECT_EQ(raw.substr(0, 10), std::string("1\0"
                                             "0\0"
                                             "1\0\r\0\n\0",
                                     10));
    EXPECT_EQ(raw.size(), 2 * (9 + 14 + 256 + 2 + 3));

    FILE* in = _wfopen(u"nand\\dvbtchannellist.LST", u"r");
    ASSERT_NE(in, nullptr);
    unsigned version = 0;
    int country = 0;
    ASSERT_EQ(fwscanf(in, u"%u\n%d\n", &version, &country), 2);
    EXPECT_EQ(version, 101u);
    EXPECT_EQ(country, -1);
    unsigned channel = 0, tsid = 0, sid = 0;
    ASSERT_EQ(fwscanf(in, u"%u, %u, %u,", &channel, &tsid, &sid), 3);
    EXPECT_EQ(channel, 474000u);
    EXPECT_EQ(sid, 0x10u);
    std::u16string field(256, u'x');
    ASSERT_EQ(fwscanf(in, u"%256c\n", field.data()), 1);
    EXPECT_EQ(field, name);
    WCHAR line[8];
    ASSERT_NE(fgetws(line, 8, in), nullptr);
    EXPECT_EQ(std::u16string(line), u"尾\n");
    EXPECT_EQ(fgetws(line, 8, in), nullptr);
    EXPECT_EQ(fwscanf(in, u"%u", &version), -1);
    fclose(in);

    // Binary mode keeps the line ends as written.
    FILE* binary = _wfopen(u"\\NAND\\raw.bin", u"wb");
    fputws(u"a\n", binary);
    fclose(binary);
    EXPECT_EQ(read_file(u"\\NAND\\raw.bin"), std::string("a\0\n\0", 4));
}

TEST_F(TextTest, EightBitStreamsOpenDevicePathsInTheAnsiCodePage)
{
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\中文", nullptr));
    FILE* out = fopen("NAND\\\xA4\xA4\xA4\xE5\\Notes.TXT", "w");
    ASSERT_NE(out, nullptr);
    EXPECT_GT(fprintf(out, "%s %d\n", "line", 1), 0);
    fputs("second\n", out);
    EXPECT_EQ(fwrite("\x01\x02", 1, 2, out), 2u);
    fclose(out);
    EXPECT_EQ(read_file(u"\\NAND\\中文\\notes.txt"), "line 1\nsecond\n\x01\x02");

    FILE* in = fopen("\\nand\\\xA4\xA4\xA4\xE5\\NOTES.txt", "rb");
    ASSERT_NE(in, nullptr);
    char buffer[32];
    ASSERT_NE(fgets(buffer, sizeof buffer, in), nullptr);
    EXPECT_STREQ(buffer, "line 1\n");
    ASSERT_EQ(fseek(in, -2, SEEK_END), 0);
    EXPECT_EQ(fread(buffer, 1, sizeof buffer, in), 2u);
    EXPECT_EQ(ftell(in), 16);
    fclose(in);

    FILE* append = fopen("\\NAND\\\xA4\xA4\xA4\xE5\\notes.txt", "ab");
    fputs("!", append);
    fclose(append);
    EXPECT_EQ(read_file(u"\\NAND\\中文\\Notes.TXT")->back(), '!');
}

TEST_F(TextTest, StreamsKeepTheFileRules)
{
    ASSERT_EQ(write_file(u"\\SDMMC\\ro.txt", "keep"), 0u);
    ASSERT_TRUE(SetFileAttributes(u"\\SDMMC\\ro.txt", FILE_ATTRIBUTE_READONLY));
    errno = 0;
    EXPECT_EQ(fopen("\\SDMMC\\ro.txt", "w"), nullptr);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(read_file(u"\\SDMMC\\ro.txt"), "keep");
    EXPECT_EQ(_wfopen(u"\\SDMMC\\none\\x.txt", u"r"), nullptr);
    EXPECT_EQ(errno, ENOENT);

    volumes.set_free_bytes(VolumeId::Card, 4);
    FILE* out = fopen("\\SDMMC\\full.bin", "wb");
    ASSERT_NE(out, nullptr);
    fwrite("12345", 1, 5, out);
    EXPECT_NE(fflush(out), 0);
    EXPECT_TRUE(ferror(out));
    fclose(out);
    EXPECT_EQ(read_file(u"\\SDMMC\\full.bin"), "");

    // What a process leaves open is closed when it ends.
    device->programs().add(u"\\leaky.exe", [](std::u16string_view) {
        _wfopen(u"\\Temp\\left.txt", u"w");
        return 0;
    });
    PROCESS_INFORMATION info {};
    ASSERT_TRUE(CreateProcess(u"\\leaky.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(device->component<CrtStreams>().open_count(), 0u);
    EXPECT_TRUE(DeleteFile(u"\\Temp\\left.txt"));
}
