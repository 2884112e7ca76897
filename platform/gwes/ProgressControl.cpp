#include "ProgressControl.h"

#include "ControlPainter.h"
#include "Controls.h"

#include <algorithm>
#include <utility>

namespace kivo {

int ProgressControl::filled_width(const State& state, int width)
{
    if (state.high <= state.low)
        return 0;
    return static_cast<int>(static_cast<long long>(state.position - state.low) * width / (state.high - state.low));
}

void ProgressControl::paint(HWND hwnd, const State& state)
{
    ControlPainter painter(hwnd);
    if (!painter)
        return;
    const RECT& client = painter.client();
    painter.frame(client, look::frame);
    RECT inner { client.left + 1, client.top + 1, client.right - 1, client.bottom - 1 };
    if (inner.right <= inner.left || inner.bottom <= inner.top)
        return;
    int filled = filled_width(state, inner.right - inner.left);
    painter.fill({ inner.left, inner.top, inner.left + filled, inner.bottom }, look::bar);
    painter.fill({ inner.left + filled, inner.top, inner.right, inner.bottom }, look::window);
}

LRESULT ProgressControl::proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto state = control_state<State>(hwnd);
    if (!state)
        return DefWindowProc(hwnd, message, wparam, lparam);
    auto set_position = [&](int position) {
        int previous = state->position;
        state->position = std::clamp(position, state->low, std::max(state->low, state->high));
        if (state->position != previous)
            InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(previous);
    };
    auto set_range = [&](int low, int high) {
        LRESULT previous = MAKELRESULT(static_cast<WORD>(state->low), static_cast<WORD>(state->high));
        state->low = low;
        state->high = high;
        set_position(state->position);
        InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    };
    switch (message) {
    case PBM_SETRANGE:
        return set_range(LOWORD(lparam), HIWORD(lparam));
    case PBM_SETRANGE32:
        return set_range(static_cast<int>(wparam), static_cast<int>(lparam));
    case PBM_GETRANGE:
        if (auto* range = reinterpret_cast<PPBRANGE>(lparam))
            *range = { state->low, state->high };
        return wparam ? state->low : state->high;
    case PBM_SETPOS:
        return set_position(static_cast<int>(wparam));
    case PBM_DELTAPOS:
        return set_position(state->position + static_cast<int>(wparam));
    case PBM_GETPOS:
        return state->position;
    case PBM_SETSTEP:
        return std::exchange(state->step, static_cast<int>(wparam));
    case PBM_STEPIT: {
        // Stepping past the end starts again from the low end.
        int next = state->position + state->step;
        if (next > state->high)
            next = state->low + (next - state->high);
        return set_position(next);
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
