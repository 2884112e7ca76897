#pragma once

// The body of a test's fake program: one window of a class of its own, by default a hidden pop-up
// of 10 by 10, then the message loop until the program is told to quit.

#include "platform.h"

#include <string>
#include <string_view>

namespace kivo::test {

inline int run_window_program(const char16_t* class_name, WNDPROC procedure, std::u16string_view title,
    DWORD style = WS_POPUP, RECT place = { 0, 0, 10, 10 })
{
    WNDCLASS window_class {};
    window_class.lpfnWndProc = procedure;
    window_class.lpszClassName = class_name;
    RegisterClass(&window_class);
    CreateWindowEx(0, class_name, std::u16string(title).c_str(), style, place.left, place.top, place.right - place.left,
        place.bottom - place.top, nullptr, nullptr, nullptr, nullptr);
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0))
        DispatchMessage(&message);
    return 0;
}

} // namespace kivo::test
