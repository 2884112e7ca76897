#pragma once

#include "HostMutex.h"
#include "Types.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The device's debug output: every line a program writes, in order, with when and from which
// process. Tests and scripts read it; the simulator echoes it to stderr when asked.
class DebugLog {
public:
    struct Line {
        uint64_t time_ms;
        DWORD process_id;
        std::string text; // UTF-8, as written (line ends included)
    };

    void write(uint64_t time_ms, DWORD process_id, std::u16string_view text);
    void set_echo(bool echo) { m_echo = echo; }

    std::vector<Line> lines() const;
    size_t size() const;
    // Whether a line at or after `from` contains `text`; the index of the first one found.
    bool contains(std::string_view text, size_t from = 0, size_t* found_at = nullptr) const;

private:
    mutable HostMutex m_lock { LockRank::DebugLog };
    std::vector<Line> m_lines;
    bool m_echo = false;
};

} // namespace kivo
