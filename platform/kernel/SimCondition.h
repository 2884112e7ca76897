#pragma once

#include "KernelObject.h"
#include "SimMutex.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace kivo {

// A condition for threads holding a SimMutex, waited for through the scheduler: a filter waiting
// for samples or for its clock, a manager thread waiting for work. A kill acts as in any wait:
// the waiting thread takes the mutex again and ThreadTermination unwinds it; while its
// termination is deferred, or while it unwinds, the wait ends at once with Failed.
class SimCondition final : public Waitable {
public:
    enum class Wake {
        Notified,
        Timeout,
        Failed,
    };

    const char* kind() const override { return "platform condition"; }
    bool is_signalled_for(const SimThread&) const override;

    // Releases the mutex, waits for a notification or the deadline (device milliseconds), and
    // takes the mutex again before it returns or throws.
    Wake wait(std::unique_lock<SimMutex>&, std::optional<uint64_t> deadline = std::nullopt);
    // Waits until `ready` holds; false when the deadline passed or the wait failed first.
    template<typename Predicate>
    bool wait(std::unique_lock<SimMutex>& held, std::optional<uint64_t> deadline, Predicate ready)
    {
        while (!ready()) {
            if (wait(held, deadline) != Wake::Notified)
                return ready();
        }
        return true;
    }

    // Wakes the longest waiting thread, or every waiting thread.
    void notify_one();
    void notify_all();

private:
    void notify(bool all);

    struct Sleeper {
        SimThread* thread;
        bool notified;
    };
    void forget(SimThread&);

    // In the order they began to wait; guarded by the scheduler's lock.
    std::vector<Sleeper> m_sleepers;
};

} // namespace kivo
