#include "Volumes.h"

#include "AttributeStore.h"
#include "Device.h"
#include "Errors.h"
#include "WideText.h"

namespace kivo {

namespace {

struct VolumeLayout {
    VolumeId id;
    std::u16string_view name;
    const char* host_folder;
    uint64_t capacity;
};

// The host folder of the object store is a folder of its own, so that what the layer keeps in the
// device root (the registry, disk images) is never a device file.
constexpr VolumeLayout layouts[volume_count] = {
    { VolumeId::ObjectStore, u"", "Root", 32ull << 20 },
    { VolumeId::Nand, u"NAND", "NAND", 256ull << 20 },
    { VolumeId::Card, u"SDMMC", "SDMMC", 2ull << 30 },
    { VolumeId::Windows, u"Windows", "Windows", 16ull << 20 },
    { VolumeId::Temp, u"Temp", "Temp", 16ull << 20 },
};

size_t index_of(VolumeId id)
{
    return static_cast<size_t>(id);
}

} // namespace

Volumes::Volumes(Device& device)
    : m_device(device)
{
    for (auto& layout : layouts) {
        m_capacity[index_of(layout.id)] = layout.capacity;
        std::error_code error;
        std::filesystem::create_directories(host_folder(layout.id), error);
    }
}

std::u16string_view Volumes::name_of(VolumeId id)
{
    return layouts[index_of(id)].name;
}

std::filesystem::path Volumes::host_folder(VolumeId id) const
{
    return m_device.root() / layouts[index_of(id)].host_folder;
}

std::optional<std::filesystem::path> Volumes::find_entry(const std::filesystem::path& folder, std::u16string_view name)
{
    std::string exact = to_utf8(name);
    if (exact == AttributeStore::sidecar_name)
        return std::nullopt;
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(folder / exact, error)))
        return folder / exact;
    for (auto it = std::filesystem::directory_iterator(folder, error); !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::string stored = it->path().filename().string();
        if (stored != AttributeStore::sidecar_name && equals_ignoring_case(to_utf16(stored), name))
            return it->path();
    }
    return std::nullopt;
}

std::optional<ResolvedPath> Volumes::resolve(std::u16string_view device_path, DWORD& error, bool wildcards_in_last) const
{
    auto path = DevicePath::parse(device_path, error, wildcards_in_last);
    if (!path)
        return std::nullopt;
    return resolve(*path, error);
}

std::optional<ResolvedPath> Volumes::resolve(const DevicePath& path, DWORD& error) const
{
    error = ERROR_SUCCESS;
    ResolvedPath result;
    result.path = path;
    auto& names = path.names();
    size_t first = 0;
    if (!names.empty()) {
        for (auto& layout : layouts) {
            if (layout.id != VolumeId::ObjectStore && equals_ignoring_case(names[0], layout.name)) {
                result.volume = layout.id;
                first = 1;
            }
        }
    }
    result.host = host_folder(result.volume);
    result.parent_exists = true;
    if (first == names.size()) {
        result.is_volume_root = true;
        result.exists = is_available(result.volume);
        result.is_directory = result.exists;
        return result;
    }
    if (!is_available(result.volume)) {
        error = ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }
    for (size_t i = first; i < names.size(); ++i) {
        auto entry = find_entry(result.host, names[i]);
        bool last = i + 1 == names.size();
        std::error_code status_error;
        if (last) {
            result.exists = entry.has_value();
            result.host = entry ? *entry : result.host / to_utf8(names[i]);
            result.is_directory = entry && std::filesystem::is_directory(*entry, status_error);
        } else if (!entry || !std::filesystem::is_directory(*entry, status_error)) {
            error = ERROR_PATH_NOT_FOUND;
            return std::nullopt;
        } else {
            result.host = *entry;
        }
    }
    return result;
}

bool Volumes::is_available(VolumeId id) const
{
    std::lock_guard guard(m_lock);
    return id != VolumeId::Card || (m_card_present && m_card_mounted);
}

