// Activation, focus and capture, and the notices they send once the lock is released.

#include "WindowManager.h"

#include "kernel/Device.h"

#include <utility>

namespace kivo {

void WindowManager::activate_locked(HWND hwnd, WORD how, std::vector<Notice>& notices)
{
    hwnd = hwnd ? top_level_of_locked(hwnd) : nullptr;
    auto* window = hwnd ? window_locked(hwnd) : nullptr;
    if (hwnd && (!window || window->destroying))
        return;
    HWND previous = m_active;
    if (window) {
        auto before = snapshot_locked();
        place_locked(*window, HWND_TOP);
        expose_locked(before);
    }
    if (previous == hwnd)
        return;
    m_active = hwnd;
    if (previous && window_locked(previous))
        notices.push_back({ previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd) });
    if (hwnd) {
        notices.push_back({ hwnd, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(previous) });
        if (top_level_of_locked(m_focus) != hwnd)
            m_focus = hwnd;
    }
}

void WindowManager::activate_next_locked(HWND leaving, std::vector<Notice>& notices)
{
    auto can_take = [&](HWND hwnd) {
        auto* window = window_locked(hwnd);
        return window && hwnd != leaving && !window->destroying && window->is_visible_flag() && window->is_enabled_flag()
            && !(window->ex_style & WS_EX_NOACTIVATE);
    };
    HWND next = nullptr;
    auto* leaving_window = window_locked(leaving);
    if (leaving_window && leaving_window->owner && can_take(leaving_window->owner))
        next = leaving_window->owner;
    for (HWND hwnd : m_top_levels) {
        if (!next && can_take(hwnd))
            next = hwnd;
    }
    if (next) {
        activate_locked(next, WA_ACTIVE, notices);
        return;
    }
    if (m_active == leaving && leaving)
        notices.push_back({ leaving, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0 });
    m_active = nullptr;
}

HWND WindowManager::activate(HWND hwnd, WORD how)
{
    std::vector<Notice> notices;
    HWND previous = nullptr;
    {
        auto guard = m_device.scheduler().lock();
        previous = m_active;
        activate_locked(hwnd, how, notices);
    }
    deliver(notices);
    return previous;
}

HWND WindowManager::active_window()
{
    auto guard = m_device.scheduler().lock();
    return m_active;
}

HWND WindowManager::set_focus(HWND hwnd)
{
    std::vector<Notice> notices;
    HWND previous = nullptr;
    {
        auto guard = m_device.scheduler().lock();
        if (hwnd && !window_locked(hwnd))
            return nullptr;
        previous = m_focus;
        if (previous == hwnd)
            return previous;
        m_focus = hwnd;
        if (previous && window_locked(previous))
            notices.push_back({ previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0 });
        if (hwnd)
            notices.push_back({ hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0 });
    }
    deliver(notices);
    return previous;
}

HWND WindowManager::focus()
{
    auto guard = m_device.scheduler().lock();
    return m_focus;
}

HWND WindowManager::set_capture(HWND hwnd)
{
    std::vector<Notice> notices;
    HWND previous = nullptr;
    {
        auto guard = m_device.scheduler().lock();
        if (!window_locked(hwnd))
            return nullptr;
        previous = m_capture;
        m_capture = hwnd;
        if (previous && previous != hwnd && window_locked(previous))
            notices.push_back({ previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd) });
    }
    deliver(notices);
    return previous;
}

bool WindowManager::release_capture()
{
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        HWND previous = std::exchange(m_capture, nullptr);
        if (previous && window_locked(previous))
            notices.push_back({ previous, WM_CAPTURECHANGED, 0, 0 });
    }
    deliver(notices);
    return true;
}

HWND WindowManager::capture()
{
    auto guard = m_device.scheduler().lock();
    return m_capture;
}

void WindowManager::deliver(std::vector<Notice>& notices)
{
    for (auto& notice : notices) {
        DWORD ignored = 0;
        m_router.notify(notice.hwnd, notice.message, notice.wparam, notice.lparam, ignored);
    }
    notices.clear();
}

} // namespace kivo
