#include "SyncObjects.h"

#include "Scheduler.h"
#include "SimThread.h"

namespace kivo {

bool Event::acquire(SimThread&)
{
    if (!m_manual_reset)
        m_set = false;
    return false;
}

void Event::set()
{
    m_set = true;
    wake_waiters();
}

Mutex::~Mutex()
{
    // Never destroyed with the scheduler's lock held: the last reference goes with a handle's
    // close or a wait's end, both outside it.
    auto guard = m_scheduler.lock();
    if (m_owner)
        m_owner->remove_owned_mutex(this);
}

bool Mutex::is_signalled_for(const SimThread& thread) const
{
    return m_owner == nullptr || m_owner == &thread;
}

bool Mutex::acquire(SimThread& thread)
{
    if (m_owner == &thread) {
        ++m_recursion;
        return false;
    }
    m_owner = &thread;
    m_recursion = 1;
    thread.add_owned_mutex(this);
    bool abandoned = m_abandoned;
    m_abandoned = false;
    return abandoned;
}

bool Mutex::release(SimThread& thread)
{
    if (m_owner != &thread)
        return false;
    if (--m_recursion == 0) {
        m_owner = nullptr;
        thread.remove_owned_mutex(this);
        wake_waiters();
    }
    return true;
}

void Mutex::abandon(SimThread& thread)
{
    if (m_owner != &thread)
        return;
    m_owner = nullptr;
    m_recursion = 0;
    m_abandoned = true;
    wake_waiters();
}

bool Semaphore::acquire(SimThread&)
{
    --m_count;
    return false;
}

bool Semaphore::release(LONG count, LONG* previous)
{
    if (count <= 0 || m_count + count > m_maximum)
        return false;
    if (previous)
        *previous = m_count;
    m_count += count;
    wake_waiters();
    return true;
}

} // namespace kivo
