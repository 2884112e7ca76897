#include "StorageManager.h"

#include "Device.h"
#include "Errors.h"
#include "FileSystem.h"
#include "KernelApi.h"

namespace kivo {

namespace {

constexpr BYTE fat32_partition_type = 0x0B;

} // namespace

StorageManager::StorageManager(Device& device)
    : m_device(device)
    , m_volumes(device.component<Volumes>())
{
}

std::vector<StorageManager::Store> StorageManager::stores() const
{
    std::vector<Store> result;
    {
        std::lock_guard guard(m_lock);
        if (m_flash_listed)
            result.push_back({ u"DSK1:", u"FlashDisk", VolumeId::Nand });
    }
    if (m_volumes.card_present())
        result.push_back({ u"DSK2:", u"SD Memory Card", VolumeId::Card });
    return result;
}

void StorageManager::set_flash_store_listed(bool listed)
{
    std::lock_guard guard(m_lock);
    m_flash_listed = listed;
}

void StorageManager::set_device_flags(VolumeId volume, std::optional<DWORD> flags)
{
    std::lock_guard guard(m_lock);
    m_device_flags[static_cast<size_t>(volume)] = flags;
}

std::optional<DWORD> StorageManager::device_flags(VolumeId volume) const
{
    std::lock_guard guard(m_lock);
    return m_device_flags[static_cast<size_t>(volume)];
}

void StorageManager::set_failure(Call call, DWORD error)
{
    std::lock_guard guard(m_lock);
    m_failures[static_cast<size_t>(call)] = error;
}

DWORD StorageManager::failure(Call call) const
{
    std::lock_guard guard(m_lock);
    return m_failures[static_cast<size_t>(call)];
}

void StorageManager::set_format_duration(uint64_t ms)
{
    std::lock_guard guard(m_lock);
    m_format_duration = ms;
}

uint64_t StorageManager::format_duration() const
{
    std::lock_guard guard(m_lock);
    return m_format_duration;
}

size_t StorageManager::format_count() const
{
    std::lock_guard guard(m_lock);
    return m_format_count;
}

DWORD StorageManager::dismount(VolumeId volume)
{
    if (DWORD error = failure(Call::Dismount))
        return error;
    // The flash disk holds the system's own files and stays mounted.
    if (volume != VolumeId::Card)
        return ERROR_ACCESS_DENIED;
    if (!m_volumes.card_present())
        return ERROR_NOT_READY;
    m_volumes.set_card_mounted(false);
    return ERROR_SUCCESS;
}

DWORD StorageManager::mount(VolumeId volume)
{
    if (DWORD error = failure(Call::Mount))
        return error;
    if (volume != VolumeId::Card)
        return m_volumes.is_available(volume) ? ERROR_ALREADY_EXISTS : ERROR_NOT_READY;
    if (!m_volumes.card_present())
        return ERROR_NOT_READY;
    m_volumes.set_card_mounted(true);
    return ERROR_SUCCESS;
}

DWORD StorageManager::format(VolumeId volume)
{
    if (DWORD error = failure(Call::Format))
        return error;
    if (volume != VolumeId::Card)
        return ERROR_ACCESS_DENIED;
    if (!m_volumes.card_present())
        return ERROR_NOT_READY;
    // A mounted volume is in use; the caller dismounts it first.
    if (m_volumes.card_mounted())
        return ERROR_ACCESS_DENIED;
    if (m_volumes.card_write_protected())
        return ERROR_WRITE_PROTECT;
    if (uint64_t duration = format_duration())
        Sleep(static_cast<DWORD>(duration));
    m_device.component<FileSystem>().erase_volume(volume);
    m_volumes.set_card_partition_type(fat32_partition_type);
    std::lock_guard guard(m_lock);
    ++m_format_count;
    return ERROR_SUCCESS;
}

} // namespace kivo
