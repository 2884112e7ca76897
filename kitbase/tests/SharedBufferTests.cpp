#include "KitbaseTest.h"

#include "FileMappings.h"
#include "Volumes.h"

#include <cstdlib>
#include <cstring>
#include <regex>

using namespace kitbase::test;

namespace {

constexpr DWORD page_file_protection = SEC_COMMIT | PAGE_READWRITE;

// A block as its owner keeps it: pointer, name and handle together.
struct Owned {
    void* data = nullptr;
    WCHAR name[MAX_PATH] = {};
    HANDLE mapping = nullptr;

    std::string name_text() const { return kivo::to_utf8(name); }
};

class SharedBufferTest : public KitbaseTest {
protected:
    // Whether a mapping of that name exists now; a probe that made a fresh one releases it.
    static bool name_opens(const std::u16string& name)
    {
        HANDLE probe = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, page_file_protection, 0, 16, name.c_str());
        bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
        CloseHandle(probe);
        return existed;
    }

    static void fill(void* block, size_t size)
    {
        for (size_t i = 0; i < size; ++i)
            static_cast<BYTE*>(block)[i] = static_cast<BYTE>(i * 7 + 1);
    }

    static bool holds_fill(const void* block, size_t size)
    {
        for (size_t i = 0; i < size; ++i) {
            if (static_cast<const BYTE*>(block)[i] != static_cast<BYTE>(i * 7 + 1))
                return false;
        }
        return true;
    }
};

} // namespace

