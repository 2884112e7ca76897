#include "ListViewControl.h"

#include "ControlPainter.h"
#include "Controls.h"
#include "HeaderControl.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace kivo {

namespace {

RECT client_of(HWND hwnd)
{
    RECT client {};
    GetClientRect(hwnd, &client);
    return client;
}

void fill_unless_none(ControlPainter& painter, const RECT& rect, COLORREF colour)
{
    if (colour != CLR_NONE)
        painter.fill(rect, colour);
}

} // namespace

int ListViewControl::header_height(HWND hwnd, const State& state)
{
    if (!state.header || (GetWindowLong(hwnd, GWL_STYLE) & LVS_NOCOLUMNHEADER))
        return 0;
    RECT rect {};
    GetWindowRect(state.header, &rect);
    return rect.bottom - rect.top;
}

int ListViewControl::rows_per_page(HWND hwnd, const State& state)
{
    return std::max(0, (static_cast<int>(client_of(hwnd).bottom) - header_height(hwnd, state)) / state.row_height);
}

int ListViewControl::total_width(const State& state)
{
    return std::accumulate(state.columns.begin(), state.columns.end(), 0, [](int sum, const Column& column) { return sum + column.width; });
}

void ListViewControl::update_row_height(HWND hwnd, State& state)
{
    int height = default_row_height;
    if (state.font) {
        if (auto text = ControlPainter::text_height(hwnd, state.font))
            height = *text;
    }
    if (auto image = ControlPainter::image_size(state.small_images))
        height = std::max(height, static_cast<int>(image->cy));
    state.row_height = std::max(height, 1);
}

void ListViewControl::paint(HWND hwnd, State& state)
{
    ControlPainter painter(hwnd);
    if (!painter)
        return;
    const RECT& client = painter.client();
    int header = header_height(hwnd, state);
    fill_unless_none(painter, { client.left, client.top + header, client.right, client.bottom }, state.background);
    HGDIOBJ previous_font = painter.select_font(state.font);
    state.painting = true;

    HWND parent = GetParent(hwnd);
    auto custom_draw = [&](DWORD stage, int index, const RECT& rect, NMLVCUSTOMDRAW& draw) -> LRESULT {
        if (!parent)
            return CDRF_DODEFAULT;
        draw.nmcd = { { hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), NM_CUSTOMDRAW }, stage, painter.dc(), rect, 0, 0, 0 };
        if (stage & CDDS_ITEM) {
            auto& item = state.items[static_cast<size_t>(index)];
            draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(index);
            draw.nmcd.uItemState = ((item.state & LVIS_SELECTED) ? CDIS_SELECTED : 0) | ((item.state & LVIS_FOCUSED) ? CDIS_FOCUS : 0);
            draw.nmcd.lItemlParam = item.param;
        }
        return SendMessage(parent, WM_NOTIFY, draw.nmcd.hdr.idFrom, reinterpret_cast<LPARAM>(&draw));
    };

    NMLVCUSTOMDRAW whole { {}, state.text_colour, state.text_background, 0 };
    LRESULT wants = custom_draw(CDDS_PREPAINT, -1, client, whole);
    int x0 = client.left - state.x_offset;
    int y = client.top + header;
    // The rows are looked up afresh after every notice, as a handler may change them.
    for (int index = std::max(state.top, 0); !(wants & CDRF_SKIPDEFAULT) && index < static_cast<int>(state.items.size()) && y < client.bottom; ++index) {
        RECT row { x0, y, x0 + total_width(state), y + state.row_height };
        NMLVCUSTOMDRAW draw { {}, state.text_colour, state.text_background, 0 };
        LRESULT item_wants = (wants & CDRF_NOTIFYITEMDRAW) ? custom_draw(CDDS_ITEMPREPAINT, index, row, draw) : CDRF_DODEFAULT;
        if (index >= static_cast<int>(state.items.size()))
            break;
        if (!(item_wants & CDRF_SKIPDEFAULT)) {
            const Item& item = state.items[static_cast<size_t>(index)];
            bool selected = item.state & LVIS_SELECTED;
            bool full_row = state.ex_style & LVS_EX_FULLROWSELECT;
            fill_unless_none(painter, row, draw.clrTextBk);
            int x = x0;
            for (size_t column = 0; column < state.columns.size(); ++column) {
                int width = state.columns[column].width;
                RECT cell { x, y, x + width, y + state.row_height };
                x += width;
                if (cell.right <= client.left || cell.left >= client.right)
                    continue;
                // The picture goes over the highlight of a full row, beside that of a label.
                auto image = column == 0 && item.image >= 0 ? ControlPainter::image_size(state.small_images) : std::nullopt;
                int text_left = image ? cell.left + image->cx + image_margin : cell.left;
                bool highlighted = selected && (full_row || column == 0);
                if (highlighted)
                    painter.fill(full_row ? cell : RECT { text_left, cell.top, cell.right, cell.bottom }, look::highlight);
                if (image)
                    painter.image(state.small_images, item.image, cell.left + image_margin, y + (state.row_height - image->cy) / 2);
                if (column < item.texts.size()) {
                    RECT label { text_left + 3, cell.top, cell.right - 3, cell.bottom };
                    painter.text(label, item.texts[column], DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS,
                        highlighted ? look::highlight_text : draw.clrText);
                }
            }
        }
        if ((item_wants & CDRF_NOTIFYPOSTPAINT) && index < static_cast<int>(state.items.size()))
            custom_draw(CDDS_ITEMPOSTPAINT, index, row, draw);
        y += state.row_height;
    }
    if (wants & CDRF_NOTIFYPOSTPAINT)
        custom_draw(CDDS_POSTPAINT, -1, client, whole);
    state.painting = false;
    painter.select_font(previous_font);
}

