#pragma once

#include "GwesApi.h"
#include "SentMessage.h"
#include "kernel/KernelObject.h"
#include "kernel/Scheduler.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kivo {

// A timer of a window (or of the thread, without one). A due tick only marks it pending, so ticks
// never pile up, and WM_TIMER comes out of the queue after every posted message.
struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT period = 0;
    TIMERPROC proc = nullptr;
    uint64_t generation = 0;
    Scheduler::TimerId scheduled = 0;
    bool pending = false;
};

// The message queue of one thread. The thread waits on it (GetMessage, or only for sent messages
// while it sends itself); its state is guarded by the scheduler's lock.
class ThreadQueue final : public Waitable {
public:
    ThreadQueue(DWORD thread_id, DWORD process_id);

    const char* kind() const override { return "message queue"; }
    bool is_signalled_for(const SimThread&) const override;

    DWORD thread_id() const { return m_thread_id; }
    DWORD process_id() const { return m_process_id; }

    // While its thread waits for the answer to its own send, only sent messages wake it.
    void set_sends_only(bool value) { m_sends_only = value; }

    // How many posted messages a thread may have waiting. A program that posts to a thread that
    // has stopped reading would otherwise take the host's memory; the poster is refused instead.
    static constexpr size_t posted_limit = 10'000;

    enum class Posted {
        Queued,
        // A mouse move replaced the window's previous one, which was still waiting.
        Coalesced,
        Full,
    };
    Posted post(const MSG&);
    // The first posted message that passes the filter, or none; `keep` leaves it queued.
    std::optional<MSG> take_posted(const std::function<bool(const MSG&)>& filter, bool keep);
    void drop_posted_for(HWND);

    void push_send(std::shared_ptr<SentMessage>);
    std::shared_ptr<SentMessage> pop_send();
    void remove_send(const SentMessage*);

    void post_quit(int exit_code);
    std::optional<int> quit(bool clear);

    Timer* find_timer(HWND, UINT_PTR id);
    Timer& add_timer(Timer);
    std::optional<Timer> remove_timer(HWND, UINT_PTR id);
    std::vector<Timer> remove_timers_of(HWND);
    std::vector<Timer> remove_all_timers();
    Timer* first_pending_timer(const std::function<bool(HWND)>& filter);

    void note_paint(HWND);
    std::vector<HWND>& paint_windows() { return m_paint; }

    // The thread is gone: every waiting sender is answered with 0.
    void close();
    bool closed() const { return m_closed; }

    int send_depth = 0;
    MSG last_message {};

    void notify() { wake_waiters(); }

private:
    DWORD m_thread_id;
    DWORD m_process_id;
    bool m_sends_only = false;
    bool m_closed = false;
    std::deque<MSG> m_posted;
    std::deque<std::shared_ptr<SentMessage>> m_sends;
    std::optional<int> m_quit;
    std::vector<Timer> m_timers;
    std::vector<HWND> m_paint;
};

} // namespace kivo
