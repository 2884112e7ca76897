#pragma once

#include "KernelObject.h"
#include "TurnSignal.h"
#include "Types.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <optional>
#include "CallSite.h"
#include <string>
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
//
// The flags other threads read without the scheduler's lock (its state, a kill, the unwinding, the
// last blocking call) are atomic: on the real clock a child's CreateThread and the controller read
// them while the thread runs.
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
    bool is_signalled_for(const SimThread&) const override { return state() == State::Finished; }

    // The calling host thread's SimThread, or null outside any device. A thread the device left
    // behind at its end (see leave_behind()) never returns from here: the device it belongs to is gone.
    static SimThread* current();
    static void set_current(SimThread*);

    Device& device() const { return m_device; }
    Process& process() const { return *m_process; }
    DWORD id() const { return m_id; }
    bool is_host() const { return m_is_host; }

    State state() const { return m_state.load(std::memory_order_acquire); }
    void set_state(State state) { m_state.store(state, std::memory_order_release); }
    DWORD exit_code() const { return m_exit_code; }
    void set_exit_code(DWORD code) { m_exit_code = code; }

    DWORD last_error() const { return m_last_error; }
    void set_last_error(DWORD error) { m_last_error = error; }

    int priority() const { return m_priority; }
    void set_priority(int priority) { m_priority = priority; }

    // Ending a thread where it stands: requested by another thread, acted on at the next layer call.
    bool kill_requested() const { return m_kill_requested.load(std::memory_order_acquire); }
    void request_kill() { m_kill_requested.store(true, std::memory_order_release); }
    bool unwinding() const { return m_unwinding.load(std::memory_order_acquire); }
    void set_unwinding(bool unwinding = true) { m_unwinding.store(unwinding, std::memory_order_release); }
    // While deferred, a kill makes blocking calls fail instead of throwing, so that a destructor
    // may wait; the next blocking call after the deferral throws as usual.
    bool termination_deferred() const { return m_termination_deferrals > 0; }
    void defer_termination(bool deferred) { m_termination_deferrals += deferred ? 1 : -1; }

    // Real clock: where a blocked thread waits to be woken.
    std::condition_variable& wakeup() { return m_wakeup; }
    // Virtual clock: released when the thread is given the turn.
    TurnSignal& turn() { return m_turn; }
    int& clock_reads_in_a_row() { return m_clock_reads_in_a_row; }

    // The device time a blocked thread's wait ends at, if any; with the scheduler's lock held.
    std::optional<uint64_t>& wait_deadline() { return m_wait_deadline; }

    // Where the thread last blocked in the layer, for reports about threads that do not come back.
    void note_blocking_call(const CallSite& where, const char* object_kind)
    {
        m_last_call.store(where.function_name(), std::memory_order_relaxed);
        m_last_object.store(object_kind, std::memory_order_relaxed);
    }
    // "process image, thread id, last blocking call", for such reports.
    std::string describe() const;

    // The device gives up on the host thread (it stays in host code past the end of the device):
    // the thread is detached and parks for good at its next contact with the layer. Returns false
    // when the thread is already on its way out through the layer (it can still be joined).
    bool leave_behind();
    bool left_behind() const { return m_phase.load(std::memory_order_acquire) == Phase::LeftBehind; }

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
    enum class Phase {
        InProgram,
        Leaving,
        LeftBehind,
    };

    void run(std::function<DWORD()> body);
    [[noreturn]] static void park();

    Device& m_device;
    std::shared_ptr<Process> m_process;
    DWORD m_id;
    bool m_is_host;
    std::atomic<State> m_state = State::Ready;
    DWORD m_exit_code = 259; // STILL_ACTIVE
    DWORD m_last_error = 0;
    int m_priority = 251; // THREAD_PRIORITY_NORMAL in the device's 256 levels
    std::atomic<bool> m_kill_requested = false;
    std::atomic<bool> m_unwinding = false;
    int m_termination_deferrals = 0;
    int m_clock_reads_in_a_row = 0;
    std::vector<Mutex*> m_owned_mutexes;
    std::optional<uint64_t> m_wait_deadline;
    std::atomic<const char*> m_last_call = nullptr;
    std::atomic<const char*> m_last_object = nullptr;
    std::atomic<Phase> m_phase = Phase::InProgram;
    std::condition_variable m_wakeup;
    TurnSignal m_turn;
    std::thread m_host;
    std::atomic<bool> m_host_done = false;
};

} // namespace kivo
