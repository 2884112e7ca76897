#include "DebugLog.h"

#include "WideText.h"

#include <cstdio>

namespace kivo {

void DebugLog::write(uint64_t time_ms, DWORD process_id, std::u16string_view text)
{
    std::string utf8 = to_utf8(text);
    std::lock_guard guard(m_lock);
    if (m_echo) {
        std::string shown = utf8;
        while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
            shown.pop_back();
        std::fprintf(stderr, "[%8llu.%03llu %u] %s\n", static_cast<unsigned long long>(time_ms / 1000),
            static_cast<unsigned long long>(time_ms % 1000), process_id, shown.c_str());
    }
    m_lines.push_back({ time_ms, process_id, std::move(utf8) });
}

std::vector<DebugLog::Line> DebugLog::lines() const
{
    std::lock_guard guard(m_lock);
    return m_lines;
}

size_t DebugLog::size() const
{
    std::lock_guard guard(m_lock);
    return m_lines.size();
}

bool DebugLog::contains(std::string_view text, size_t from, size_t* found_at) const
{
    std::lock_guard guard(m_lock);
    for (size_t i = from; i < m_lines.size(); ++i) {
        if (m_lines[i].text.find(text) != std::string::npos) {
            if (found_at)
                *found_at = i;
            return true;
        }
    }
    return false;
}

} // namespace kivo
