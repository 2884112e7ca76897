#include "ButtonControl.h"

#include "Controls.h"

#include <utility>

namespace kivo {

namespace {

bool inside(HWND hwnd, LPARAM lparam)
{
    RECT client {};
    GetClientRect(hwnd, &client);
    return PtInRect(&client, { GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam) });
}

DWORD type_of(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLong(hwnd, GWL_STYLE)) & BS_TYPEMASK;
}

} // namespace

void ButtonControl::click(HWND hwnd, State& state)
{
    DWORD type = type_of(hwnd);
    if (type == BS_AUTOCHECKBOX)
        state.check = state.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    else if (type == BS_AUTORADIOBUTTON)
        state.check = BST_CHECKED;
    notify_parent(hwnd, BN_CLICKED);
}

void ButtonControl::paint(HWND, const State&)
{
    // FIXME: drawn once the screen's drawing layer is joined (owner-drawn buttons then get
    // WM_DRAWITEM with the device context to draw in).
}

LRESULT ButtonControl::proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto state = control_state<State>(hwnd);
    if (!state)
        return DefWindowProc(hwnd, message, wparam, lparam);
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (type_of(hwnd) == BS_GROUPBOX)
            return 0;
        state->tracking = true;
        state->pushed = true;
        SetCapture(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        if (state->tracking && state->pushed != inside(hwnd, lparam)) {
            state->pushed = !state->pushed;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_LBUTTONUP: {
        if (!state->tracking)
            return 0;
        bool released_inside = inside(hwnd, lparam);
        state->tracking = false;
        state->pushed = false;
        ReleaseCapture();
        InvalidateRect(hwnd, nullptr, FALSE);
        if (released_inside)
            click(hwnd, *state);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (state->tracking && reinterpret_cast<HWND>(lparam) != hwnd) {
            state->tracking = false;
            state->pushed = false;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case BM_CLICK:
        click(hwnd, *state);
        return 0;
    case BM_GETCHECK:
        return static_cast<LRESULT>(state->check);
    case BM_SETCHECK:
        state->check = wparam;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case BM_GETSTATE:
        return static_cast<LRESULT>(state->check) | (state->pushed ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0);
    case BM_SETSTATE:
        state->pushed = wparam != 0;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case BM_SETSTYLE: {
        DWORD style = static_cast<DWORD>(GetWindowLong(hwnd, GWL_STYLE));
        SetWindowLong(hwnd, GWL_STYLE, static_cast<LONG>((style & ~0xFFFFu) | (wparam & 0xFFFF)));
        if (LOWORD(lparam))
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case BM_SETIMAGE: {
        HANDLE previous = std::exchange(state->image, reinterpret_cast<HANDLE>(lparam));
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(previous);
    }
    case BM_GETIMAGE:
        return reinterpret_cast<LRESULT>(state->image);
    case WM_ENABLE:
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
