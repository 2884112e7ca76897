#include "ListBoxControl.h"

#include "ControlPainter.h"
#include "Controls.h"
#include "kernel/WideText.h"

#include <algorithm>

namespace kivo {

void ListBoxControl::paint(HWND hwnd, const State& state)
{
    ControlPainter painter(hwnd);
    if (!painter)
        return;
    const RECT& client = painter.client();
    painter.fill(client, look::window);
    // The items from the top one on, the selected one highlighted.
    int y = client.top + 1;
    for (int index = std::max(state.top, 0); index < static_cast<int>(state.items.size()) && y < client.bottom; ++index) {
        RECT row { client.left + 1, y, client.right - 1, y + state.item_height };
        bool selected = index == state.selection;
        if (selected)
            painter.fill(row, look::highlight);
        RECT label { row.left + 2, row.top, row.right - 2, row.bottom };
        painter.text(label, state.items[index].text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, selected ? look::highlight_text : look::text);
        y += state.item_height;
    }
    painter.frame(client, look::frame);
}

LRESULT ListBoxControl::proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto state = control_state<State>(hwnd);
    if (!state)
        return DefWindowProc(hwnd, message, wparam, lparam);
    DWORD style = static_cast<DWORD>(GetWindowLong(hwnd, GWL_STYLE));
    int count = static_cast<int>(state->items.size());
    auto valid = [&](WPARAM index) { return static_cast<int>(index) >= 0 && static_cast<int>(index) < count; };
    auto find = [&](WPARAM start, LPARAM text, bool exact) -> LRESULT {
        auto* wanted = reinterpret_cast<LPCWSTR>(text);
        if (!wanted || !count)
            return LB_ERR;
        std::u16string_view needle(wanted);
        int first = static_cast<int>(start) + 1;
        for (int n = 0; n < count; ++n) {
            int index = ((first < 0 ? 0 : first) + n) % count;
            std::u16string_view item = state->items[index].text;
            bool hit = exact ? equals_ignoring_case(item, needle) : (item.size() >= needle.size() && equals_ignoring_case(item.substr(0, needle.size()), needle));
            if (hit)
                return index;
        }
        return LB_ERR;
    };
    switch (message) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
        auto* text = reinterpret_cast<LPCWSTR>(lparam);
        Item item { text ? text : u"", 0 };
        int index = count;
        if (message == LB_INSERTSTRING && static_cast<int>(wparam) >= 0) {
            if (static_cast<int>(wparam) > count)
                return LB_ERR;
            index = static_cast<int>(wparam);
        } else if (message == LB_ADDSTRING && (style & LBS_SORT)) {
            auto at = std::upper_bound(state->items.begin(), state->items.end(), item,
                [](const Item& a, const Item& b) { return compare_ignoring_case(a.text, b.text) < 0; });
            index = static_cast<int>(at - state->items.begin());
        }
        state->items.insert(state->items.begin() + index, std::move(item));
        if (state->selection >= index)
            ++state->selection;
        InvalidateRect(hwnd, nullptr, TRUE);
        return index;
    }
    case LB_DELETESTRING:
        if (!valid(wparam))
            return LB_ERR;
        state->items.erase(state->items.begin() + static_cast<int>(wparam));
        if (state->selection == static_cast<int>(wparam))
            state->selection = -1;
        else if (state->selection > static_cast<int>(wparam))
            --state->selection;
        InvalidateRect(hwnd, nullptr, TRUE);
        return count - 1;
    case LB_RESETCONTENT:
        state->items.clear();
        state->selection = -1;
        state->top = 0;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case LB_GETCOUNT:
        return count;
    case LB_SETCURSEL:
        if (static_cast<int>(wparam) == -1) {
            state->selection = -1;
            return LB_ERR;
        }
        if (!valid(wparam))
            return LB_ERR;
        state->selection = static_cast<int>(wparam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return state->selection;
    case LB_GETCURSEL:
        return state->selection;
    case LB_GETTEXT: {
        if (!valid(wparam))
            return LB_ERR;
        auto& text = state->items[wparam].text;
        if (auto* buffer = reinterpret_cast<LPWSTR>(lparam)) {
            std::copy(text.begin(), text.end(), buffer);
            buffer[text.size()] = 0;
        }
        return static_cast<LRESULT>(text.size());
    }
    case LB_GETTEXTLEN:
        return valid(wparam) ? static_cast<LRESULT>(state->items[wparam].text.size()) : LB_ERR;
    case LB_GETITEMDATA:
        return valid(wparam) ? state->items[wparam].data : LB_ERR;
    case LB_SETITEMDATA:
        if (!valid(wparam))
            return LB_ERR;
        state->items[wparam].data = lparam;
        return 0;
    case LB_GETTOPINDEX:
        return state->top;
    case LB_SETTOPINDEX:
        if (!valid(wparam))
            return LB_ERR;
        state->top = static_cast<int>(wparam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case LB_FINDSTRING:
        return find(wparam, lparam, false);
    case LB_FINDSTRINGEXACT:
        return find(wparam, lparam, true);
    case LB_SETITEMHEIGHT:
        if (LOWORD(lparam) == 0)
            return LB_ERR;
        state->item_height = LOWORD(lparam);
        return 0;
    case LB_GETITEMHEIGHT:
        return state->item_height;
    case LB_GETITEMRECT: {
        auto* rect = reinterpret_cast<LPRECT>(lparam);
        if (!valid(wparam) || !rect)
            return LB_ERR;
        RECT client {};
        GetClientRect(hwnd, &client);
        int top = (static_cast<int>(wparam) - state->top) * state->item_height;
        *rect = { 0, top, client.right, top + state->item_height };
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        int index = state->top + GET_Y_LPARAM(lparam) / state->item_height;
        if (index < 0 || index >= count)
            return 0;
        bool changed = index != state->selection;
        state->selection = index;
        InvalidateRect(hwnd, nullptr, FALSE);
        if (style & LBS_NOTIFY) {
            if (changed)
                notify_parent(hwnd, LBN_SELCHANGE);
            if (message == WM_LBUTTONDBLCLK)
                notify_parent(hwnd, LBN_DBLCLK);
        }
        return 0;
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
