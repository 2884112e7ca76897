#pragma once

#include "HostMutex.h"
#include "Types.h"

#include <filesystem>
#include <mutex>
#include <optional>

namespace kivo {

// The attributes (read-only, hidden, system, archive) and creation time of files and folders,
// which the host's file system cannot keep for us. They live beside the files, in one small text
// file per folder, so they survive the device and travel with a moved folder.
class AttributeStore {
public:
    // The file that holds a folder's records; never shown to the device.
    static constexpr const char* sidecar_name = ".kivo-attributes";

    struct Record {
        DWORD attributes = 0;
        uint64_t creation_time = 0; // FILETIME value; 0 when unknown
    };

    std::optional<Record> get(const std::filesystem::path& host) const;
    void set(const std::filesystem::path& host, Record);
    void erase(const std::filesystem::path& host);
    // The record follows a moved or renamed entry, replacing the destination's.
    void move(const std::filesystem::path& from, const std::filesystem::path& to);

private:
    mutable HostMutex m_lock { LockRank::AttributeStore };
};

} // namespace kivo
