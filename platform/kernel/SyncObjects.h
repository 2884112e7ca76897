#pragma once

#include "KernelObject.h"
#include "Types.h"

namespace kivo {

class Event final : public Waitable {
public:
    Event(bool manual_reset, bool initially_set)
        : m_manual_reset(manual_reset)
        , m_set(initially_set)
    {
    }
    const char* kind() const override { return "event"; }
    bool is_signalled_for(const SimThread&) const override { return m_set; }
    bool acquire(SimThread&) override;

    void set();
    void reset() { m_set = false; }
    bool is_set() const { return m_set; }

private:
    bool m_manual_reset;
    bool m_set;
};

class Scheduler;

// Owned by one thread at a time, recursively. The owner lists the mutexes it owns, so that they
// pass on abandoned when it ends; a mutex freed while owned (a critical section deleted inside,
// a named mutex whose last handle is closed) leaves that list as it goes.
class Mutex final : public Waitable {
public:
    explicit Mutex(Scheduler& scheduler)
        : m_scheduler(scheduler)
    {
    }
    ~Mutex() override;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    const char* kind() const override { return "mutex"; }
    bool is_signalled_for(const SimThread&) const override;
    bool acquire(SimThread&) override;

    bool release(SimThread&);
    // The owner ended without releasing: the next waiter gets it with WAIT_ABANDONED.
    void abandon(SimThread&);
    const SimThread* owner() const { return m_owner; }

private:
    Scheduler& m_scheduler;
    SimThread* m_owner = nullptr;
    unsigned m_recursion = 0;
    bool m_abandoned = false;
};

class Semaphore final : public Waitable {
public:
    Semaphore(LONG initial, LONG maximum)
        : m_count(initial)
        , m_maximum(maximum)
    {
    }
    const char* kind() const override { return "semaphore"; }
    bool is_signalled_for(const SimThread&) const override { return m_count > 0; }
    bool acquire(SimThread&) override;

    // Returns false when the count would pass the maximum.
    bool release(LONG count, LONG* previous);

private:
    LONG m_count;
    LONG m_maximum;
};

} // namespace kivo
