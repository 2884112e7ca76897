#include "SimMutex.h"

#include "Device.h"
#include "SimThread.h"

#include <cstdio>
#include <cstdlib>

namespace kivo {

namespace {

SimThread& calling_thread()
{
    auto* thread = SimThread::current();
    if (!thread) {
        std::fputs("kivo: a platform lock used outside any device\n", stderr);
        std::abort();
    }
    return *thread;
}

} // namespace

bool SimMutex::acquire(SimThread& thread)
{
    m_owner = &thread;
    return false;
}

void SimMutex::lock()
{
    auto& self = calling_thread();
    auto guard = self.device().scheduler().lock();
    lock_locked(guard, self);
}

bool SimMutex::try_lock()
{
    auto& self = calling_thread();
    auto guard = self.device().scheduler().lock();
    if (m_owner)
        return false;
    m_owner = &self;
    return true;
}

void SimMutex::unlock()
{
    auto guard = calling_thread().device().scheduler().lock();
    unlock_locked();
}

void SimMutex::lock_locked(std::unique_lock<std::mutex>& guard, SimThread& self)
{
    if (!m_owner) {
        m_owner = &self;
        return;
    }
    if (m_owner == &self) {
        std::fputs(("kivo: " + self.describe() + ": takes a platform lock it holds already\n").c_str(), stderr);
        std::abort();
    }
    auto outcome = self.device().scheduler().wait_regardless(guard, self, *this);
    if (outcome.kind != WaitOutcome::Kind::Object) {
        // Only the controller's wait ends so, when no thread can run to release the lock.
        std::fputs("kivo: the controller waits for a platform lock that no thread can release\n", stderr);
        std::abort();
    }
}

void SimMutex::unlock_locked()
{
    m_owner = nullptr;
    wake_waiters();
}

} // namespace kivo
