#include "SimCondition.h"

#include "Device.h"
#include "SimThread.h"
#include "ThreadTermination.h"

#include <algorithm>

namespace kivo {

bool SimCondition::is_signalled_for(const SimThread& thread) const
{
    return std::any_of(m_sleepers.begin(), m_sleepers.end(), [&](const Sleeper& sleeper) { return sleeper.thread == &thread && sleeper.notified; });
}

void SimCondition::forget(SimThread& thread)
{
    std::erase_if(m_sleepers, [&](const Sleeper& sleeper) { return sleeper.thread == &thread; });
}

SimCondition::Wake SimCondition::wait(std::unique_lock<SimMutex>& held, std::optional<uint64_t> deadline)
{
    auto& self = *SimThread::current();
    auto& scheduler = self.device().scheduler();
    SimMutex& mutex = *held.mutex();
    auto guard = scheduler.lock();
    m_sleepers.push_back({ &self, false });
    mutex.unlock_locked();
    Waitable* objects[] = { this };
    WaitOutcome outcome;
    try {
        outcome = scheduler.wait(guard, self, objects, deadline);
    } catch (const ThreadTermination&) {
        // The caller's guard unlocks the mutex as the thread unwinds: it must hold it again.
        forget(self);
        mutex.lock_locked(guard, self);
        throw;
    }
    forget(self);
    mutex.lock_locked(guard, self);
    switch (outcome.kind) {
    case WaitOutcome::Kind::Object:
        return Wake::Notified;
    case WaitOutcome::Kind::Timeout:
        return Wake::Timeout;
    case WaitOutcome::Kind::Failed:
        break;
    }
    return Wake::Failed;
}

void SimCondition::notify_one()
{
    notify(false);
}

void SimCondition::notify_all()
{
    notify(true);
}

void SimCondition::notify(bool all)
{
    auto& scheduler = SimThread::current()->device().scheduler();
    auto guard = scheduler.lock();
    for (auto& sleeper : m_sleepers) {
        if (!sleeper.notified) {
            sleeper.notified = true;
            scheduler.wake(*sleeper.thread);
            if (!all)
                return;
        }
    }
}

} // namespace kivo
