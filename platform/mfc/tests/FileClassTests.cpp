#include "TestDevice.h"
#include "kernel/WideText.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <array>

using namespace kivo;
using namespace kivo::test;

namespace {

class FileClasses : public ::testing::Test {
protected:
    std::unique_ptr<Device> device = make_test_device();
};

constexpr char16_t parm_file[] = u"\\NAND\\Parm.dat";

} // namespace

TEST_F(FileClasses, WriteReadSeekAndLengthRoundTrip)
{
    {
        CFile file;
        CFileException error;
        ASSERT_TRUE(file.Open(parm_file, 0x9001, &error)) << error.m_lOsError;
        const char bytes[] = "0123456789";
        file.Write(bytes, 10);
        EXPECT_EQ(file.GetLength(), 10u);
        file.SetLength(4);
        EXPECT_EQ(file.GetLength(), 4u);
        EXPECT_EQ(file.GetPosition(), 4u) << "the position follows a shortened end";
        file.Write("ab", 2);
        file.Flush();
        EXPECT_EQ(file.GetFileName(), CString(u"Parm.dat"));
        EXPECT_EQ(file.GetFilePath(), CString(parm_file));
    }
    CFile file(parm_file, CFile::modeRead | CFile::shareDenyNone);
    ASSERT_EQ(file.GetLength(), 6u);
    std::array<char, 8> buffer {};
    EXPECT_EQ(file.Read(buffer.data(), 8), 6u);
    EXPECT_EQ(std::string(buffer.data(), 6), "0123ab");
    EXPECT_EQ(file.Seek(-2, CFile::end), 4u);
    EXPECT_EQ(file.Read(buffer.data(), 8), 2u);
    EXPECT_EQ(std::string(buffer.data(), 2), "ab");
    EXPECT_EQ(file.Read(buffer.data(), 8), 0u) << "at the end";
    file.SeekToBegin();
    EXPECT_EQ(file.GetPosition(), 0u);
    // Writing to a file opened for reading fails with an exception.
    try {
        file.Write("x", 1);
        ADD_FAILURE() << "a write to a read-only handle succeeded";
    } catch (CFileException* error) {
        EXPECT_EQ(error->m_cause, CFileException::accessDenied);
        error->Delete();
    }
    // Creating again truncates.
    file.Close();
    CFile again(parm_file, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary);
    EXPECT_EQ(again.GetLength(), 0u);
}

TEST_F(FileClasses, OpenFailuresFillTheException)
{
    struct Case {
        const char16_t* name;
        UINT flags;
        int cause;
        LONG os_error;
    };
    for (auto& c : { Case { u"\\NAND\\missing.dat", CFile::modeRead | CFile::shareDenyNone, CFileException::fileNotFound, 2 },
             Case { u"\\NoSuchVolume\\a.dat", CFile::modeRead, CFileException::badPath, 3 },
             Case { u"\\NoSuchVolume\\a.dat", CFile::modeCreate | CFile::modeWrite, CFileException::badPath, 3 } }) {
        CFile file;
        CFileException error;
        EXPECT_FALSE(file.Open(c.name, c.flags, &error)) << to_utf8(c.name);
        EXPECT_EQ(error.m_cause, c.cause) << to_utf8(c.name);
        EXPECT_EQ(error.m_lOsError, c.os_error) << to_utf8(c.name);
        EXPECT_EQ(error.m_strFileName, CString(c.name));
        EXPECT_EQ(file.m_hFile, CFile::hFileNull);
    }
    // The throwing constructor throws the same.
    try {
        CFile file(u"\\NAND\\missing.dat", CFile::modeRead);
        ADD_FAILURE() << "opened a missing file";
    } catch (CFileException* error) {
        EXPECT_EQ(error->m_cause, CFileException::fileNotFound);
        error->Delete();
    }
}