TEST_F(SharedBufferTest, ABlockMadeInOneProcessOpensByNameInAnother)
{
    SYSTEMTIME now { 2024, 6, 3, 7, 9, 5, 3, 0 };
    SetLocalTime(&now);
    std::u16string name;
    bool released = false;
    device->programs().add(u"\\NAND\\App\\owner.exe", [&](std::u16string_view) {
        Owned block;
        block.data = AllocMemory(1'000'000, block.name, &block.mapping);
        EXPECT_NE(block.data, nullptr);
        EXPECT_NE(block.mapping, nullptr);
        name = block.name;
        std::strcpy(static_cast<char*>(block.data) + 999'990, "contacts");
        while (!released)
            Sleep(100);
        FreeMemory(block.data, &block.mapping, block.name);
        EXPECT_EQ(block.mapping, nullptr);
        EXPECT_EQ(block.name[0], 0);
        return 0;
    });
    PROCESS_INFORMATION owner {};
    ASSERT_TRUE(CreateProcess(u"\\NAND\\App\\owner.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &owner));
    device->run_until_idle();
    EXPECT_TRUE(std::regex_match(kivo::to_utf8(name), std::regex("ZOL_20240607090503_[0-9]+")));

    std::string seen;
    run_in_process(u"\\NAND\\App\\reader.exe", [&] {
        HANDLE mapping = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, page_file_protection, 0, 1'000'000, name.c_str());
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        seen = view + 999'990;
        UnmapViewOfFile(view);
        CloseHandle(mapping);
    });
    EXPECT_EQ(seen, "contacts");
    released = true;
    EXPECT_EQ(WaitForSingleObject(owner.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_FALSE(name_opens(name));
    CloseHandle(owner.hProcess);
    CloseHandle(owner.hThread);
}

TEST_F(SharedBufferTest, ANameClashDrawsANewNameAndNeverSharesTheBlock)
{
    // Each process's run-time generator starts alike, so two processes in the same second draw
    // the same first name.
    std::vector<std::string> names;
    std::vector<void*> blocks;
    bool released = false;
    for (const char16_t* image : { u"\\NAND\\App\\a.exe", u"\\NAND\\App\\b.exe" }) {
        device->programs().add(image, [&](std::u16string_view) {
            Owned block;
            block.data = AllocMemory(64, block.name, &block.mapping);
            const BYTE mark = static_cast<BYTE>(names.size() + 1);
            std::memset(block.data, mark, 64);
            names.push_back(block.name_text());
            blocks.push_back(block.data);
            while (!released)
                Sleep(100);
            // The other process never wrote into this block.
            EXPECT_EQ(static_cast<BYTE*>(block.data)[63], mark);
            FreeMemory(block.data, &block.mapping, block.name);
            return 0;
        });
        PROCESS_INFORMATION process {};
        ASSERT_TRUE(CreateProcess(image, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &process));
        device->run_until_idle();
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE(names[0].ends_with("_41")) << names[0];
    EXPECT_NE(names[1], names[0]);
    EXPECT_TRUE(names[1].ends_with("_18467")) << names[1];
    EXPECT_EQ(static_cast<BYTE*>(blocks[0])[0], 1);
    EXPECT_EQ(static_cast<BYTE*>(blocks[1])[0], 2);
    released = true;
    device->advance(200);
}

TEST_F(SharedBufferTest, ReallocatingGrowsShrinksAndMovesKeepingTheData)
{
    struct Case {
        DWORD old_size;
        DWORD new_size;
    };
    for (auto c : { Case { 100, 200 }, Case { 4096, 50 }, Case { 1, 1 } }) {
        Owned block;
        block.data = AllocMemory(c.old_size, block.name, &block.mapping);
        ASSERT_NE(block.data, nullptr);
        fill(block.data, c.old_size);
        std::u16string old_name = block.name;
        HANDLE old_mapping = block.mapping;

        block.data = ReAllocMemory(block.data, c.old_size, c.new_size, block.name, &block.mapping);
        ASSERT_NE(block.data, nullptr) << c.old_size << " to " << c.new_size;
        EXPECT_TRUE(holds_fill(block.data, std::min(c.old_size, c.new_size)));
        EXPECT_NE(std::u16string(block.name), old_name);
        EXPECT_NE(block.mapping, old_mapping);
        EXPECT_FALSE(name_opens(old_name));
        // The whole new size is there to write.
        static_cast<BYTE*>(block.data)[c.new_size - 1] = 0xEE;
        FreeMemory(block.data, &block.mapping, block.name);
    }
}

TEST_F(SharedBufferTest, HeapBlocksAndNothingMoveIntoANewSharedBlock)
{
    Owned fresh;
    fresh.data = ReAllocMemory(nullptr, 0, 4096, fresh.name, &fresh.mapping);
    ASSERT_NE(fresh.data, nullptr);
    EXPECT_TRUE(std::regex_match(fresh.name_text(), std::regex("ZOL_[0-9]{14}_[0-9]+")));
    EXPECT_TRUE(name_opens(fresh.name));
    FreeMemory(fresh.data, &fresh.mapping, fresh.name);

    Owned moved;
    moved.data = std::malloc(64);
    fill(moved.data, 64);
    // The heap block is freed by the move; the sanitizers see a double or missing free.
    moved.data = ReAllocMemory(moved.data, 64, 128, moved.name, &moved.mapping);
    ASSERT_NE(moved.data, nullptr);
    EXPECT_NE(moved.mapping, nullptr);
    EXPECT_TRUE(holds_fill(moved.data, 64));
    FreeMemory(moved.data, &moved.mapping, moved.name);

    Owned heap;
    heap.data = std::malloc(16);
    heap.name[0] = u'x';
    FreeMemory(heap.data, &heap.mapping, nullptr);
    EXPECT_EQ(heap.mapping, nullptr);
    EXPECT_EQ(heap.name[0], u'x');
}

TEST_F(SharedBufferTest, AFailedMoveLeavesTheBlockItsNameAndItsHandle)
{
    auto& mappings = device->component<kivo::FileMappings>();
    Owned block;
    block.data = AllocMemory(256, block.name, &block.mapping);
    ASSERT_NE(block.data, nullptr);
    fill(block.data, 256);
    std::u16string name = block.name;
    HANDLE mapping = block.mapping;
    for (bool view_fails : { false, true }) {
        if (view_fails)
            mappings.set_view_failure(ERROR_NOT_ENOUGH_MEMORY);
        else
            mappings.set_create_failure(ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(ReAllocMemory(block.data, 256, 512, block.name, &block.mapping), nullptr);
        mappings.set_view_failure(0);
        mappings.set_create_failure(0);
        EXPECT_EQ(std::u16string(block.name), name);
        EXPECT_EQ(block.mapping, mapping);
        EXPECT_TRUE(holds_fill(block.data, 256));
        EXPECT_TRUE(name_opens(name));
        EXPECT_EQ(mappings.view_count(), 1u);
    }
    FreeMemory(block.data, &block.mapping, block.name);
}

TEST_F(SharedBufferTest, TheRoomIsTheFreeObjectStoreAndMemorySummedWithoutWrapping)
{
    auto& volumes = device->component<kivo::Volumes>();
    struct Case {
        uint64_t free_store;
        uint64_t available_memory;
        DWORD size;
        bool fits;
    };
    const Case cases[] = {
        { 4096, 4096, 8192, true },
        { 4096, 4095, 8192, false },
        // Summed in 32 bits these would wrap round to 4096 bytes.
        { 0xFFFFF000, 0x2000, 8192, true },
        { 5ull << 30, 0, 8192, true },
    };
    for (auto& c : cases) {
        volumes.set_free_bytes(kivo::VolumeId::ObjectStore, c.free_store);
        volumes.set_memory(64ull << 20, c.available_memory);
        Owned block;
        std::memcpy(block.name, u"kept", sizeof(u"kept"));
        block.data = AllocMemory(c.size, block.name, &block.mapping);
        EXPECT_EQ(block.data != nullptr, c.fits) << c.free_store << " + " << c.available_memory;
        if (!block.data) {
            EXPECT_EQ(std::u16string(block.name), u"kept");
            continue;
        }
        // A realloc without room leaves the block alone.
        volumes.set_memory(64ull << 20, 0);
        volumes.set_free_bytes(kivo::VolumeId::ObjectStore, 0);
        EXPECT_EQ(ReAllocMemory(block.data, c.size, c.size * 2, block.name, &block.mapping), nullptr);
        EXPECT_TRUE(name_opens(block.name));
        FreeMemory(block.data, &block.mapping, block.name);
    }
}
