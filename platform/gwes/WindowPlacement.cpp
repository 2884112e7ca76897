// Showing, placing and enabling windows: the z-order of the top-level windows and of each
// window's children.

#include "WindowManager.h"

#include "kernel/Device.h"

#include <algorithm>

namespace kivo {

bool WindowManager::show_window(HWND hwnd, int command, bool& was_visible)
{
    bool show = command != SW_HIDE && command != SW_MINIMIZE;
    bool child = false;
    bool wants_activation = false;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window || window->destroying)
            return false;
        was_visible = window->is_visible_flag();
        child = window->is_child();
        wants_activation = show && !child && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE
            && !(window->ex_style & WS_EX_NOACTIVATE) && window->is_enabled_flag();
    }
    if (show != was_visible) {
        std::vector<Notice> notice { { hwnd, WM_SHOWWINDOW, static_cast<WPARAM>(show), 0 } };
        deliver(notice);
    }
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window || window->destroying)
            return true;
        if (show != window->is_visible_flag()) {
            auto before = snapshot_locked();
            if (show)
                window->style |= WS_VISIBLE;
            else
                window->style &= ~WS_VISIBLE;
            expose_locked(before);
        }
        if (!show && m_active == hwnd)
            activate_next_locked(hwnd, notices);
        if (!show && m_capture == hwnd)
            m_capture = nullptr;
        if (wants_activation)
            activate_locked(hwnd, WA_ACTIVE, notices);
    }
    deliver(notices);
    return true;
}

void WindowManager::normalize_top_levels_locked()
{
    // Windows owned by a top-most window are top-most too.
    for (int pass = 0; pass < 4; ++pass) {
        for (HWND hwnd : m_top_levels) {
            auto* window = window_locked(hwnd);
            auto* owner = window && window->owner ? window_locked(window->owner) : nullptr;
            if (owner && owner->is_topmost())
                window->ex_style |= WS_EX_TOPMOST;
        }
    }
    std::stable_partition(m_top_levels.begin(), m_top_levels.end(), [this](HWND hwnd) {
        auto* window = window_locked(hwnd);
        return window && window->is_topmost();
    });
    // Owned windows stay above their owners.
    for (size_t guard = 0; guard < m_top_levels.size() * m_top_levels.size() + 1; ++guard) {
        bool moved = false;
        for (size_t i = 0; i < m_top_levels.size() && !moved; ++i) {
            auto* window = window_locked(m_top_levels[i]);
            if (!window || !window->owner)
                continue;
            auto owner_at = std::find(m_top_levels.begin(), m_top_levels.begin() + i, window->owner);
            if (owner_at == m_top_levels.begin() + i)
                continue;
            HWND hwnd = m_top_levels[i];
            m_top_levels.erase(m_top_levels.begin() + i);
            m_top_levels.insert(owner_at, hwnd);
            moved = true;
        }
        if (!moved)
            break;
    }
}

void WindowManager::place_locked(Window& window, HWND insert_after)
{
    if (window.is_child()) {
        auto* parent = window_locked(window.parent);
        if (!parent)
            return;
        auto& siblings = parent->children;
        std::erase(siblings, window.hwnd);
        if (insert_after == HWND_BOTTOM) {
            siblings.push_back(window.hwnd);
        } else if (insert_after == HWND_TOP || insert_after == HWND_TOPMOST || insert_after == HWND_NOTOPMOST) {
            siblings.insert(siblings.begin(), window.hwnd);
        } else {
            auto it = std::find(siblings.begin(), siblings.end(), insert_after);
            siblings.insert(it == siblings.end() ? siblings.begin() : it + 1, window.hwnd);
        }
        return;
    }
    std::erase(m_top_levels, window.hwnd);
    auto band_start = [&] {
        return std::find_if(m_top_levels.begin(), m_top_levels.end(), [this](HWND hwnd) {
            auto* other = window_locked(hwnd);
            return !other || !other->is_topmost();
        });
    };
    if (insert_after == HWND_TOPMOST) {
        window.ex_style |= WS_EX_TOPMOST;
        m_top_levels.insert(m_top_levels.begin(), window.hwnd);
    } else if (insert_after == HWND_NOTOPMOST) {
        window.ex_style &= ~WS_EX_TOPMOST;
        m_top_levels.insert(band_start(), window.hwnd);
    } else if (insert_after == HWND_TOP) {
        m_top_levels.insert(window.is_topmost() ? m_top_levels.begin() : band_start(), window.hwnd);
    } else if (insert_after == HWND_BOTTOM) {
        window.ex_style &= ~WS_EX_TOPMOST;
        m_top_levels.push_back(window.hwnd);
    } else {
        auto it = std::find(m_top_levels.begin(), m_top_levels.end(), insert_after);
        auto* after = window_locked(insert_after);
        if (it == m_top_levels.end() || !after) {
            m_top_levels.insert(window.is_topmost() ? m_top_levels.begin() : band_start(), window.hwnd);
        } else {
            // The window joins the band of the one it goes below.
            if (after->is_topmost())
                window.ex_style |= WS_EX_TOPMOST;
            else
                window.ex_style &= ~WS_EX_TOPMOST;
            m_top_levels.insert(it + 1, window.hwnd);
        }
    }
    normalize_top_levels_locked();
}

