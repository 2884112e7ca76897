#include "ListViewControl.h"

#include "ControlPainter.h"
#include "Controls.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace kivo {

namespace {

int header_of(HWND hwnd)
{
    return (GetWindowLong(hwnd, GWL_STYLE) & LVS_NOCOLUMNHEADER) ? 0 : ListViewControl::header_height;
}

RECT client_of(HWND hwnd)
{
    RECT client {};
    GetClientRect(hwnd, &client);
    return client;
}

int rows_per_page(HWND hwnd)
{
    return std::max(0, (static_cast<int>(client_of(hwnd).bottom) - header_of(hwnd)) / ListViewControl::row_height);
}

} // namespace

void ListViewControl::paint(HWND hwnd, const State& state)
{
    ControlPainter painter(hwnd);
    if (!painter)
        return;
    const RECT& client = painter.client();
    painter.fill(client, look::window);
    int header = header_of(hwnd);
    // Each column from its left edge, moved by the horizontal scroll position.
    auto each_column = [&](auto&& draw) {
        int x = client.left - state.x_offset;
        for (size_t column = 0; column < state.columns.size(); ++column) {
            int width = state.columns[column].width;
            if (x + width > client.left && x < client.right)
                draw(column, x, width);
            x += width;
        }
    };
    if (header) {
        painter.fill({ client.left, client.top, client.right, client.top + header }, look::face);
        each_column([&](size_t column, int x, int width) {
            RECT cell { x, client.top, x + width, client.top + header };
            painter.frame(cell, look::pressed_face);
            painter.text({ cell.left + 3, cell.top, cell.right - 3, cell.bottom }, state.columns[column].text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS, look::text);
        });
    }
    int y = client.top + header;
    for (int index = std::max(state.top, 0); index < static_cast<int>(state.items.size()) && y < client.bottom; ++index) {
        auto& item = state.items[index];
        bool selected = item.state & LVIS_SELECTED;
        if (selected)
            painter.fill({ client.left, y, client.right, y + row_height }, look::highlight);
        each_column([&](size_t column, int x, int width) {
            if (column >= item.texts.size())
                return;
            RECT cell { x + 3, y, x + width - 3, y + row_height };
            painter.text(cell, item.texts[column], DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS, selected ? look::highlight_text : look::text);
        });
        y += row_height;
    }
}

void ListViewControl::update_scroll(HWND hwnd, State& state)
{
    int count = static_cast<int>(state.items.size());
    int page = rows_per_page(hwnd);
    state.top = std::clamp(state.top, 0, std::max(0, count - page));
    int total_width = std::accumulate(state.columns.begin(), state.columns.end(), 0, [](int sum, const Column& column) { return sum + column.width; });
    int client_width = client_of(hwnd).right;
    state.x_offset = std::clamp(state.x_offset, 0, std::max(0, total_width - client_width));
    SCROLLINFO vertical { sizeof(SCROLLINFO), SIF_ALL, 0, std::max(0, count - 1), static_cast<UINT>(page), state.top, 0 };
    SetScrollInfo(hwnd, SB_VERT, &vertical, TRUE);
    SCROLLINFO horizontal { sizeof(SCROLLINFO), SIF_ALL, 0, std::max(0, total_width - 1), static_cast<UINT>(client_width), state.x_offset, 0 };
    SetScrollInfo(hwnd, SB_HORZ, &horizontal, TRUE);
}

