#include "ThreadQueue.h"

#include <algorithm>
#include <utility>

namespace kivo {

ThreadQueue::ThreadQueue(DWORD thread_id, DWORD process_id)
    : m_thread_id(thread_id)
    , m_process_id(process_id)
{
}

bool ThreadQueue::is_signalled_for(const SimThread&) const
{
    if (!m_sends.empty())
        return true;
    if (m_sends_only)
        return false;
    return !m_posted.empty() || m_quit || !m_paint.empty()
        || std::any_of(m_timers.begin(), m_timers.end(), [](const Timer& timer) { return timer.pending; });
}

ThreadQueue::Posted ThreadQueue::post(const MSG& message)
{
    // A fast drag must not flood the queue: while the window's newest message is a move it has
    // not read yet, that move takes the new position and keeps its place.
    if (message.message == WM_MOUSEMOVE && message.hwnd) {
        auto newest = std::find_if(m_posted.rbegin(), m_posted.rend(), [&](const MSG& queued) { return queued.hwnd == message.hwnd; });
        if (newest != m_posted.rend() && newest->message == WM_MOUSEMOVE) {
            *newest = message;
            return Posted::Coalesced;
        }
    }
    if (m_posted.size() >= posted_limit)
        return Posted::Full;
    m_posted.push_back(message);
    wake_waiters();
    return Posted::Queued;
}

std::optional<MSG> ThreadQueue::take_posted(const std::function<bool(const MSG&)>& filter, bool keep)
{
    for (auto it = m_posted.begin(); it != m_posted.end(); ++it) {
        if (!filter(*it))
            continue;
        MSG message = *it;
        if (!keep)
            m_posted.erase(it);
        return message;
    }
    return std::nullopt;
}

void ThreadQueue::drop_posted_for(HWND hwnd)
{
    std::erase_if(m_posted, [hwnd](const MSG& message) { return message.hwnd == hwnd; });
}

void ThreadQueue::push_send(std::shared_ptr<SentMessage> message)
{
    m_sends.push_back(std::move(message));
    wake_waiters();
}

std::shared_ptr<SentMessage> ThreadQueue::pop_send()
{
    if (m_sends.empty())
        return nullptr;
    auto message = std::move(m_sends.front());
    m_sends.pop_front();
    return message;
}

void ThreadQueue::remove_send(const SentMessage* message)
{
    std::erase_if(m_sends, [message](auto& queued) { return queued.get() == message; });
}

void ThreadQueue::post_quit(int exit_code)
{
    m_quit = exit_code;
    wake_waiters();
}

std::optional<int> ThreadQueue::quit(bool clear)
{
    auto result = m_quit;
    if (clear)
        m_quit.reset();
    return result;
}

Timer* ThreadQueue::find_timer(HWND hwnd, UINT_PTR id)
{
    for (auto& timer : m_timers) {
        if (timer.hwnd == hwnd && timer.id == id)
            return &timer;
    }
    return nullptr;
}

Timer& ThreadQueue::add_timer(Timer timer)
{
    m_timers.push_back(timer);
    return m_timers.back();
}

std::optional<Timer> ThreadQueue::remove_timer(HWND hwnd, UINT_PTR id)
{
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->hwnd == hwnd && it->id == id) {
            Timer timer = *it;
            m_timers.erase(it);
            return timer;
        }
    }
    return std::nullopt;
}

std::vector<Timer> ThreadQueue::remove_timers_of(HWND hwnd)
{
    std::vector<Timer> removed;
    std::erase_if(m_timers, [&](const Timer& timer) {
        if (timer.hwnd != hwnd)
            return false;
        removed.push_back(timer);
        return true;
    });
    return removed;
}

std::vector<Timer> ThreadQueue::remove_all_timers()
{
    return std::exchange(m_timers, {});
}

Timer* ThreadQueue::first_pending_timer(const std::function<bool(HWND)>& filter)
{
    for (auto& timer : m_timers) {
        if (timer.pending && filter(timer.hwnd))
            return &timer;
    }
    return nullptr;
}

void ThreadQueue::note_paint(HWND hwnd)
{
    if (std::find(m_paint.begin(), m_paint.end(), hwnd) == m_paint.end())
        m_paint.push_back(hwnd);
    wake_waiters();
}

void ThreadQueue::close()
{
    m_closed = true;
    while (auto message = pop_send())
        message->complete(0);
    m_posted.clear();
    m_paint.clear();
}

} // namespace kivo
