#include "SupportTest.h"

#include "CAppUtil.h"
#include "Clock.h"
#include "LibraryLoader.h"
#include "ProgramImages.h"
#include "StorageManager.h"

using namespace kivo;
using namespace kivo::test;

namespace {

LPCWSTR const audio_types[] = { u"MP3", u"WMA" };

std::vector<std::u16string> entries(const CStringArray& list)
{
    std::vector<std::u16string> result;
    for (INT_PTR i = 0; i < list.GetSize(); ++i)
        result.push_back(list[i].str());
    return result;
}

// A card with music in folders, a hidden-style folder and files of other kinds.
class AppUtilTest : public SupportTest {
protected:
    CAppUtil util;

    AppUtilTest()
    {
        for (auto folder : { u"\\SDMMC\\Music", u"\\SDMMC\\Music\\A", u"\\SDMMC\\Music\\sub", u"\\SDMMC\\Music\\sub\\Zoo",
                 u"\\SDMMC\\.hidden", u"\\SDMMC\\.x" })
            CreateDirectory(folder, nullptr);
        for (auto file : { u"\\SDMMC\\Music\\b.mp3", u"\\SDMMC\\Music\\a.wma", u"\\SDMMC\\Music\\notes.txt",
                 u"\\SDMMC\\Music\\sub\\1.mp3", u"\\SDMMC\\Music\\sub\\Zoo\\z.MP3", u"\\SDMMC\\.hidden\\h.mp3",
                 u"\\SDMMC\\top.Mp3", u"\\SDMMC\\XMP3", u"\\SDMMC\\blank.mp3 " })
            write_file(file, "x");
    }
};

TEST_F(AppUtilTest, FolderListingsPutParentThenFoldersThenFiles)
{
    struct Case {
        std::u16string folder;
        int files;
        std::vector<std::u16string> listed;
    };
    const Case cases[] = {
        { u"\\SDMMC\\Music", 2, { u"<..>", u"<A>", u"<sub>", u"a.wma", u"b.mp3" } },
        { u"\\SDMMC\\Music\\", 2, { u"<..>", u"<A>", u"<sub>", u"a.wma", u"b.mp3" } },
        { u"\\SDMMC\\Music\\sub", 1, { u"<..>", u"<Zoo>", u"1.mp3" } },
        // No parent at the card's top; ".x" is skipped, ".hidden" is listed; "blank.mp3 " does not match.
        { u"\\SDMMC\\", 2, { u"<.hidden>", u"<Music>", u"top.Mp3", u"XMP3" } },
        { u"\\SDMMC\\None", 0, { u"<..>" } },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.folder));
        CStringArray plain;
        EXPECT_EQ(util.ListFolder(c.folder.c_str(), plain, audio_types, 2), c.files);
        EXPECT_EQ(entries(plain), c.listed);
        CStringArray limited;
        EXPECT_EQ(util.ListFolderLimited(c.folder.c_str(), limited, audio_types, 2, 8, 999), c.files);
        EXPECT_EQ(entries(limited), c.listed);
    }
}

TEST_F(AppUtilTest, LimitedListingKeepsDepthAndCount)
{
    CStringArray list;
    EXPECT_EQ(util.ListFolderLimited(u"\\SDMMC\\Music\\sub\\", list, audio_types, 2, 1, 999), -1);
    EXPECT_EQ(entries(list), std::vector<std::u16string> { u"<..>" });

    list.RemoveAll();
    EXPECT_EQ(util.ListFolderLimited(u"\\SDMMC\\Music\\", list, audio_types, 2, 1, 999), 2);
    list.RemoveAll();
    util.ListFolderLimited(u"\\SDMMC\\Music", list, audio_types, 2, 8, 2);
    EXPECT_EQ(list.GetSize(), 3);

    EXPECT_EQ(util.CheckFolderDepth(u"\\SDMMC\\a\\b\\", 1), -1);
    EXPECT_EQ(util.CheckFolderDepth(u"\\SDMMC\\a\\", 1), 0);
}

TEST_F(AppUtilTest, FileListingAndSearchGiveFullPaths)
{
    CStringArray files;
    EXPECT_EQ(util.ListFiles(u"\\SDMMC\\Music\\", files, audio_types, 2), 2);
    EXPECT_EQ(entries(files), (std::vector<std::u16string> { u"\\SDMMC\\Music\\a.wma", u"\\SDMMC\\Music\\b.mp3" }));
    CStringArray none;
    EXPECT_EQ(util.ListFiles(u"\\SDMMC\\None\\", none, audio_types, 2), -1);

    CStringArray found;
    EXPECT_EQ(util.SearchFiles(u"\\SDMMC", found, audio_types, 2), 6);
    auto paths = entries(found);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::u16string> { u"\\SDMMC\\Music\\a.wma", u"\\SDMMC\\Music\\b.mp3", u"\\SDMMC\\Music\\sub\\1.mp3", u"\\SDMMC\\Music\\sub\\Zoo\\z.MP3", u"\\SDMMC\\XMP3", u"\\SDMMC\\top.Mp3" }));
}

