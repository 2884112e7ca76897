#include "SupportTest.h"

#include "CParmFileRW.h"
#include "CSettingHolder.h"
#include "SettingRecord.h"

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr const char16_t* setting_file = u"\\NAND\\SETTING.PAR";

std::string bytes_of(const void* data, size_t size)
{
    return std::string(static_cast<const char*>(data), size);
}

// A parameter file with the given header fields and record bytes.
std::string parameter_file(int32_t sum, int32_t size, std::string_view record)
{
    ParmFileHeader header {};
    header.chkSum = sum;
    header.dateBytes = size;
    return bytes_of(&header, sizeof(header)) + std::string(record);
}

class ParmFileTest : public SupportTest { };

TEST_F(ParmFileTest, DefaultsWriteTheExactFortyFourByteFileHidden)
{
    SettingRecord record = SettingRecord::defaults();
    CParmFileRW file;
    ASSERT_EQ(file.Write(SETTING_FILE_NAME, &record, sizeof(record)), 0);

    const std::string golden("\x06\0\0\0\x1c\0\0\0\0\0\0\0\0\0\0\0"
                             "\x03\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0",
        44);
    EXPECT_EQ(read_file(setting_file), golden);
    EXPECT_TRUE(GetFileAttributes(setting_file) & FILE_ATTRIBUTE_HIDDEN);

    SettingRecord back {};
    CParmFileRW reader;
    EXPECT_EQ(reader.Read(SETTING_FILE_NAME, &back, sizeof(back), sizeof(back)), 0);
    EXPECT_EQ(bytes_of(&back, sizeof(back)), bytes_of(&record, sizeof(record)));
}

TEST_F(ParmFileTest, ChecksumCountsBytesAsSigned)
{
    struct Case {
        std::string bytes;
        int sum;
    };
    const Case cases[] = {
        { "", 0 },
        { "\xff", -1 },
        { "\x80", -128 },
        { "\x7f\x80\x01", 0 },
        { std::string(3, '\xff') + "\x05", 2 },
    };
    for (auto& c : cases)
        EXPECT_EQ(CParmFileRW::CheckSum(c.bytes.data(), static_cast<int>(c.bytes.size())), c.sum) << c.bytes.size();
    EXPECT_EQ(CParmFileRW::CheckSum("\x01", -4), 0);
}

TEST_F(ParmFileTest, DamagedFilesAreRefusedWithTheirMessage)
{
    SettingRecord record = SettingRecord::defaults();
    std::string good_record = bytes_of(&record, sizeof(record));
    struct Case {
        const char* what;
        std::string file;
        int max_bytes;
        int want_bytes;
        const char* message;
    };
    const Case cases[] = {
        { "header says 27", parameter_file(CParmFileRW::CheckSum(good_record.data(), 27), 27, good_record.substr(0, 27)), 28, 28,
            "CParmFileRW: hdr.dateBytes != readCount " },
        { "wrong size field", parameter_file(6, 44, good_record), 28, 28, "CParmFileRW: hdr.dateBytes != readCount " },
        { "wrong checksum", parameter_file(7, 28, good_record), 28, 28, "CParmFileRW: read chkSum error" },
        // The missing tail of the record sums to zero, so only the short read gives it away.
        { "truncated", parameter_file(6, 28, good_record.substr(0, 16)), 28, 28, "CParmFileRW: read chkSum error" },
        { "truncated header", parameter_file(6, 28, "").substr(0, 10), 28, 28, "CParmFileRW: read chkSum error" },
        { "wanted above the buffer", parameter_file(6, 28, good_record), 27, 28, "CParmFileRW: read sz error" },
        { "negative want", parameter_file(0, 0, ""), 28, -1, "CParmFileRW: read sz error" },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(write_file(setting_file, c.file));
        mark_debug();
        SettingRecord buffer {};
        CParmFileRW file;
        EXPECT_EQ(file.Read(SETTING_FILE_NAME, &buffer, c.max_bytes, c.want_bytes), -1);
        EXPECT_EQ(debug(), std::vector<std::string> { c.message });
    }
}

