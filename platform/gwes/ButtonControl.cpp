#include "ButtonControl.h"

#include "ControlPainter.h"
#include "Controls.h"

#include <algorithm>
#include <string>
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

std::u16string text_of(HWND hwnd)
{
    std::u16string text(static_cast<size_t>(GetWindowTextLength(hwnd)) + 1, u'\0');
    int count = GetWindowText(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(count, 0)));
    return text;
}

constexpr int check_size = 13;

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

void ButtonControl::paint(HWND hwnd, const State& state)
{
    ControlPainter painter(hwnd);
    if (!painter)
        return;
    const RECT& client = painter.client();
    DWORD type = type_of(hwnd);
    bool enabled = IsWindowEnabled(hwnd);
    if (type == BS_OWNERDRAW) {
        // The parent draws it, in the context being painted.
        UINT item_state = (state.pushed ? ODS_SELECTED : 0) | (enabled ? 0 : ODS_DISABLED) | (GetFocus() == hwnd ? ODS_FOCUS : 0);
        DRAWITEMSTRUCT item { ODT_BUTTON, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, ODA_DRAWENTIRE, item_state, hwnd, painter.dc(), client, 0 };
        if (HWND parent = GetParent(hwnd))
            SendMessage(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
        return;
    }
    auto text = text_of(hwnd);
    COLORREF colour = enabled ? look::text : look::disabled_text;
    switch (type) {
    case BS_GROUPBOX: {
        painter.frame({ client.left, client.top + 8, client.right, client.bottom }, look::frame);
        painter.text({ client.left + 8, client.top, client.right - 8, client.top + 16 }, text, DT_LEFT | DT_TOP | DT_SINGLELINE, colour);
        return;
    }
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: {
        // A box at the left, filled while checked, and the text beside it.
        int top = client.top + (client.bottom - client.top - check_size) / 2;
        RECT box { client.left, top, client.left + check_size, top + check_size };
        painter.fill(box, state.pushed ? look::face : look::window);
        painter.frame(box, look::frame);
        if (state.check == BST_CHECKED)
            painter.fill({ box.left + 3, box.top + 3, box.right - 3, box.bottom - 3 }, look::frame);
        painter.text({ box.right + 4, client.top, client.right, client.bottom }, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, colour);
        return;
    }
    default:
        break;
    }
    // A push button: its face, a frame (thicker for the default one), and its picture or text in
    // the middle.
    painter.fill(client, state.pushed ? look::pressed_face : look::face);
    painter.frame(client, look::frame, type == BS_DEFPUSHBUTTON ? 2 : 1);
    if (auto size = ControlPainter::bitmap_size(state.image)) {
        painter.bitmap(state.image, client.left + (client.right - client.left - size->cx) / 2, client.top + (client.bottom - client.top - size->cy) / 2);
        return;
    }
    RECT label = client;
    if (state.pushed)
        OffsetRect(&label, 1, 1);
    painter.text(label, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, colour);
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