TEST_F(AppUtilTest, PathOperations)
{
    struct Case {
        std::u16string path;
        std::u16string title;
        int name_pos;
    };
    const Case cases[] = {
        { u"\\SDMMC\\a.b\\song.mp3", u"song", 11 },
        { u"\\SDMMC\\a.b\\song", u"song", 11 },
        { u"song.tar.gz", u"song.tar", 0 },
        { u"\\x\\", u"", 3 },
    };
    for (auto& c : cases) {
        WCHAR buffer[MAX_PATH] = {};
        std::copy(c.path.begin(), c.path.end(), buffer);
        EXPECT_EQ(util.GetFileTitle(buffer), 0);
        EXPECT_EQ(std::u16string(buffer), c.title);
        EXPECT_EQ(util.GetFileNamePos(CString(c.path)), c.name_pos);
    }
    EXPECT_EQ(util.GetFileNamePos(CString(std::u16string(300, u'a'))), 300);

    for (auto [folder, name] : { std::pair { u"\\SDMMC\\", u"" }, std::pair { u"\\SDMMC\\Music\\", u"Music" }, std::pair { u"x\\", u"" } }) {
        WCHAR buffer[MAX_PATH] = {};
        std::u16string text = folder;
        std::copy(text.begin(), text.end(), buffer);
        util.GetFolderName(buffer);
        EXPECT_EQ(std::u16string(buffer), name);
    }
}

TEST_F(AppUtilTest, SizeTexts)
{
    const std::pair<DWORD, std::u16string> cases[] = {
        { 0, u"0Bytes" },
        { 1023, u"1023Bytes" },
        { 1024, u"1KB" },
        { 1048575, u"1023KB" },
        { 1048576, u"1.00MB" },
        { 1073741823, u"1024.00MB" },
        { 1073741824, u"1.00GB" },
        { 0xFFFFFFFF, u"4.00GB" },
    };
    for (auto& [size, text] : cases) {
        CString out;
        EXPECT_EQ(util.FormatFileSize(out, size), 0);
        EXPECT_EQ(out.str(), text) << size;
    }
}

TEST_F(AppUtilTest, FileTimesAreLocalAndLeaveTheUnusedSlots)
{
    SYSTEMTIME when { 2021, 3, 0, 4, 23, 30, 15, 0 };
    SetSystemTime(&when);
    write_file(u"\\SDMMC\\photo.jpg", std::string(1234, 'p'));
    FileTimes times;
    std::memset(&times, 0x55, sizeof(times));
    ASSERT_EQ(util.GetFileTimes(u"\\SDMMC\\photo.jpg", &times), 0);
    EXPECT_EQ(times.Size, 1234u);
    // UTC+8: 23:30 on the 4th is 07:30 on the 5th.
    EXPECT_EQ(times.LastWrite.wYear, 2021);
    EXPECT_EQ(times.LastWrite.wMonth, 3);
    EXPECT_EQ(times.LastWrite.wDay, 5);
    EXPECT_EQ(times.LastWrite.wHour, 7);
    EXPECT_EQ(times.LastWrite.wMinute, 30);
    EXPECT_EQ(times.LastWrite.wSecond, 15);
    EXPECT_EQ(times.LastWrite.wDayOfWeek, 0x5555);
    EXPECT_EQ(times.LastWrite.wMilliseconds, 0x5555);
    EXPECT_EQ(times.Creation.wDay, 5);
    EXPECT_EQ(times.Creation.wDayOfWeek, 0x5555);
    EXPECT_EQ(util.GetFileTimes(u"\\SDMMC\\none.jpg", &times), -1);
}

TEST_F(AppUtilTest, VersionsComeFromTheVersionTable)
{
    device->component<ProgramImages>().set_version(u"\\NAND\\app\\setting.exe", { 3, 0, 1, 7 });
    CreateDirectory(u"\\NAND\\app", nullptr);
    write_file(u"\\NAND\\app\\setting.exe", "image");
    write_file(u"\\NAND\\app\\plain.exe", "image");
    int major = -1, minor = -1, build = -1, revision = -1;
    EXPECT_EQ(util.GetFileVersion(u"\\NAND\\app\\setting.exe", major, minor, build, revision), 1);
    EXPECT_EQ(std::vector<int>({ major, minor, build, revision }), std::vector<int>({ 3, 0, 1, 7 }));
    EXPECT_EQ(util.GetFileVersion(u"\\NAND\\app\\plain.exe", major, minor, build, revision), 0);
}