TEST_F(ParmFileTest, MissingFileNamesItInTheMessageCutToTheBuffer)
{
    SettingRecord buffer {};
    CParmFileRW file;
    EXPECT_EQ(file.Read(u"\\NAND\\NONE.PAR", &buffer, 28, 28), -1);
    std::u16string long_name = u"\\NAND\\" + std::u16string(200, u'x');
    EXPECT_EQ(file.Read(long_name.c_str(), &buffer, 28, 28), -1);
    auto lines = debug();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "CParmFileRW: read fine name error \\NAND\\NONE.PAR");
    EXPECT_EQ(lines[1], "CParmFileRW: read fine name error " + to_utf8(long_name.substr(0, 127)));
}

TEST_F(ParmFileTest, FailedWritesLeaveThePreviousFile)
{
    SettingRecord old_record = SettingRecord::defaults();
    SettingRecord new_record = { { 5, 5, 0, 0, 3, 1, 1 } };
    auto write_old = [&] {
        SetFileAttributes(setting_file, FILE_ATTRIBUTE_NORMAL);
        CParmFileRW file;
        ASSERT_EQ(file.Write(SETTING_FILE_NAME, &old_record, sizeof(old_record)), 0);
    };

    write_old();
    std::string before = *read_file(setting_file);
    volumes.set_free_bytes(VolumeId::Nand, 20);
    mark_debug();
    CParmFileRW full;
    EXPECT_EQ(full.Write(SETTING_FILE_NAME, &new_record, sizeof(new_record)), -1);
    EXPECT_EQ(debug(), std::vector<std::string> { "CParmFileRW: write error" });
    EXPECT_EQ(read_file(setting_file), before);
    EXPECT_EQ(GetFileAttributes(u"\\NAND\\SETTING.PAR.tmp"), INVALID_FILE_ATTRIBUTES);
    volumes.set_free_bytes(VolumeId::Nand, 1 << 20);

    write_old();
    SetFileAttributes(setting_file, FILE_ATTRIBUTE_READONLY);
    mark_debug();
    CParmFileRW read_only;
    EXPECT_EQ(read_only.Write(SETTING_FILE_NAME, &new_record, sizeof(new_record)), -1);
    EXPECT_EQ(debug(), std::vector<std::string> { "CParmFileRW: write fine name error" });
    EXPECT_EQ(read_file(setting_file), before);
}

TEST_F(ParmFileTest, WriteKeepsAttributesAddsHiddenAndClearsAStaleTemporary)
{
    ASSERT_TRUE(write_file(u"\\SDMMC\\bmkAud.rom.tmp", "stale"));
    SetFileAttributes(u"\\SDMMC\\bmkAud.rom.tmp", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(write_file(u"\\SDMMC\\bmkAud.rom", "old"));
    SetFileAttributes(u"\\SDMMC\\bmkAud.rom", FILE_ATTRIBUTE_SYSTEM);

    std::string bookmark(544, '\x11');
    CParmFileRW writer;
    ASSERT_EQ(writer.Write(u"\\SDMMC\\bmkAud.rom", bookmark.data(), 544), 0);
    EXPECT_EQ(GetFileAttributes(u"\\SDMMC\\bmkAud.rom.tmp"), INVALID_FILE_ATTRIBUTES);
    DWORD attributes = GetFileAttributes(u"\\SDMMC\\bmkAud.rom");
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_SYSTEM);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);

    // A second object sees the write at once: nothing is cached.
    std::string back(544, '\0');
    CParmFileRW reader;
    EXPECT_EQ(reader.Read(u"SDMMC\\bmkAud.rom", back.data(), 544, 544), 0);
    EXPECT_EQ(back, bookmark);
}

} // namespace
