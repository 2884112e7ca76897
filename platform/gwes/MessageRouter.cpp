#include "MessageRouter.h"

#include "WindowManager.h"
#include "kernel/Device.h"
#include "kernel/Process.h"
#include "kernel/SimThread.h"
#include "kernel/WideText.h"

#include <algorithm>

namespace kivo {

namespace {

// The suite uses these numbers as fixed messages, so they are never handed out by name.
constexpr UINT reserved_first = 0xCF00;
constexpr UINT reserved_last = 0xCF0F;
constexpr UINT registered_last = 0xFFFF;
// Thread messages only, as a GetMessage filter.
HWND const thread_messages_only = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

SimThread& self()
{
    Device::current();
    return *SimThread::current();
}

// While a thread waits for its own send, only messages sent to it wake it; the flag is reset
// whichever way the wait ends.
class SendsOnly {
public:
    explicit SendsOnly(ThreadQueue& queue)
        : m_queue(queue)
    {
        m_queue.set_sends_only(true);
    }
    ~SendsOnly() { m_queue.set_sends_only(false); }

private:
    ThreadQueue& m_queue;
};

} // namespace

MessageRouter::MessageRouter(Device& device, WindowManager& windows)
    : m_device(device)
    , m_windows(windows)
{
}

ThreadQueue* MessageRouter::queue_locked(DWORD thread_id)
{
    auto it = m_queues.find(thread_id);
    return it == m_queues.end() ? nullptr : it->second.get();
}

ThreadQueue& MessageRouter::own_queue_locked(SimThread& thread)
{
    auto& queue = m_queues[thread.id()];
    if (!queue)
        queue = std::make_shared<ThreadQueue>(thread.id(), thread.process().id());
    return *queue;
}

void MessageRouter::note_paint_locked(const Window& window)
{
    if (auto* queue = queue_locked(window.thread_id))
        queue->note_paint(window.hwnd);
}

std::vector<Timer> MessageRouter::close_queue_locked(DWORD thread_id)
{
    auto it = m_queues.find(thread_id);
    if (it == m_queues.end())
        return {};
    auto queue = std::move(it->second);
    m_queues.erase(it);
    queue->close();
    return queue->remove_all_timers();
}

std::vector<Timer> MessageRouter::close_all_locked()
{
    std::vector<Timer> timers;
    for (auto& [id, queue] : m_queues) {
        queue->close();
        auto removed = queue->remove_all_timers();
        timers.insert(timers.end(), removed.begin(), removed.end());
    }
    m_queues.clear();
    return timers;
}

bool MessageRouter::post(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, DWORD& error)
{
    if (message == WM_COPYDATA) {
        // The data would be gone before the receiver reads it: only a send can carry it.
        m_device.write_debug(u"PostMessage: WM_COPYDATA refused; it can only be sent\r\n");
        error = ERROR_MESSAGE_SYNC_ONLY;
        return false;
    }
    if (!hwnd)
        return post_thread(self().id(), message, wparam, lparam, error);
    std::vector<Refusal> refused;
    {
        auto guard = m_device.scheduler().lock();
        DWORD time = m_device.clock().tick_count();
        POINT point = m_windows.cursor_pos_locked();
        if (hwnd == HWND_BROADCAST) {
            for (HWND target : m_windows.top_level_windows_locked()) {
                auto* window = m_windows.window_locked(target);
                auto* queue = window ? queue_locked(window->thread_id) : nullptr;
                if (queue && queue->post({ target, message, wparam, lparam, time, point }) == ThreadQueue::Posted::Full)
                    refused.push_back({ target, queue->thread_id() });
            }
        } else {
            auto* window = m_windows.window_locked(hwnd);
            auto* queue = window ? queue_locked(window->thread_id) : nullptr;
            if (!queue) {
                error = ERROR_INVALID_WINDOW_HANDLE;
                return false;
            }
            if (queue->post({ hwnd, message, wparam, lparam, time, point }) == ThreadQueue::Posted::Full)
                refused.push_back({ hwnd, queue->thread_id() });
        }
    }
    // A broadcast reaches every queue that has room, and fails if any had none.
    for (auto& refusal : refused)
        report_full(u"PostMessage", message, refusal);
    if (!refused.empty()) {
        error = ERROR_NOT_ENOUGH_QUOTA;
        return false;
    }
    return true;
}

bool MessageRouter::post_thread(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam, DWORD& error)
{
    if (message == WM_COPYDATA) {
        m_device.write_debug(u"PostThreadMessage: WM_COPYDATA refused; it can only be sent\r\n");
        error = ERROR_MESSAGE_SYNC_ONLY;
        return false;
    }
    {
        auto guard = m_device.scheduler().lock();
        auto* queue = queue_locked(thread_id);
        if (!queue) {
            // A thread that has not touched the window system yet gets its queue now.
            SimThread* target = nullptr;
            auto* me = SimThread::current();
            if (me && me->id() == thread_id)
                target = me;
            for (auto& process : m_device.processes()) {
                for (auto& thread : process->threads()) {
                    if (thread->id() == thread_id && thread->state() != SimThread::State::Finished)
                        target = thread.get();
                }
            }
            if (!target) {
                error = ERROR_INVALID_THREAD_ID;
                return false;
            }
            queue = &own_queue_locked(*target);
        }
        if (queue->post({ nullptr, message, wparam, lparam, m_device.clock().tick_count(), m_windows.cursor_pos_locked() })
            != ThreadQueue::Posted::Full)
            return true;
    }
    report_full(u"PostThreadMessage", message, { nullptr, thread_id });
    error = ERROR_NOT_ENOUGH_QUOTA;
    return false;
}

bool MessageRouter::post_input(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, POINT screen)
{
    DWORD thread_id = 0;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = m_windows.window_locked(hwnd);
        auto* queue = window ? queue_locked(window->thread_id) : nullptr;
        if (!queue)
            return false;
        if (queue->post({ hwnd, message, wparam, lparam, m_device.clock().tick_count(), screen }) != ThreadQueue::Posted::Full)
            return true;
        thread_id = queue->thread_id();
    }
    report_full(u"Input", message, { hwnd, thread_id });
    return false;
}

