#include "FilterCatalog.h"

#include <algorithm>
#include <mutex>

namespace kivo {

void FilterCatalog::add(const CLSID& class_id, Role role)
{
    std::lock_guard guard(m_lock);
    bool known = std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.class_id == class_id && entry.role == role; });
    if (!known)
        m_entries.push_back({ class_id, role });
}

std::vector<CLSID> FilterCatalog::classes(Role role) const
{
    std::lock_guard guard(m_lock);
    std::vector<CLSID> found;
    for (const Entry& entry : m_entries) {
        if (entry.role == role)
            found.push_back(entry.class_id);
    }
    return found;
}

} // namespace kivo
