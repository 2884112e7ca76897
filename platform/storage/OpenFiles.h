#pragma once

#include "HostMutex.h"
#include "Types.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

namespace kivo {

// The host files open now, each with what every handle of it may do and lets others do: a file
// in use is neither deleted nor moved, and a new handle must agree with the sharing of those open,
// as theirs with its own. An open file tells it when it is closed, so that what is kept is only
// what is open, however many files were opened before. Shared by the file system and its open
// files, which may outlive it.
class OpenFiles {
public:
    struct Use {
        bool read = false;
        bool write = false;
        DWORD share = 0; // FILE_SHARE_READ, FILE_SHARE_WRITE
        bool operator==(const Use&) const = default;
    };

    // Counts a new handle of the file unless its use and the sharing of the handles open clash
    // (ERROR_SHARING_VIOLATION); ERROR_SUCCESS when counted.
    DWORD open(const std::filesystem::path& host, Use);
    void closed(const std::filesystem::path& host, Use);
    bool is_open(const std::filesystem::path& host) const;
    // How many host files are open now.
    size_t size() const;

private:
    mutable HostMutex m_lock { LockRank::FileSystem };
    std::map<std::filesystem::path, std::vector<Use>> m_uses;
};

} // namespace kivo
