#include "NamedObjects.h"

#include <algorithm>

namespace kivo {

std::shared_ptr<KernelObject> NamedObjects::find_or_create(const std::u16string& name,
    const std::function<std::shared_ptr<KernelObject>()>& make, bool& existed)
{
    std::lock_guard guard(m_lock);
    auto it = m_objects.find(name);
    if (it != m_objects.end()) {
        if (auto object = it->second.lock()) {
            existed = true;
            return object;
        }
        m_objects.erase(it);
    }
    existed = false;
    auto object = make();
    object->set_name(name);
    if (m_objects.size() >= m_prune_at)
        prune();
    m_objects.emplace(name, object);
    return object;
}

void NamedObjects::prune()
{
    std::erase_if(m_objects, [](auto& entry) { return entry.second.expired(); });
    m_prune_at = std::max<size_t>(64, 2 * m_objects.size());
}

size_t NamedObjects::entry_count()
{
    std::lock_guard guard(m_lock);
    return m_objects.size();
}

bool NamedObjects::contains(const std::u16string& name)
{
    std::lock_guard guard(m_lock);
    auto it = m_objects.find(name);
    return it != m_objects.end() && !it->second.expired();
}

} // namespace kivo
