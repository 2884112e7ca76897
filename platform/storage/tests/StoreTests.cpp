#include "StorageTest.h"

#include "LibraryApi.h"
#include "LibraryLoader.h"
#include "ProgramImages.h"
#include "StorageManager.h"
#include "StoreApi.h"
#include "VersionApi.h"
#include "WideCrt.h"
#include "WideText.h"

using namespace kivo;
using namespace kivo::test;

namespace {

using CardTest = StorageTest;

std::vector<std::u16string> store_names(std::vector<DWORD>* flags = nullptr)
{
    std::vector<std::u16string> names;
    STOREINFO info {};
    info.cbSize = sizeof(STOREINFO);
    HANDLE search = FindFirstStore(&info);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(info.szStoreName);
        if (flags)
            flags->push_back(info.dwDeviceFlags);
    } while (FindNextStore(search, &info));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(FindCloseStore(search));
    return names;
}

// The card's format as the settings program runs it, step by step; answers the failing step.
std::string format_card()
{
    HMODULE fatutil = LoadLibrary(u"fatutil.dll");
    auto format = reinterpret_cast<PFN_FORMATVOLUME>(GetProcAddress(fatutil, u"FormatVolume"));
    if (!format)
        return "FormatVolume";
    HANDLE store = OpenStore(u"DSK2:");
    HANDLE partition = OpenPartition(store, u"Part00");
    std::string failed;
    if (!DismountPartition(partition))
        failed = "DismountPartition";
    else if (format(partition, nullptr, nullptr, nullptr, nullptr) != 0)
        failed = "format";
    else if (!MountPartition(partition))
        failed = "MountPartition";
    CloseHandle(partition);
    CloseHandle(store);
    FreeLibrary(fatutil);
    return failed;
}

} // namespace

