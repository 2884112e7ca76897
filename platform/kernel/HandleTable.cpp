#include "HandleTable.h"

#include "Process.h"

#include <vector>

namespace kivo {

HANDLE HandleTable::insert(std::shared_ptr<KernelObject> object, const Process& owner)
{
    std::lock_guard guard(m_lock);
    uintptr_t value;
    do {
        value = m_next;
        m_next = m_next >= last_value ? first_value : m_next + 4;
    } while (m_entries.contains(value));
    m_entries.emplace(value, Entry { std::move(object), &owner });
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> HandleTable::resolve(HANDLE handle, const Process& by) const
{
    std::lock_guard guard(m_lock);
    auto it = m_entries.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_entries.end() || it->second.owner != &by)
        return nullptr;
    return it->second.object;
}

bool HandleTable::close(HANDLE handle, const Process& by)
{
    std::shared_ptr<KernelObject> released;
    {
        std::lock_guard guard(m_lock);
        auto it = m_entries.find(reinterpret_cast<uintptr_t>(handle));
        if (it == m_entries.end() || it->second.owner != &by)
            return false;
        released = std::move(it->second.object);
        m_entries.erase(it);
    }
    // The object may go away here, outside the table's lock.
    return true;
}

void HandleTable::close_all_of(const Process& process)
{
    std::vector<std::shared_ptr<KernelObject>> released;
    {
        std::lock_guard guard(m_lock);
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (it->second.owner == &process) {
                released.push_back(std::move(it->second.object));
                it = m_entries.erase(it);
            } else {
                ++it;
            }
        }
    }
}

void HandleTable::set_next_value(uintptr_t value)
{
    std::lock_guard guard(m_lock);
    m_next = value;
}

size_t HandleTable::count_of(const Process& process) const
{
    std::lock_guard guard(m_lock);
    size_t count = 0;
    for (auto& [value, entry] : m_entries)
        count += entry.owner == &process;
    return count;
}

} // namespace kivo
