#include "Scheduler.h"

#include "Device.h"
#include "KernelObject.h"
#include "Process.h"
#include "SimThread.h"
#include "ThreadTermination.h"
#include "WideText.h"

#include <algorithm>
#include <cstdio>
#include <pthread.h>
#include <sched.h>
#include <string>

namespace kivo {

namespace {

// How long the real clock's controller calls wait for the device to settle before giving up.
constexpr auto real_idle_limit = std::chrono::seconds(10);
constexpr int polling_reads = 64;
// How long the controller waits for the turn to come back before it says which thread keeps it.
constexpr auto turn_report_after = std::chrono::seconds(30);

} // namespace

Scheduler::Scheduler(Clock& clock)
    : m_clock(clock)
{
    if (is_virtual())
        m_core = sched_getcpu();
}

void Scheduler::place(std::thread& host)
{
    if (m_core < 0)
        return;
    cpu_set_t cores;
    CPU_ZERO(&cores);
    CPU_SET(m_core, &cores);
    // Only matters of speed: where they fail, the thread runs anywhere, as any thread.
    pthread_setaffinity_np(host.native_handle(), sizeof(cores), &cores);
    // A thread giving the turn wakes the next one and then sleeps; as a batch thread the woken one
    // does not preempt the giver in between, which would cost a second host switch.
    sched_param parameters {};
    pthread_setschedparam(host.native_handle(), SCHED_BATCH, &parameters);
}

Scheduler::~Scheduler()
{
    {
        auto guard = lock();
        m_stopping = true;
    }
    m_timer_wakeup.notify_all();
    if (m_timer_thread.joinable())
        m_timer_thread.join();
}

void Scheduler::start_real_timer(std::shared_ptr<SimThread> thread)
{
    m_timer_sim_thread = std::move(thread);
    m_timer_thread = std::thread([this] { real_timer_loop(); });
}

void Scheduler::throw_termination(SimThread& self)
{
    self.set_unwinding();
    throw ThreadTermination {};
}

WaitOutcome Scheduler::wait(std::unique_lock<std::mutex>& lock, SimThread& self, std::span<Waitable* const> objects,
    std::optional<uint64_t> deadline, bool wait_all, CallSite where)
{
    return wait_for_objects(lock, self, objects, deadline, wait_all, false, where);
}

WaitOutcome Scheduler::wait_regardless(std::unique_lock<std::mutex>& lock, SimThread& self, Waitable& object, CallSite where)
{
    Waitable* objects[] = { &object };
    return wait_for_objects(lock, self, objects, std::nullopt, false, true, where);
}

WaitOutcome Scheduler::wait_for_objects(std::unique_lock<std::mutex>& lock, SimThread& self, std::span<Waitable* const> objects,
    std::optional<uint64_t> deadline, bool wait_all, bool regardless, const CallSite& where)
{
    if (!regardless) {
        if (self.unwinding() || (self.kill_requested() && self.termination_deferred()))
            return { WaitOutcome::Kind::Failed };
        if (self.kill_requested())
            throw_termination(self);
    }
    self.clock_reads_in_a_row() = 0;
    self.note_blocking_call(where, objects.empty() ? nullptr : objects.front()->kind());

    for (;;) {
        if (wait_all && !objects.empty()) {
            bool all = std::all_of(objects.begin(), objects.end(), [&](Waitable* object) { return object->is_signalled_for(self); });
            if (all) {
                bool abandoned = false;
                for (auto* object : objects)
                    abandoned |= object->acquire(self);
                return { WaitOutcome::Kind::Object, 0, abandoned };
            }
        } else {
            for (size_t i = 0; i < objects.size(); ++i) {
                if (objects[i]->is_signalled_for(self)) {
                    bool abandoned = objects[i]->acquire(self);
                    return { WaitOutcome::Kind::Object, i, abandoned };
                }
            }
        }
        if (deadline && m_clock.now_ms() >= *deadline)
            return { WaitOutcome::Kind::Timeout };

        if (!self.is_scheduled() && is_virtual()) {
            // The controller's own wait drives the device until it can end.
            bool progressed = false;
            controller_step(lock, deadline, progressed);
            if (!progressed)
                return { WaitOutcome::Kind::Failed };
            continue;
        }

        for (auto* object : objects)
            object->add_waiter(self);
        block(lock, self, deadline);
        for (auto* object : objects)
            object->remove_waiter(self);
        if (regardless)
            continue;
        if (self.kill_requested() && self.termination_deferred())
            return { WaitOutcome::Kind::Failed };
        if (self.kill_requested())
            throw_termination(self);
    }
}

void Scheduler::block(std::unique_lock<std::mutex>& lock, SimThread& self, std::optional<uint64_t> deadline)
{
    check_no_host_locks_held(self);
    if (is_virtual()) {
        TimerId timeout = 0;
        if (deadline)
            timeout = add_timed(*deadline, TimedEntry { 0, &self, {} });
        self.set_state(SimThread::State::Blocked);
        hand_back(lock, self);
        if (timeout)
            cancel_locked(timeout);
        return;
    }
    // A wake marks the thread ready at once (under the lock), so that is_idle() never takes a
    // thread that has been woken and not yet run for a blocked one.
    self.set_state(SimThread::State::Blocked);
    self.wait_deadline() = deadline;
    if (deadline)
        self.wakeup().wait_until(lock, m_clock.host_time_of(*deadline));
    else
        self.wakeup().wait(lock);
    self.wait_deadline().reset();
    self.set_state(SimThread::State::Running);
}

void Scheduler::hand_back(std::unique_lock<std::mutex>& lock, SimThread& self)
{
    SimThread* next = next_turn(lock);
    if (next == &self)
        return;
    lock.unlock();
    give_turn(next);
    self.turn().take();
    lock.lock();
}

SimThread* Scheduler::next_turn(std::unique_lock<std::mutex>& lock)
{
    // While the controller advances the clock and nothing is ready, the thread giving up its turn
    // moves the clock itself, exactly as the controller would, as long as only time-outs are due
    // (timed callbacks are the controller's to run). This spares the hand-off to the controller
    // and back for a thread that only sleeps.
    if (m_ready.empty() && m_advance_target) {
        auto next = next_event_time();
        if (next && *next <= *m_advance_target) {
            uint64_t to = std::max(*next, m_clock.now_ms());
            if (only_time_outs_due(to))
                move_clock_to(lock, to);
        }
    }
    if (m_ready.empty()) {
        m_running = nullptr;
        return nullptr;
    }
    SimThread* thread = m_ready.front();
    m_ready.pop_front();
    thread->set_state(SimThread::State::Running);
    m_running = thread;
    return thread;
}

bool Scheduler::only_time_outs_due(uint64_t ms) const
{
    for (auto it = m_timed.begin(); it != m_timed.end() && it->first.first <= ms; ++it) {
        if (!it->second.timeout_of)
            return false;
    }
    return true;
}

void Scheduler::give_turn(SimThread* next)
{
    if (next)
        next->turn().give();
    else
        m_controller_turn.give();
}

void Scheduler::wake(SimThread& thread)
{
    if (!is_virtual()) {
        if (thread.state() == SimThread::State::Blocked)
            thread.set_state(SimThread::State::Ready);
        thread.wakeup().notify_one();
        return;
    }
    // The controller re-checks its wait by itself after each step.
    if (!thread.is_scheduled() || thread.state() != SimThread::State::Blocked)
        return;
    thread.set_state(SimThread::State::Ready);
    m_ready.push_back(&thread);
}

void Scheduler::yield(std::unique_lock<std::mutex>& lock, SimThread& self)
{
    if (self.kill_requested() && !self.unwinding())
        throw_termination(self);
    if (!is_virtual() || !self.is_scheduled()) {
        lock.unlock();
        std::this_thread::yield();
        lock.lock();
        return;
    }
    // A thread that only ever yields is polling too: it must let the clock move eventually.
    if (++self.clock_reads_in_a_row() >= polling_reads) {
        self.clock_reads_in_a_row() = 0;
        m_pollers.push_back(&self);
        self.set_state(SimThread::State::Blocked);
    } else if (m_ready.empty()) {
        return;
    } else {
        self.set_state(SimThread::State::Ready);
        m_ready.push_back(&self);
    }
    check_no_host_locks_held(self);
    hand_back(lock, self);
    std::erase(m_pollers, &self);
    if (self.kill_requested() && !self.unwinding())
        throw_termination(self);
}

void Scheduler::note_clock_read(SimThread& self)
{
    if (!is_virtual() || !self.is_scheduled() || self.unwinding())
        return;
    if (++self.clock_reads_in_a_row() < polling_reads)
        return;
    self.clock_reads_in_a_row() = 0;
    auto guard = lock();
    if (self.kill_requested())
        throw_termination(self);
    check_no_host_locks_held(self);
    m_pollers.push_back(&self);
    self.set_state(SimThread::State::Blocked);
    hand_back(guard, self);
    std::erase(m_pollers, &self);
    if (self.kill_requested())
        throw_termination(self);
}

void Scheduler::add_thread(std::shared_ptr<SimThread> thread)
{
    // With the lock held by the caller.
    if (is_virtual()) {
        thread->set_state(SimThread::State::Ready);
        m_ready.push_back(thread.get());
    } else {
        thread->set_state(SimThread::State::Running);
        std::unique_lock<std::mutex> held(m_lock, std::adopt_lock);
        reap(held);
        held.release();
    }
    m_threads.emplace(thread->id(), std::move(thread));
}

void Scheduler::await_first_turn(SimThread& self)
{
    if (is_virtual())
        self.turn().take();
}

void Scheduler::end_thread(SimThread& self, DWORD exit_code)
{
    Process& process = self.process();
    bool last = false;
    {
        auto guard = lock();
        self.abandon_owned_mutexes();
        // Returning from the main thread ends the whole process, as on the device. The system
        // process (the controller's) lives as long as the device.
        bool system = &process == &self.device().system_process();
        if (!system && &self == process.main_thread().get())
            process.terminate(exit_code);
        self.finish(exit_code);
        m_finished.push_back(&self);
        // The system process lives as long as the device; its ended threads leave it at once.
        if (system)
            std::erase_if(process.threads(), [&](auto& thread) { return thread.get() == &self; });
        last = !system && process.all_threads_finished() && process.begin_finalize();
    }
    if (last) {
        process.finalize();
        auto guard = lock();
        process.mark_ended();
    }
    auto guard = lock();
    m_thread_ended.notify_all();
    if (is_virtual()) {
        SimThread* next = next_turn(guard);
        guard.unlock();
        give_turn(next);
    }
}

Scheduler::TimerId Scheduler::schedule_at(uint64_t device_ms, std::function<void()> callback)
{
    auto guard = lock();
    return add_timed(device_ms, TimedEntry { 0, nullptr, std::move(callback) });
}

Scheduler::TimerId Scheduler::add_timed(uint64_t device_ms, TimedEntry entry)
{
    TimerId id = m_next_timer_id++;
    entry.id = id;
    TimedKey key { device_ms, id };
    bool earliest = m_timed.empty() || key < m_timed.begin()->first;
    m_timed.emplace(key, std::move(entry));
    m_timed_keys.emplace(id, key);
    if (earliest && !is_virtual())
        m_timer_wakeup.notify_one();
    return id;
}

void Scheduler::cancel(TimerId id)
{
    auto guard = lock();
    cancel_locked(id);
}

void Scheduler::cancel_locked(TimerId id)
{
    auto it = m_timed_keys.find(id);
    if (it == m_timed_keys.end())
        return;
    m_timed.erase(it->second);
    m_timed_keys.erase(it);
}

std::optional<uint64_t> Scheduler::next_event_time() const
{
    if (!m_timed.empty())
        return m_timed.begin()->first.first;
    // A polling thread sees the clock move by a millisecond when nothing else is due.
    if (!m_pollers.empty())
        return m_clock.now_ms() + 1;
    return std::nullopt;
}

void Scheduler::move_clock_to(std::unique_lock<std::mutex>& lock, uint64_t ms)
{
    if (ms > m_clock.now_ms()) {
        m_clock.set_now_ms(ms);
        auto pollers = std::move(m_pollers);
        m_pollers.clear();
        for (auto* poller : pollers)
            wake(*poller);
    }
    while (!m_timed.empty() && m_timed.begin()->first.first <= ms) {
        auto node = m_timed.extract(m_timed.begin());
        m_timed_keys.erase(node.mapped().id);
        TimedEntry entry = std::move(node.mapped());
        if (entry.timeout_of) {
            wake(*entry.timeout_of);
            continue;
        }
        ++m_callbacks_running;
        lock.unlock();
        entry.callback();
        lock.lock();
        --m_callbacks_running;
    }
}

void Scheduler::run_ready(std::unique_lock<std::mutex>& lock, std::optional<std::chrono::steady_clock::time_point> give_up)
{
    while (!m_ready.empty()) {
        SimThread* thread = m_ready.front();
        m_ready.pop_front();
        thread->set_state(SimThread::State::Running);
        m_running = thread;
        lock.unlock();
        thread->turn().give();
        bool back = true;
        if (give_up) {
            back = m_controller_turn.take_until(*give_up);
        } else {
            // A thread that keeps the turn this long is stuck outside the layer; say which.
            bool reported = false;
            while (!m_controller_turn.take_until(std::chrono::steady_clock::now() + turn_report_after)) {
                if (reported)
                    continue;
                reported = true;
                lock.lock();
                std::string line = "kivo: " + (m_running ? m_running->describe() : std::string("a thread"))
                    + ": has kept the turn without coming back to the layer\n";
                lock.unlock();
                std::fputs(line.c_str(), stderr);
            }
        }
        lock.lock();
        if (!back) {
            if (m_running && leave_behind(*m_running, "did not come back to the layer while the device shut down")) {
                // FIXME: a thread left behind in the middle of a layer call could still hand a turn
                // back; only one that stays in host code (or parks at its next layer call) is safe.
                m_running = nullptr;
            } else {
                // The turn is on its way back (the thread is leaving through the layer).
                lock.unlock();
                m_controller_turn.take();
                lock.lock();
            }
        }
        reap(lock);
    }
}

void Scheduler::reap(std::unique_lock<std::mutex>&)
{
    // Joins only host threads that have already left, so the controller never waits for one.
    std::erase_if(m_finished, [this](SimThread* thread) {
        if (!thread->host_done())
            return false;
        thread->join();
        m_threads.erase(thread->id());
        return true;
    });
}

void Scheduler::controller_step(std::unique_lock<std::mutex>& lock, std::optional<uint64_t> deadline, bool& progressed)
{
    progressed = true;
    if (!m_ready.empty()) {
        run_ready(lock);
        return;
    }
    auto next = next_event_time();
    if (deadline && (!next || *next > *deadline))
        next = deadline;
    if (!next) {
        progressed = false;
        return;
    }
    move_clock_to(lock, std::max(*next, m_clock.now_ms()));
}

void Scheduler::run_until_idle()
{
    if (!is_virtual()) {
        auto limit = std::chrono::steady_clock::now() + real_idle_limit;
        while (!is_idle() && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    auto guard = lock();
    run_ready(guard);
}

void Scheduler::advance(uint64_t ms)
{
    if (!is_virtual()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    auto guard = lock();
    uint64_t target = m_clock.now_ms() + ms;
    m_advance_target = target;
    for (;;) {
        run_ready(guard);
        auto next = next_event_time();
        if (!next || *next > target)
            break;
        move_clock_to(guard, std::max(*next, m_clock.now_ms()));
    }
    move_clock_to(guard, target);
    run_ready(guard);
    m_advance_target.reset();
}

bool Scheduler::run_until(const std::function<bool()>& predicate, uint64_t limit_ms)
{
    if (!is_virtual()) {
        auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
        while (!predicate()) {
            if (std::chrono::steady_clock::now() >= limit)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    auto guard = lock();
    uint64_t target = m_clock.now_ms() + limit_ms;
    auto holds = [&] {
        guard.unlock();
        bool result = predicate();
        guard.lock();
        return result;
    };
    for (;;) {
        run_ready(guard);
        if (holds())
            return true;
        auto next = next_event_time();
        if (!next || *next > target)
            break;
        move_clock_to(guard, std::max(*next, m_clock.now_ms()));
    }
    move_clock_to(guard, target);
    run_ready(guard);
    return holds();
}

bool Scheduler::is_idle()
{
    auto guard = lock();
    if (is_virtual())
        return m_ready.empty();
    return real_idle_locked();
}

bool Scheduler::real_idle_locked() const
{
    uint64_t now = m_clock.now_ms();
    // A blocked thread whose time-out has passed is as good as ready.
    bool all_blocked = std::all_of(m_threads.begin(), m_threads.end(), [&](auto& entry) {
        SimThread& thread = *entry.second;
        auto state = thread.state();
        if (state == SimThread::State::Blocked)
            return !thread.wait_deadline() || *thread.wait_deadline() > now;
        return state == SimThread::State::Finished;
    });
    bool nothing_due = m_callbacks_running == 0 && (m_timed.empty() || m_timed.begin()->first.first > now);
    return all_blocked && nothing_due;
}

size_t Scheduler::live_thread_count()
{
    auto guard = lock();
    return std::count_if(m_threads.begin(), m_threads.end(), [](auto& entry) { return entry.second->state() != SimThread::State::Finished; });
}

void Scheduler::shut_down()
{
    auto guard = lock();
    for (auto& [id, thread] : m_threads) {
        if (thread->state() == SimThread::State::Finished)
            continue;
        thread->request_kill();
        wake(*thread);
    }
    auto give_up = std::chrono::steady_clock::now() + m_shut_down_limit;
    if (is_virtual()) {
        // Killed threads unwind on their turns; threads they start are killed at once.
        while (!m_ready.empty())
            run_ready(guard, give_up);
    }
    auto threads = std::move(m_threads);
    m_threads.clear();
    m_finished.clear();
    for (auto& entry : threads) {
        auto& thread = entry.second;
        if (thread->left_behind())
            continue;
        bool ended = m_thread_ended.wait_until(guard, give_up, [&] { return thread->state() == SimThread::State::Finished; });
        if (!ended && leave_behind(*thread, "did not come back to the layer while the device shut down"))
            continue;
        guard.unlock();
        thread->join();
        guard.lock();
    }
}

bool Scheduler::leave_behind(SimThread& thread, const char* why)
{
    if (!thread.leave_behind())
        return false;
    // Its host frames may still use the objects, so they stay for the life of the host process.
    static std::vector<std::shared_ptr<SimThread>> left_behind;
    left_behind.push_back(std::static_pointer_cast<SimThread>(thread.shared_from_this()));
    std::string line = "kivo: " + thread.describe() + ": " + why + "; left behind\n";
    std::fputs(line.c_str(), stderr);
    thread.device().write_debug(to_utf16(line));
    return true;
}

void Scheduler::real_timer_loop()
{
    SimThread::set_current(m_timer_sim_thread.get());
    auto guard = lock();
    while (!m_stopping) {
        if (m_timed.empty()) {
            m_timer_wakeup.wait(guard);
            continue;
        }
        uint64_t due = m_timed.begin()->first.first;
        if (m_clock.now_ms() < due) {
            m_timer_wakeup.wait_until(guard, m_clock.host_time_of(due));
            continue;
        }
        move_clock_to(guard, m_clock.now_ms());
    }
    SimThread::set_current(nullptr);
}

} // namespace kivo
