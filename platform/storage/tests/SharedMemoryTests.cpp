#include "StorageTest.h"

#include "BlockTokens.h"
#include "FileMappings.h"
#include "MappingApi.h"

#include <cstring>

using namespace kivo;
using namespace kivo::test;

namespace {

using SharedMemoryTest = StorageTest;

constexpr DWORD page_file_protection = SEC_COMMIT | PAGE_READWRITE;

HANDLE create(LPCWSTR name, DWORD size = 4096)
{
    return CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, page_file_protection, 0, size, name);
}

} // namespace

TEST_F(SharedMemoryTest, ANamedMappingIsSeenByTwoProcessesAndGoesWithTheLastHandle)
{
    const char16_t* name = u"ZOL_20240101120000_41";
    std::vector<DWORD> errors;
    std::string seen;
    device->programs().add(u"\\NAND\\App\\writer.exe", [&](std::u16string_view) {
        HANDLE mapping = create(name);
        errors.push_back(GetLastError());
        auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        std::strcpy(view, "contacts");
        Sleep(1000);
        seen = view;
        UnmapViewOfFile(view);
        CloseHandle(mapping);
        return 0;
    });
    device->programs().add(u"\\NAND\\App\\reader.exe", [&](std::u16string_view) {
        HANDLE mapping = create(name, 100);
        errors.push_back(GetLastError());
        auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 4096));
        seen = view;
        std::strcpy(view, "changed");
        // The view and the handle are left for the process's end to release.
        return 0;
    });
    PROCESS_INFORMATION writer {};
    PROCESS_INFORMATION reader {};
    ASSERT_TRUE(CreateProcess(u"\\NAND\\App\\writer.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &writer));
    device->run_until_idle();
    ASSERT_TRUE(CreateProcess(u"\\NAND\\App\\reader.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &reader));
    EXPECT_EQ(WaitForSingleObject(reader.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(seen, "contacts");
    EXPECT_TRUE(device->named_objects().contains(name));
    EXPECT_EQ(WaitForSingleObject(writer.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(seen, "changed");
    EXPECT_EQ(errors, (std::vector<DWORD> { ERROR_SUCCESS, ERROR_ALREADY_EXISTS }));

    EXPECT_FALSE(device->named_objects().contains(name));
    EXPECT_EQ(device->component<FileMappings>().view_count(), 0u);
    HANDLE fresh = create(name);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    auto* view = static_cast<char*>(MapViewOfFile(fresh, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    EXPECT_EQ(view[0], 0);
    UnmapViewOfFile(view);
    CloseHandle(fresh);
    for (HANDLE handle : { writer.hProcess, writer.hThread, reader.hProcess, reader.hThread })
        CloseHandle(handle);
}

TEST_F(SharedMemoryTest, CreatesAndViewsFailAsATestOrTheArgumentsSay)
{
    auto& mappings = device->component<FileMappings>();
    mappings.set_create_failure(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(create(u"ZOL_a"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(device->named_objects().contains(u"ZOL_a"));
    mappings.set_create_failure(0);

    HANDLE mapping = create(u"ZOL_a", 64);
    ASSERT_NE(mapping, nullptr);
    mappings.set_view_failure(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    mappings.set_view_failure(0);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 65), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    CloseHandle(mapping);

    EXPECT_EQ(create(u"ZOL_b", 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    HANDLE event = CreateEvent(nullptr, TRUE, FALSE, u"ZOL_event");
    EXPECT_EQ(create(u"ZOL_event"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(event);
    HANDLE file = CreateFile(u"\\NAND\\backing.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(CreateFileMapping(file, nullptr, page_file_protection, 0, 10, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    CloseHandle(file);
    EXPECT_FALSE(UnmapViewOfFile(&file));
}

TEST_F(SharedMemoryTest, TokensStandForBlocksInThirtyTwoBitsAndDieWithThem)
{
    auto& tokens = device->component<BlockTokens>();
    auto heap = std::make_unique<char[]>(16);
    HANDLE mapping = create(nullptr, 32);
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);

    DWORD heap_token = tokens.issue(heap.get());
    DWORD view_token = tokens.issue(view);
    EXPECT_NE(heap_token, 0u);
    EXPECT_NE(view_token, heap_token);
    EXPECT_EQ(tokens.issue(heap.get()), heap_token);
    EXPECT_EQ(tokens.resolve(heap_token), heap.get());
    EXPECT_EQ(tokens.resolve(view_token), view);

    // An unmapped view's token resolves to nothing, and a new token is never an old one.
    UnmapViewOfFile(view);
    EXPECT_EQ(tokens.resolve(view_token), nullptr);
    EXPECT_TRUE(tokens.revoke(heap_token));
    EXPECT_FALSE(tokens.revoke(heap_token));
    EXPECT_EQ(tokens.resolve(heap_token), nullptr);
    DWORD again = tokens.issue(heap.get());
    EXPECT_NE(again, heap_token);
    EXPECT_NE(again, view_token);
    EXPECT_EQ(tokens.resolve(0), nullptr);
    CloseHandle(mapping);
}
