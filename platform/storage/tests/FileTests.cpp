#include "StorageTest.h"

#include "AttributeStore.h"
#include "FileSystem.h"

#include "WideText.h"

#include <filesystem>

using namespace kivo;
using namespace kivo::test;

namespace {

using FileTest = StorageTest;

} // namespace

TEST_F(FileTest, SpellingsOfOnePathReachOneFileKeepingItsStoredCase)
{
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\Music\\", nullptr));
    ASSERT_EQ(write_file(u"\\NAND\\Music\\Song.Mp3", "abc"), 0u);
    for (auto spelling : { u"\\NAND\\Music\\Song.Mp3", u"NAND\\music\\SONG.MP3", u"\\\\nand\\\\MUSIC\\song.mp3",
             u"/NAND/Music/Song.Mp3", u"nand\\Music\\\\song.MP3" }) {
        SCOPED_TRACE(to_utf8(spelling));
        EXPECT_EQ(read_file(spelling), "abc");
    }
    // Writing through another spelling replaces the same file rather than making a second one.
    ASSERT_EQ(write_file(u"nand\\MUSIC\\SONG.mp3", "xyz"), 0u);
    EXPECT_EQ(find_all(u"\\NAND\\Music\\*.*"), std::vector<std::u16string> { u"Song.Mp3" });
    EXPECT_EQ(read_file(u"\\NAND\\Music\\Song.Mp3"), "xyz");
}

TEST_F(FileTest, MalformedPathsAreRefusedWithThePlatformsErrors)
{
    struct Case {
        std::u16string path;
        DWORD error;
    };
    // A file on the way is no folder, and the layer's own record of attributes beside the files is
    // none of the device's files, even spelled exactly as stored.
    ASSERT_EQ(write_file(u"\\NAND\\stored.txt", "s"), 0u);
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\stored.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(std::filesystem::exists(device->root() / "NAND" / AttributeStore::sidecar_name));
    const Case cases[] = {
        { u"\\NAND\\stored.txt\\inside", ERROR_PATH_NOT_FOUND },
        { u"\\NAND\\" + to_utf16(AttributeStore::sidecar_name), ERROR_FILE_NOT_FOUND },
        { u"", ERROR_PATH_NOT_FOUND },
        { u"\\NAND\\..\\secret", ERROR_INVALID_NAME },
        { u"\\NAND\\a*b.txt", ERROR_INVALID_NAME },
        { u"\\NAND\\a:b", ERROR_INVALID_NAME },
        { u"\\NAND\\" + std::u16string(260, u'x'), ERROR_FILENAME_EXCED_RANGE },
        { u"\\NAND\\missing\\file.txt", ERROR_PATH_NOT_FOUND },
        { u"\\NAND\\absent.txt", ERROR_FILE_NOT_FOUND },
    };
    for (auto& each : cases) {
        SCOPED_TRACE(to_utf8(each.path));
        HANDLE file = CreateFile(each.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), each.error);
    }
    // The longest path the device takes is 260 characters.
    std::u16string longest = u"\\NAND\\" + std::u16string(254, u'y');
    ASSERT_EQ(longest.size(), 260u);
    EXPECT_EQ(write_file(longest, "ok"), 0u);
}

