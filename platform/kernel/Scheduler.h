#pragma once

#include "Clock.h"
#include "Types.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace kivo {

class SimThread;
class Waitable;

// What a wait ended with, in the platform's terms: the index of the object that satisfied it
// (flagged when a mutex was abandoned), a time-out, or a failure (the thread is unwinding, or
// nothing could ever satisfy a wait of the controller).
struct WaitOutcome {
    enum class Kind {
        Object,
        Timeout,
        Failed,
    };
    Kind kind;
    size_t index = 0;
    bool abandoned = false;
};

// Runs the simulated threads. On the virtual clock exactly one simulated thread runs at a time and
// control passes only at the layer's blocking calls, always through the controller, in a fixed
// order; time moves only in advance() and run_until(). On the real clock threads run in parallel
// and waits end on the host's clock.
//
// One lock guards the scheduler and the state of every waitable object of the device.
class Scheduler {
public:
    using TimerId = uint64_t;

    explicit Scheduler(Clock&);
    ~Scheduler();

    Clock& clock() { return m_clock; }
    bool is_virtual() const { return m_clock.mode() == ClockMode::Virtual; }
    std::unique_lock<std::mutex> lock() { return std::unique_lock(m_lock); }
    std::mutex& mutex() { return m_lock; }

    // Waits until one of the objects is signalled for `self` (the lowest index wins), the deadline
    // (device milliseconds) passes, or the thread is ended. Throws ThreadTermination into a thread
    // being ended. Takes the lock held; returns with it held.
    // With `wait_all`, the wait ends only when every object is signalled at once.
    WaitOutcome wait(std::unique_lock<std::mutex>&, SimThread& self, std::span<Waitable* const> objects,
        std::optional<uint64_t> deadline, bool wait_all = false);

    // Lets a blocked thread check its wait again; with the lock held.
    void wake(SimThread&);

    // A simulated thread gives its turn to the others that are ready (Sleep(0)).
    void yield(std::unique_lock<std::mutex>&, SimThread& self);

    // Counts reads of the clock; a thread that reads it 64 times in a row without blocking is
    // polling, and waits for the clock to move.
    void note_clock_read(SimThread& self);

    // A new thread takes its place in the queue; it runs once the running thread blocks.
    void add_thread(std::shared_ptr<SimThread>);
    // The calling thread's body has returned or unwound: it ends, its process with it when it
    // was the main or the last thread, and its turn passes on. Called without the lock.
    void end_thread(SimThread& self, DWORD exit_code);
    // Waits for the first turn of a new thread.
    void await_first_turn(SimThread& self);
    [[noreturn]] void throw_termination(SimThread& self);

    // A callback at a device time, run by the controller (virtual) or the timer thread (real),
    // without the lock, in order of time and then of scheduling. It must not block.
    TimerId schedule_at(uint64_t device_ms, std::function<void()>);
    void cancel(TimerId);

    // The controller's calls.
    void run_until_idle();
    void advance(uint64_t ms);
    bool run_until(const std::function<bool()>& predicate, uint64_t limit_ms);

    // Ends every thread (the device is going away); returns when they have all finished.
    void shut_down();

    // Whether every simulated thread is blocked with nothing due now.
    bool is_idle();
    size_t live_thread_count();

private:
    struct TimedEntry {
        TimerId id;
        SimThread* timeout_of = nullptr;
        std::function<void()> callback;
    };
    using TimedKey = std::pair<uint64_t, TimerId>;

    void block(std::unique_lock<std::mutex>&, SimThread& self, std::optional<uint64_t> deadline);
    void hand_back(std::unique_lock<std::mutex>&, SimThread& self);
    void run_ready(std::unique_lock<std::mutex>&);
    void controller_step(std::unique_lock<std::mutex>&, std::optional<uint64_t> deadline, bool& progressed);
    std::optional<uint64_t> next_event_time() const;
    void move_clock_to(std::unique_lock<std::mutex>&, uint64_t ms);
    TimerId add_timed(uint64_t device_ms, TimedEntry);
    void cancel_locked(TimerId);
    void reap(std::unique_lock<std::mutex>&);
    void real_timer_loop();
    void start_real_timer(std::shared_ptr<SimThread>);

    Clock& m_clock;
    std::mutex m_lock;
    std::condition_variable m_controller_wakeup;
    std::deque<SimThread*> m_ready;
    SimThread* m_running = nullptr;
    std::vector<SimThread*> m_pollers;
    std::map<DWORD, std::shared_ptr<SimThread>> m_threads;
    // Ended threads whose host threads are still to be joined.
    std::vector<SimThread*> m_finished;
    std::map<TimedKey, TimedEntry> m_timed;
    std::map<TimerId, TimedKey> m_timed_keys;
    TimerId m_next_timer_id = 1;

    // The real clock's helper thread for timed callbacks.
    std::condition_variable m_timer_wakeup;
    bool m_stopping = false;
    std::thread m_timer_thread;
    std::shared_ptr<SimThread> m_timer_sim_thread;
    friend class Device;
};

} // namespace kivo
