#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Types.h"
#include "Volumes.h"

#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

class Device;

// The stores the storage manager shows: the flash disk, then the memory card while it is in,
// each with one partition "Part00". Tests make its calls fail, give the format a duration on the
// device clock and count the formats.
class StorageManager final : public DeviceComponent {
public:
    struct Store {
        std::u16string device_name;
        std::u16string store_name;
        VolumeId volume;
    };

    enum class Call {
        OpenStore,
        OpenPartition,
        Dismount,
        Mount,
        Format,
    };

    explicit StorageManager(Device&);

    // The stores present now, in the device's order.
    std::vector<Store> stores() const;
    // Leaves the flash store out of the enumeration (it is listed unless told), so that the card
    // is the first store, as on boards whose flash the storage manager does not show.
    void set_flash_store_listed(bool);
    // The storage-device flags a store shows: read-write, or read-only for a write-protected
    // card, unless a test gives the store flags of its own (nullopt brings the default back).
    void set_device_flags(VolumeId, std::optional<DWORD> flags);
    std::optional<DWORD> device_flags(VolumeId) const;

    // A call answers `error` until cleared with 0.
    void set_failure(Call, DWORD error);
    DWORD failure(Call) const;

    void set_format_duration(uint64_t ms);
    uint64_t format_duration() const;
    size_t format_count() const;

    DWORD dismount(VolumeId);
    DWORD mount(VolumeId);
    // Empties the volume of a dismounted partition; it carries a FAT file system afterwards.
    DWORD format(VolumeId);

private:
    Device& m_device;
    Volumes& m_volumes;
    mutable HostMutex m_lock { LockRank::StorageManager };
    std::array<DWORD, 5> m_failures {};
    uint64_t m_format_duration = 0;
    bool m_flash_listed = true;
    std::array<std::optional<DWORD>, volume_count> m_device_flags {};
    size_t m_format_count = 0;
};

// "FormatVolume" of the layer's "fatutil.dll".
DWORD fatutil_format_volume(HANDLE partition, void* disk_info, void* options, void* progress, void* message);

} // namespace kivo
