// Creating and destroying windows.

#include "WindowManager.h"

#include "kernel/Device.h"
#include "kernel/Process.h"
#include "kernel/SimThread.h"

#include <algorithm>
#include <utility>

namespace kivo {

namespace {

struct PendingHook {
    CreationHook hook = nullptr;
    void* context = nullptr;
};
thread_local PendingHook t_creation_hook;

} // namespace

HWND WindowManager::create_window(const CREATESTRUCT& create, DWORD& error)
{
    auto& me = calling_thread();
    HWND hwnd = nullptr;
    bool child = create.style & WS_CHILD;
    {
        auto guard = m_device.scheduler().lock();
        auto window_class = find_class_locked(create.lpszClass ? create.lpszClass : u"", me.process().id());
        if (!window_class) {
            error = ERROR_CANNOT_FIND_WND_CLASS;
            return nullptr;
        }
        Window* parent = nullptr;
        if (create.hwndParent) {
            parent = window_locked(create.hwndParent);
            if (!parent) {
                error = ERROR_INVALID_WINDOW_HANDLE;
                return nullptr;
            }
        }
        if (child && !parent) {
            error = ERROR_TLW_WITH_WSCHILD;
            return nullptr;
        }
        auto window = std::make_shared<Window>();
        hwnd = reinterpret_cast<HWND>(m_next_handle);
        m_next_handle += 4;
        window->hwnd = hwnd;
        window->window_class = window_class;
        window->title = create.lpszName ? create.lpszName : u"";
        // Shown below, once WM_CREATE has been handled.
        window->style = static_cast<DWORD>(create.style) & ~WS_VISIBLE;
        window->ex_style = create.dwExStyle;
        int x = create.x == CW_USEDEFAULT ? 0 : create.x;
        int y = create.y == CW_USEDEFAULT ? 0 : create.y;
        int cx = create.cx == CW_USEDEFAULT ? screen_width : create.cx;
        int cy = create.cy == CW_USEDEFAULT ? screen_height : create.cy;
        window->rect = { x, y, x + std::max(cx, 0), y + std::max(cy, 0) };
        window->proc = window_class->proc;
        window->instance = create.hInstance;
        window->thread_id = me.id();
        window->process_id = me.process().id();
        for (auto& bar : window->scroll)
            bar.cbSize = sizeof(SCROLLINFO);
        if (child) {
            window->parent = create.hwndParent;
            window->id = reinterpret_cast<LONG_PTR>(create.hMenu);
            parent->children.insert(parent->children.begin(), hwnd);
        } else {
            window->owner = parent ? top_level_of_locked(create.hwndParent) : nullptr;
            m_top_levels.insert(m_top_levels.begin(), hwnd);
        }
        m_windows.emplace(hwnd, std::move(window));
        if (!child)
            normalize_top_levels_locked();
        m_router.own_queue_locked(me);
    }
    if (auto pending = std::exchange(t_creation_hook, {}); pending.hook)
        pending.hook(hwnd, pending.context);
    CREATESTRUCT copy = create;
    if (m_router.call_window_proc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&copy)) == -1) {
        DWORD ignored = 0;
        destroy_window(hwnd, ignored);
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    if (create.style & WS_VISIBLE) {
        bool was_visible = false;
        show_window(hwnd, child ? SW_SHOWNA : SW_SHOW, was_visible);
    }
    return hwnd;
}

void hook_next_creation(CreationHook hook, void* context)
{
    t_creation_hook = { hook, context };
}

void WindowManager::collect_subtree_locked(HWND hwnd, std::vector<HWND>& out)
{
    auto* window = window_locked(hwnd);
    if (!window)
        return;
    out.push_back(hwnd);
    for (HWND child : window->children)
        collect_subtree_locked(child, out);
}

void WindowManager::unlink_locked(Window& window)
{
    if (window.is_child()) {
        if (auto* parent = window_locked(window.parent))
            std::erase(parent->children, window.hwnd);
    } else {
        std::erase(m_top_levels, window.hwnd);
    }
}