void MessageRouter::report_full(std::u16string_view call, UINT message, const Refusal& refusal)
{
    std::u16string name(call);
    auto limit = static_cast<unsigned>(ThreadQueue::posted_limit);
    auto thread = static_cast<unsigned>(refusal.thread_id);
    if (!refusal.hwnd) {
        m_device.write_debug(format_wide(u"%s: message 0x%04X for thread %u refused; it has %u messages waiting\r\n", name.c_str(),
            message, thread, limit));
        return;
    }
    m_device.write_debug(format_wide(u"%s: message 0x%04X for window 0x%08X refused; thread %u has %u messages waiting\r\n",
        name.c_str(), message, static_cast<unsigned>(reinterpret_cast<uintptr_t>(refusal.hwnd)), thread, limit));
}

MessageRouter::SendOutcome MessageRouter::send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
    std::optional<DWORD> timeout_ms, LRESULT& result, DWORD& error)
{
    auto& me = self();
    auto& scheduler = m_device.scheduler();
    auto guard = scheduler.lock();
    auto* window = m_windows.window_locked(hwnd);
    if (!window) {
        error = ERROR_INVALID_WINDOW_HANDLE;
        return SendOutcome::Failed;
    }
    auto sent = std::make_shared<SentMessage>(hwnd, message, wparam, lparam);
    if (message == WM_COPYDATA && lparam)
        sent->copy_data(*reinterpret_cast<const COPYDATASTRUCT*>(lparam));
    if (window->thread_id == me.id()) {
        guard.unlock();
        result = call_window_proc(hwnd, message, wparam, sent->lparam());
        return SendOutcome::Answered;
    }
    DWORD target_thread = window->thread_id;
    auto* target = queue_locked(target_thread);
    if (!target) {
        error = ERROR_INVALID_WINDOW_HANDLE;
        return SendOutcome::Failed;
    }
    target->push_send(sent);
    auto& own = own_queue_locked(me);
    // Keep the queue alive across the waits even if the thread's windows go meanwhile.
    auto own_alive = m_queues[me.id()];
    std::optional<uint64_t> deadline;
    if (timeout_ms)
        deadline = m_device.clock().now_ms() + *timeout_ms;
    for (;;) {
        Waitable* objects[] = { sent.get(), &own };
        WaitOutcome outcome;
        {
            SendsOnly sends_only(own);
            outcome = scheduler.wait(guard, me, objects, deadline);
        }
        if (outcome.kind == WaitOutcome::Kind::Object && outcome.index == 0) {
            result = sent->result();
            return SendOutcome::Answered;
        }
        if (outcome.kind == WaitOutcome::Kind::Object) {
            answer_sends(guard, own);
            continue;
        }
        // Not answered in time: the receiver never sees it if it has not started on it.
        if (auto* queue = queue_locked(target_thread))
            queue->remove_send(sent.get());
        error = outcome.kind == WaitOutcome::Kind::Timeout ? ERROR_TIMEOUT : ERROR_INVALID_FUNCTION;
        return outcome.kind == WaitOutcome::Kind::Timeout ? SendOutcome::TimedOut : SendOutcome::Failed;
    }
}

