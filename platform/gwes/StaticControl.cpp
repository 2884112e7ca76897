#include "StaticControl.h"

#include "Controls.h"

#include <utility>

namespace kivo {

void StaticControl::paint(HWND, const State&)
{
    // FIXME: drawn once the screen's drawing layer is joined.
}

LRESULT StaticControl::proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto state = control_state<State>(hwnd);
    if (!state)
        return DefWindowProc(hwnd, message, wparam, lparam);
    switch (message) {
    case WM_LBUTTONUP:
        if (GetWindowLong(hwnd, GWL_STYLE) & SS_NOTIFY)
            notify_parent(hwnd, STN_CLICKED);
        return 0;
    case STM_SETIMAGE: {
        HANDLE& slot = wparam == IMAGE_ICON ? state->icon : state->bitmap;
        HANDLE previous = std::exchange(slot, reinterpret_cast<HANDLE>(lparam));
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETIMAGE:
        return reinterpret_cast<LRESULT>(wparam == IMAGE_ICON ? state->icon : state->bitmap);
    case WM_SETTEXT: {
        LRESULT result = DefWindowProc(hwnd, message, wparam, lparam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return result;
    }
    case WM_PAINT:
        paint(hwnd, *state);
        ValidateRect(hwnd, nullptr);
        return 0;
    default:
        return DefWindowProc(hwnd, message, wparam, lparam);
    }
}

} // namespace kivo