std::vector<Timer> WindowManager::forget_locked(HWND hwnd)
{
    auto* window = window_locked(hwnd);
    if (!window)
        return {};
    std::vector<Timer> timers;
    if (auto* queue = m_router.queue_locked(window->thread_id)) {
        timers = queue->remove_timers_of(hwnd);
        queue->drop_posted_for(hwnd);
    }
    unlink_locked(*window);
    if (m_active == hwnd)
        m_active = nullptr;
    if (m_focus == hwnd)
        m_focus = nullptr;
    if (m_capture == hwnd)
        m_capture = nullptr;
    // Windows it owned are unowned now (they are normally gone already).
    for (auto& [other, other_window] : m_windows) {
        if (other_window->owner == hwnd)
            other_window->owner = nullptr;
    }
    m_windows.erase(hwnd);
    return timers;
}

bool WindowManager::destroy_window(HWND hwnd, DWORD& error)
{
    auto& me = calling_thread();
    std::vector<HWND> owned;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window) {
            error = ERROR_INVALID_WINDOW_HANDLE;
            return false;
        }
        if (window->thread_id != me.id()) {
            error = ERROR_ACCESS_DENIED;
            return false;
        }
        if (window->destroying)
            return true;
        for (HWND top : m_top_levels) {
            if (auto* other = window_locked(top); other && other->owner == hwnd)
                owned.push_back(top);
        }
    }
    // Owned windows go first, each on its own thread's terms.
    for (HWND owned_window : owned) {
        DWORD ignored = 0;
        if (!destroy_window(owned_window, ignored)) {
            std::vector<Timer> timers;
            std::vector<Notice> notices;
            {
                auto guard = m_device.scheduler().lock();
                quietly_destroy_locked(owned_window, timers, notices);
            }
            cancel_timers(timers);
            deliver(notices);
        }
    }

    std::vector<HWND> subtree;
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window || window->destroying)
            return true;
        auto before = snapshot_locked();
        collect_subtree_locked(hwnd, subtree);
        for (HWND member : subtree)
            window_locked(member)->destroying = true;
        window->style &= ~WS_VISIBLE;
        expose_locked(before);
        if (m_active == hwnd)
            activate_next_locked(hwnd, notices);
        if (std::find(subtree.begin(), subtree.end(), m_capture) != subtree.end())
            m_capture = nullptr;
        if (std::find(subtree.begin(), subtree.end(), m_focus) != subtree.end())
            m_focus = nullptr;
    }
    deliver(notices);
    for (HWND member : subtree)
        m_router.call_window_proc(member, WM_DESTROY, 0, 0);
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it)
        m_router.call_window_proc(*it, WM_NCDESTROY, 0, 0);
    std::vector<Timer> timers;
    {
        auto guard = m_device.scheduler().lock();
        for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
            auto removed = forget_locked(*it);
            timers.insert(timers.end(), removed.begin(), removed.end());
        }
    }
    cancel_timers(timers);
    return true;
}

void WindowManager::quietly_destroy_locked(HWND hwnd, std::vector<Timer>& timers, std::vector<Notice>& notices)
{
    auto* window = window_locked(hwnd);
    if (!window)
        return;
    std::vector<HWND> owned;
    for (HWND top : m_top_levels) {
        if (auto* other = window_locked(top); other && other->owner == hwnd)
            owned.push_back(top);
    }
    for (HWND owned_window : owned)
        quietly_destroy_locked(owned_window, timers, notices);
    window = window_locked(hwnd);
    if (!window)
        return;
    auto before = snapshot_locked();
    std::vector<HWND> subtree;
    collect_subtree_locked(hwnd, subtree);
    for (HWND member : subtree)
        window_locked(member)->destroying = true;
    window->style &= ~WS_VISIBLE;
    expose_locked(before);
    if (m_active == hwnd) {
        // The window is gone without a word: nobody tells it that it is inactive.
        m_active = nullptr;
        activate_next_locked(hwnd, notices);
    }
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
        auto removed = forget_locked(*it);
        timers.insert(timers.end(), removed.begin(), removed.end());
    }
}

} // namespace kivo
