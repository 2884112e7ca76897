#include "FileSystem.h"

#include "Device.h"
#include "Errors.h"
#include "FileApi.h"
#include "WideText.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo {

namespace {

constexpr DWORD stored_attribute_mask = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr uint64_t unix_epoch_in_filetime_seconds = 11644473600ULL;

uint64_t filetime_of(const timespec& time)
{
    return (static_cast<uint64_t>(time.tv_sec) + unix_epoch_in_filetime_seconds) * 10'000'000ULL
        + static_cast<uint64_t>(time.tv_nsec) / 100;
}

timespec timespec_of(uint64_t filetime)
{
    timespec time {};
    uint64_t seconds = filetime / 10'000'000ULL;
    time.tv_sec = static_cast<time_t>(seconds > unix_epoch_in_filetime_seconds ? seconds - unix_epoch_in_filetime_seconds : 0);
    time.tv_nsec = static_cast<long>(filetime % 10'000'000ULL) * 100;
    return time;
}

DWORD error_of(int code)
{
    switch (code) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EINVAL:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD error_of(const std::error_code& error)
{
    return error_of(error.value());
}

// A missing entry is "file not found" when its folder exists, else "path not found".
DWORD missing_error(const ResolvedPath& resolved)
{
    return resolved.parent_exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// The bytes of a host file, 0 when there is none.
uint64_t size_of_host(const std::filesystem::path& host)
{
    struct stat status { };
    return ::stat(host.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
}

} // namespace

FileSystem::FileSystem(Device& device)
    : m_device(device)
    , m_volumes(device.component<Volumes>())
{
    // A card that goes may come back changed elsewhere: its folders' records are read again.
    // The listener may outlive the file system, which goes before the volumes.
    m_volumes.add_card_listener([store = std::weak_ptr(m_attributes), card = m_volumes.host_folder(VolumeId::Card)](bool) {
        if (auto attributes = store.lock())
            attributes->flush_and_forget(card);
    });
}

void FileSystem::device_stopping(StopReason)
{
    m_attributes->flush();
}

uint64_t FileSystem::now_filetime() const
{
    return m_device.clock().system_time();
}

DWORD FileSystem::refusal(const ResolvedPath& resolved, unsigned checks) const
{
    if ((checks & Exists) && !resolved.exists)
        return missing_error(resolved);
    if ((checks & NotVolumeRoot) && resolved.is_volume_root)
        return ERROR_ACCESS_DENIED;
    if ((checks & NotDirectory) && resolved.is_directory)
        return ERROR_ACCESS_DENIED;
    if (checks & Writable) {
        if (DWORD refused = m_volumes.write_error(resolved.volume))
            return refused;
    }
    if ((checks & NotReadOnly) && resolved.exists && !resolved.is_volume_root && (stored_attributes(resolved.host) & FILE_ATTRIBUTE_READONLY))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

std::optional<ResolvedPath> FileSystem::checked(std::u16string_view path, unsigned checks, DWORD& error) const
{
    auto resolved = m_volumes.resolve(path, error);
    if (!resolved)
        return std::nullopt;
    error = refusal(*resolved, checks);
    if (error)
        return std::nullopt;
    return resolved;
}

DWORD FileSystem::refusal(const FileObject& file) const
{
    if (!file.access().write)
        return ERROR_ACCESS_DENIED;
    return m_volumes.write_error(file.volume());
}

void FileSystem::settle(VolumeId volume, uint64_t reserved, uint64_t before, uint64_t after)
{
    uint64_t grown = before + reserved;
    if (after > grown)
        m_volumes.add_used(volume, after - grown);
    else if (after < grown)
        m_volumes.release(volume, grown - after);
}

DWORD FileSystem::stored_attributes(const std::filesystem::path& host) const
{
    auto record = m_attributes->get(host);
    return record ? record->attributes & stored_attribute_mask : 0;
}

FileInfo FileSystem::host_info(const std::filesystem::path& host, bool directory) const
{
    FileInfo info;
    info.name = to_utf16(host.filename().string());
    struct stat status { };
    if (::stat(host.c_str(), &status) == 0) {
        info.last_write_time = filetime_of(status.st_mtim);
        info.last_access_time = filetime_of(status.st_atim);
        info.creation_time = info.last_write_time;
        if (!directory)
            info.size = static_cast<uint64_t>(status.st_size);
    }
    auto record = m_attributes->get(host);
    DWORD attributes = record ? record->attributes & stored_attribute_mask : 0;
    if (record && record->creation_time)
        info.creation_time = record->creation_time;
    if (directory)
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    info.attributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return info;
}

FileInfo FileSystem::info_of(const ResolvedPath& resolved) const
{
    if (!resolved.is_volume_root)
        return host_info(resolved.host, resolved.is_directory);
    // Mounted volumes show as folders flagged temporary, as the device's mount points do.
    FileInfo info = host_info(resolved.host, true);
    info.name = std::u16string(Volumes::name_of(resolved.volume));
    info.attributes = FILE_ATTRIBUTE_DIRECTORY;
    if (resolved.volume == VolumeId::Nand || resolved.volume == VolumeId::Card)
        info.attributes |= FILE_ATTRIBUTE_TEMPORARY;
    return info;
}

FileInfo FileSystem::info_of(const FileObject& file) const
{
    return host_info(file.host(), false);
}

std::shared_ptr<FileObject> FileSystem::open(std::u16string_view path, FileObject::Access access, DWORD disposition,
    DWORD attributes, DWORD& error, bool& existed)
{
    existed = false;
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    auto resolved = checked(path, 0, error);
    if (!resolved)
        return nullptr;
    if (resolved->is_volume_root || resolved->is_directory) {
        error = resolved->exists || resolved->is_volume_root ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    bool truncate = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    bool changes = access.write || truncate || !resolved->exists;
    if (resolved->exists) {
        if (disposition == CREATE_NEW) {
            error = ERROR_FILE_EXISTS;
            return nullptr;
        }
        // A read-only file stays as it is until its attribute is cleared; a hidden one may be
        // overwritten by a create, as on the device's FAT volumes.
        if (changes && (error = refusal(*resolved, NotReadOnly)))
            return nullptr;
    } else if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
        error = missing_error(*resolved);
        return nullptr;
    }
    if (changes && (error = refusal(*resolved, Writable)))
        return nullptr;
    // The handles open must let this one in before anything changes (a create truncates).
    if ((error = m_open->open(resolved->host, FileObject::use_of(access))))
        return nullptr;
    // The new record goes first: a file created read-only is never there without its flag.
    bool records = !resolved->exists || disposition == CREATE_ALWAYS;
    auto old_record = m_attributes->get(resolved->host);
    if (records) {
        auto record = old_record.value_or(AttributeStore::Record {});
        record.attributes = (attributes & stored_attribute_mask) | FILE_ATTRIBUTE_ARCHIVE;
        if (!resolved->exists || !record.creation_time)
            record.creation_time = now_filetime();
        if ((error = m_attributes->set(resolved->host, record))) {
            m_open->closed(resolved->host, FileObject::use_of(access));
            return nullptr;
        }
    }
    uint64_t old_size = truncate && resolved->exists ? size_of_host(resolved->host) : 0;
    int flags = O_CLOEXEC | (access.write ? O_RDWR : O_RDONLY);
    if (!resolved->exists)
        flags |= O_CREAT | O_EXCL | O_RDWR;
    if (truncate)
        flags |= O_TRUNC | O_RDWR;
    int descriptor = ::open(resolved->host.c_str(), flags, 0644);
    if (descriptor < 0) {
        error = error_of(errno);
        if (records)
            old_record ? m_attributes->set(resolved->host, *old_record) : m_attributes->erase(resolved->host);
        m_open->closed(resolved->host, FileObject::use_of(access));
        return nullptr;
    }
    if (truncate)
        m_volumes.release(resolved->volume, old_size);
    existed = resolved->exists;
    auto file = std::make_shared<FileObject>(descriptor, resolved->path.text(), resolved->host, resolved->volume, access, m_open, m_file_faults);
    if (changes)
        stamp_write_time(*file);
    error = ERROR_SUCCESS;
    return file;
}

void FileSystem::stamp_write_time(const FileObject& file)
{
    timespec times[2] = { timespec_of(now_filetime()), timespec_of(now_filetime()) };
    ::futimens(file.descriptor(), times);
}

DWORD FileSystem::read(FileObject& file, void* buffer, DWORD size, DWORD& done)
{
    done = 0;
    if (!file.access().read)
        return ERROR_ACCESS_DENIED;
    if (!m_volumes.is_available(file.volume()))
        return ERROR_NOT_READY;
    if (DWORD planned = m_file_faults->read_error(file.device_path()))
        return planned;
    auto* bytes = static_cast<char*>(buffer);
    while (done < size) {
        ssize_t got = ::pread(file.descriptor(), bytes + done, size - done, static_cast<off_t>(file.position() + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return error_of(errno);
        if (got == 0)
            break;
        done += static_cast<DWORD>(got);
    }
    file.set_position(file.position() + done);
    return ERROR_SUCCESS;
}

DWORD FileSystem::write(FileObject& file, const void* buffer, DWORD size, DWORD& done)
{
    done = 0;
    if (DWORD refused = refusal(file))
        return refused;
    if (DWORD planned = m_file_faults->write_error(file.device_path(), size))
        return planned;
    uint64_t current_size = 0;
    if (DWORD failure = size_of(file, current_size))
        return failure;
    uint64_t start = file.access().append ? current_size : file.position();
    uint64_t end = start + size;
    uint64_t growth = end > current_size ? end - current_size : 0;
    // A write that does not fit writes nothing at all.
    if (!m_volumes.reserve(file.volume(), growth))
        return ERROR_DISK_FULL;
    DWORD failure = ERROR_SUCCESS;
    auto* bytes = static_cast<const char*>(buffer);
    while (done < size) {
        ssize_t put = ::pwrite(file.descriptor(), bytes + done, size - done, static_cast<off_t>(start + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0) {
            failure = error_of(errno);
            break;
        }
        done += static_cast<DWORD>(put);
    }
    uint64_t new_size = current_size;
    size_of(file, new_size);
    settle(file.volume(), growth, current_size, new_size);
    if (failure)
        return failure;
    file.set_position(start + done);
    stamp_write_time(file);
    return ERROR_SUCCESS;
}

DWORD FileSystem::size_of(const FileObject& file, uint64_t& size) const
{
    struct stat status { };
    if (::fstat(file.descriptor(), &status) != 0)
        return error_of(errno);
    size = static_cast<uint64_t>(status.st_size);
    return ERROR_SUCCESS;
}

DWORD FileSystem::resize(FileObject& file, uint64_t size)
{
    if (DWORD refused = refusal(file))
        return refused;
    uint64_t current_size = 0;
    if (DWORD failure = size_of(file, current_size))
        return failure;
    uint64_t growth = size > current_size ? size - current_size : 0;
    if (!m_volumes.reserve(file.volume(), growth))
        return ERROR_DISK_FULL;
    DWORD failure = ::ftruncate(file.descriptor(), static_cast<off_t>(size)) != 0 ? error_of(errno) : ERROR_SUCCESS;
    uint64_t new_size = current_size;
    size_of(file, new_size);
    settle(file.volume(), growth, current_size, new_size);
    if (failure)
        return failure;
    stamp_write_time(file);
    return ERROR_SUCCESS;
}

DWORD FileSystem::remove_file(std::u16string_view path)
{
    DWORD error = 0;
    auto resolved = checked(path, Exists | NotVolumeRoot | NotDirectory | Writable | NotReadOnly, error);
    if (!resolved)
        return error;
    if (m_open->is_open(resolved->host))
        return ERROR_SHARING_VIOLATION;
    uint64_t size = size_of_host(resolved->host);
    std::error_code failure;
    if (!std::filesystem::remove(resolved->host, failure))
        return failure ? error_of(failure) : ERROR_FILE_NOT_FOUND;
    m_volumes.release(resolved->volume, size);
    m_attributes->erase(resolved->host);
    return ERROR_SUCCESS;
}

DWORD FileSystem::move(std::u16string_view from, std::u16string_view to)
{
    DWORD error = 0;
    auto source = checked(from, Exists, error);
    if (!source)
        return error;
    auto target = checked(to, 0, error);
    if (!target)
        return error;
    if (source->is_volume_root || target->is_volume_root)
        return ERROR_ACCESS_DENIED;
    // Only a change of case may move an entry onto its own name.
    bool same_entry = target->exists && target->host == source->host;
    if (target->exists && !same_entry)
        return ERROR_ALREADY_EXISTS;
    if (same_entry)
        target->host = target->host.parent_path() / to_utf8(target->path.names().back());
    for (auto* entry : { &*source, &*target }) {
        if (DWORD refused = refusal(*entry, Writable))
            return refused;
    }
    if (m_open->is_open(source->host))
        return ERROR_SHARING_VIOLATION;
    uint64_t size = 0;
    if (source->volume != target->volume) {
        if (source->is_directory)
            return ERROR_ACCESS_DENIED;
        size = size_of_host(source->host);
        if (!m_volumes.reserve(target->volume, size))
            return ERROR_DISK_FULL;
    }
    // A folder's own records move with it: they are on disk before it goes.
    if (source->is_directory)
        m_attributes->flush_and_forget(source->host);
    if (DWORD failure = m_attributes->move(source->host, target->host)) {
        m_volumes.release(target->volume, size);
        return failure;
    }
    std::error_code failure;
    std::filesystem::rename(source->host, target->host, failure);
    if (failure) {
        m_attributes->move(target->host, source->host);
        m_volumes.release(target->volume, size);
        return error_of(failure);
    }
    m_volumes.release(source->volume, size);
    return ERROR_SUCCESS;
}

DWORD FileSystem::replace(std::u16string_view destination, std::u16string_view source_path)
{
    DWORD error = 0;
    auto target = checked(destination, 0, error);
    if (!target)
        return error;
    auto source = checked(source_path, 0, error);
    if (!source)
        return error;
    for (auto* entry : { &*target, &*source }) {
        if (DWORD refused = refusal(*entry, Exists))
            return refused;
    }
    for (auto* entry : { &*target, &*source }) {
        if (DWORD refused = refusal(*entry, NotVolumeRoot | NotDirectory))
            return refused;
    }
    if (target->host == source->host || source->volume != target->volume)
        return ERROR_ACCESS_DENIED;
    if (DWORD refused = refusal(*target, Writable | NotReadOnly))
        return refused;
    if (m_open->is_open(target->host) || m_open->is_open(source->host))
        return ERROR_SHARING_VIOLATION;
    uint64_t freed = size_of_host(target->host);
    auto target_record = m_attributes->get(target->host);
    if (DWORD failure = m_attributes->move(source->host, target->host))
        return failure;
    std::error_code failure;
    std::filesystem::rename(source->host, target->host, failure);
    if (failure) {
        m_attributes->move(target->host, source->host);
        if (target_record)
            m_attributes->set(target->host, *target_record);
        return error_of(failure);
    }
    m_volumes.release(target->volume, freed);
    return ERROR_SUCCESS;
}

DWORD FileSystem::copy(std::u16string_view from, std::u16string_view to, bool fail_if_exists)
{
    DWORD error = 0;
    auto source = checked(from, Exists | NotVolumeRoot | NotDirectory, error);
    if (!source)
        return error;
    auto target = checked(to, NotVolumeRoot | NotDirectory, error);
    if (!target)
        return error;
    // A copy onto itself would lose the file: refused, the file stays.
    if (target->exists && target->host == source->host)
        return ERROR_SHARING_VIOLATION;
    if (target->exists && fail_if_exists)
        return ERROR_FILE_EXISTS;
    if (DWORD refused = refusal(*target, Writable | NotReadOnly))
        return refused;
    if (!m_volumes.is_available(source->volume))
        return ERROR_NOT_READY;
    uint64_t needed = size_of_host(source->host);
    uint64_t freed = target->exists ? size_of_host(target->host) : 0;
    uint64_t growth = needed > freed ? needed - freed : 0;
    if (!m_volumes.reserve(target->volume, growth))
        return ERROR_DISK_FULL;
    // The copy keeps the source's attributes and last write time, and is new from now on; its
    // record goes first, so that a read-only copy is never there without its flag.
    auto old_record = m_attributes->get(target->host);
    if (DWORD failure = m_attributes->set(target->host, { stored_attributes(source->host) | FILE_ATTRIBUTE_ARCHIVE, now_filetime() })) {
        m_volumes.release(target->volume, growth);
        return failure;
    }
    std::error_code failure;
    std::filesystem::copy_file(source->host, target->host, std::filesystem::copy_options::overwrite_existing, failure);
    settle(target->volume, growth, freed, size_of_host(target->host));
    if (failure) {
        old_record ? m_attributes->set(target->host, *old_record) : m_attributes->erase(target->host);
        return error_of(failure);
    }
    struct stat status { };
    if (::stat(source->host.c_str(), &status) == 0) {
        timespec times[2] = { status.st_atim, status.st_mtim };
        ::utimensat(AT_FDCWD, target->host.c_str(), times, 0);
    }
    return ERROR_SUCCESS;
}

DWORD FileSystem::create_directory(std::u16string_view path)
{
    DWORD error = 0;
    auto resolved = checked(path, 0, error);
    if (!resolved)
        return error;
    if (resolved->is_volume_root)
        return resolved->exists ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED;
    if (resolved->exists)
        return ERROR_ALREADY_EXISTS;
    if (DWORD refused = refusal(*resolved, Writable))
        return refused;
    if (DWORD planned = m_file_faults->create_directory_error(resolved->path.text()))
        return planned;
    std::error_code failure;
    std::filesystem::create_directory(resolved->host, failure);
    if (failure)
        return error_of(failure);
    m_attributes->set(resolved->host, { 0, now_filetime() });
    return ERROR_SUCCESS;
}

DWORD FileSystem::remove_directory(std::u16string_view path)
{
    DWORD error = 0;
    auto resolved = checked(path, 0, error);
    if (!resolved)
        return error;
    if (resolved->is_volume_root)
        return resolved->exists ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    if (DWORD refused = refusal(*resolved, Exists))
        return refused;
    if (!resolved->is_directory)
        return ERROR_DIRECTORY;
    if (DWORD refused = refusal(*resolved, Writable | NotReadOnly))
        return refused;
    std::error_code failure;
    std::vector<std::filesystem::path> own_files;
    for (auto& entry : std::filesystem::directory_iterator(resolved->host, failure)) {
        if (!AttributeStore::is_own_file(entry.path()))
            return ERROR_DIR_NOT_EMPTY;
        own_files.push_back(entry.path());
    }
    m_attributes->forget(resolved->host);
    for (auto& own : own_files)
        std::filesystem::remove(own, failure);
    std::filesystem::remove(resolved->host, failure);
    if (failure)
        return error_of(failure);
    m_attributes->erase(resolved->host);
    return ERROR_SUCCESS;
}

DWORD FileSystem::attributes_of(std::u16string_view path, DWORD& attributes) const
{
    attributes = INVALID_FILE_ATTRIBUTES;
    DWORD error = 0;
    auto resolved = checked(path, Exists, error);
    if (!resolved)
        return error;
    attributes = info_of(*resolved).attributes;
    return ERROR_SUCCESS;
}

DWORD FileSystem::set_attributes(std::u16string_view path, DWORD attributes)
{
    DWORD error = 0;
    auto resolved = checked(path, Exists | NotVolumeRoot | Writable, error);
    if (!resolved)
        return error;
    auto record = m_attributes->get(resolved->host).value_or(AttributeStore::Record {});
    record.attributes = attributes & stored_attribute_mask;
    return m_attributes->set(resolved->host, record);
}

DWORD FileSystem::find(std::u16string_view pattern_path, std::vector<FileInfo>& entries) const
{
    entries.clear();
    DWORD error = 0;
    auto pattern = DevicePath::parse(pattern_path, error, true);
    if (!pattern)
        return error;
    if (pattern->is_root())
        return ERROR_FILE_NOT_FOUND;
    const std::u16string& wanted = pattern->names().back();
    auto folder = m_volumes.resolve(pattern->parent(), error);
    if (!folder)
        return error;
    if (!folder->exists || !folder->is_directory)
        return ERROR_PATH_NOT_FOUND;
    auto consider = [&](FileInfo info) {
        if (DevicePath::matches_pattern(info.name, wanted))
            entries.push_back(std::move(info));
    };
    if (folder->path.is_root()) {
        for (auto volume : { VolumeId::Nand, VolumeId::Card, VolumeId::Windows, VolumeId::Temp }) {
            auto root = m_volumes.resolve(DevicePath::parse(Volumes::name_of(volume), error).value(), error);
            if (root && root->exists)
                consider(info_of(*root));
        }
    }
    std::error_code failure;
    for (auto it = std::filesystem::directory_iterator(folder->host, failure); !failure && it != std::filesystem::directory_iterator(); it.increment(failure)) {
        if (AttributeStore::is_own_file(it->path()))
            continue;
        std::error_code status_error;
        consider(host_info(it->path(), it->is_directory(status_error)));
    }
    std::sort(entries.begin(), entries.end(), [](const FileInfo& a, const FileInfo& b) {
        int order = compare_ignoring_case(a.name, b.name);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return entries.empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

DWORD FileSystem::free_space(std::u16string_view path, uint64_t& free, uint64_t& total) const
{
    DWORD error = 0;
    auto resolved = m_volumes.resolve(path, error);
    if (!resolved)
        return error;
    if (!m_volumes.is_available(resolved->volume))
        return ERROR_PATH_NOT_FOUND;
    free = m_volumes.free_bytes(resolved->volume);
    total = m_volumes.capacity(resolved->volume);
    return ERROR_SUCCESS;
}

void FileSystem::erase_volume(VolumeId volume)
{
    auto folder = m_volumes.host_folder(volume);
    m_attributes->forget(folder);
    std::error_code failure;
    for (auto& entry : std::filesystem::directory_iterator(folder, failure)) {
        std::error_code remove_error;
        std::filesystem::remove_all(entry.path(), remove_error);
    }
    m_volumes.recount(volume);
}

} // namespace kivo