bool MessageRouter::notify(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, DWORD& error)
{
    auto& me = self();
    auto guard = m_device.scheduler().lock();
    auto* window = m_windows.window_locked(hwnd);
    if (!window) {
        error = ERROR_INVALID_WINDOW_HANDLE;
        return false;
    }
    if (window->thread_id == me.id()) {
        guard.unlock();
        call_window_proc(hwnd, message, wparam, lparam);
        return true;
    }
    auto* queue = queue_locked(window->thread_id);
    if (!queue) {
        error = ERROR_INVALID_WINDOW_HANDLE;
        return false;
    }
    queue->push_send(std::make_shared<SentMessage>(hwnd, message, wparam, lparam));
    return true;
}

void MessageRouter::answer_sends(std::unique_lock<std::mutex>& guard, ThreadQueue& queue)
{
    // Whichever way the call ends (a killed thread unwinds through it), the sender gets an answer.
    class Answer {
    public:
        Answer(std::unique_lock<std::mutex>& guard, ThreadQueue& queue, std::shared_ptr<SentMessage> sent)
            : m_guard(guard)
            , m_queue(queue)
            , m_sent(std::move(sent))
        {
            ++m_queue.send_depth;
            m_guard.unlock();
        }
        ~Answer()
        {
            m_guard.lock();
            --m_queue.send_depth;
            m_sent->complete(m_result);
        }
        void set(LRESULT result) { m_result = result; }

    private:
        std::unique_lock<std::mutex>& m_guard;
        ThreadQueue& m_queue;
        std::shared_ptr<SentMessage> m_sent;
        LRESULT m_result = 0;
    };
    while (auto sent = queue.pop_send()) {
        HWND hwnd = sent->hwnd();
        UINT message = sent->message();
        WPARAM wparam = sent->wparam();
        LPARAM lparam = sent->lparam();
        Answer answer(guard, queue, std::move(sent));
        answer.set(call_window_proc(hwnd, message, wparam, lparam));
    }
}

bool MessageRouter::matches(const MSG& message, HWND filter, UINT filter_min, UINT filter_max)
{
    if (filter == thread_messages_only) {
        if (message.hwnd)
            return false;
    } else if (filter && message.hwnd != filter) {
        return false;
    }
    if (filter_min == 0 && filter_max == 0)
        return true;
    return message.message >= filter_min && message.message <= filter_max;
}

HWND MessageRouter::outermost_waiting_to_paint_locked(const Window& window, DWORD thread_id, const std::function<bool(HWND)>& filter)
{
    HWND outermost = window.hwnd;
    for (const Window* current = &window; current->is_child();) {
        current = m_windows.window_locked(current->parent);
        if (!current)
            break;
        if (current->thread_id == thread_id && !current->update.empty() && filter(current->hwnd))
            outermost = current->hwnd;
    }
    return outermost;
}

