#include "ComClassTable.h"

#include <mutex>
#include <stdexcept>

namespace kivo {

void ComClassTable::add(REFCLSID clsid, Factory factory)
{
    std::lock_guard guard(m_lock);
    m_classes[clsid].factory = std::move(factory);
}

HRESULT ComClassTable::create(REFCLSID clsid, IUnknown* outer, REFIID iid, void** object)
{
    *object = nullptr;
    Factory factory;
    std::shared_ptr<std::atomic<long>> live;
    {
        std::lock_guard guard(m_lock);
        if (auto failure = m_failures.find(clsid); failure != m_failures.end())
            return failure->second;
        auto entry = m_classes.find(clsid);
        if (entry == m_classes.end())
            return REGDB_E_CLASSNOTREG;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        factory = entry->second.factory;
        live = entry->second.live;
    }
    // The factory runs outside the lock: a class may make objects of other classes as it is made.
    ComObjectBase* made = factory();
    if (!made)
        return E_OUTOFMEMORY;
    made->count_as_live(std::move(live));
    HRESULT result = made->query_interface(iid, object);
    made->release_reference(); // the maker's reference: without the interface, the object goes
    return result;
}

void ComClassTable::fail(REFCLSID clsid, HRESULT result)
{
    if (SUCCEEDED(result))
        throw std::invalid_argument("a class is made to fail with a failure result");
    std::lock_guard guard(m_lock);
    m_failures[clsid] = result;
}

void ComClassTable::clear_failure(REFCLSID clsid)
{
    std::lock_guard guard(m_lock);
    m_failures.erase(clsid);
}

long ComClassTable::live_objects(REFCLSID clsid) const
{
    std::lock_guard guard(m_lock);
    auto entry = m_classes.find(clsid);
    return entry == m_classes.end() ? 0 : entry->second.live->load(std::memory_order_acquire);
}

} // namespace kivo
