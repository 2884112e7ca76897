#pragma once

#include "HostMutex.h"
#include "Types.h"

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// What tests plan for the reads and writes of one file: the n-th read or write from now failing,
// a close failing, a folder's creation failing, and the sizes of its writes recorded in order. Files are named by device path without regard to
// case. Shared by the file system and its open files, which may outlive it.
class FileFaults {
public:
    // The n-th write to the file from now on (1: the next) fails with `error` and writes nothing.
    // A count of 0 takes a planned write failure back.
    void fail_write(std::u16string_view path, unsigned nth, DWORD error);
    // The n-th read of the file from now on (1: the next) fails with `error` and reads nothing.
    void fail_read(std::u16string_view path, unsigned nth, DWORD error);
    // The next close of a handle that may write the file answers `error`, once the handle is gone.
    void fail_close(std::u16string_view path, DWORD error);
    // The next creation of a folder at the path fails with `error` and makes nothing.
    void fail_create_directory(std::u16string_view path, DWORD error);
    // From now on the size of every write to the file is recorded.
    void watch(std::u16string_view path);
    std::vector<DWORD> watched_sizes(std::u16string_view path) const;
    // Forgets every plan and every recorded size.
    void clear();

    // The error a read about to be made meets, 0 for none.
    DWORD read_error(std::u16string_view path);
    // The error a write of `size` bytes about to be made meets, 0 for none.
    DWORD write_error(std::u16string_view path, DWORD size);
    // The error a writing handle's close meets, 0 for none.
    DWORD close_error(std::u16string_view path);
    // The error a folder's creation about to be made meets, 0 for none.
    DWORD create_directory_error(std::u16string_view path);

private:
    struct Plan {
        unsigned reads_until_failure = 0;
        DWORD read_error = 0;
        unsigned writes_until_failure = 0;
        DWORD write_error = 0;
        DWORD close_error = 0;
        DWORD create_directory_error = 0;
        bool watched = false;
        std::vector<DWORD> sizes;
    };
    static std::u16string key_of(std::u16string_view path);
    // The plan of a path, null when it has none; the lock is held.
    Plan* plan_of(std::u16string_view path);

    mutable HostMutex m_lock { LockRank::FileSystem };
    std::map<std::u16string, Plan> m_plans;
};

} // namespace kivo