DWORD Volumes::write_error(VolumeId id) const
{
    std::lock_guard guard(m_lock);
    if (id != VolumeId::Card)
        return ERROR_SUCCESS;
    if (!m_card_present || !m_card_mounted)
        return ERROR_NOT_READY;
    return m_card_write_protected ? ERROR_WRITE_PROTECT : ERROR_SUCCESS;
}

uint64_t Volumes::capacity(VolumeId id) const
{
    std::lock_guard guard(m_lock);
    return m_capacity[index_of(id)];
}

void Volumes::set_capacity(VolumeId id, uint64_t bytes)
{
    std::lock_guard guard(m_lock);
    m_capacity[index_of(id)] = bytes;
}

uint64_t Volumes::used_bytes(VolumeId id) const
{
    uint64_t total = 0;
    std::error_code error;
    auto options = std::filesystem::directory_options::skip_permission_denied;
    for (auto it = std::filesystem::recursive_directory_iterator(host_folder(id), options, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::error_code status_error;
        if (it->is_regular_file(status_error) && it->path().filename() != AttributeStore::sidecar_name)
            total += it->file_size(status_error);
    }
    return total;
}

uint64_t Volumes::free_bytes(VolumeId id) const
{
    uint64_t used = used_bytes(id);
    uint64_t size = capacity(id);
    return size > used ? size - used : 0;
}

void Volumes::set_free_bytes(VolumeId id, uint64_t bytes)
{
    set_capacity(id, used_bytes(id) + bytes);
}

uint64_t Volumes::total_memory() const
{
    std::lock_guard guard(m_lock);
    return m_total_memory;
}

uint64_t Volumes::available_memory() const
{
    std::lock_guard guard(m_lock);
    return m_available_memory;
}

void Volumes::set_memory(uint64_t total, uint64_t available)
{
    std::lock_guard guard(m_lock);
    m_total_memory = total;
    m_available_memory = available;
}

bool Volumes::card_present() const
{
    std::lock_guard guard(m_lock);
    return m_card_present;
}

void Volumes::set_card_present(bool present)
{
    bool was = is_available(VolumeId::Card);
    bool moved;
    {
        std::lock_guard guard(m_lock);
        moved = m_card_present != present;
        m_card_present = present;
        // A card that comes in is mounted by the storage manager.
        if (present)
            m_card_mounted = true;
    }
    card_changed(was, moved);
}

bool Volumes::card_write_protected() const
{
    std::lock_guard guard(m_lock);
    return m_card_write_protected;
}

void Volumes::set_card_write_protected(bool write_protected)
{
    std::lock_guard guard(m_lock);
    m_card_write_protected = write_protected;
}

BYTE Volumes::card_partition_type() const
{
    std::lock_guard guard(m_lock);
    return m_card_partition_type;
}

void Volumes::set_card_partition_type(BYTE type)
{
    std::lock_guard guard(m_lock);
    m_card_partition_type = type;
}

bool Volumes::card_mounted() const
{
    std::lock_guard guard(m_lock);
    return m_card_mounted;
}

void Volumes::set_card_mounted(bool mounted)
{
    bool was = is_available(VolumeId::Card);
    {
        std::lock_guard guard(m_lock);
        m_card_mounted = mounted;
    }
    card_changed(was, false);
}

void Volumes::add_card_listener(CardListener listener)
{
    std::lock_guard guard(m_lock);
    m_card_listeners.push_back(std::move(listener));
}

void Volumes::card_changed(bool was_available, bool moved)
{
    bool now = is_available(VolumeId::Card);
    if (now == was_available && !moved)
        return;
    std::vector<CardListener> listeners;
    {
        std::lock_guard guard(m_lock);
        listeners = m_card_listeners;
    }
    for (auto& listener : listeners)
        listener(now);
}

} // namespace kivo
