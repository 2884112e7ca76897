#pragma once

#include "HostMutex.h"
#include "Types.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The programs the device can start: device image paths (compared without regard to case) and the
// entry each one runs on its main thread, given its command line.
class ProgramTable {
public:
    using Entry = std::function<int(std::u16string_view command_line)>;

    void add(std::u16string_view image_path, Entry);
    bool contains(std::u16string_view image_path) const;
    std::optional<Entry> find(std::u16string_view image_path) const;
    // Every image path, as registered.
    std::vector<std::u16string> images() const;
    // The path as it was registered (the device's spelling), or the one given when unknown.
    std::u16string registered_path(std::u16string_view image_path) const;

    // A test makes the starts of one image fail with an error, until cleared with 0.
    void set_start_failure(std::u16string_view image_path, DWORD error);
    DWORD start_failure(std::u16string_view image_path) const;

private:
    mutable HostMutex m_lock { LockRank::ProgramTable };
    std::map<std::u16string, std::pair<std::u16string, Entry>> m_entries;
    std::map<std::u16string, DWORD> m_failures;
};

// The device-path key under which a path is found: lower case, one leading backslash.
std::u16string image_key(std::u16string_view path);

} // namespace kivo
