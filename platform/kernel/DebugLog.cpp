#include "DebugLog.h"

#include "WideText.h"

#include <algorithm>
#include <cstdio>

namespace kivo {

void DebugLog::write(uint64_t time_ms, DWORD process_id, std::u16string_view process_name, std::u16string_view text)
{
    Line line { time_ms, process_id, to_utf8(process_name), to_utf8(text) };
    std::lock_guard guard(m_lock);
    if (m_echo)
        std::fprintf(stderr, "%s\n", echo_text(line).c_str());
    m_lines.append(std::move(line));
}

std::string DebugLog::echo_text(const Line& line)
{
    std::string shown = line.text;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "[%8llu.%03llu ", static_cast<unsigned long long>(line.time_ms / 1000),
        static_cast<unsigned long long>(line.time_ms % 1000));
    return stamp + (line.process_name.empty() ? std::string("system") : line.process_name) + " " + std::to_string(line.process_id)
        + "] " + shown;
}

void DebugLog::follow(const TraceLimit& limit)
{
    std::lock_guard guard(m_lock);
    m_lines.follow(limit);
}

std::vector<DebugLog::Line> DebugLog::lines() const
{
    std::lock_guard guard(m_lock);
    return m_lines.all();
}

size_t DebugLog::size() const
{
    std::lock_guard guard(m_lock);
    return m_lines.size();
}

size_t DebugLog::first_sequence() const
{
    std::lock_guard guard(m_lock);
    return static_cast<size_t>(m_lines.first_sequence());
}

size_t DebugLog::end_sequence() const
{
    std::lock_guard guard(m_lock);
    return static_cast<size_t>(m_lines.end_sequence());
}

bool DebugLog::contains(std::string_view text, size_t from, size_t* found_at) const
{
    std::lock_guard guard(m_lock);
    for (uint64_t n = std::max<uint64_t>(from, m_lines.first_sequence()); n < m_lines.end_sequence(); ++n) {
        if (m_lines.at(n).text.find(text) != std::string::npos) {
            if (found_at)
                *found_at = static_cast<size_t>(n);
            return true;
        }
    }
    return false;
}

} // namespace kivo
