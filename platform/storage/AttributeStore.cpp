#include "AttributeStore.h"

#include "Errors.h"
#include "FileApi.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kivo {

namespace {

constexpr DWORD protecting_flags = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// Waiting changes go out once they reach this many, or half the folder's records if more: the
// writes then grow with the folder, and creating n files costs O(n) in all.
constexpr size_t least_batch = 64;

std::filesystem::path sidecar_of(const std::filesystem::path& folder)
{
    return folder / AttributeStore::sidecar_name;
}

bool is_under(const std::filesystem::path& path, const std::filesystem::path& folder)
{
    auto [end, unused] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end();
}

// One line per entry: attributes in hex, creation time in decimal, then the name to the line's end.
std::map<std::string, AttributeStore::Record> read_records(const std::filesystem::path& sidecar)
{
    std::map<std::string, AttributeStore::Record> records;
    std::ifstream in(sidecar);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        AttributeStore::Record record;
        fields >> std::hex >> record.attributes >> std::dec >> record.creation_time;
        std::string name;
        if (fields.get() != '\t' || !std::getline(fields, name) || name.empty())
            continue;
        records[name] = record;
    }
    return records;
}

// The whole record to a temporary file, each write and the close checked, then renamed over the
// old one; on any failure the old record stays as it was. Answers 0 or the host's error number.
int write_records(const std::filesystem::path& sidecar, const std::map<std::string, AttributeStore::Record>& records)
{
    std::error_code error;
    if (records.empty()) {
        std::filesystem::remove(sidecar, error);
        return error.value();
    }
    std::string text;
    char fields[40];
    for (auto& [name, record] : records) {
        std::snprintf(fields, sizeof fields, "%x %llu\t", static_cast<unsigned>(record.attributes),
            static_cast<unsigned long long>(record.creation_time));
        text += fields;
        text += name;
        text += '\n';
    }
    auto temporary = sidecar;
    temporary += AttributeStore::temporary_suffix;
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return errno;
    int failure = std::fwrite(text.data(), 1, text.size(), file) == text.size() ? 0 : errno;
    if (std::fclose(file) != 0 && !failure)
        failure = errno;
    if (!failure) {
        std::filesystem::rename(temporary, sidecar, error);
        failure = error.value();
    }
    if (failure)
        std::filesystem::remove(temporary, error);
    return failure;
}

} // namespace

AttributeStore::Folder& AttributeStore::folder_of(const std::filesystem::path& folder) const
{
    auto it = m_folders.find(folder);
    if (it == m_folders.end())
        it = m_folders.emplace(folder, Folder { read_records(sidecar_of(folder)), 0 }).first;
    return it->second;
}

DWORD AttributeStore::protecting(const std::optional<Record>& record)
{
    return record ? record->attributes & protecting_flags : 0;
}

int AttributeStore::write(const std::filesystem::path& folder, Folder& records)
{
    ++m_writes;
    int failure = write_records(sidecar_of(folder), records.records);
    if (!failure)
        records.waiting = 0;
    return failure;
}

bool AttributeStore::is_own_file(const std::filesystem::path& name)
{
    auto text = name.filename().string();
    return text == sidecar_name || text == std::string(sidecar_name) + temporary_suffix;
}

DWORD AttributeStore::change(const std::filesystem::path& folder_path, bool urgent, std::map<std::string, std::optional<Record>> entries)
{
    Folder& folder = folder_of(folder_path);
    std::map<std::string, std::optional<Record>> before;
    for (auto& [name, record] : entries) {
        auto it = folder.records.find(name);
        auto old = it == folder.records.end() ? std::nullopt : std::optional<Record>(it->second);
        // Giving or taking a protecting flag is never left to wait.
        if (protecting(old) != protecting(record))
            urgent = true;
        before[name] = old;
        if (record)
            folder.records[name] = *record;
        else if (it != folder.records.end())
            folder.records.erase(it);
    }
    folder.waiting += entries.size();
    if (!urgent && folder.waiting < std::max(least_batch, folder.records.size() / 2))
        return ERROR_SUCCESS;
    int failure = write(folder_path, folder);
    if (!failure || !urgent)
        return ERROR_SUCCESS; // what waits is tried again with the next write
    for (auto& [name, record] : before) {
        if (record)
            folder.records[name] = *record;
        else
            folder.records.erase(name);
    }
    folder.waiting -= entries.size();
    return failure == ENOSPC ? ERROR_DISK_FULL : ERROR_GEN_FAILURE;
}

std::optional<AttributeStore::Record> AttributeStore::get(const std::filesystem::path& host) const
{
    std::lock_guard guard(m_lock);
    auto& folder = folder_of(host.parent_path());
    auto it = folder.records.find(host.filename().string());
    if (it == folder.records.end())
        return std::nullopt;
    return it->second;
}

DWORD AttributeStore::set(const std::filesystem::path& host, Record record)
{
    std::lock_guard guard(m_lock);
    return change(host.parent_path(), false, { { host.filename().string(), record } });
}

DWORD AttributeStore::erase(const std::filesystem::path& host)
{
    std::lock_guard guard(m_lock);
    return change(host.parent_path(), false, { { host.filename().string(), std::nullopt } });
}

DWORD AttributeStore::move(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::lock_guard guard(m_lock);
    if (from == to)
        return ERROR_SUCCESS;
    std::optional<Record> record;
    {
        auto& source = folder_of(from.parent_path());
        auto it = source.records.find(from.filename().string());
        if (it != source.records.end())
            record = it->second;
    }
    if (from.parent_path() == to.parent_path())
        return change(from.parent_path(), protecting(record) != 0, { { from.filename().string(), std::nullopt }, { to.filename().string(), record } });
    // The target's record first: should the source's then fail to go, the moved entry still has
    // its flags, and a stale record on a free name is replaced by whatever takes the name.
    if (DWORD error = change(to.parent_path(), protecting(record) != 0, { { to.filename().string(), record } }))
        return error;
    change(from.parent_path(), false, { { from.filename().string(), std::nullopt } });
    return ERROR_SUCCESS;
}

void AttributeStore::flush()
{
    std::lock_guard guard(m_lock);
    for (auto& [path, folder] : m_folders) {
        if (folder.waiting)
            write(path, folder);
    }
}

void AttributeStore::flush_and_forget(const std::filesystem::path& under)
{
    std::lock_guard guard(m_lock);
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (!is_under(it->first, under)) {
            ++it;
            continue;
        }
        if (it->second.waiting)
            write(it->first, it->second);
        it = m_folders.erase(it);
    }
}

void AttributeStore::forget(const std::filesystem::path& under)
{
    std::lock_guard guard(m_lock);
    std::erase_if(m_folders, [&](auto& entry) { return is_under(entry.first, under); });
}

size_t AttributeStore::writes() const
{
    std::lock_guard guard(m_lock);
    return m_writes;
}

} // namespace kivo
