#include "HeaderControl.h"

#include "ControlPainter.h"
#include "Controls.h"

#include <algorithm>
#include <utility>

namespace kivo {

int HeaderControl::height_for(HWND hwnd, HFONT font)
{
    auto height = ControlPainter::text_height(hwnd, font);
    return height ? *height + padding : default_height;
}

int HeaderControl::item_at(const State& state, int x)
{
    int left = 0;
    for (size_t index = 0; index < state.items.size(); ++index) {
        int right = left + state.items[index].width;
        if (x >= left && x < right)
            return static_cast<int>(index);
        left = right;
    }
    return -1;
}

void HeaderControl::paint(HWND hwnd, const State& state)
{
    ControlPainter painter(hwnd);
    if (!painter)
        return;
    const RECT& client = painter.client();
    painter.fill(client, look::face);
    HGDIOBJ previous = painter.select_font(state.font);
    int x = client.left;
    for (auto& item : state.items) {
        RECT cell { x, client.top, x + item.width, client.bottom };
        painter.frame(cell, look::pressed_face);
        painter.text({ cell.left + 3, cell.top, cell.right - 3, cell.bottom }, item.text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS, look::text);
        x += item.width;
    }
    painter.select_font(previous);
}

LRESULT HeaderControl::proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto state = control_state<State>(hwnd);
    if (!state)
        return DefWindowProc(hwnd, message, wparam, lparam);
    int count = static_cast<int>(state->items.size());
    auto valid = [&](WPARAM index) { return static_cast<int>(index) >= 0 && static_cast<int>(index) < count; };
    auto apply = [&](Item& target, const HDITEM& item) {
        if (item.mask & HDI_WIDTH)
            target.width = std::max(item.cxy, 0);
        if (item.mask & HDI_TEXT)
            target.text = item.pszText ? item.pszText : u"";
        if (item.mask & HDI_LPARAM)
            target.param = item.lParam;
    };
    switch (message) {
    case HDM_GETITEMCOUNT:
        return count;
    case HDM_INSERTITEM: {
        auto* item = reinterpret_cast<const HDITEM*>(lparam);
        if (!item)
            return -1;
        int index = std::clamp(static_cast<int>(wparam), 0, count);
        Item added;
        apply(added, *item);
        state->items.insert(state->items.begin() + index, std::move(added));
        InvalidateRect(hwnd, nullptr, TRUE);
        return index;
    }
    case HDM_SETITEM: {
        auto* item = reinterpret_cast<const HDITEM*>(lparam);
        if (!valid(wparam) || !item)
            return FALSE;
        apply(state->items[wparam], *item);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case HDM_DELETEITEM:
        if (!valid(wparam))
            return FALSE;
        state->items.erase(state->items.begin() + static_cast<int>(wparam));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case HDM_GETITEM: {
        auto* item = reinterpret_cast<HDITEM*>(lparam);
        if (!valid(wparam) || !item)
            return FALSE;
        auto& source = state->items[wparam];
        if (item->mask & HDI_WIDTH)
            item->cxy = source.width;
        if (item->mask & HDI_LPARAM)
            item->lParam = source.param;
        if ((item->mask & HDI_TEXT) && item->pszText && item->cchTextMax > 0) {
            int length = std::min(static_cast<int>(source.text.size()), item->cchTextMax - 1);
            std::copy_n(source.text.begin(), length, item->pszText);
            item->pszText[length] = 0;
        }
        return TRUE;
    }
    case HDM_GETITEMRECT: {
        auto* rect = reinterpret_cast<LPRECT>(lparam);
        if (!valid(wparam) || !rect)
            return FALSE;
        RECT client {};
        GetClientRect(hwnd, &client);
        int left = 0;
        for (int index = 0; index < static_cast<int>(wparam); ++index)
            left += state->items[index].width;
        *rect = { left, 0, left + state->items[wparam].width, client.bottom };
        return TRUE;
    }
    case WM_SETFONT: {
        state->font = reinterpret_cast<HFONT>(wparam);
        RECT rect {};
        GetWindowRect(hwnd, &rect);
        SetWindowPos(hwnd, nullptr, 0, 0, rect.right - rect.left, height_for(hwnd, state->font), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (LOWORD(lparam))
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(state->font);
    case WM_LBUTTONDOWN:
        state->pressed = item_at(*state, GET_X_LPARAM(lparam));
        if (state->pressed >= 0)
            SetCapture(hwnd);
        return 0;
    case WM_LBUTTONUP: {
        int pressed = std::exchange(state->pressed, -1);
        if (GetCapture() == hwnd)
            ReleaseCapture();
        if (pressed < 0 || pressed != item_at(*state, GET_X_LPARAM(lparam)))
            return 0;
        NMHEADER notice { { hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), HDN_ITEMCLICK }, pressed, 0, nullptr };
        if (HWND parent = GetParent(hwnd))
            SendMessage(parent, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
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
