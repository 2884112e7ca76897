#include "Volumes.h"

#include "AttributeStore.h"
#include "Device.h"
#include "Errors.h"
#include "WideText.h"

#include <dirent.h>
#include <sys/stat.h>

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

// Whether two UTF-8 names of one length may be one name in two cases: their ASCII letters up to
// the first other byte agree without regard to case.
bool may_equal(std::string_view a, std::string_view b)
{
    for (size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80)
            return true;
        if (x != y && (x | 0x20) != (y | 0x20))
            return false;
        if (x != y && ((x | 0x20) < 'a' || (x | 0x20) > 'z'))
            return false;
    }
    return true;
}

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

namespace {

// Only a link needs a second look to tell a folder.
Volumes::FoundEntry found_entry(std::filesystem::path host, bool is_link, bool is_directory)
{
    struct stat target { };
    if (is_link)
        is_directory = ::stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    return { std::move(host), is_directory };
}

} // namespace

std::optional<Volumes::FoundEntry> Volumes::find_exact(const std::filesystem::path& host)
{
    struct stat status { };
    if (::lstat(host.c_str(), &status) != 0)
        return std::nullopt;
    return found_entry(host, S_ISLNK(status.st_mode), S_ISDIR(status.st_mode));
}

std::optional<Volumes::FoundEntry> Volumes::find_entry(const std::filesystem::path& folder, std::u16string_view name)
{
    std::string exact = to_utf8(name);
    if (AttributeStore::is_own_file(exact))
        return std::nullopt;
    if (auto entry = find_exact(folder / exact))
        return entry;
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return std::nullopt;
    std::optional<FoundEntry> found;
    // The device folds only ASCII and Latin-1 letters, whose two cases are as long in UTF-8: a
    // name of another length is passed over without being decoded, which keeps a look-up in a
    // large folder cheap.
    while (const dirent* entry = ::readdir(listing)) {
        std::string_view stored(entry->d_name);
        if (stored.size() == exact.size() && may_equal(stored, exact) && equals_ignoring_case(to_utf16(stored), name)
            && !AttributeStore::is_own_file(entry->d_name)) {
            bool unknown = entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK;
            found = found_entry(folder / entry->d_name, unknown, entry->d_type == DT_DIR);
            break;
        }
    }
    ::closedir(listing);
    return found;
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
    // Most paths are spelled as stored: one look at the whole path finds them, and only a miss
    // walks the folders name by name.
    auto exact = result.host;
    bool passes_own_file = false;
    for (size_t i = first; i < names.size(); ++i) {
        exact /= to_utf8(names[i]);
        passes_own_file = passes_own_file || AttributeStore::is_own_file(exact);
    }
    if (auto entry = passes_own_file ? std::nullopt : find_exact(exact)) {
        result.host = entry->host;
        result.exists = true;
        result.is_directory = entry->is_directory;
        return result;
    }
    for (size_t i = first; i < names.size(); ++i) {
        auto entry = find_entry(result.host, names[i]);
        bool last = i + 1 == names.size();
        if (last) {
            result.exists = entry.has_value();
            result.host = entry ? entry->host : result.host / to_utf8(names[i]);
            result.is_directory = entry && entry->is_directory;
        } else if (!entry || !entry->is_directory) {
            error = ERROR_PATH_NOT_FOUND;
            return std::nullopt;
        } else {
            result.host = entry->host;
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

namespace {

uint64_t bytes_under(const std::filesystem::path& folder)
{
    uint64_t total = 0;
    std::error_code error;
    auto options = std::filesystem::directory_options::skip_permission_denied;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, options, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::error_code status_error;
        if (it->is_regular_file(status_error) && !AttributeStore::is_own_file(it->path()))
            total += it->file_size(status_error);
    }
    return total;
}

} // namespace

uint64_t& Volumes::used_locked(VolumeId id) const
{
    auto& used = m_used[index_of(id)];
    if (!used)
        used = bytes_under(host_folder(id));
    return *used;
}

uint64_t Volumes::used_bytes(VolumeId id) const
{
    std::lock_guard guard(m_lock);
    return used_locked(id);
}

uint64_t Volumes::free_bytes(VolumeId id) const
{
    std::lock_guard guard(m_lock);
    uint64_t used = used_locked(id);
    uint64_t size = m_capacity[index_of(id)];
    return size > used ? size - used : 0;
}

void Volumes::set_free_bytes(VolumeId id, uint64_t bytes)
{
    std::lock_guard guard(m_lock);
    m_capacity[index_of(id)] = used_locked(id) + bytes;
}

bool Volumes::reserve(VolumeId id, uint64_t bytes)
{
    std::lock_guard guard(m_lock);
    uint64_t& used = used_locked(id);
    uint64_t size = m_capacity[index_of(id)];
    if (bytes > 0 && (used >= size || bytes > size - used))
        return false;
    used += bytes;
    return true;
}

void Volumes::release(VolumeId id, uint64_t bytes)
{
    std::lock_guard guard(m_lock);
    uint64_t& used = used_locked(id);
    used = used > bytes ? used - bytes : 0;
}

void Volumes::add_used(VolumeId id, uint64_t bytes)
{
    std::lock_guard guard(m_lock);
    used_locked(id) += bytes;
}

void Volumes::recount(VolumeId id)
{
    std::lock_guard guard(m_lock);
    m_used[index_of(id)].reset();
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
        // Another card, or the same one changed elsewhere: its files are counted again.
        if (moved)
            m_used[index_of(VolumeId::Card)].reset();
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
        if (mounted && !m_card_mounted)
            m_used[index_of(VolumeId::Card)].reset();
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
