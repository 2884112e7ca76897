#include "KernelObject.h"

#include "Device.h"
#include "SimThread.h"

#include <algorithm>

namespace kivo {

void Waitable::remove_waiter(SimThread& thread)
{
    auto it = std::find(m_waiters.begin(), m_waiters.end(), &thread);
    if (it != m_waiters.end())
        m_waiters.erase(it);
}

void Waitable::wake_waiters()
{
    // In the order they began to wait, so that the same run always wakes the same thread first.
    for (auto* waiter : m_waiters)
        waiter->device().scheduler().wake(*waiter);
}

} // namespace kivo