void ListViewControl::update_scroll(HWND hwnd, State& state)
{
    int count = static_cast<int>(state.items.size());
    int page = rows_per_page(hwnd, state);
    state.top = std::clamp(state.top, 0, std::max(0, count - page));
    int width = total_width(state);
    int client_width = client_of(hwnd).right;
    state.x_offset = std::clamp(state.x_offset, 0, std::max(0, width - client_width));
    SCROLLINFO vertical { sizeof(SCROLLINFO), SIF_ALL, 0, std::max(0, count - 1), static_cast<UINT>(page), state.top, 0 };
    SetScrollInfo(hwnd, SB_VERT, &vertical, TRUE);
    SCROLLINFO horizontal { sizeof(SCROLLINFO), SIF_ALL, 0, std::max(0, width - 1), static_cast<UINT>(client_width), state.x_offset, 0 };
    SetScrollInfo(hwnd, SB_HORZ, &horizontal, TRUE);
    // The header moves with the columns when they scroll sideways.
    if (state.header) {
        RECT rect {};
        GetWindowRect(state.header, &rect);
        SetWindowPos(state.header, nullptr, -state.x_offset, 0, std::max(client_width + state.x_offset, width), rect.bottom - rect.top,
            SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

std::pair<int, int> ListViewControl::hit(HWND hwnd, const State& state, POINT point)
{
    int y = point.y - header_height(hwnd, state);
    if (y < 0)
        return { -1, -1 };
    int item = state.top + y / state.row_height;
    int column = -1;
    int left = -state.x_offset;
    for (size_t index = 0; index < state.columns.size(); ++index) {
        int right = left + state.columns[index].width;
        if (point.x >= left && point.x < right)
            column = static_cast<int>(index);
        left = right;
    }
    // Without full-row selection only the first column's cell takes the row.
    bool takes_row = column == 0 || (column > 0 && (state.ex_style & LVS_EX_FULLROWSELECT));
    if (item >= static_cast<int>(state.items.size()) || !takes_row)
        item = -1;
    return { item, column };
}

void ListViewControl::notify_tap(HWND hwnd, const State& state, UINT code, int item, int column, POINT point)
{
    HWND parent = GetParent(hwnd);
    if (!parent)
        return;
    NMITEMACTIVATE notice { { hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), code }, item, column, 0, 0, 0, point,
        item >= 0 ? state.items[static_cast<size_t>(item)].param : 0, 0 };
    SendMessage(parent, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
}

LRESULT ListViewControl::sort(HWND hwnd, State& state, LPARAM parameter, PFNLVCOMPARE compare)
{
    if (!compare)
        return FALSE;
    // The comparisons may read the list (an item's text by its data); it stays as it was until
    // the new order is known. A stable sort keeps equal rows in order and stays inside the rows
    // whatever the comparisons answer.
    std::vector<int> order(state.items.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<LPARAM> params;
    for (auto& item : state.items)
        params.push_back(item.param);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(params[a], params[b], parameter) < 0; });
    if (order.size() != state.items.size())
        return FALSE;
    std::vector<Item> sorted;
    sorted.reserve(order.size());
    int mark = -1;
    for (size_t position = 0; position < order.size(); ++position) {
        sorted.push_back(std::move(state.items[static_cast<size_t>(order[position])]));
        if (order[position] == state.selection_mark)
            mark = static_cast<int>(position);
    }
    state.items = std::move(sorted);
    state.selection_mark = mark;
    InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
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
    auto redraw = [&](BOOL erase) {
        if (!state->painting)
            InvalidateRect(hwnd, nullptr, erase);
    };
    auto scroll = [&](int dx, int rows) {
        state->x_offset += dx;
        state->top += rows;
        changed();
    };
    auto scroll_code = [&](bool vertical) {
        int page = vertical ? std::max(1, rows_per_page(hwnd, *state)) : std::max(1, static_cast<int>(client_of(hwnd).right));
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
    // What an LVITEM sets of an item (its text for sub-item 0 only).
    auto apply = [&](Item& target, const LVITEM& item) {
        if ((item.mask & LVIF_TEXT) && item.iSubItem == 0) {
            if (target.texts.empty())
                target.texts.emplace_back();
            target.texts[0] = item.pszText ? item.pszText : u"";
        }
        if (item.mask & LVIF_PARAM)
            target.param = item.lParam;
        if (item.mask & LVIF_STATE)
            target.state = (target.state & ~item.stateMask) | (item.state & item.stateMask);
        if (item.mask & LVIF_IMAGE)
            target.image = item.iImage;
    };
    auto set_colour = [&](COLORREF& colour) {
        colour = static_cast<COLORREF>(lparam);
        redraw(TRUE);
        return TRUE;
    };
    switch (message) {
    case WM_CREATE: {
        DWORD style = static_cast<DWORD>(GetWindowLong(hwnd, GWL_STYLE));
        RECT client = client_of(hwnd);
        state->header = CreateWindowEx(0, WC_HEADER, u"", WS_CHILD | ((style & LVS_NOCOLUMNHEADER) ? 0 : WS_VISIBLE), 0, 0, client.right,
            HeaderControl::height_for(hwnd, nullptr), hwnd, nullptr, nullptr, nullptr);
        update_scroll(hwnd, *state);
        return 0;
    }
    case WM_SIZE:
        update_scroll(hwnd, *state);
        return 0;
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wparam);
        update_row_height(hwnd, *state);
        update_scroll(hwnd, *state);
        if (LOWORD(lparam))
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(state->font);
    case WM_NOTIFY: {
        // A tap on a column title.
        auto* notice = reinterpret_cast<const NMHEADER*>(lparam);
        HWND parent = GetParent(hwnd);
        if (!notice || notice->hdr.hwndFrom != state->header || notice->hdr.code != HDN_ITEMCLICK || !parent)
            return 0;
        NMLISTVIEW column_click { { hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), LVN_COLUMNCLICK }, -1, notice->iItem, 0, 0, 0, {}, 0 };
        SendMessage(parent, WM_NOTIFY, column_click.hdr.idFrom, reinterpret_cast<LPARAM>(&column_click));
        return 0;
    }
    case LVM_GETHEADER:
        return reinterpret_cast<LRESULT>(state->header);
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        DWORD mask = wparam ? static_cast<DWORD>(wparam) : 0xFFFFFFFF;
        DWORD previous = std::exchange(state->ex_style, (state->ex_style & ~mask) | (static_cast<DWORD>(lparam) & mask));
        redraw(TRUE);
        return previous;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
        return state->ex_style;
    case LVM_SETIMAGELIST: {
        auto& slot = static_cast<int>(wparam) == LVSIL_SMALL ? state->small_images : state->normal_images;
        if (static_cast<int>(wparam) != LVSIL_SMALL && static_cast<int>(wparam) != LVSIL_NORMAL)
            return 0;
        HIMAGELIST previous = std::exchange(slot, reinterpret_cast<HIMAGELIST>(lparam));
        update_row_height(hwnd, *state);
        changed();
        return reinterpret_cast<LRESULT>(previous);
    }
    case LVM_GETIMAGELIST:
        if (static_cast<int>(wparam) == LVSIL_SMALL)
            return reinterpret_cast<LRESULT>(state->small_images);
        return static_cast<int>(wparam) == LVSIL_NORMAL ? reinterpret_cast<LRESULT>(state->normal_images) : 0;
    case LVM_SETBKCOLOR:
        return set_colour(state->background);
    case LVM_GETBKCOLOR:
        return state->background;
    case LVM_SETTEXTCOLOR:
        return set_colour(state->text_colour);
    case LVM_GETTEXTCOLOR:
        return state->text_colour;
    case LVM_SETTEXTBKCOLOR:
        return set_colour(state->text_background);
    case LVM_GETTEXTBKCOLOR:
        return state->text_background;
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
        HDITEM title { HDI_WIDTH | HDI_TEXT, added.width, added.text.data(), nullptr, 0, 0, 0 };
        if (state->header)
            SendMessage(state->header, HDM_INSERTITEM, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&title));
        state->columns.insert(state->columns.begin() + index, std::move(added));
        changed();
        return index;
    }
    case LVM_SETCOLUMNWIDTH: {
        if (wparam >= state->columns.size())
            return FALSE;
        state->columns[wparam].width = static_cast<SHORT>(LOWORD(lparam));
        HDITEM title { HDI_WIDTH, state->columns[wparam].width, nullptr, nullptr, 0, 0, 0 };
        if (state->header)
            SendMessage(state->header, HDM_SETITEM, wparam, reinterpret_cast<LPARAM>(&title));
        changed();
        return TRUE;
    }
    case LVM_GETCOLUMNWIDTH:
        return wparam < state->columns.size() ? state->columns[wparam].width : 0;
    case LVM_INSERTITEM: {
        auto* item = reinterpret_cast<const LVITEM*>(lparam);
        if (!item || item->iSubItem != 0)
            return -1;
        int index = std::clamp(item->iItem, 0, count);
        Item added;
        added.texts.emplace_back();
        apply(added, *item);
        state->items.insert(state->items.begin() + index, std::move(added));
        if (state->selection_mark >= index)
            ++state->selection_mark;
        changed();
        return index;
    }
    case LVM_SETITEM: {
        auto* item = reinterpret_cast<const LVITEM*>(lparam);
        if (!item || !valid(static_cast<WPARAM>(item->iItem)) || item->iSubItem < 0)
            return FALSE;
        auto& target = state->items[static_cast<size_t>(item->iItem)];
        if ((item->mask & LVIF_TEXT) && item->iSubItem > 0) {
            if (target.texts.size() <= static_cast<size_t>(item->iSubItem))
                target.texts.resize(static_cast<size_t>(item->iSubItem) + 1);
            target.texts[static_cast<size_t>(item->iSubItem)] = item->pszText ? item->pszText : u"";
        }
        apply(target, *item);
        redraw(TRUE);
        return TRUE;
    }
    case LVM_GETITEM: {
        auto* item = reinterpret_cast<LVITEM*>(lparam);
        if (!item || !valid(static_cast<WPARAM>(item->iItem)))
            return FALSE;
        auto& source = state->items[static_cast<size_t>(item->iItem)];
        if (item->mask & LVIF_PARAM)
            item->lParam = source.param;
        if (item->mask & LVIF_STATE)
            item->state = source.state & item->stateMask;
        if (item->mask & LVIF_IMAGE)
            item->iImage = source.image;
        if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax > 0) {
            std::u16string_view text;
            if (static_cast<size_t>(item->iSubItem) < source.texts.size())
                text = source.texts[static_cast<size_t>(item->iSubItem)];
            int length = std::min(static_cast<int>(text.size()), item->cchTextMax - 1);
            std::copy_n(text.begin(), length, item->pszText);
            item->pszText[length] = 0;
        }
        return TRUE;
    }
    case LVM_SETITEMTEXT: {
        auto* item = reinterpret_cast<const LVITEM*>(lparam);
        if (!valid(wparam) || !item || item->iSubItem < 0)
            return FALSE;
        auto& texts = state->items[wparam].texts;
        if (texts.size() <= static_cast<size_t>(item->iSubItem))
            texts.resize(static_cast<size_t>(item->iSubItem) + 1);
        texts[static_cast<size_t>(item->iSubItem)] = item->pszText ? item->pszText : u"";
        redraw(TRUE);
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
        if (state->selection_mark == static_cast<int>(wparam))
            state->selection_mark = -1;
        else if (state->selection_mark > static_cast<int>(wparam))
            --state->selection_mark;
        changed();
        return TRUE;
    case LVM_DELETEALLITEMS:
        state->items.clear();
        state->top = 0;
        state->selection_mark = -1;
        changed();
        return TRUE;
    case LVM_SORTITEMS:
        return sort(hwnd, *state, static_cast<LPARAM>(wparam), reinterpret_cast<PFNLVCOMPARE>(lparam));
    case LVM_SETITEMSTATE: {
        auto* item = reinterpret_cast<const LVITEM*>(lparam);
        if (!item)
            return FALSE;
        auto apply_state = [&](Item& target) { target.state = (target.state & ~item->stateMask) | (item->state & item->stateMask); };
        if (static_cast<int>(wparam) == -1) {
            for (auto& target : state->items)
                apply_state(target);
        } else if (valid(wparam)) {
            apply_state(state->items[wparam]);
        } else {
            return FALSE;
        }
        redraw(FALSE);
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
        return rows_per_page(hwnd, *state);
    case LVM_GETITEMRECT: {
        auto* rect = reinterpret_cast<LPRECT>(lparam);
        if (!valid(wparam) || !rect)
            return FALSE;
        int top = header_height(hwnd, *state) + (static_cast<int>(wparam) - state->top) * state->row_height;
        *rect = { -state->x_offset, top, total_width(*state) - state->x_offset, top + state->row_height };
        return TRUE;
    }
    case LVM_SCROLL: {
        // Rows scroll whole: dy is rounded to the nearest number of rows.
        int dy = static_cast<int>(static_cast<LONG_PTR>(lparam));
        int half = state->row_height / 2;
        int rows = (dy + (dy >= 0 ? half : -half)) / state->row_height;
        scroll(static_cast<int>(static_cast<LONG_PTR>(wparam)), rows);
        return TRUE;
    }
    case LVM_ENSUREVISIBLE: {
        if (!valid(wparam))
            return FALSE;
        int index = static_cast<int>(wparam);
        int page = std::max(1, rows_per_page(hwnd, *state));
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
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT point { GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam) };
        auto [index, column] = hit(hwnd, *state, point);
        if (point.y < header_height(hwnd, *state))
            return 0;
        if (index >= 0) {
            for (auto& item : state->items)
                item.state &= ~(LVIS_SELECTED | LVIS_FOCUSED);
            state->items[static_cast<size_t>(index)].state |= LVIS_SELECTED | LVIS_FOCUSED;
            state->selection_mark = index;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        notify_tap(hwnd, *state, message == WM_LBUTTONDBLCLK ? NM_DBLCLK : NM_CLICK, index, column, point);
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
