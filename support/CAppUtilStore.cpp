#include "CAppUtil.h"

#include <cstring>
#include <string>

namespace {

enum class StoreTest {
    Name,
    ReadOnly,
};

// Walks the stores for one named exactly so; answers whether it was found (and the test passed),
// with its record.
bool find_store(LPCWSTR name, StoreTest test, STOREINFO& info)
{
    std::memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(STOREINFO);
    HANDLE search = FindFirstStore(&info);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool found = false;
    bool first = true;
    do {
        if (std::u16string_view(info.szStoreName) == std::u16string_view(name)) {
            if (test == StoreTest::Name) {
                found = true;
                break;
            }
            // The first store must show exactly the read-only flag; a later one need only have
            // it among its flags.
            bool read_only = first ? info.dwDeviceFlags == STORAGE_DEVICE_FLAG_READONLY
                                   : (info.dwDeviceFlags & STORAGE_DEVICE_FLAG_READONLY) != 0;
            if (read_only) {
                found = true;
                break;
            }
            if (first)
                break;
        }
        first = false;
        info.cbSize = sizeof(STOREINFO);
    } while (FindNextStore(search, &info));
    FindCloseStore(search);
    return found;
}

// The store's partition "Part00", opened; the store's handle is kept in `store`.
HANDLE open_partition(const STOREINFO& info, HANDLE& store)
{
    store = OpenStore(info.szDeviceName);
    if (store == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    HANDLE partition = OpenPartition(store, u"Part00");
    if (partition == INVALID_HANDLE_VALUE) {
        CloseHandle(store);
        store = INVALID_HANDLE_VALUE;
    }
    return partition;
}

void close_partition(HANDLE partition, HANDLE store)
{
    CloseHandle(partition);
    CloseHandle(store);
}

} // namespace

int CAppUtil::FindStore(LPCWSTR store_name)
{
    STOREINFO info;
    return find_store(store_name, StoreTest::Name, info) ? 0 : -1;
}

int CAppUtil::IsStoreReadOnly(LPCWSTR store_name)
{
    STOREINFO info;
    return find_store(store_name, StoreTest::ReadOnly, info) ? 0 : -1;
}

int CAppUtil::CheckStoreFormat(LPCWSTR store_name)
{
    STOREINFO info;
    if (!find_store(store_name, StoreTest::Name, info))
        return -1;
    HANDLE store = INVALID_HANDLE_VALUE;
    HANDLE partition = open_partition(info, store);
    if (partition == INVALID_HANDLE_VALUE)
        return -1;
    PARTINFO part {};
    part.cbSize = sizeof(PARTINFO);
    BOOL read = GetPartitionInfo(partition, &part);
    close_partition(partition, store);
    if (!read)
        return -1;
    switch (part.bPartType) {
    case 1:
    case 4:
    case 6:
    case 11:
    case 12:
    case 14:
    case 15:
        return 0;
    default:
        return -1;
    }
}

int CAppUtil::StoreDeviceFormat(LPWSTR store_name, size_t capacity)
{
    STOREINFO info;
    if (!find_store(store_name, StoreTest::Name, info))
        return -1;
    if (capacity > 0) {
        size_t length = 0;
        for (; info.szDeviceName[length] && length < DEVICENAMESIZE && length + 1 < capacity; ++length)
            store_name[length] = info.szDeviceName[length];
        store_name[length] = 0;
    }

    HMODULE library = LoadLibrary(u"fatutil.dll");
    auto format_volume = library ? reinterpret_cast<PFN_FORMATVOLUME>(GetProcAddress(library, u"FormatVolume")) : nullptr;
    if (!format_volume) {
        OutputDebugString(u"Error pfnFormatVolumeEx\r\n");
        if (library)
            FreeLibrary(library);
        return -1;
    }

    int result = -1;
    HANDLE store = INVALID_HANDLE_VALUE;
    HANDLE partition = open_partition(info, store);
    if (partition == INVALID_HANDLE_VALUE || !DismountPartition(partition)) {
        OutputDebugString(u"Error DismountStore\r\n");
    } else {
        bool formatted = format_volume(partition, nullptr, nullptr, nullptr, nullptr) == 0;
        if (!formatted)
            OutputDebugString(u"Error pfnFormatVolumeEx\r\n");
        // Mounted again whatever the format did, so a failed format never leaves the card
        // unusable.
        if (!MountPartition(partition))
            OutputDebugString(u"Error OpenStore\r\n");
        else if (formatted)
            result = 0;
    }
    if (partition != INVALID_HANDLE_VALUE)
        close_partition(partition, store);
    FreeLibrary(library);
    return result;
}