LRESULT ListViewControl::proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto state = control_state<State>(hwnd);
    if (!state)
        return DefWindowProc(hwnd, message, wparam, lparam);
    int count = static_cast<int>(state->items.size());
    auto valid = [&](WPARAM index) { return static_cast<int>(index) >= 0 && static_cast<int>(index) < count; };
    auto changed = [&] {
        update_scroll(hwnd, *state);
        InvalidateRect(hwnd, nullptr, TRUE);
    };
    auto scroll = [&](int dx, int rows) {
        state->x_offset += dx;
        state->top += rows;
        changed();
    };
    auto scroll_code = [&](bool vertical) {
        int page = vertical ? std::max(1, rows_per_page(hwnd)) : std::max(1, static_cast<int>(client_of(hwnd).right));
        int step = vertical ? 1 : line_step;
        int current = vertical ? state->top : state->x_offset;
        int target = current;
        switch (LOWORD(wparam)) {
        case SB_LINEUP:
            target -= step;
            break;
        case SB_LINEDOWN:
            target += step;
            break;
        case SB_PAGEUP:
            target -= page;
            break;
        case SB_PAGEDOWN:
            target += page;
            break;
        case SB_TOP:
            target = 0;
            break;
        case SB_BOTTOM:
            target = vertical ? count : 0x7FFF;
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            target = static_cast<SHORT>(HIWORD(wparam));
            break;
        default:
            return;
        }
        if (vertical)
            scroll(0, target - current);
        else
            scroll(target - current, 0);
    };
    switch (message) {
    case WM_CREATE:
    case WM_SIZE:
        update_scroll(hwnd, *state);
        return 0;
    case LVM_INSERTCOLUMN: {
        auto* column = reinterpret_cast<const LVCOLUMN*>(lparam);
        if (!column)
            return -1;
        int index = std::clamp(static_cast<int>(wparam), 0, static_cast<int>(state->columns.size()));
        Column added;
        if (column->mask & LVCF_WIDTH)
            added.width = column->cx;
        if ((column->mask & LVCF_TEXT) && column->pszText)
            added.text = column->pszText;
        state->columns.insert(state->columns.begin() + index, std::move(added));
        changed();
        return index;
    }
    case LVM_SETCOLUMNWIDTH:
        if (wparam >= state->columns.size())
            return FALSE;
        state->columns[wparam].width = static_cast<SHORT>(LOWORD(lparam));
        changed();
        return TRUE;
    case LVM_GETCOLUMNWIDTH:
        return wparam < state->columns.size() ? state->columns[wparam].width : 0;
    case LVM_INSERTITEM: {
        auto* item = reinterpret_cast<const LVITEM*>(lparam);
        if (!item || item->iSubItem != 0)
            return -1;
        int index = std::clamp(item->iItem, 0, count);
        Item added;
        added.texts.push_back((item->mask & LVIF_TEXT) && item->pszText ? item->pszText : u"");
        if (item->mask & LVIF_PARAM)
            added.param = item->lParam;
        if (item->mask & LVIF_STATE)
            added.state = item->state & item->stateMask;
        state->items.insert(state->items.begin() + index, std::move(added));
        changed();
        return index;
    }
    case LVM_SETITEMTEXT: {
        auto* item = reinterpret_cast<const LVITEM*>(lparam);
        if (!valid(wparam) || !item || item->iSubItem < 0)
            return FALSE;
        auto& texts = state->items[wparam].texts;
        if (texts.size() <= static_cast<size_t>(item->iSubItem))
            texts.resize(static_cast<size_t>(item->iSubItem) + 1);
        texts[static_cast<size_t>(item->iSubItem)] = item->pszText ? item->pszText : u"";
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case LVM_GETITEMTEXT: {
        auto* item = reinterpret_cast<LVITEM*>(lparam);
        if (!valid(wparam) || !item || !item->pszText || item->cchTextMax <= 0)
            return 0;
        auto& texts = state->items[wparam].texts;
        std::u16string text = static_cast<size_t>(item->iSubItem) < texts.size() ? texts[static_cast<size_t>(item->iSubItem)] : u"";
        int length = std::min(static_cast<int>(text.size()), item->cchTextMax - 1);
        std::copy_n(text.begin(), length, item->pszText);
        item->pszText[length] = 0;
        return length;
    }
    case LVM_GETITEMCOUNT:
        return count;
    case LVM_DELETEITEM:
        if (!valid(wparam))
            return FALSE;
        state->items.erase(state->items.begin() + static_cast<int>(wparam));
        changed();
        return TRUE;
    case LVM_DELETEALLITEMS:
        state->items.clear();
        state->top = 0;
        state->selection_mark = -1;
        changed();
        return TRUE;
    case LVM_SETITEMSTATE: {
        auto* item = reinterpret_cast<const LVITEM*>(lparam);
        if (!item)
            return FALSE;
        auto apply = [&](Item& target) { target.state = (target.state & ~item->stateMask) | (item->state & item->stateMask); };
        if (static_cast<int>(wparam) == -1) {
            for (auto& target : state->items)
                apply(target);
        } else if (valid(wparam)) {
            apply(state->items[wparam]);
        } else {
            return FALSE;
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case LVM_GETITEMSTATE:
        return valid(wparam) ? static_cast<LRESULT>(state->items[wparam].state & static_cast<UINT>(lparam)) : 0;
    case LVM_GETNEXTITEM: {
        int start = static_cast<int>(wparam);
        for (int index = start + 1; index < count; ++index) {
            if (!(LOWORD(lparam) & LVNI_SELECTED) || (state->items[index].state & LVIS_SELECTED))
                return index;
        }
        return -1;
    }
    case LVM_GETTOPINDEX:
        return state->top;
    case LVM_GETCOUNTPERPAGE:
        return rows_per_page(hwnd);
    case LVM_GETITEMRECT: {
        auto* rect = reinterpret_cast<LPRECT>(lparam);
        if (!valid(wparam) || !rect)
            return FALSE;
        int total_width = std::accumulate(state->columns.begin(), state->columns.end(), 0, [](int sum, const Column& column) { return sum + column.width; });
        int top = header_of(hwnd) + (static_cast<int>(wparam) - state->top) * row_height;
        *rect = { -state->x_offset, top, total_width - state->x_offset, top + row_height };
        return TRUE;
    }
    case LVM_SCROLL: {
        // Rows scroll whole: dy is rounded to the nearest number of rows.
        int dy = static_cast<int>(static_cast<LONG_PTR>(lparam));
        int rows = (dy + (dy >= 0 ? row_height / 2 : -row_height / 2)) / row_height;
        scroll(static_cast<int>(static_cast<LONG_PTR>(wparam)), rows);
        return TRUE;
    }
    case LVM_ENSUREVISIBLE: {
        if (!valid(wparam))
            return FALSE;
        int index = static_cast<int>(wparam);
        int page = std::max(1, rows_per_page(hwnd));
        if (index < state->top)
            state->top = index;
        else if (index >= state->top + page)
            state->top = index - page + 1;
        changed();
        return TRUE;
    }
    case LVM_GETSELECTIONMARK:
        return state->selection_mark;
    case LVM_SETSELECTIONMARK:
        return std::exchange(state->selection_mark, static_cast<int>(lparam));
    case WM_VSCROLL:
        scroll_code(true);
        return 0;
    case WM_HSCROLL:
        scroll_code(false);
        return 0;
    case WM_LBUTTONDOWN: {
        int y = GET_Y_LPARAM(lparam) - header_of(hwnd);
        if (y < 0)
            return 0;
        int index = state->top + y / row_height;
        if (index >= count)
            return 0;
        for (auto& item : state->items)
            item.state &= ~(LVIS_SELECTED | LVIS_FOCUSED);
        state->items[index].state |= LVIS_SELECTED | LVIS_FOCUSED;
        state->selection_mark = index;
        InvalidateRect(hwnd, nullptr, FALSE);
        NMHDR header { hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), NM_CLICK };
        if (HWND parent = GetParent(hwnd))
            SendMessage(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
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
