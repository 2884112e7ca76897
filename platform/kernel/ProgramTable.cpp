#include "ProgramTable.h"

#include "WideText.h"

namespace kivo {

std::u16string image_key(std::u16string_view path)
{
    std::u16string key = u"\\";
    bool previous_separator = true;
    for (char16_t c : path) {
        bool separator = c == u'\\' || c == u'/';
        if (separator && previous_separator)
            continue;
        key += separator ? u'\\' : fold_case(c);
        previous_separator = separator;
    }
    return key;
}

void ProgramTable::add(std::u16string_view image_path, Entry entry)
{
    std::lock_guard guard(m_lock);
    m_entries[image_key(image_path)] = { std::u16string(image_path), std::move(entry) };
}

bool ProgramTable::contains(std::u16string_view image_path) const
{
    std::lock_guard guard(m_lock);
    return m_entries.contains(image_key(image_path));
}

std::optional<ProgramTable::Entry> ProgramTable::find(std::u16string_view image_path) const
{
    std::lock_guard guard(m_lock);
    auto it = m_entries.find(image_key(image_path));
    if (it == m_entries.end())
        return std::nullopt;
    return it->second.second;
}

std::vector<std::u16string> ProgramTable::images() const
{
    std::lock_guard guard(m_lock);
    std::vector<std::u16string> result;
    for (auto& [key, entry] : m_entries)
        result.push_back(entry.first);
    return result;
}

std::u16string ProgramTable::registered_path(std::u16string_view image_path) const
{
    std::lock_guard guard(m_lock);
    auto it = m_entries.find(image_key(image_path));
    return it == m_entries.end() ? std::u16string(image_path) : it->second.first;
}

void ProgramTable::set_start_failure(std::u16string_view image_path, DWORD error)
{
    std::lock_guard guard(m_lock);
    if (error)
        m_failures[image_key(image_path)] = error;
    else
        m_failures.erase(image_key(image_path));
}

DWORD ProgramTable::start_failure(std::u16string_view image_path) const
{
    std::lock_guard guard(m_lock);
    auto it = m_failures.find(image_key(image_path));
    return it == m_failures.end() ? 0 : it->second;
}

} // namespace kivo