MessageRouter::Fetch MessageRouter::fetch(MSG& out, HWND filter, UINT filter_min, UINT filter_max, bool wait, bool remove)
{
    auto& me = self();
    auto& scheduler = m_device.scheduler();
    auto guard = scheduler.lock();
    auto& queue = own_queue_locked(me);
    auto alive = m_queues[me.id()];
    auto window_filter = [&](HWND hwnd) {
        if (filter == thread_messages_only)
            return hwnd == nullptr;
        return !filter || hwnd == filter;
    };
    for (;;) {
        answer_sends(guard, queue);
        if (queue.closed())
            return Fetch::Failed;
        // Messages for windows that are gone are dropped on the way out.
        auto posted = queue.take_posted(
            [&](const MSG& message) {
                if (message.hwnd && !m_windows.window_locked(message.hwnd))
                    return false;
                return matches(message, filter, filter_min, filter_max);
            },
            !remove);
        if (posted) {
            out = *posted;
            queue.last_message = out;
            return Fetch::Message;
        }
        if (!filter || filter == thread_messages_only) {
            if (auto code = queue.quit(remove)) {
                out = { nullptr, WM_QUIT, static_cast<WPARAM>(*code), 0, m_device.clock().tick_count(), {} };
                return Fetch::Quit;
            }
        }
        if (matches({ nullptr, WM_PAINT, 0, 0, 0, {} }, nullptr, filter_min, filter_max)) {
            auto& paint = queue.paint_windows();
            for (auto it = paint.begin(); it != paint.end();) {
                auto* window = m_windows.window_locked(*it);
                if (!window || window->update.empty() || !m_windows.is_visible_locked(*window)) {
                    it = paint.erase(it);
                    continue;
                }
                if (!window_filter(*it)) {
                    ++it;
                    continue;
                }
                out = { outermost_waiting_to_paint_locked(*window, me.id(), window_filter), WM_PAINT, 0, 0,
                    m_device.clock().tick_count(), {} };
                queue.last_message = out;
                return Fetch::Message;
            }
        }
        if (matches({ nullptr, WM_TIMER, 0, 0, 0, {} }, nullptr, filter_min, filter_max)) {
            if (auto* timer = queue.first_pending_timer(window_filter)) {
                out = { timer->hwnd, WM_TIMER, timer->id, reinterpret_cast<LPARAM>(timer->proc), m_device.clock().tick_count(), {} };
                if (remove)
                    timer->pending = false;
                queue.last_message = out;
                return Fetch::Message;
            }
        }
        if (!wait)
            return Fetch::Empty;
        Waitable* objects[] = { &queue };
        auto outcome = scheduler.wait(guard, me, objects, std::nullopt);
        if (outcome.kind != WaitOutcome::Kind::Object)
            return Fetch::Failed;
    }
}

LRESULT MessageRouter::dispatch(const MSG& message)
{
    if (message.message == WM_TIMER && message.lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(message.lParam);
        proc(message.hwnd, WM_TIMER, message.wParam, m_device.clock().tick_count());
        return 0;
    }
    if (!message.hwnd)
        return 0;
    if (message.message != WM_PAINT)
        return call_window_proc(message.hwnd, message.message, message.wParam, message.lParam);

    uint64_t before = 0;
    m_windows.with_window(message.hwnd, [&](Window& window) { before = window.invalidations; });
    LRESULT result = call_window_proc(message.hwnd, WM_PAINT, message.wParam, message.lParam);
    // A window procedure that leaves its update region alone would get WM_PAINT for ever; what
    // was invalid before it ran counts as painted, unless it invalidated again meanwhile.
    auto guard = m_device.scheduler().lock();
    if (auto* window = m_windows.window_locked(message.hwnd); window && window->invalidations == before) {
        window->update.clear();
        window->erase_pending = false;
    }
    return result;
}

LRESULT MessageRouter::call_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    WNDPROC proc = nullptr;
    m_windows.with_window(hwnd, [&](Window& window) { proc = window.proc; });
    if (!proc)
        return 0;
    return proc(hwnd, message, wparam, lparam);
}

void MessageRouter::post_quit(int exit_code)
{
    auto& me = self();
    auto guard = m_device.scheduler().lock();
    own_queue_locked(me).post_quit(exit_code);
}

bool MessageRouter::in_send()
{
    auto& me = self();
    auto guard = m_device.scheduler().lock();
    auto* queue = queue_locked(me.id());
    return queue && queue->send_depth > 0;
}

MSG MessageRouter::last_message()
{
    auto& me = self();
    auto guard = m_device.scheduler().lock();
    auto* queue = queue_locked(me.id());
    return queue ? queue->last_message : MSG {};
}