TEST_F(FileTest, AttributesSurviveANewDeviceOnTheSameRoot)
{
    ASSERT_EQ(write_file(u"\\NAND\\SETTING.PAR", "p"), 0u);
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\Hidden", nullptr));
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\SETTING.PAR", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\Hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    auto root = device->root();
    device.reset();

    Device again(Device::Options { root, {}, false });
    EXPECT_EQ(attributes(u"nand\\setting.par"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(attributes(u"\\NAND\\HIDDEN"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // The layer's record of them is never a device file.
    EXPECT_EQ(find_all(u"\\NAND\\*"), (std::vector<std::u16string> { u"Hidden", u"SETTING.PAR" }));
}

TEST_F(FileTest, ReadOnlyFilesStayUntilClearedAndHiddenOnesMayBeOverwritten)
{
    ASSERT_EQ(write_file(u"\\NAND\\ro.txt", "keep"), 0u);
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\ro.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteFile(u"\\NAND\\ro.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(write_file(u"\\NAND\\ro.txt", "lost"), ERROR_ACCESS_DENIED);
    HANDLE reader = CreateFile(u"\\NAND\\ro.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    EXPECT_EQ(read_file(u"\\NAND\\ro.txt"), "keep");
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\ro.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFile(u"\\NAND\\ro.txt"));

    ASSERT_EQ(write_file(u"\\NAND\\list.lst", "old"), 0u);
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\list.lst", FILE_ATTRIBUTE_HIDDEN));
    HANDLE file = CreateFile(u"\\NAND\\list.lst", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(file);
    EXPECT_EQ(read_file(u"\\NAND\\list.lst"), "");
    EXPECT_EQ(attributes(u"\\NAND\\list.lst"), FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(FileTest, DeleteAndRenameFileReplacesAHiddenFileInOneStep)
{
    ASSERT_EQ(write_file(u"\\NAND\\SETTING.PAR", "old settings"), 0u);
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\SETTING.PAR", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_EQ(write_file(u"\\NAND\\SETTING.TMP", "new settings"), 0u);
    ASSERT_TRUE(DeleteAndRenameFile(u"\\NAND\\setting.par", u"\\NAND\\SETTING.TMP"));
    EXPECT_EQ(read_file(u"\\NAND\\SETTING.PAR"), "new settings");
    EXPECT_EQ(attributes(u"\\NAND\\SETTING.TMP"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // Nothing changes when the source is missing or the destination is read-only.
    EXPECT_FALSE(DeleteAndRenameFile(u"\\NAND\\SETTING.PAR", u"\\NAND\\none.tmp"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(write_file(u"\\NAND\\other.tmp", "other"), 0u);
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\SETTING.PAR", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteAndRenameFile(u"\\NAND\\SETTING.PAR", u"\\NAND\\other.tmp"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(read_file(u"\\NAND\\SETTING.PAR"), "new settings");
    EXPECT_EQ(read_file(u"\\NAND\\other.tmp"), "other");
}

TEST_F(FileTest, ASecondHandleMustAgreeWithTheSharingOfTheHandlesOpen)
{
    ASSERT_EQ(write_file(u"\\SDMMC\\song.mp3", "sound"), 0u);
    struct Case {
        DWORD first_access, first_share, second_access, second_share;
        bool second_opens;
    };
    const DWORD read = GENERIC_READ, write = GENERIC_WRITE, both = GENERIC_READ | GENERIC_WRITE;
    const DWORD share_read = FILE_SHARE_READ, share_all = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const Case cases[] = {
        { read, share_read, read, share_read, true },  // two players of one file
        { read, share_read, write, share_all, false }, // a writer while it plays
        { read, share_all, write, share_all, true },
        { write, 0, read, share_all, false },          // exclusive
        { read, share_read, read, 0, false },          // the newcomer would shut out the reader
        { both, share_all, 0, 0, true },               // no access: attributes only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first_access << "/" << c.first_share << " then " << c.second_access << "/" << c.second_share);
        HANDLE first = CreateFile(u"\\SDMMC\\song.mp3", c.first_access, c.first_share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = CreateFile(u"\\SDMMC\\SONG.MP3", c.second_access, c.second_share, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.second_opens);
        if (second == INVALID_HANDLE_VALUE)
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        else
            CloseHandle(second);
        CloseHandle(first);
    }
    // A refused create truncates nothing, and the file opens again once the holder is gone.
    HANDLE holder = CreateFile(u"\\SDMMC\\song.mp3", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFile(u"\\SDMMC\\song.mp3", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
    CloseHandle(holder);
    EXPECT_EQ(read_file(u"\\SDMMC\\song.mp3"), "sound");
    EXPECT_EQ(write_file(u"\\SDMMC\\song.mp3", "new"), 0u);
}

TEST_F(FileTest, FreeSpaceIsExactAndAWriteThatDoesNotFitWritesNothing)
{
    const std::string megabyte(1'048'576, 'm');
    struct Case {
        uint64_t free;
        bool fits;
    };
    for (auto each : { Case { 1'048'576, true }, Case { 1'048'575, false } }) {
        SCOPED_TRACE(each.free);
        ASSERT_EQ(write_file(u"\\SDMMC\\prefix.bin", "0123456789"), 0u);
        volumes.set_free_bytes(VolumeId::Card, each.free);
        ULARGE_INTEGER free {};
        ULARGE_INTEGER total {};
        ASSERT_TRUE(GetDiskFreeSpaceEx(u"\\SDMMC\\", &free, &total, nullptr));
        EXPECT_EQ(free.QuadPart, each.free);
        EXPECT_EQ(total.QuadPart, each.free + 10);

        HANDLE file = CreateFile(u"\\SDMMC\\big.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 12345;
        EXPECT_EQ(WriteFile(file, megabyte.data(), static_cast<DWORD>(megabyte.size()), &written, nullptr), each.fits ? TRUE : FALSE);
        EXPECT_EQ(written, each.fits ? megabyte.size() : 0u);
        if (!each.fits) {
            EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
        }
        EXPECT_EQ(GetFileSize(file, nullptr), written);
        CloseHandle(file);
        ASSERT_TRUE(GetDiskFreeSpaceEx(u"\\SDMMC", &free, nullptr, nullptr));
        EXPECT_EQ(free.QuadPart, each.free - written);
        ASSERT_TRUE(DeleteFile(u"\\SDMMC\\big.bin"));
    }
    // Growing a file by moving its end counts as well.
    volumes.set_free_bytes(VolumeId::Nand, 100);
    HANDLE file = CreateFile(u"\\NAND\\sparse.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_EQ(SetFilePointer(file, 101, nullptr, FILE_BEGIN), 101u);
    EXPECT_FALSE(SetEndOfFile(file));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_CURRENT), 100u);
    EXPECT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(GetFileSize(file, nullptr), 100u);
    CloseHandle(file);
}

TEST_F(FileTest, PlannedReadWriteAndCloseFailuresHitTheirFileOnlyAndWatchedSizesAreRecorded)
{
    auto& faults = device->component<FileSystem>().file_faults();
    faults.watch(u"\\NAND\\Watched.BIN");
    faults.fail_write(u"nand/watched.bin", 2, ERROR_GEN_FAILURE);
    faults.fail_close(u"\\NAND\\watched.bin", ERROR_DISK_FULL);

    // Another file meets none of it.
    ASSERT_EQ(write_file(u"\\NAND\\other.bin", "abc"), 0u);

    HANDLE file = CreateFile(u"\\NAND\\watched.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "12345", 5, &written, nullptr));
    written = 99;
    EXPECT_FALSE(WriteFile(file, "678", 3, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(WriteFile(file, "9", 1, &written, nullptr));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    // The handle is gone all the same, and the failed write left nothing.
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(read_file(u"\\NAND\\watched.bin"), "123459");
    EXPECT_EQ(faults.watched_sizes(u"\\nand\\WATCHED.bin"), (std::vector<DWORD> { 5, 3, 1 }));

    // Each plan is used once; a handle that only reads never fails its close.
    file = CreateFile(u"\\NAND\\watched.bin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_TRUE(WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_TRUE(CloseHandle(file));
    faults.fail_close(u"\\NAND\\watched.bin", ERROR_DISK_FULL);
    file = CreateFile(u"\\NAND\\watched.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_TRUE(CloseHandle(file));

    // A planned read failure reads nothing; the next read goes on where the file stood.
    faults.fail_read(u"\\NAND\\watched.bin", 2, ERROR_GEN_FAILURE);
    file = CreateFile(u"\\NAND\\watched.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char bytes[4] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, bytes, 2, &read, nullptr));
    read = 99;
    EXPECT_FALSE(ReadFile(file, bytes, 2, &read, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(ReadFile(file, bytes, 2, &read, nullptr));
    EXPECT_EQ(std::string(bytes, read), "34");
    CloseHandle(file);

    faults.clear();
    EXPECT_TRUE(faults.watched_sizes(u"\\NAND\\watched.bin").empty());
}

TEST_F(FileTest, PositionsSizesAndTimesFollowTheDevice)
{
    HANDLE file = CreateFile(u"\\Temp\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file, "abcdef", 6, &done, nullptr));
    EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_END), 4u);
    char tail[8] = {};
    ASSERT_TRUE(ReadFile(file, tail, sizeof tail, &done, nullptr));
    EXPECT_EQ(std::string(tail, done), "ef");
    // At the end a read succeeds with nothing.
    ASSERT_TRUE(ReadFile(file, tail, sizeof tail, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(SetFilePointer(file, -7, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
    ASSERT_TRUE(SetEndOfFile(file));
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file, &high), 3u);
    EXPECT_EQ(high, 0u);

    // Times are the device's: the write an hour after start carries that time.
    uint64_t created = device->clock().system_time();
    device->advance(3'600'000);
    ASSERT_TRUE(WriteFile(file, "x", 1, &done, nullptr));
    FILETIME creation {};
    FILETIME last_write {};
    ASSERT_TRUE(GetFileTime(file, &creation, nullptr, &last_write));
    auto value = [](FILETIME time) { return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime; };
    EXPECT_EQ(value(creation), created);
    EXPECT_EQ(value(last_write), device->clock().system_time());
    BY_HANDLE_FILE_INFORMATION info {};
    ASSERT_TRUE(GetFileInformationByHandle(file, &info));
    EXPECT_EQ(info.nFileSizeLow, 4u);
    EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(value(info.ftLastWriteTime), value(last_write));
    CloseHandle(file);

    HANDLE reader = CreateFile(u"\\Temp\\data.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(reader);
    EXPECT_FALSE(ReadFile(reader, tail, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileTest, MovesCopiesAndFoldersKeepTheirRules)
{
    ASSERT_EQ(write_file(u"\\NAND\\a.txt", "A"), 0u);
    ASSERT_EQ(write_file(u"\\NAND\\b.txt", "B"), 0u);
    EXPECT_FALSE(MoveFile(u"\\NAND\\a.txt", u"\\NAND\\B.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\a.txt", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(MoveFile(u"\\NAND\\a.txt", u"\\SDMMC\\moved.txt"));
    EXPECT_EQ(attributes(u"\\SDMMC\\moved.txt"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(attributes(u"\\NAND\\a.txt"), INVALID_FILE_ATTRIBUTES);
    // A change of case alone renames the file.
    EXPECT_TRUE(MoveFile(u"\\SDMMC\\moved.txt", u"\\SDMMC\\Moved.TXT"));
    EXPECT_EQ(find_all(u"\\SDMMC\\m*"), std::vector<std::u16string> { u"Moved.TXT" });

    EXPECT_FALSE(CopyFile(u"\\NAND\\b.txt", u"\\SDMMC\\moved.txt", TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_TRUE(CopyFile(u"\\NAND\\b.txt", u"\\SDMMC\\moved.txt", FALSE));
    EXPECT_EQ(read_file(u"\\SDMMC\\Moved.TXT"), "B");
    // A copy onto itself is refused and loses nothing.
    EXPECT_FALSE(CopyFile(u"\\NAND\\b.txt", u"nand\\B.TXT", FALSE));
    EXPECT_EQ(read_file(u"\\NAND\\b.txt"), "B");
    // An open file cannot be deleted from under its handle.
    HANDLE open = CreateFile(u"\\NAND\\b.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(DeleteFile(u"\\NAND\\b.txt"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(open);
    EXPECT_TRUE(DeleteFile(u"\\NAND\\b.txt"));

    EXPECT_TRUE(CreateDirectory(u"\\NAND\\app\\", nullptr));
    EXPECT_FALSE(CreateDirectory(u"NAND\\APP", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectory(u"\\NAND", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectory(u"\\NAND\\none\\deeper", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    ASSERT_EQ(write_file(u"\\NAND\\app\\x.exe", "x"), 0u);
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\app\\x.exe", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(RemoveDirectory(u"\\NAND\\app"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\app\\x.exe", 0));
    ASSERT_TRUE(DeleteFile(u"\\NAND\\app\\x.exe"));
    EXPECT_TRUE(RemoveDirectory(u"\\NAND\\APP\\"));
    EXPECT_EQ(attributes(u"\\NAND\\app"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(RemoveDirectory(u"\\NAND"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FileTest, SearchesListInNameOrderWithoutRegardToCase)
{
    ASSERT_TRUE(CreateDirectory(u"\\SDMMC\\Music", nullptr));
    ASSERT_TRUE(CreateDirectory(u"\\SDMMC\\Music\\zoo", nullptr));
    for (auto name : { u"b.mp3", u"A.wma", u"c.MP3", u"a.mp3", u"readme" })
        ASSERT_EQ(write_file(u"\\SDMMC\\Music\\" + std::u16string(name), "x"), 0u);
    EXPECT_EQ(find_all(u"\\SDMMC\\Music\\*.*"),
        (std::vector<std::u16string> { u"a.mp3", u"A.wma", u"b.mp3", u"c.MP3", u"readme", u"zoo" }));
    EXPECT_EQ(find_all(u"\\SDMMC\\Music\\*.mp3"), (std::vector<std::u16string> { u"a.mp3", u"b.mp3", u"c.MP3" }));
    EXPECT_EQ(find_all(u"\\SDMMC\\Music\\?.wma"), (std::vector<std::u16string> { u"A.wma" }));
    // An exact name works as an existence test.
    EXPECT_EQ(find_all(u"\\sdmmc\\music\\README"), (std::vector<std::u16string> { u"readme" }));

    WIN32_FIND_DATA data;
    EXPECT_EQ(FindFirstFile(u"\\SDMMC\\Music\\*.ogg", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFile(u"\\SDMMC\\Films\\*.*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    HANDLE search = FindFirstFile(u"\\SDMMC\\Music\\zoo", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    FindClose(search);

    // The root shows the volumes beside the object store's own entries.
    ASSERT_EQ(write_file(u"\\readme.txt", "root"), 0u);
    EXPECT_EQ(find_all(u"\\*"), (std::vector<std::u16string> { u"NAND", u"readme.txt", u"SDMMC", u"Temp", u"Windows" }));
    EXPECT_EQ(attributes(u"\\SDMMC"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY);
}

TEST_F(FileTest, MemoryStatusIsSettable)
{
    volumes.set_memory(64u << 20, 5u << 20);
    MEMORYSTATUS status {};
    GlobalMemoryStatus(&status);
    EXPECT_EQ(status.dwLength, sizeof(MEMORYSTATUS));
    EXPECT_EQ(status.dwTotalPhys, 64u << 20);
    EXPECT_EQ(status.dwAvailPhys, 5u << 20);
}