TEST_F(FileClasses, StatusByNameReadsAndChangesAttributes)
{
    {
        CFile file(parm_file, CFile::modeCreate | CFile::modeWrite);
        file.Write("12345", 5);
    }
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(parm_file, status));
    EXPECT_EQ(status.m_size, 5u);
    EXPECT_FALSE(status.m_attribute & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(std::u16string(status.m_szFullName), parm_file);
    SYSTEMTIME now {};
    GetLocalTime(&now);
    EXPECT_EQ(status.m_mtime.GetYear(), now.wYear);
    EXPECT_EQ(status.m_mtime.GetHour(), now.wHour) << "fields are local time";

    status.m_attribute |= FILE_ATTRIBUTE_HIDDEN;
    CFile::SetStatus(parm_file, status);
    EXPECT_EQ(GetFileAttributes(parm_file) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), FILE_ATTRIBUTE_HIDDEN);
    CFileStatus read_back;
    ASSERT_TRUE(CFile::GetStatus(parm_file, read_back));
    EXPECT_TRUE(read_back.m_attribute & FILE_ATTRIBUTE_HIDDEN);

    EXPECT_FALSE(CFile::GetStatus(u"\\NAND\\missing.dat", read_back));
    EXPECT_FALSE(CFile::GetStatus(u"\\NAND\\*.dat", read_back)) << "a pattern is not a name";
    try {
        CFile::SetStatus(u"\\NAND\\missing.dat", status);
        ADD_FAILURE() << "set the status of a missing file";
    } catch (CFileException* error) {
        EXPECT_EQ(error->m_cause, CFileException::fileNotFound);
        error->Delete();
    }
}

TEST_F(FileClasses, FindListsAFolderInOrder)
{
    CreateDirectory(u"\\NAND\\Maps", nullptr);
    CreateDirectory(u"\\NAND\\Maps\\Sub", nullptr);
    for (auto* name : { u"\\NAND\\Maps\\b.map", u"\\NAND\\Maps\\a.map", u"\\NAND\\Maps\\c.txt" }) {
        CFile file(name, CFile::modeCreate | CFile::modeWrite);
        file.Write("xyz", name[11] == u'a' ? 1 : 3);
    }
    CFileFind find;
    std::vector<std::u16string> names;
    std::vector<std::u16string> paths;
    std::vector<bool> folders;
    BOOL more = find.FindFile(u"\\NAND\\Maps\\*.*");
    ASSERT_TRUE(more);
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots())
            continue;
        names.push_back(static_cast<LPCWSTR>(find.GetFileName()));
        paths.push_back(static_cast<LPCWSTR>(find.GetFilePath()));
        folders.push_back(find.IsDirectory());
        if (names.back() == u"a.map") {
            EXPECT_EQ(find.GetLength(), 1u);
        }
    }
    EXPECT_EQ(names, (std::vector<std::u16string> { u"a.map", u"b.map", u"c.txt", u"Sub" }));
    EXPECT_EQ(paths.front(), u"\\NAND\\Maps\\a.map");
    EXPECT_EQ(folders, (std::vector<bool> { false, false, false, true }));

    CFileFind maps;
    ASSERT_TRUE(maps.FindFile(u"\\NAND\\Maps\\*.map"));
    EXPECT_TRUE(maps.FindNextFile()) << "one more after the first";
    EXPECT_FALSE(maps.FindNextFile()) << "the second is the last";
    EXPECT_EQ(maps.GetFileName(), CString(u"b.map"));
    EXPECT_FALSE(CFileFind().FindFile(u"\\NAND\\Maps\\*.none"));
}

TEST_F(FileClasses, TimesFromFieldsRejectThoseOutOfRange)
{
    CTime noon(2009, 6, 30, 12, 0, 0);
    EXPECT_EQ(noon.GetYear(), 2009);
    EXPECT_EQ(noon.GetMonth(), 6);
    EXPECT_EQ(noon.GetDay(), 30);
    EXPECT_EQ(noon.GetHour(), 12);
    EXPECT_EQ(noon.GetDayOfWeek(), 3) << "a Tuesday";
    EXPECT_EQ(CTime(2009, 7, 1, 0, 0, 0).GetTime() - noon.GetTime(), 12 * 3600);
    struct Case {
        int year, month, day, hour, minute, second;
    };
    for (auto [year, month, day, hour, minute, second] : { Case { 2009, 6, 30, 24, 0, 0 }, Case { 2009, 6, 30, 12, 60, 0 },
             Case { 2009, 6, 30, 12, 0, 60 }, Case { 2009, 2, 29, 0, 0, 0 }, Case { 1899, 1, 1, 0, 0, 0 }, Case { 2009, 13, 1, 0, 0, 0 } })
        EXPECT_EQ(CTime(year, month, day, hour, minute, second).GetTime(), -1) << year << "-" << month << "-" << day << " " << hour << ":" << minute << ":" << second;
    EXPECT_NE(CTime(2008, 2, 29, 0, 0, 0).GetTime(), -1) << "a leap day";
}
