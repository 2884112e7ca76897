#include "StorageTest.h"

#include "FileSystem.h"
#include "StorageManager.h"
#include "WideText.h"

#include <csignal>
#include <fstream>
#include <functional>
#include <sys/resource.h>

using namespace kivo;
using namespace kivo::test;

namespace {

using VolumeTest = StorageTest;

std::string bytes(size_t count)
{
    return std::string(count, 'x');
}

// Cuts the file at `position` (SetEndOfFile); answers whether it worked.
bool cut_at(std::u16string_view path, LONG position)
{
    HANDLE file = CreateFile(std::u16string(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    SetFilePointer(file, position, nullptr, FILE_BEGIN);
    BOOL ok = SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

// While it lives, no host file of this process may grow past `limit` bytes: a write beyond fails
// as on a full disk, so that a failed write can be shown without filling one.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit reduced = m_saved;
        reduced.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &reduced);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved {};
    void (*m_handler)(int) = nullptr;
};

} // namespace

// The bytes used on each volume are counted once and then kept by every change; the count after
// each step is what the files hold, and free space follows it to the byte.
TEST_F(VolumeTest, UsedBytesFollowEveryKindOfChange)
{
    auto& manager = device->component<StorageManager>();
    struct Step {
        const char* name;
        std::function<bool()> change;
        uint64_t nand;
        uint64_t card;
    } steps[] = {
        { "create", [] { return write_file(u"\\NAND\\a", bytes(100)) == 0; }, 100, 0 },
        { "overwrite shorter", [] { return write_file(u"\\NAND\\a", bytes(40)) == 0; }, 40, 0 },
        { "extend by its end", [] { return cut_at(u"\\NAND\\a", 1000); }, 1000, 0 },
        { "cut", [] { return cut_at(u"\\NAND\\a", 10); }, 10, 0 },
        { "copy to the card", [] { return CopyFile(u"\\NAND\\a", u"\\SDMMC\\b", TRUE); }, 10, 10 },
        { "a larger file", [] { return write_file(u"\\SDMMC\\big", bytes(300)) == 0; }, 10, 310 },
        { "copy over it", [] { return CopyFile(u"\\NAND\\a", u"\\SDMMC\\big", FALSE); }, 10, 20 },
        { "move across volumes", [] { return MoveFile(u"\\SDMMC\\b", u"\\NAND\\b"); }, 20, 10 },
        { "move within a volume", [] { return CreateDirectory(u"\\NAND\\d", nullptr) && MoveFile(u"\\NAND\\b", u"\\NAND\\d\\c"); }, 20, 10 },
        { "a third file", [] { return write_file(u"\\NAND\\e", bytes(25)) == 0; }, 45, 10 },
        { "replace", [] { return DeleteAndRenameFile(u"\\NAND\\a", u"\\NAND\\e"); }, 35, 10 },
        { "delete", [] { return DeleteFile(u"\\NAND\\a"); }, 10, 10 },
        { "format the card", [&] { return manager.dismount(VolumeId::Card) == 0 && manager.format(VolumeId::Card) == 0 && manager.mount(VolumeId::Card) == 0; }, 10, 0 },
        { "a card filled elsewhere", [&] {
             volumes.set_card_present(false);
             std::ofstream(volumes.host_folder(VolumeId::Card) / "elsewhere") << bytes(77);
             volumes.set_card_present(true);
             return true; },
            10, 77 },
    };
    uint64_t nand = volumes.used_bytes(VolumeId::Nand);
    uint64_t card = volumes.used_bytes(VolumeId::Card);
    volumes.set_capacity(VolumeId::Nand, nand + 10'000);
    for (auto& step : steps) {
        SCOPED_TRACE(step.name);
        ASSERT_TRUE(step.change());
        EXPECT_EQ(volumes.used_bytes(VolumeId::Nand), nand + step.nand);
        EXPECT_EQ(volumes.used_bytes(VolumeId::Card), card + step.card);
        ULARGE_INTEGER free {};
        ASSERT_TRUE(GetDiskFreeSpaceEx(u"\\NAND", &free, nullptr, nullptr));
        EXPECT_EQ(free.QuadPart, 10'000 - step.nand);
    }

    // The count keeps a full volume exact: the last free byte is taken once, and a refused write
    // changes nothing.
    volumes.set_free_bytes(VolumeId::Nand, 5);
    HANDLE file = CreateFile(u"\\NAND\\last", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(file, "123456", 6, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_TRUE(WriteFile(file, "12345", 5, &written, nullptr));
    EXPECT_FALSE(WriteFile(file, "6", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    CloseHandle(file);
    EXPECT_EQ(volumes.free_bytes(VolumeId::Nand), 0u);
    EXPECT_FALSE(CopyFile(u"\\NAND\\d\\c", u"\\NAND\\copy", TRUE));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(attributes(u"\\NAND\\copy"), INVALID_FILE_ATTRIBUTES);
}

// A handle that is closed leaves nothing behind in the file system, however many came before.
TEST_F(VolumeTest, ClosedFilesAreForgotten)
{
    auto& files = device->component<FileSystem>();
    ASSERT_EQ(write_file(u"\\NAND\\often", "x"), 0u);
    HANDLE kept = CreateFile(u"\\NAND\\kept", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    for (int i = 0; i < 1000; ++i)
        CloseHandle(CreateFile(u"\\NAND\\often", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(files.open_file_count(), 1u);
    EXPECT_FALSE(DeleteFile(u"\\NAND\\kept"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(kept);
    EXPECT_EQ(files.open_file_count(), 0u);
    EXPECT_TRUE(DeleteFile(u"\\NAND\\kept"));
}

// A record of attributes that cannot be written keeps the old one whole and fails the change: the
// flags of the folder's other files survive, and a protected file stays protected.
TEST_F(VolumeTest, AFailedRecordWriteKeepsEveryFlagAndFailsTheChange)
{
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\Maps", nullptr));
    for (int i = 0; i < 30; ++i) {
        auto name = u"\\NAND\\Maps\\map" + to_utf16(std::to_string(i)) + u".dat";
        ASSERT_EQ(write_file(name, "map"), 0u);
        ASSERT_TRUE(SetFileAttributes(name.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    }
    ASSERT_EQ(write_file(u"\\NAND\\Maps\\new.dat", "new"), 0u);
    {
        FileSizeLimit limit(64);
        EXPECT_FALSE(SetFileAttributes(u"\\NAND\\Maps\\new.dat", FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    }
    EXPECT_EQ(attributes(u"\\NAND\\Maps\\new.dat"), FILE_ATTRIBUTE_ARCHIVE);

    // What a kill during a write leaves beside the record is never a device file.
    std::ofstream(device->root() / "NAND" / "Maps" / (std::string(AttributeStore::sidecar_name) + ".new")) << "half";
    auto root = device->root();
    device.reset();
    Device again(Device::Options { root, {}, false });
    for (int i = 0; i < 30; ++i) {
        auto name = u"\\NAND\\Maps\\map" + to_utf16(std::to_string(i)) + u".dat";
        EXPECT_EQ(attributes(name), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN) << i;
    }
    EXPECT_EQ(write_file(u"\\NAND\\Maps\\map7.dat", "overwritten"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(read_file(u"\\NAND\\Maps\\map7.dat"), "map");
    EXPECT_EQ(find_all(u"\\NAND\\Maps\\*.new").size(), 0u);
}

// A move writes the target folder's record before it erases the source's; when the target's
// cannot be written the move fails and the file stays where it was, flags and all.
TEST_F(VolumeTest, AMoveWhoseRecordCannotBeWrittenFails)
{
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\From", nullptr));
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\To", nullptr));
    for (int i = 0; i < 10; ++i) {
        auto name = u"\\NAND\\To\\file" + to_utf16(std::to_string(i));
        ASSERT_EQ(write_file(name, "t"), 0u);
        ASSERT_TRUE(SetFileAttributes(name.c_str(), FILE_ATTRIBUTE_HIDDEN));
    }
    ASSERT_EQ(write_file(u"\\NAND\\From\\kept", "k"), 0u);
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\From\\kept", FILE_ATTRIBUTE_READONLY));
    {
        FileSizeLimit limit(64);
        EXPECT_FALSE(MoveFile(u"\\NAND\\From\\kept", u"\\NAND\\To\\kept"));
    }
    EXPECT_EQ(attributes(u"\\NAND\\From\\kept"), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(attributes(u"\\NAND\\To\\kept"), INVALID_FILE_ATTRIBUTES);

    EXPECT_TRUE(MoveFile(u"\\NAND\\From\\kept", u"\\NAND\\To\\kept"));
    // Onto its own name, and to another case of it: the record follows.
    EXPECT_TRUE(MoveFile(u"\\NAND\\To\\kept", u"\\NAND\\To\\kept"));
    EXPECT_TRUE(MoveFile(u"\\NAND\\To\\kept", u"\\NAND\\To\\KEPT"));
    auto root = device->root();
    device.reset();
    Device again(Device::Options { root, {}, false });
    EXPECT_EQ(attributes(u"\\NAND\\To\\kept"), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(find_all(u"\\NAND\\To\\k*"), std::vector<std::u16string> { u"KEPT" });
    EXPECT_EQ(attributes(u"\\NAND\\To\\file3"), FILE_ATTRIBUTE_HIDDEN);
}

// Creating many plain files in one folder writes its record a few times, not once per file, and
// what was created is all there for the next device.
TEST_F(VolumeTest, ManyNewFilesInOneFolderWriteTheirRecordInBatches)
{
    auto& store = device->component<FileSystem>().attribute_store();
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\Tiles", nullptr));
    size_t before = store.writes();
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(write_file(u"\\NAND\\Tiles\\t" + to_utf16(std::to_string(i)), "t"), 0u);
    EXPECT_LT(store.writes() - before, 20u);
    ASSERT_TRUE(SetFileAttributes(u"\\NAND\\Tiles\\t5", FILE_ATTRIBUTE_READONLY));

    auto root = device->root();
    device.reset();
    Device again(Device::Options { root, {}, false });
    EXPECT_EQ(attributes(u"\\NAND\\Tiles\\t999"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(attributes(u"\\NAND\\Tiles\\t5"), FILE_ATTRIBUTE_READONLY);
}