TEST_F(CardTest, ARemovedCardMakesSdmmcVanishUntilItComesBack)
{
    ASSERT_EQ(write_file(u"\\SDMMC\\bmkVid.rom", "bookmark"), 0u);
    std::vector<bool> heard;
    volumes.add_card_listener([&](bool available) { heard.push_back(available); });

    volumes.set_card_present(false);
    EXPECT_EQ(attributes(u"\\SDMMC"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(attributes(u"\\SDMMC\\bmkVid.rom"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(write_file(u"SDMMC\\new.txt", "x"), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CreateDirectory(u"\\SDMMC", nullptr));
    EXPECT_FALSE(CreateDirectory(u"\\SDMMC\\Music", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    ULARGE_INTEGER free {};
    EXPECT_FALSE(GetDiskFreeSpaceEx(u"\\SDMMC\\", &free, nullptr, nullptr));
    WIN32_FIND_DATA data;
    HANDLE search = FindFirstFile(u"\\SDMMC", &data);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(store_names(), std::vector<std::u16string> { u"FlashDisk" });

    volumes.set_card_present(true);
    EXPECT_EQ(read_file(u"\\SDMMC\\bmkVid.rom"), "bookmark");
    EXPECT_EQ(heard, (std::vector<bool> { false, true }));
}

TEST_F(CardTest, AWriteProtectedCardIsReadButNeverChanged)
{
    ASSERT_EQ(write_file(u"\\SDMMC\\song.mp3", "music"), 0u);
    volumes.set_card_write_protected(true);
    EXPECT_EQ(write_file(u"\\SDMMC\\song.mp3", "other"), ERROR_WRITE_PROTECT);
    EXPECT_EQ(write_file(u"\\SDMMC\\new.mp3", "other"), ERROR_WRITE_PROTECT);
    EXPECT_FALSE(DeleteFile(u"\\SDMMC\\song.mp3"));
    EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
    EXPECT_FALSE(CreateDirectory(u"\\SDMMC\\Music", nullptr));
    EXPECT_EQ(read_file(u"\\SDMMC\\song.mp3"), "music");
    std::vector<DWORD> flags;
    EXPECT_EQ(store_names(&flags), (std::vector<std::u16string> { u"FlashDisk", u"SD Memory Card" }));
    EXPECT_EQ(flags, (std::vector<DWORD> { STORAGE_DEVICE_FLAG_READWRITE, STORAGE_DEVICE_FLAG_READONLY }));
}

TEST_F(CardTest, StoreRecordsAreCheckedAndThePartitionTellsItsType)
{
    STOREINFO info {};
    info.cbSize = 200;
    EXPECT_EQ(FindFirstStore(&info), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    info.cbSize = sizeof(STOREINFO);
    HANDLE search = FindFirstStore(&info);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(FindNextStore(search, &info));
    FindCloseStore(search);
    EXPECT_EQ(std::u16string(info.szDeviceName), u"DSK2:");

    volumes.set_card_partition_type(0x83);
    HANDLE store = OpenStore(info.szDeviceName);
    ASSERT_NE(store, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenPartition(store, u"Part01"), INVALID_HANDLE_VALUE);
    HANDLE partition = OpenPartition(store, u"Part00");
    ASSERT_NE(partition, INVALID_HANDLE_VALUE);
    PARTINFO part {};
    part.cbSize = sizeof(PARTINFO);
    ASSERT_TRUE(GetPartitionInfo(partition, &part));
    EXPECT_EQ(part.bPartType, 0x83);
    CloseHandle(partition);
    CloseHandle(store);
    EXPECT_EQ(OpenStore(u"DSK9:"), INVALID_HANDLE_VALUE);
}

TEST_F(CardTest, FormatThroughFatutilEmptiesTheCardAndMakesItFat)
{
    ASSERT_TRUE(CreateDirectory(u"\\SDMMC\\Music", nullptr));
    ASSERT_EQ(write_file(u"\\SDMMC\\Music\\a.mp3", "a"), 0u);
    ASSERT_TRUE(SetFileAttributes(u"\\SDMMC\\Music\\a.mp3", FILE_ATTRIBUTE_READONLY));
    volumes.set_card_partition_type(0x83);
    auto& manager = device->component<StorageManager>();
    manager.set_format_duration(3000);
    uint64_t start = device->clock().now_ms();

    EXPECT_EQ(format_card(), "");
    EXPECT_EQ(device->clock().now_ms() - start, 3000u);
    EXPECT_EQ(manager.format_count(), 1u);
    EXPECT_EQ(attributes(u"\\SDMMC\\Music"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes(u"\\SDMMC"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY);
    EXPECT_EQ(volumes.card_partition_type(), 0x0B);
}

TEST_F(CardTest, FormatFailuresLeaveTheCardsFilesAsTheyWere)
{
    ASSERT_EQ(write_file(u"\\SDMMC\\keep.txt", "k"), 0u);
    auto& manager = device->component<StorageManager>();
    // A failed format leaves the partition dismounted, as the device does, until it is mounted
    // again (here as if the card were put back).
    auto kept = [&] {
        EXPECT_EQ(attributes(u"\\SDMMC"), INVALID_FILE_ATTRIBUTES);
        volumes.set_card_mounted(true);
        return read_file(u"\\SDMMC\\keep.txt") == "k";
    };
    manager.set_failure(StorageManager::Call::Format, ERROR_GEN_FAILURE);
    EXPECT_EQ(format_card(), "format");
    EXPECT_TRUE(kept());
    manager.set_failure(StorageManager::Call::Format, 0);
    volumes.set_card_write_protected(true);
    EXPECT_EQ(format_card(), "format");
    EXPECT_TRUE(kept());
    volumes.set_card_write_protected(false);
    manager.set_failure(StorageManager::Call::Dismount, ERROR_ACCESS_DENIED);
    EXPECT_EQ(format_card(), "DismountPartition");
    manager.set_failure(StorageManager::Call::Dismount, 0);
    EXPECT_EQ(read_file(u"\\SDMMC\\keep.txt"), "k");
    EXPECT_EQ(manager.format_count(), 0u);

    // A mounted partition is in use and is not formatted.
    HANDLE store = OpenStore(u"DSK2:");
    HANDLE partition = OpenPartition(store, u"Part00");
    auto format = reinterpret_cast<PFN_FORMATVOLUME>(GetProcAddress(LoadLibrary(u"fatutil.dll"), "FormatVolume"));
    EXPECT_EQ(format(partition, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(read_file(u"\\SDMMC\\keep.txt"), "k");
    CloseHandle(partition);
    CloseHandle(store);

    device->component<LibraryLoader>().set_missing(u"fatutil.dll", true);
    EXPECT_EQ(format_card(), "FormatVolume");
}

TEST_F(CardTest, AStartFailsWhenTheImageFileOrItsVolumeIsMissing)
{
    int runs = 0;
    const std::u16string navigation = u"\\SDMMC\\KivoNavi\\Corvane-RXM.exe";
    device->programs().add(navigation, [&](std::u16string_view) { return ++runs; });
    device->programs().add(u"\\NAND\\App\\hubscreen.exe", [&](std::u16string_view) { return ++runs; });
    EXPECT_EQ(device->component<ProgramImages>().install(), 2u + ProgramImages::system_libraries().size());
    EXPECT_NE(attributes(navigation), INVALID_FILE_ATTRIBUTES);
    // Installing again leaves the files that are there.
    EXPECT_EQ(device->component<ProgramImages>().install(), 0u);

    auto start = [](std::u16string image) -> DWORD {
        PROCESS_INFORMATION info {};
        if (!CreateProcess(image.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info))
            return GetLastError();
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        return 0;
    };
    EXPECT_EQ(start(u"\\sdmmc\\kivonavi\\corvane-rxm.exe"), 0u);
    device->run_until_idle();
    EXPECT_EQ(runs, 1);

    volumes.set_card_present(false);
    EXPECT_EQ(start(navigation), ERROR_PATH_NOT_FOUND);
    volumes.set_card_present(true);
    ASSERT_TRUE(DeleteFile(u"\\NAND\\App\\hubscreen.exe"));
    EXPECT_EQ(start(u"\\NAND\\App\\hubscreen.exe"), ERROR_FILE_NOT_FOUND);
    device->run_until_idle();
    EXPECT_EQ(runs, 1);
}

TEST_F(CardTest, VersionResourcesComeFromTheImageTable)
{
    ASSERT_EQ(write_file(u"\\NAND\\App\\hubscreen.exe", "image"), ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\App", nullptr));
    ASSERT_EQ(write_file(u"\\NAND\\App\\hubscreen.exe", "image"), 0u);
    ASSERT_EQ(write_file(u"\\NAND\\App\\plain.exe", "image"), 0u);
    device->component<ProgramImages>().set_version(u"NAND\\app\\HUBSCREEN.EXE", { 3, 0, 0, 7 });

    DWORD handle = 99;
    DWORD size = GetFileVersionInfoSize(u"\\NAND\\App\\hubscreen.exe", &handle);
    ASSERT_GT(size, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(handle, 0u);
    std::vector<BYTE> block(size);
    EXPECT_FALSE(GetFileVersionInfo(u"\\NAND\\App\\hubscreen.exe", 0, size - 1, block.data()));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_TRUE(GetFileVersionInfo(u"\\NAND\\App\\hubscreen.exe", 0, size, block.data()));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValue(block.data(), u"\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    auto* fixed = static_cast<VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 3);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 0);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), 0);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), 7);
    EXPECT_FALSE(VerQueryValue(block.data(), u"\\StringFileInfo\\040904b0\\FileVersion", &value, &length));

    EXPECT_EQ(GetFileVersionInfoSize(u"\\NAND\\App\\plain.exe", nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_EQ(GetFileVersionInfoSize(u"\\NAND\\App\\gone.exe", nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Library, ASharedLibraryLoadsByItsDeviceNameAndAMissingExportIsReported)
{
    auto device = make_test_device();
    HMODULE module = LoadLibrary(u"KivoProbe.dll");
    ASSERT_NE(module, nullptr);
    auto answer = reinterpret_cast<int (*)()>(GetProcAddress(module, u"ProbeAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(module, u"ProbeQuestion"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    WCHAR path[MAX_PATH];
    ASSERT_GT(GetModuleFileName(module, path, MAX_PATH), 0u);
    EXPECT_EQ(std::u16string(path), u"\\Windows\\KivoProbe.dll");

    // Loads are counted: the module stays until the last FreeLibrary.
    EXPECT_EQ(LoadLibrary(u"\\NAND\\App\\kivoprobe.DLL"), module);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_NE(GetProcAddress(module, "ProbeAnswer"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(GetProcAddress(module, "ProbeAnswer"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FreeLibrary(module));
    // Its code stays mapped until the device ends: what it made may still call into it.
    EXPECT_EQ(answer(), 42);
    // Loaded again, it is the same library under a handle the calls accept.
    HMODULE again = LoadLibrary(u"KivoProbe.dll");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(again, "ProbeAnswer")), reinterpret_cast<void*>(answer));
    EXPECT_TRUE(FreeLibrary(again));

    EXPECT_EQ(LoadLibrary(u"NoSuchLibrary.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(Library, ABareNameIsFoundBesideTheProgramThatLoadsIt)
{
    auto device = make_test_device();
    std::u16string found;
    device->programs().add(u"\\NAND\\App\\BT\\Voxlane.exe", [&](std::u16string_view) {
        HMODULE module = LoadLibrary(u"KivoProbe.dll");
        WCHAR path[MAX_PATH] = {};
        GetModuleFileName(module, path, MAX_PATH);
        found = path;
        FreeLibrary(module);
        return 0;
    });
    DWORD error;
    ASSERT_TRUE(device->create_process(u"\\NAND\\App\\BT\\Voxlane.exe", u"", error));
    device->run_until_idle();
    EXPECT_EQ(found, u"\\NAND\\App\\BT\\KivoProbe.dll");
}

TEST(Library, OnceInstalledASharedLibraryLoadsOnlyFromAnImageFileBesideItsProgramOrInWindows)
{
    auto device = make_test_device();
    device->component<ProgramImages>().install();
    auto load_from = [&](const std::u16string& program) {
        std::u16string found;
        DWORD error = ERROR_SUCCESS;
        device->programs().add(program, [&](std::u16string_view) {
            HMODULE module = LoadLibrary(u"KivoProbe.dll");
            error = module ? ERROR_SUCCESS : GetLastError();
            WCHAR path[MAX_PATH] = {};
            GetModuleFileName(module, path, MAX_PATH);
            found = module ? path : u"";
            FreeLibrary(module);
            return 0;
        });
        device->component<ProgramImages>().install();
        DWORD ignored;
        EXPECT_TRUE(device->create_process(program, u"", ignored));
        device->run_until_idle();
        return std::make_pair(error, found);
    };
    auto put = [](const char16_t* path) {
        HANDLE file = CreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    };
    EXPECT_EQ(load_from(u"\\NAND\\App\\one.exe"), std::make_pair(DWORD { ERROR_MOD_NOT_FOUND }, std::u16string()));
    put(u"\\Windows\\KivoProbe.dll");
    EXPECT_EQ(load_from(u"\\NAND\\App\\two.exe"), std::make_pair(DWORD { ERROR_SUCCESS }, std::u16string(u"\\Windows\\KivoProbe.dll")));
    put(u"\\NAND\\App\\KivoProbe.dll");
    EXPECT_EQ(load_from(u"\\NAND\\App\\three.exe"), std::make_pair(DWORD { ERROR_SUCCESS }, std::u16string(u"\\NAND\\App\\KivoProbe.dll")));
    // Named with its folder, it is looked for there alone.
    EXPECT_EQ(LoadLibrary(u"\\SDMMC\\KivoProbe.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    // The system's libraries have theirs.
    for (auto& library : ProgramImages::system_libraries())
        EXPECT_NE(GetFileAttributes(library.c_str()), INVALID_FILE_ATTRIBUTES) << to_utf8(library);
}

TEST(Library, AWithheldExportIsNotFoundUntilGivenBack)
{
    auto device = make_test_device();
    auto& loader = device->component<LibraryLoader>();
    HMODULE module = LoadLibrary(u"KivoProbe.dll");
    ASSERT_NE(module, nullptr);
    loader.set_withheld(u"kivoprobe.DLL", "ProbeAnswer", true);
    EXPECT_EQ(GetProcAddress(module, "ProbeAnswer"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    loader.set_withheld(u"KivoProbe.dll", "ProbeAnswer", false);
    EXPECT_NE(GetProcAddress(module, "ProbeAnswer"), nullptr);
    FreeLibrary(module);
}

int ManagerOpen()
{
    return 1;
}

TEST(Library, TestsRegisterInProcessModulesWithMissingExportsOrNoneAtAll)
{
    auto device = make_test_device();
    auto& loader = device->component<LibraryLoader>();
    loader.add_module(u"ZolManagerU.dll", { u"\\NAND\\App\\BT\\ZolManagerU.dll", { { "Open", reinterpret_cast<void*>(&ManagerOpen) } } });
    HMODULE manager = LoadLibrary(u"\\NAND\\App\\BT\\ZolManagerU.dll");
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(reinterpret_cast<int (*)()>(GetProcAddress(manager, u"Open"))(), 1);
    EXPECT_EQ(GetProcAddress(manager, u"Close"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    WCHAR path[MAX_PATH];
    GetModuleFileName(manager, path, MAX_PATH);
    EXPECT_EQ(std::u16string(path), u"\\NAND\\App\\BT\\ZolManagerU.dll");

    loader.set_missing(u"KivoProbe.dll", true);
    EXPECT_EQ(LoadLibrary(u"KivoProbe.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    // What a process loaded goes when it ends.
    device->programs().add(u"\\loader.exe", [](std::u16string_view) {
        LoadLibrary(u"ZolManagerU.dll");
        return 0;
    });
    PROCESS_INFORMATION info {};
    ASSERT_TRUE(CreateProcess(u"\\loader.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(loader.load_count(manager), 1);
    EXPECT_TRUE(FreeLibrary(manager));
    EXPECT_EQ(GetProcAddress(manager, u"Open"), nullptr);
}
