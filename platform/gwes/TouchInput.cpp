#include "TouchInput.h"

#include "WindowManager.h"
#include "kernel/Device.h"

#include <cstdlib>

namespace kivo {

TouchInput::TouchInput(Device& device)
    : m_device(device)
    , m_dropped(device.trace_limit())
{
}

size_t TouchInput::dropped() const
{
    auto guard = m_device.scheduler().lock();
    return static_cast<size_t>(m_dropped.end_sequence());
}

std::vector<DroppedInput> TouchInput::dropped_inputs() const
{
    auto guard = m_device.scheduler().lock();
    return m_dropped.all();
}

void TouchInput::press(int x, int y)
{
    deliver(WM_LBUTTONDOWN, { x, y });
}

void TouchInput::move(int x, int y)
{
    deliver(WM_MOUSEMOVE, { x, y });
}

void TouchInput::release(int x, int y)
{
    deliver(WM_LBUTTONUP, { x, y });
}

void TouchInput::tap(int x, int y)
{
    press(x, y);
    release(x, y);
}

void TouchInput::deliver(UINT message, POINT screen)
{
    auto& windows = m_device.component<WindowManager>();
    std::vector<WindowManager::Notice> notices;
    HWND target = nullptr;
    POINT client {};
    WPARAM keys = 0;
    {
        auto guard = m_device.scheduler().lock();
        if (message != WM_MOUSEMOVE)
            m_down = message == WM_LBUTTONDOWN;
        keys = m_down && message != WM_LBUTTONUP ? MK_LBUTTON : 0;
        windows.set_cursor_pos_locked(screen);
        target = windows.capture_locked();
        if (!target)
            target = windows.window_from_point_locked(screen);
        auto* window = target ? windows.window_locked(target) : nullptr;
        if (!window)
            return;
        // Disabled (an owner under its modal dialog): the input goes to nobody, not to the
        // window below.
        auto* top = windows.window_locked(windows.top_level_of_locked(target));
        if (!windows.is_enabled_chain_locked(*window) || !top || !top->is_enabled_flag()) {
            m_dropped.append({ message, screen, m_device.clock().now_ms() });
            return;
        }
        RECT rect = windows.screen_rect_locked(*window);
        client = { screen.x - rect.left, screen.y - rect.top };
        if (message == WM_LBUTTONDOWN) {
            if (windows.active_window_locked() != top->hwnd && !(top->ex_style & WS_EX_NOACTIVATE))
                windows.activate_locked(top->hwnd, WA_CLICKACTIVE, notices);
            uint64_t now = m_device.clock().now_ms();
            bool close = m_has_last_press && m_last_press == target && now - m_last_press_time <= GetDoubleClickTime()
                && std::abs(screen.x - m_last_press_point.x) <= double_click_distance
                && std::abs(screen.y - m_last_press_point.y) <= double_click_distance;
            if (close && windows.class_wants_double_clicks_locked(*window)) {
                message = WM_LBUTTONDBLCLK;
                // A third tap starts a new pair.
                m_has_last_press = false;
            } else {
                m_has_last_press = true;
                m_last_press = target;
                m_last_press_point = screen;
                m_last_press_time = now;
            }
        }
    }
    windows.deliver(notices);
    windows.router().post_input(target, message, keys, MAKELPARAM(static_cast<WORD>(client.x), static_cast<WORD>(client.y)), screen);
}

} // namespace kivo
