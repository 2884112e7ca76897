#pragma once

#include "HostMutex.h"

#include <filesystem>
#include <map>
#include <mutex>

namespace kivo {

// The host files open now, each with how many times: a file in use is neither deleted nor moved.
// An open file tells it when it is closed, so that what is kept is only what is open, however many
// files were opened before. Shared by the file system and its open files, which may outlive it.
class OpenFiles {
public:
    void opened(const std::filesystem::path& host);
    void closed(const std::filesystem::path& host);
    bool is_open(const std::filesystem::path& host) const;
    // How many host files are open now.
    size_t size() const;

private:
    mutable HostMutex m_lock { LockRank::FileSystem };
    std::map<std::filesystem::path, size_t> m_counts;
};

} // namespace kivo