TEST_F(AppUtilTest, StoresAreFoundByExactNameAndReadOnlyByTheirFlags)
{
    auto& manager = device->component<StorageManager>();
    EXPECT_EQ(util.FindStore(u"SD Memory Card"), 0);
    EXPECT_EQ(util.FindStore(u"sd memory card"), -1);
    EXPECT_EQ(util.CheckStoreFormat(u"SD Memory Card"), 0);

    // A later store is read-only when its flags carry the read-only bit (2), also beside other
    // bits; the first store listed only when its flags are exactly that bit.
    constexpr DWORD media_sense = 0x8;
    struct Case {
        bool card_first;
        std::optional<DWORD> flags; // none: the flags of a card as write-protected says
        bool protected_card;
        int result;
    };
    const Case cases[] = {
        { false, std::nullopt, false, -1 },
        { false, std::nullopt, true, 0 },
        { true, std::nullopt, false, -1 },
        { true, std::nullopt, true, 0 },
        { false, STORAGE_DEVICE_FLAG_READONLY | media_sense, false, 0 },
        { true, STORAGE_DEVICE_FLAG_READONLY | media_sense, false, -1 },
        { true, STORAGE_DEVICE_FLAG_READWRITE | media_sense, true, -1 },
        { true, media_sense, true, -1 },
    };
    for (auto& c : cases) {
        manager.set_flash_store_listed(!c.card_first);
        manager.set_device_flags(VolumeId::Card, c.flags);
        volumes.set_card_write_protected(c.protected_card);
        EXPECT_EQ(util.IsStoreReadOnly(u"SD Memory Card"), c.result)
            << c.card_first << " " << c.flags.value_or(~0u) << " " << c.protected_card;
    }
    manager.set_device_flags(VolumeId::Card, std::nullopt);
    manager.set_flash_store_listed(true);
    EXPECT_EQ(util.IsStoreReadOnly(u"FlashDisk"), -1);
    manager.set_device_flags(VolumeId::Nand, STORAGE_DEVICE_FLAG_READONLY);
    EXPECT_EQ(util.IsStoreReadOnly(u"FlashDisk"), 0);
    manager.set_device_flags(VolumeId::Nand, std::nullopt);

    volumes.set_card_write_protected(false);
    volumes.set_card_partition_type(0x07);
    EXPECT_EQ(util.CheckStoreFormat(u"SD Memory Card"), -1);
    volumes.set_card_present(false);
    EXPECT_EQ(util.FindStore(u"SD Memory Card"), -1);
}

TEST_F(AppUtilTest, FormatEmptiesTheCardAndAlwaysMountsItAgain)
{
    auto& manager = device->component<StorageManager>();
    WCHAR name[STORENAMESIZE] = u"SD Memory Card";
    mark_debug();
    manager.set_failure(StorageManager::Call::Format, ERROR_GEN_FAILURE);
    EXPECT_EQ(util.StoreDeviceFormat(name), -1);
    EXPECT_EQ(std::u16string(name), u"DSK2:");
    EXPECT_EQ(debug(), std::vector<std::string> { "Error pfnFormatVolumeEx" });
    EXPECT_TRUE(volumes.card_mounted());
    EXPECT_NE(GetFileAttributes(u"\\SDMMC\\Music\\b.mp3"), INVALID_FILE_ATTRIBUTES);

    manager.set_failure(StorageManager::Call::Format, 0);
    WCHAR again[STORENAMESIZE] = u"SD Memory Card";
    EXPECT_EQ(util.StoreDeviceFormat(again), 0);
    EXPECT_TRUE(volumes.card_mounted());
    EXPECT_EQ(GetFileAttributes(u"\\SDMMC\\Music"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(util.CheckStoreFormat(u"SD Memory Card"), 0);

    mark_debug();
    manager.set_failure(StorageManager::Call::Dismount, ERROR_ACCESS_DENIED);
    WCHAR third[STORENAMESIZE] = u"SD Memory Card";
    EXPECT_EQ(util.StoreDeviceFormat(third), -1);
    EXPECT_EQ(debug(), std::vector<std::string> { "Error DismountStore" });
    WCHAR missing[STORENAMESIZE] = u"No Card";
    EXPECT_EQ(util.StoreDeviceFormat(missing), -1);
}

} // namespace
