#pragma once

#include "WindowManager.h"

namespace kivo {

template<typename T>
std::shared_ptr<T> control_state(HWND hwnd)
{
    std::shared_ptr<T> state;
    WindowManager::current().with_window(hwnd, [&](Window& window) {
        if (!window.control)
            window.control = std::make_shared<T>();
        state = std::static_pointer_cast<T>(window.control);
    });
    return state;
}

} // namespace kivo
