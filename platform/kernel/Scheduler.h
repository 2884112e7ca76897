#pragma once

#include "Clock.h"
#include "HostMutex.h"
#include "TurnSignal.h"
#include "Types.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include "CallSite.h"
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
// control passes only at the layer's blocking calls, in a fixed order: the ready threads in the
// order they became ready, then the next due time-out or callback. A thread that blocks hands its
// turn straight to the next ready thread (and, while the controller advances the clock, moves the
// clock itself when only time-outs are due), so a switch costs one host hand-off; the controller
// gets the turn back only when it has something to do. Time moves only in advance() and
// run_until(). On the real clock threads run in parallel and waits end on the host's clock.
//
// One lock guards the scheduler and the state of every waitable object of the device.
class Scheduler {
public:
    using TimerId = uint64_t;

    explicit Scheduler(Clock&);
    ~Scheduler();

    Clock& clock() { return m_clock; }
    bool is_virtual() const { return m_clock.mode() == ClockMode::Virtual; }
    // The scheduler's lock comes first in the lock order: no HostMutex may be held when taking it.
    std::unique_lock<std::mutex> lock()
    {
        check_scheduler_lock_order();
        return std::unique_lock(m_lock);
    }
    std::mutex& mutex() { return m_lock; }

    // Waits until one of the objects is signalled for `self` (the lowest index wins), the deadline
    // (device milliseconds) passes, or the thread is ended. Throws ThreadTermination into a thread
    // being ended. Takes the lock held; returns with it held.
    // With `wait_all`, the wait ends only when every object is signalled at once.
    // `where` names the blocking call in reports about threads that do not come back.
    WaitOutcome wait(std::unique_lock<std::mutex>&, SimThread& self, std::span<Waitable* const> objects,
        std::optional<uint64_t> deadline, bool wait_all = false, CallSite where = CallSite::here());
    // The same wait, except that a thread being ended or unwinding keeps waiting: for the layer's
    // own short locks, which a thread must take again before it unwinds past their guards.
    WaitOutcome wait_regardless(std::unique_lock<std::mutex>&, SimThread& self, Waitable& object,
        CallSite where = CallSite::here());

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
    // Puts a new thread's host thread where it runs best: on the virtual clock only one thread runs
    // at a time, so they all share one host core and a turn passes without waking another core.
    void place(std::thread&);
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

    // Ends every thread (the device is going away); returns when they have all finished, or when
    // the shut-down limit has passed: a thread that has not come back to the layer by then (a loop
    // in host code, a host library's own wait) is reported and left behind.
    void shut_down();
    void set_shut_down_limit(std::chrono::milliseconds limit) { m_shut_down_limit = limit; }

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

    WaitOutcome wait_for_objects(std::unique_lock<std::mutex>&, SimThread& self, std::span<Waitable* const> objects,
        std::optional<uint64_t> deadline, bool wait_all, bool regardless, const CallSite& where);
    void block(std::unique_lock<std::mutex>&, SimThread& self, std::optional<uint64_t> deadline);
    void hand_back(std::unique_lock<std::mutex>&, SimThread& self);
    SimThread* next_turn(std::unique_lock<std::mutex>&);
    bool only_time_outs_due(uint64_t ms) const;
    void give_turn(SimThread* next);
    void run_ready(std::unique_lock<std::mutex>&, std::optional<std::chrono::steady_clock::time_point> give_up = {});
    bool real_idle_locked() const;
    bool leave_behind(SimThread&, const char* why);
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
    // Released when the turn comes back to the controller.
    TurnSignal m_controller_turn;
    std::deque<SimThread*> m_ready;
    SimThread* m_running = nullptr;
    // While advance() runs: the time it advances to, up to which a thread that blocks with nothing
    // ready may move the clock itself.
    std::optional<uint64_t> m_advance_target;
    std::chrono::milliseconds m_shut_down_limit { 10'000 };
    // The host core of the virtual clock's threads (-1: anywhere).
    int m_core = -1;
    std::condition_variable m_thread_ended;
    std::vector<SimThread*> m_pollers;
    std::map<DWORD, std::shared_ptr<SimThread>> m_threads;
    // Ended threads whose host threads are still to be joined.
    std::vector<SimThread*> m_finished;
    std::map<TimedKey, TimedEntry> m_timed;
    std::map<TimerId, TimedKey> m_timed_keys;
    TimerId m_next_timer_id = 1;

    // The real clock's helper thread for timed callbacks.
    std::condition_variable m_timer_wakeup;
    // Timed callbacks taken off the list and not yet run: the device is not idle meanwhile.
    int m_callbacks_running = 0;
    bool m_stopping = false;
    std::thread m_timer_thread;
    std::shared_ptr<SimThread> m_timer_sim_thread;
    friend class Device;
};

} // namespace kivo