bool WindowManager::set_window_pos(HWND hwnd, HWND insert_after, int x, int y, int width, int height, UINT flags)
{
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window || window->destroying)
            return false;
        auto before = snapshot_locked();
        RECT old_rect = window->rect;
        RECT rect = window->rect;
        if (!(flags & SWP_NOMOVE)) {
            rect.right = x + window->width();
            rect.bottom = y + window->height();
            rect.left = x;
            rect.top = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            rect.right = rect.left + std::max(width, 0);
            rect.bottom = rect.top + std::max(height, 0);
        }
        bool moved = rect.left != old_rect.left || rect.top != old_rect.top;
        bool sized = rect.right - rect.left != old_rect.right - old_rect.left || rect.bottom - rect.top != old_rect.bottom - old_rect.top;
        window->rect = rect;
        if (moved || sized) {
            // What a moved window shows is painted afresh at its new place.
            std::vector<HWND> subtree;
            collect_subtree_locked(hwnd, subtree);
            for (HWND member : subtree)
                before.erase(member);
        }
        if (!(flags & SWP_NOZORDER))
            place_locked(*window, insert_after);
        if (flags & SWP_SHOWWINDOW)
            window->style |= WS_VISIBLE;
        if (flags & SWP_HIDEWINDOW)
            window->style &= ~WS_VISIBLE;
        if (!(flags & SWP_NOREDRAW))
            expose_locked(before);
        if ((flags & SWP_HIDEWINDOW) && m_active == hwnd)
            activate_next_locked(hwnd, notices);
        bool activate = !(flags & SWP_NOACTIVATE) && !(flags & SWP_HIDEWINDOW) && !window->is_child()
            && insert_after != HWND_BOTTOM && window->is_visible_flag() && window->is_enabled_flag()
            && !(window->ex_style & WS_EX_NOACTIVATE);
        if (activate)
            activate_locked(hwnd, WA_ACTIVE, notices);
        if (moved)
            notices.push_back({ hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(rect.left), static_cast<WORD>(rect.top)) });
        if (sized)
            notices.push_back({ hwnd, WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(rect.right - rect.left), static_cast<WORD>(rect.bottom - rect.top)) });
    }
    deliver(notices);
    return true;
}

bool WindowManager::enable_window(HWND hwnd, bool enable, bool& was_disabled)
{
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window)
            return false;
        was_disabled = !window->is_enabled_flag();
        if (was_disabled == !enable)
            return true;
        if (enable)
            window->style &= ~WS_DISABLED;
        else
            window->style |= WS_DISABLED;
        if (!enable && m_capture == hwnd)
            m_capture = nullptr;
        notices.push_back({ hwnd, WM_ENABLE, static_cast<WPARAM>(enable), 0 });
    }
    deliver(notices);
    return true;
}

bool WindowManager::set_text(HWND hwnd, std::u16string text)
{
    return with_window(hwnd, [&](Window& window) { window.title = std::move(text); });
}

} // namespace kivo
