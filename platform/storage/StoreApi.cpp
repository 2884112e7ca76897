#include "StoreApi.h"

#include "Device.h"
#include "KernelApi.h"
#include "Process.h"
#include "SimThread.h"
#include "StorageManager.h"
#include "WideText.h"

#include <algorithm>

using namespace kivo;

namespace {

constexpr DWORD bytes_per_sector = 512;
constexpr BYTE flash_partition_type = 0x0B;

class StoreSearch final : public KernelObject {
public:
    explicit StoreSearch(std::vector<StorageManager::Store> stores)
        : m_stores(std::move(stores))
    {
    }
    const char* kind() const override { return "store search"; }
    const StorageManager::Store* next() { return m_next < m_stores.size() ? &m_stores[m_next++] : nullptr; }

private:
    std::vector<StorageManager::Store> m_stores;
    size_t m_next = 0;
};

class StoreObject final : public KernelObject {
public:
    explicit StoreObject(StorageManager::Store store)
        : m_store(std::move(store))
    {
    }
    const char* kind() const override { return "store"; }
    const StorageManager::Store& store() const { return m_store; }

private:
    StorageManager::Store m_store;
};

class PartitionObject final : public KernelObject {
public:
    explicit PartitionObject(VolumeId volume)
        : m_volume(volume)
    {
    }
    const char* kind() const override { return "partition"; }
    VolumeId volume() const { return m_volume; }

private:
    VolumeId m_volume;
};

Device& device()
{
    return Device::current();
}

StorageManager& manager()
{
    return device().component<StorageManager>();
}

template<typename T>
std::shared_ptr<T> resolve(HANDLE handle)
{
    return device().handles().resolve_as<T>(handle, SimThread::current()->process());
}

HANDLE insert(std::shared_ptr<KernelObject> object)
{
    return device().handles().insert(std::move(object), SimThread::current()->process());
}

BOOL result(DWORD error)
{
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}

HANDLE fail_handle(DWORD error)
{
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

template<size_t N>
void copy_text(WCHAR (&field)[N], std::u16string_view text)
{
    size_t length = std::min(text.size(), N - 1);
    std::copy_n(text.data(), length, field);
    field[length] = 0;
}

void fill(STOREINFO& info, const StorageManager::Store& store)
{
    auto& volumes = device().component<Volumes>();
    info = {};
    info.cbSize = sizeof(STOREINFO);
    copy_text(info.szDeviceName, store.device_name);
    copy_text(info.szStoreName, store.store_name);
    DWORD usual_flags = store.volume == VolumeId::Card && volumes.card_write_protected() ? STORAGE_DEVICE_FLAG_READONLY : STORAGE_DEVICE_FLAG_READWRITE;
    DWORD flags = manager().device_flags(store.volume).value_or(usual_flags);
    info.dwDeviceClass = STORAGE_DEVICE_CLASS_BLOCK;
    info.sdi.cbSize = sizeof(STORAGEDEVICEINFO);
    copy_text(info.sdi.szProfile, store.volume == VolumeId::Card ? u"SDMemory" : u"FlashDisk");
    info.sdi.dwDeviceClass = STORAGE_DEVICE_CLASS_BLOCK;
    info.sdi.dwDeviceFlags = flags;
    info.dwDeviceFlags = flags;
    info.snNumSectors = volumes.capacity(store.volume) / bytes_per_sector;
    info.dwBytesPerSector = bytes_per_sector;
    info.snFreeSectors = volumes.free_bytes(store.volume) / bytes_per_sector;
    info.dwPartitionCount = 1;
    info.dwMountCount = volumes.is_available(store.volume) ? 1 : 0;
}

bool checks_size(const STOREINFO* info)
{
    return info && info->cbSize == sizeof(STOREINFO);
}

} // namespace

HANDLE FindFirstStore(PSTOREINFO info)
{
    if (!checks_size(info))
        return fail_handle(ERROR_INVALID_PARAMETER);
    auto search = std::make_shared<StoreSearch>(manager().stores());
    fill(*info, *search->next());
    HANDLE handle = insert(search);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL FindNextStore(HANDLE handle, PSTOREINFO info)
{
    auto search = resolve<StoreSearch>(handle);
    if (!search)
        return result(ERROR_INVALID_HANDLE);
    if (!checks_size(info))
        return result(ERROR_INVALID_PARAMETER);
    auto* store = search->next();
    if (!store)
        return result(ERROR_NO_MORE_ITEMS);
    fill(*info, *store);
    return result(ERROR_SUCCESS);
}

BOOL FindCloseStore(HANDLE handle)
{
    if (!resolve<StoreSearch>(handle))
        return result(ERROR_INVALID_HANDLE);
    device().handles().close(handle, SimThread::current()->process());
    return result(ERROR_SUCCESS);
}

HANDLE OpenStore(LPCWSTR device_name)
{
    if (DWORD error = manager().failure(StorageManager::Call::OpenStore))
        return fail_handle(error);
    for (auto& store : manager().stores()) {
        if (device_name && equals_ignoring_case(store.device_name, device_name)) {
            HANDLE handle = insert(std::make_shared<StoreObject>(store));
            SetLastError(ERROR_SUCCESS);
            return handle;
        }
    }
    return fail_handle(ERROR_FILE_NOT_FOUND);
}

BOOL GetStoreInfo(HANDLE handle, PSTOREINFO info)
{
    auto store = resolve<StoreObject>(handle);
    if (!store)
        return result(ERROR_INVALID_HANDLE);
    if (!checks_size(info))
        return result(ERROR_INVALID_PARAMETER);
    fill(*info, store->store());
    return result(ERROR_SUCCESS);
}

HANDLE OpenPartition(HANDLE store_handle, LPCWSTR partition_name)
{
    auto store = resolve<StoreObject>(store_handle);
    if (!store)
        return fail_handle(ERROR_INVALID_HANDLE);
    if (DWORD error = manager().failure(StorageManager::Call::OpenPartition))
        return fail_handle(error);
    if (!partition_name || !equals_ignoring_case(partition_name, u"Part00"))
        return fail_handle(ERROR_FILE_NOT_FOUND);
    if (store->store().volume == VolumeId::Card && !device().component<Volumes>().card_present())
        return fail_handle(ERROR_DEVICE_NOT_AVAILABLE);
    HANDLE handle = insert(std::make_shared<PartitionObject>(store->store().volume));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL GetPartitionInfo(HANDLE handle, PPARTINFO info)
{
    auto partition = resolve<PartitionObject>(handle);
    if (!partition)
        return result(ERROR_INVALID_HANDLE);
    if (!info || info->cbSize != sizeof(PARTINFO))
        return result(ERROR_INVALID_PARAMETER);
    auto& volumes = device().component<Volumes>();
    *info = {};
    info->cbSize = sizeof(PARTINFO);
    copy_text(info->szPartitionName, u"Part00");
    copy_text(info->szFileSys, u"FATFS");
    copy_text(info->szVolumeName, u"\\" + std::u16string(Volumes::name_of(partition->volume())));
    info->snNumSectors = volumes.capacity(partition->volume()) / bytes_per_sector;
    info->bPartType = partition->volume() == VolumeId::Card ? volumes.card_partition_type() : flash_partition_type;
    return result(ERROR_SUCCESS);
}

BOOL DismountPartition(HANDLE handle)
{
    auto partition = resolve<PartitionObject>(handle);
    return result(partition ? manager().dismount(partition->volume()) : ERROR_INVALID_HANDLE);
}

BOOL MountPartition(HANDLE handle)
{
    auto partition = resolve<PartitionObject>(handle);
    return result(partition ? manager().mount(partition->volume()) : ERROR_INVALID_HANDLE);
}

namespace kivo {

DWORD fatutil_format_volume(HANDLE handle, void*, void*, void*, void*)
{
    auto partition = resolve<PartitionObject>(handle);
    return partition ? manager().format(partition->volume()) : ERROR_INVALID_HANDLE;
}

} // namespace kivo
