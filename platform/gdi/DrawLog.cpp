#include "DrawLog.h"

#include <algorithm>

namespace kivo {

void DrawLog::follow(const TraceLimit& limit)
{
    std::lock_guard guard(m_lock);
    m_entries.follow(limit);
}

void DrawLog::set_recording(bool recording)
{
    std::lock_guard guard(m_lock);
    m_recording = recording;
}

bool DrawLog::recording() const
{
    std::lock_guard guard(m_lock);
    return m_recording;
}

void DrawLog::record(Entry entry)
{
    std::lock_guard guard(m_lock);
    if (m_recording)
        m_entries.append(std::move(entry));
}

std::vector<DrawLog::Entry> DrawLog::entries() const
{
    std::lock_guard guard(m_lock);
    return m_entries.all();
}

void DrawLog::clear()
{
    std::lock_guard guard(m_lock);
    m_entries.clear();
}

std::optional<DrawLog::Entry> DrawLog::last_bitmap(UINT bitmap_id) const
{
    std::lock_guard guard(m_lock);
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (it->bitmap_id == bitmap_id)
            return *it;
    }
    return std::nullopt;
}

std::optional<DrawLog::Entry> DrawLog::last_text(std::u16string_view text) const
{
    std::lock_guard guard(m_lock);
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (it->text == text)
            return *it;
    }
    return std::nullopt;
}

std::optional<uint64_t> DrawLog::find_shown_text(std::u16string_view text, uint64_t from) const
{
    std::lock_guard guard(m_lock);
    for (uint64_t sequence = std::max(from, m_entries.first_sequence()); sequence < m_entries.end_sequence(); ++sequence) {
        const Entry& entry = m_entries.at(sequence);
        if (entry.painted && entry.text == text)
            return sequence;
    }
    return std::nullopt;
}

} // namespace kivo
