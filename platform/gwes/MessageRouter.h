#pragma once

#include "GwesApi.h"
#include "ThreadQueue.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

class Device;
class SimThread;
class WindowManager;
struct Window;

// The messages of the window system: a queue per thread, posting and sending (a send to another
// thread waits for the answer and meanwhile answers what is sent to the sender), retrieval and
// dispatch, registered message numbers, and timers on the device's scheduler.
class MessageRouter {
public:
    MessageRouter(Device&, WindowManager&);

    enum class SendOutcome {
        Answered,
        TimedOut,
        Failed,
    };
    enum class Fetch {
        Message,
        Quit,
        Empty,
        Failed,
    };

    // A post to a full queue (ThreadQueue::posted_limit) fails with ERROR_NOT_ENOUGH_QUOTA and a
    // debug line; a mouse move may replace the window's previous one (ThreadQueue::post).
    bool post(HWND, UINT, WPARAM, LPARAM, DWORD& error);
    bool post_thread(DWORD thread_id, UINT, WPARAM, LPARAM, DWORD& error);
    // Input for a window, stamped with the screen point and time.
    bool post_input(HWND, UINT, WPARAM, LPARAM, POINT screen);
    SendOutcome send(HWND, UINT, WPARAM, LPARAM, std::optional<DWORD> timeout_ms, LRESULT& result, DWORD& error);
    // Queued like a send, without waiting for the answer; a direct call on the window's own thread.
    bool notify(HWND, UINT, WPARAM, LPARAM, DWORD& error);
    Fetch fetch(MSG&, HWND filter, UINT filter_min, UINT filter_max, bool wait, bool remove);
    LRESULT dispatch(const MSG&);
    LRESULT call_window_proc(HWND, UINT, WPARAM, LPARAM);
    void post_quit(int exit_code);
    bool in_send();
    MSG last_message();

    // One number per name for the whole device, from 0xC000; 0 when none is left.
    UINT register_message(std::u16string_view name);

    UINT_PTR set_timer(HWND, UINT_PTR id, UINT period, TIMERPROC, DWORD& error);
    bool kill_timer(HWND, UINT_PTR id);
    void cancel_scheduled(const std::vector<Timer>&);

    // With the scheduler's lock held.
    ThreadQueue* queue_locked(DWORD thread_id);
    ThreadQueue& own_queue_locked(SimThread&);
    void note_paint_locked(const Window&);
    // The thread is gone: its queue answers every waiting sender; returns its timers to cancel.
    std::vector<Timer> close_queue_locked(DWORD thread_id);
    std::vector<Timer> close_all_locked();

private:
    // A post that found its queue full.
    struct Refusal {
        HWND hwnd;
        DWORD thread_id;
    };
    void report_full(std::u16string_view call, UINT message, const Refusal&);
    void answer_sends(std::unique_lock<std::mutex>&, ThreadQueue&);
    void arm(DWORD thread_id, HWND, UINT_PTR id, uint64_t generation, uint64_t due);
    void tick(DWORD thread_id, HWND, UINT_PTR id, uint64_t generation, uint64_t due);
    bool matches(const MSG&, HWND filter, UINT filter_min, UINT filter_max);
    // The window itself, or its outermost ancestor of the same thread that waits to paint and
    // passes the filter: a parent's paint covers its children, so it goes first.
    HWND outermost_waiting_to_paint_locked(const Window&, DWORD thread_id, const std::function<bool(HWND)>& filter);

    Device& m_device;
    WindowManager& m_windows;
    std::map<DWORD, std::shared_ptr<ThreadQueue>> m_queues;
    std::map<std::u16string, UINT> m_registered;
    UINT m_next_registered = 0xC000;
    UINT_PTR m_next_thread_timer = 0x1000;
    uint64_t m_next_generation = 1;
};

} // namespace kivo
