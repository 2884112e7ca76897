#pragma once

#include "HostMutex.h"
#include "Types.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace kivo {

// The attributes (read-only, hidden, system, archive) and creation time of files and folders,
// which the host's file system cannot keep for us. They live beside the files, in one small text
// file per folder, so they survive the device and travel with a moved folder.
//
// Each folder's records are read once and kept in memory. A change that gives or takes a
// protecting flag (read-only, hidden, system) is written at once, as every stored file is: to a
// temporary file beside the record, then put in place in one step, so that a failure or a kill
// keeps the whole old record; the change fails when its record cannot be written. Other changes
// (a new plain file, an erased record) would be harmless to lose, so they wait and go out with the
// folder's next write, which keeps creating many files in one folder linear.
class AttributeStore {
public:
    // The file that holds a folder's records; never shown to the device.
    static constexpr const char* sidecar_name = ".kivo-attributes";
    static constexpr const char* temporary_suffix = ".new";
    // Whether a host file is the record or a temporary one a kill left behind.
    static bool is_own_file(const std::filesystem::path&);

    struct Record {
        DWORD attributes = 0;
        uint64_t creation_time = 0; // FILETIME value; 0 when unknown
    };

    std::optional<Record> get(const std::filesystem::path& host) const;
    // Each answers 0, or the error of a record that had to be written and could not be; then
    // nothing changed.
    DWORD set(const std::filesystem::path& host, Record);
    DWORD erase(const std::filesystem::path& host);
    // The record follows a moved or renamed entry, replacing the destination's. Call before the
    // entry itself moves: the destination's record is in place before the source's is erased.
    DWORD move(const std::filesystem::path& from, const std::filesystem::path& to);

    // Writes what waits; with `under`, only the folders in that tree, which are then forgotten
    // (a folder about to move or be removed, a card that went away).
    void flush();
    void flush_and_forget(const std::filesystem::path& under);
    // Forgets the folders in a tree without writing them (a format).
    void forget(const std::filesystem::path& under);

    // The folder records written so far; tells tests and benchmarks how much a change costs.
    size_t writes() const;

private:
    struct Folder {
        std::map<std::string, Record> records;
        size_t waiting = 0; // changes in memory and not yet on disk
    };

    Folder& folder_of(const std::filesystem::path& folder) const;
    // With the lock held: the change is made in memory; written now when `urgent` or when enough
    // waits, undone when an urgent write fails.
    DWORD change(const std::filesystem::path& folder, bool urgent, std::map<std::string, std::optional<Record>> entries);
    int write(const std::filesystem::path& folder, Folder&);
    static DWORD protecting(const std::optional<Record>&);

    mutable HostMutex m_lock { LockRank::AttributeStore };
    mutable std::map<std::filesystem::path, Folder> m_folders;
    size_t m_writes = 0;
};

} // namespace kivo
