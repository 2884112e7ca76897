// Large blocks of the phone family in named page-file mappings, named after the local time and a
// run-time random number, so that another process can open one by its name.

#include "Kitbase.h"
#include "program_services.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

constexpr DWORD page_file_protection = SEC_COMMIT | PAGE_READWRITE;
// Drawing names stops here; the run-time's generator would have to repeat itself long before.
constexpr int most_name_draws = 1000;

// The object store's free bytes and the available physical memory, summed in 64 bits so that a
// large free space never wraps round into a small room.
bool has_room(DWORD size)
{
    ULARGE_INTEGER free_to_caller {};
    ULARGE_INTEGER total {};
    ULARGE_INTEGER total_free {};
    uint64_t room = 0;
    if (GetDiskFreeSpaceEx(u"\\", &free_to_caller, &total, &total_free)) {
        if (free_to_caller.QuadPart >= (1ull << 32))
            return true;
        room = free_to_caller.QuadPart;
    }
    MEMORYSTATUS status {};
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    room += status.dwAvailPhys;
    return room >= size;
}

std::u16string draw_name()
{
    SYSTEMTIME now {};
    GetLocalTime(&now);
    return kivo::format_wide(u"ZOL_%04d%02d%02d%02d%02d%02d_%d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
        now.wSecond, rand());
}

struct Block {
    void* view = nullptr;
    HANDLE mapping = nullptr;
    std::u16string name;
};

// A new mapping under a name nobody holds, mapped whole; nothing when the platform refuses.
std::optional<Block> make_block(DWORD size)
{
    for (int draw = 0; draw < most_name_draws; ++draw) {
        Block block;
        block.name = draw_name();
        block.mapping = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, page_file_protection, 0, size, block.name.c_str());
        if (!block.mapping)
            return std::nullopt;
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            // Someone else's block: never share it.
            CloseHandle(block.mapping);
            continue;
        }
        block.view = MapViewOfFile(block.mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (!block.view) {
            CloseHandle(block.mapping);
            return std::nullopt;
        }
        return block;
    }
    return std::nullopt;
}

void hand_over(const Block& block, WCHAR* name, HANDLE* mapping)
{
    if (name) {
        std::copy(block.name.begin(), block.name.end(), name);
        name[block.name.size()] = 0;
    }
    if (mapping)
        *mapping = block.mapping;
}

} // namespace

void* AllocMemory(DWORD size, WCHAR* name, HANDLE* mapping)
{
    if (!has_room(size))
        return nullptr;
    auto block = make_block(size);
    if (!block) {
        if (name)
            name[0] = 0;
        return nullptr;
    }
    hand_over(*block, name, mapping);
    return block->view;
}

void* ReAllocMemory(void* block, DWORD oldSize, DWORD newSize, WCHAR* name, HANDLE* mapping)
{
    if (!has_room(newSize))
        return nullptr;
    // The old block, its name and its handle stay as they were until the new one stands.
    auto made = make_block(newSize);
    if (!made)
        return nullptr;
    if (block)
        std::memcpy(made->view, block, std::min(oldSize, newSize));
    bool shared = name && name[0];
    if (shared) {
        if (block)
            UnmapViewOfFile(block);
        if (mapping && *mapping)
            CloseHandle(*mapping);
    } else {
        free(block);
    }
    hand_over(*made, name, mapping);
    return made->view;
}

void FreeMemory(void* block, HANDLE* mapping, WCHAR* name)
{
    if (mapping && *mapping) {
        if (block)
            UnmapViewOfFile(block);
        CloseHandle(*mapping);
    } else {
        free(block);
    }
    if (mapping)
        *mapping = nullptr;
    if (name)
        name[0] = 0;
}
