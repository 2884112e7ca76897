#pragma once

#include "KernelObject.h"

#include <mutex>

namespace kivo {

// A lock for platform code whose threads must block while they hold state (a filter waiting for
// samples or for the clock, a manager's queues): built on the scheduler's waits, so a thread that
// waits for it gives its turn to the others on the virtual clock, and it needs no handle.
// BasicLockable and Lockable. It guards short sections: a thread waits for it whatever its state
// (even while it unwinds), and blocks while holding it only in SimCondition::wait, which releases
// it. Not recursive.
class SimMutex final : public Waitable {
public:
    const char* kind() const override { return "platform lock"; }
    bool is_signalled_for(const SimThread&) const override { return !m_owner; }
    bool acquire(SimThread&) override;

    void lock();
    bool try_lock();
    void unlock();

    // The same with the scheduler's lock held, for SimCondition.
    void lock_locked(std::unique_lock<std::mutex>&, SimThread& self);
    void unlock_locked();

private:
    const SimThread* m_owner = nullptr;
};

} // namespace kivo
