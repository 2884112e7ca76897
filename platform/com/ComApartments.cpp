#include "ComApartments.h"

#include "ComApi.h"
#include "kernel/Process.h"
#include "kernel/SimThread.h"

#include <algorithm>
#include <mutex>

namespace kivo {

HRESULT ComApartments::initialize(SimThread& thread, DWORD co_init)
{
    bool multithreaded = (co_init & COINIT_APARTMENTTHREADED) == 0;
    std::lock_guard guard(m_lock);
    auto [it, fresh] = m_threads.try_emplace(thread.id(), Initialization { thread.process().id(), multithreaded, 1 });
    if (fresh)
        return S_OK;
    if (it->second.multithreaded != multithreaded)
        return RPC_E_CHANGED_MODE;
    ++it->second.count;
    return S_FALSE;
}

void ComApartments::uninitialize(SimThread& thread)
{
    std::lock_guard guard(m_lock);
    auto it = m_threads.find(thread.id());
    if (it != m_threads.end() && --it->second.count == 0)
        m_threads.erase(it);
}

bool ComApartments::may_create(const SimThread& thread) const
{
    std::lock_guard guard(m_lock);
    if (m_threads.contains(thread.id()))
        return true;
    DWORD process_id = thread.process().id();
    return std::any_of(m_threads.begin(), m_threads.end(), [&](const auto& entry) { return entry.second.process_id == process_id && entry.second.multithreaded; });
}

void ComApartments::thread_ending(SimThread& thread)
{
    // A thread that ends without its last CoUninitialize holds no model any more.
    std::lock_guard guard(m_lock);
    m_threads.erase(thread.id());
}

} // namespace kivo