UINT MessageRouter::register_message(std::u16string_view name)
{
    std::u16string key;
    for (char16_t c : name)
        key.push_back(fold_case(c));
    auto guard = m_device.scheduler().lock();
    if (auto it = m_registered.find(key); it != m_registered.end())
        return it->second;
    if (m_next_registered >= reserved_first && m_next_registered <= reserved_last)
        m_next_registered = reserved_last + 1;
    if (m_next_registered > registered_last)
        return 0;
    UINT number = m_next_registered++;
    m_registered.emplace(std::move(key), number);
    return number;
}

UINT_PTR MessageRouter::set_timer(HWND hwnd, UINT_PTR id, UINT period, TIMERPROC proc, DWORD& error)
{
    auto& me = self();
    // Zero would make a timer that never lets the clock move.
    period = std::max<UINT>(period, 1);
    Scheduler::TimerId old_scheduled = 0;
    DWORD thread_id = me.id();
    uint64_t generation = 0;
    uint64_t due = 0;
    {
        auto guard = m_device.scheduler().lock();
        ThreadQueue* queue = nullptr;
        if (hwnd) {
            // Any thread may set a window's timer; it ticks on the window's own thread.
            auto* window = m_windows.window_locked(hwnd);
            queue = window ? queue_locked(window->thread_id) : nullptr;
            if (!queue) {
                error = ERROR_INVALID_WINDOW_HANDLE;
                return 0;
            }
            thread_id = window->thread_id;
        } else {
            queue = &own_queue_locked(me);
            if (!id || !queue->find_timer(nullptr, id))
                id = m_next_thread_timer++;
        }
        generation = m_next_generation++;
        due = m_device.clock().now_ms() + period;
        if (auto* timer = queue->find_timer(hwnd, id)) {
            old_scheduled = timer->scheduled;
            *timer = { hwnd, id, period, proc, generation, 0, false };
        } else {
            queue->add_timer({ hwnd, id, period, proc, generation, 0, false });
        }
    }
    if (old_scheduled)
        m_device.scheduler().cancel(old_scheduled);
    arm(thread_id, hwnd, id, generation, due);
    return id;
}

void MessageRouter::arm(DWORD thread_id, HWND hwnd, UINT_PTR id, uint64_t generation, uint64_t due)
{
    auto scheduled = m_device.scheduler().schedule_at(due, [this, thread_id, hwnd, id, generation, due] {
        tick(thread_id, hwnd, id, generation, due);
    });
    auto guard = m_device.scheduler().lock();
    auto* queue = queue_locked(thread_id);
    auto* timer = queue ? queue->find_timer(hwnd, id) : nullptr;
    if (timer && timer->generation == generation) {
        timer->scheduled = scheduled;
        return;
    }
    // Killed or re-armed while this one was being scheduled.
    guard.unlock();
    m_device.scheduler().cancel(scheduled);
}

void MessageRouter::tick(DWORD thread_id, HWND hwnd, UINT_PTR id, uint64_t generation, uint64_t due)
{
    uint64_t next = 0;
    {
        auto guard = m_device.scheduler().lock();
        auto* queue = queue_locked(thread_id);
        auto* timer = queue ? queue->find_timer(hwnd, id) : nullptr;
        if (!timer || timer->generation != generation)
            return;
        timer->pending = true;
        timer->scheduled = 0;
        next = due + timer->period;
        queue->notify();
    }
    arm(thread_id, hwnd, id, generation, next);
}

bool MessageRouter::kill_timer(HWND hwnd, UINT_PTR id)
{
    auto& me = self();
    std::optional<Timer> removed;
    {
        auto guard = m_device.scheduler().lock();
        ThreadQueue* queue = nullptr;
        if (hwnd) {
            auto* window = m_windows.window_locked(hwnd);
            queue = window ? queue_locked(window->thread_id) : nullptr;
        } else {
            queue = queue_locked(me.id());
        }
        if (queue)
            removed = queue->remove_timer(hwnd, id);
    }
    if (!removed)
        return false;
    cancel_scheduled({ *removed });
    return true;
}

void MessageRouter::cancel_scheduled(const std::vector<Timer>& timers)
{
    for (auto& timer : timers) {
        if (timer.scheduled)
            m_device.scheduler().cancel(timer.scheduled);
    }
}

} // namespace kivo
