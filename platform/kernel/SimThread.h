#pragma once

#include "KernelObject.h"
#include "Types.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace kivo {

class Device;
class Mutex;
class Process;
class Scheduler;

// One thread of a simulated process, running on a host thread of its own. Its handle object is
// signalled when it ends. The controller (the test or the simulator's main loop) and the layer's
// own helper threads get a SimThread too, of the device's system process, so that every layer call
// has a calling thread; those are "host" threads and are never scheduled.
class SimThread final : public Waitable {
public:
    enum class State {
        Ready,
        Running,
        Blocked,
        Finished,
    };

    SimThread(Device&, std::shared_ptr<Process>, DWORD id, bool is_host);
    ~SimThread() override;

    const char* kind() const override { return "thread"; }
    bool is_signalled_for(const SimThread&) const override { return m_state == State::Finished; }

    // The calling host thread's SimThread, or null outside any device.
    static SimThread* current();
    static void set_current(SimThread*);

    Device& device() const { return m_device; }
    Process& process() const { return *m_process; }
    DWORD id() const { return m_id; }
    bool is_host() const { return m_is_host; }

    State state() const { return m_state; }
    void set_state(State state) { m_state = state; }
    DWORD exit_code() const { return m_exit_code; }
    void set_exit_code(DWORD code) { m_exit_code = code; }

    DWORD last_error() const { return m_last_error; }
    void set_last_error(DWORD error) { m_last_error = error; }

    int priority() const { return m_priority; }
    void set_priority(int priority) { m_priority = priority; }

    // Ending a thread where it stands: requested by another thread, acted on at the next layer call.
    bool kill_requested() const { return m_kill_requested; }
    void request_kill() { m_kill_requested = true; }
    bool unwinding() const { return m_unwinding; }
    void set_unwinding() { m_unwinding = true; }
    // While deferred, a kill makes blocking calls fail instead of throwing, so that a destructor
    // may wait; the next blocking call after the deferral throws as usual.
    bool termination_deferred() const { return m_termination_deferrals > 0; }
    void defer_termination(bool deferred) { m_termination_deferrals += deferred ? 1 : -1; }

    std::condition_variable& wakeup() { return m_wakeup; }
    int& clock_reads_in_a_row() { return m_clock_reads_in_a_row; }

    void add_owned_mutex(Mutex* mutex) { m_owned_mutexes.push_back(mutex); }
    void remove_owned_mutex(Mutex*);
    // The thread ends owning mutexes: each passes to its next waiter as abandoned.
    void abandon_owned_mutexes();

    // Starts the host thread; it waits for its first turn before running `body`.
    void start(std::function<DWORD()> body);
    void join();
    // Whether the host thread has left the layer for good (it may be joined without waiting).
    bool host_done() const { return m_host_done; }

    // Marks the thread ended and signals its waiters; called with the scheduler's lock held.
    void finish(DWORD exit_code);
    // Whether a wait of this thread can leave the thread's turn to others (host threads cannot).
    bool is_scheduled() const { return !m_is_host; }

private:
    void run(std::function<DWORD()> body);

    Device& m_device;
    std::shared_ptr<Process> m_process;
    DWORD m_id;
    bool m_is_host;
    State m_state = State::Ready;
    DWORD m_exit_code = 259; // STILL_ACTIVE
    DWORD m_last_error = 0;
    int m_priority = 251; // THREAD_PRIORITY_NORMAL in the device's 256 levels
    bool m_kill_requested = false;
    bool m_unwinding = false;
    int m_termination_deferrals = 0;
    int m_clock_reads_in_a_row = 0;
    std::vector<Mutex*> m_owned_mutexes;
    std::condition_variable m_wakeup;
    std::thread m_host;
    std::atomic<bool> m_host_done = false;
};

} // namespace kivo
