#include "StaticControl.h"

#include "ControlPainter.h"
#include "Controls.h"

#include <algorithm>
#include <string>
#include <utility>

namespace kivo {

void StaticControl::paint(HWND hwnd, const State& state)
{
    ControlPainter painter(hwnd);
    if (!painter)
        return;
    const RECT& client = painter.client();
    DWORD style = static_cast<DWORD>(GetWindowLong(hwnd, GWL_STYLE));
    // The parent may give the background and set the text colour, as dialogs do.
    HWND parent = GetParent(hwnd);
    auto brush = parent ? reinterpret_cast<HBRUSH>(SendMessage(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(painter.dc()), reinterpret_cast<LPARAM>(hwnd))) : nullptr;
    if (brush)
        painter.fill(client, brush);
    else
        painter.fill(client, look::background);
    switch (style & SS_TYPEMASK) {
    case SS_BITMAP:
        painter.bitmap(state.bitmap, client.left, client.top);
        return;
    case SS_ICON:
        // FIXME: icons are not drawn in statics; no program puts one there.
        return;
    default:
        break;
    }
    std::u16string text(static_cast<size_t>(GetWindowTextLength(hwnd)) + 1, u'\0');
    text.resize(static_cast<size_t>(std::max(GetWindowText(hwnd, text.data(), static_cast<int>(text.size())), 0)));
    UINT align = (style & SS_TYPEMASK) == SS_CENTER ? DT_CENTER : ((style & SS_TYPEMASK) == SS_RIGHT ? DT_RIGHT : DT_LEFT);
    if (brush)
        painter.text(client, text, align | DT_TOP | DT_WORDBREAK);
    else
        painter.text(client, text, align | DT_TOP | DT_WORDBREAK, IsWindowEnabled(hwnd) ? look::text : look::disabled_text);
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
