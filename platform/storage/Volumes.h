#pragma once

#include "DeviceComponent.h"
#include "DevicePath.h"
#include "HostMutex.h"
#include "Types.h"

#include <array>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

class Device;

enum class VolumeId {
    ObjectStore, // "\" itself: the files and folders of the root
    Nand,
    Card,
    Windows,
    Temp,
};
inline constexpr size_t volume_count = 5;

// Where a device path lands: its volume, the host path (existing names in their stored spelling,
// the rest as given) and what exists of it.
struct ResolvedPath {
    DevicePath path;
    VolumeId volume = VolumeId::ObjectStore;
    std::filesystem::path host;
    bool exists = false;
    bool is_directory = false;
    bool parent_exists = false;
    bool is_volume_root = false; // "\", "\NAND", "\SDMMC" …
};

// The device's volumes, each a folder of the device root: their sizes and free space, the memory
// status, and the memory card (present, write-protected, partition type, mounted). Tests and the
// simulator read and set all of it; listeners hear when the card comes or goes.
class Volumes final : public DeviceComponent {
public:
    explicit Volumes(Device&);

    // The device's name of a volume ("" for the root object store) and its host folder.
    static std::u16string_view name_of(VolumeId);
    std::filesystem::path host_folder(VolumeId) const;

    // Null with ERROR_PATH_NOT_FOUND when a folder on the way is missing (or the card is), or the
    // parse error of a malformed path.
    std::optional<ResolvedPath> resolve(std::u16string_view device_path, DWORD& error, bool wildcards_in_last = false) const;
    std::optional<ResolvedPath> resolve(const DevicePath&, DWORD& error) const;
    // A name found in a host folder: its exact spelling, compared without regard to case, and
    // whether it is a folder (a link is followed), known without asking the host again.
    struct FoundEntry {
        std::filesystem::path host;
        bool is_directory = false;
    };
    static std::optional<FoundEntry> find_entry(const std::filesystem::path& folder, std::u16string_view name);
    // The host path when it exists exactly as spelled.
    static std::optional<FoundEntry> find_exact(const std::filesystem::path& host);

    // Whether the volume can be seen now (the card is present and mounted).
    bool is_available(VolumeId) const;
    // 0, or the error a change on the volume meets (a write-protected card).
    DWORD write_error(VolumeId) const;

    // Size and free space, exact to the byte: free = capacity − the bytes of every file on it.
    // The bytes used are counted once (at the first use, when the card comes in or is mounted,
    // after a format) and then kept by the file system's changes, so that a write costs nothing
    // however many files the volume holds.
    uint64_t capacity(VolumeId) const;
    void set_capacity(VolumeId, uint64_t bytes);
    uint64_t used_bytes(VolumeId) const;
    uint64_t free_bytes(VolumeId) const;
    // Sizes the volume so that exactly `bytes` are free now.
    void set_free_bytes(VolumeId, uint64_t bytes);
    // Takes `bytes` of the free space for a change about to be made, in one step with the check,
    // so that two writers never both get the last free bytes; false when they are not free.
    bool reserve(VolumeId, uint64_t bytes);
    // Tells the count what a change did: bytes given back (a delete, a cut, an unused reservation)
    // or used beyond what was reserved.
    void release(VolumeId, uint64_t bytes);
    void add_used(VolumeId, uint64_t bytes);
    // The volume's files are to be counted again at the next use (after a format).
    void recount(VolumeId);

    // GlobalMemoryStatus.
    uint64_t total_memory() const;
    uint64_t available_memory() const;
    void set_memory(uint64_t total, uint64_t available);

    // The memory card.
    bool card_present() const;
    void set_card_present(bool);
    bool card_write_protected() const;
    void set_card_write_protected(bool);
    BYTE card_partition_type() const;
    void set_card_partition_type(BYTE);
    bool card_mounted() const;
    void set_card_mounted(bool);
    // Called (without locks) whenever the card appears or disappears for the device, and when it
    // is put in or taken out of its slot while dismounted.
    using CardListener = std::function<void(bool available)>;
    void add_card_listener(CardListener);

private:
    void card_changed(bool was_available, bool moved);
    // With the lock held.
    uint64_t& used_locked(VolumeId) const;

    Device& m_device;
    mutable HostMutex m_lock { LockRank::Volumes };
    std::array<uint64_t, volume_count> m_capacity;
    mutable std::array<std::optional<uint64_t>, volume_count> m_used;
    uint64_t m_total_memory = 64ull << 20;
    uint64_t m_available_memory = 32ull << 20;
    bool m_card_present = true;
    bool m_card_write_protected = false;
    bool m_card_mounted = true;
    BYTE m_card_partition_type = 0x0B;
    std::vector<CardListener> m_card_listeners;
};

} // namespace kivo
