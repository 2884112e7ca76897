#pragma once

#include "HostMutex.h"
#include "Trace.h"
#include "Types.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The device's debug output: the lines programs write, in order, with when and from which
// process. Tests and scripts read it; the simulator echoes it to stderr when asked. It keeps the
// newest lines up to the device's trace limit; every line has an absolute sequence number (the
// first line ever written is 0), so a reader's place survives the dropping of older lines.
class DebugLog {
public:
    struct Line {
        uint64_t time_ms;
        DWORD process_id;
        std::string process_name; // the file name of the process's image, UTF-8
        std::string text;         // UTF-8, as written (line ends included)
    };

    void write(uint64_t time_ms, DWORD process_id, std::u16string_view process_name, std::u16string_view text);
    // A line as the echo shows it: the device time, the process by name and id, the text without
    // its line end, so that the order of lines across programs reads at a glance.
    static std::string echo_text(const Line&);
    void set_echo(bool echo) { m_echo = echo; }
    void follow(const TraceLimit& limit);

    // The lines kept, oldest first, and how many.
    std::vector<Line> lines() const;
    size_t size() const;
    // The sequence number of the oldest line kept, and the one the next line will get.
    size_t first_sequence() const;
    size_t end_sequence() const;
    // Whether a kept line numbered `from` or later contains `text`; the sequence number of the
    // first one found.
    bool contains(std::string_view text, size_t from = 0, size_t* found_at = nullptr) const;

private:
    mutable HostMutex m_lock { LockRank::DebugLog };
    Trace<Line> m_lines;
    bool m_echo = false;
};

} // namespace kivo
