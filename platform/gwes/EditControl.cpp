#include "EditControl.h"

#include "ControlPainter.h"
#include "Controls.h"
#include "TextMeasure.h"

#include <algorithm>

namespace kivo {

namespace {

constexpr int margin = 2;

std::u16string text_of(HWND hwnd)
{
    std::u16string text(static_cast<size_t>(GetWindowTextLength(hwnd)) + 1, u'\0');
    int count = GetWindowText(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(count, 0)));
    return text;
}

bool is_multiline(HWND hwnd)
{
    return GetWindowLong(hwnd, GWL_STYLE) & ES_MULTILINE;
}

std::vector<EditControl::Line> lines_of(HWND hwnd, const std::u16string& text)
{
    if (!is_multiline(hwnd))
        return { { 0, text.size() } };
    RECT client {};
    GetClientRect(hwnd, &client);
    return EditControl::wrap(text, client.right - 2 * margin, TextMeasure(hwnd));
}

std::vector<EditControl::Line> lines_of(HWND hwnd)
{
    return lines_of(hwnd, text_of(hwnd));
}

int visible_lines(HWND hwnd)
{
    RECT client {};
    GetClientRect(hwnd, &client);
    return std::max(1, static_cast<int>(client.bottom) / TextMeasure(hwnd).line_height());
}

} // namespace

std::vector<EditControl::Line> EditControl::wrap(std::u16string_view text, int width, const TextMeasure& measure)
{
    std::vector<Line> lines;
    size_t paragraph = 0;
    for (;;) {
        size_t end = text.find(u'\n', paragraph);
        size_t stop = end == std::u16string_view::npos ? text.size() : end;
        size_t content_end = (stop > paragraph && text[stop - 1] == u'\r') ? stop - 1 : stop;
        size_t start = paragraph;
        if (start == content_end)
            lines.push_back({ start, 0 });
        while (start < content_end) {
            // Words are taken while they fit; a word wider than the line is cut.
            size_t fit = start;
            size_t cursor = start;
            while (cursor < content_end) {
                size_t word_end = cursor;
                while (word_end < content_end && text[word_end] != u' ')
                    ++word_end;
                if (measure.width(text.substr(start, word_end - start)) > width)
                    break;
                fit = word_end;
                cursor = word_end;
                while (cursor < content_end && text[cursor] == u' ')
                    ++cursor;
                fit = cursor;
            }
            if (fit == start) {
                fit = start + 1;
                while (fit < content_end && measure.width(text.substr(start, fit + 1 - start)) <= width)
                    ++fit;
            }
            size_t shown = fit;
            while (shown > start && text[shown - 1] == u' ')
                --shown;
            lines.push_back({ start, shown - start });
            start = fit;
        }
        if (end == std::u16string_view::npos)
            break;
        paragraph = end + 1;
    }
    return lines;
}

void EditControl::paint(HWND hwnd, const State& state)
{
    ControlPainter painter(hwnd);
    if (!painter)
        return;
    const RECT& client = painter.client();
    painter.fill(client, look::window);
    painter.frame(client, look::frame);
    auto text = text_of(hwnd);
    COLORREF colour = IsWindowEnabled(hwnd) ? look::text : look::disabled_text;
    if (!is_multiline(hwnd)) {
        RECT box { client.left + margin, client.top, client.right - margin, client.bottom };
        painter.text(box, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, colour);
        return;
    }
    // The lines from the top one on, one line height apart.
    int height = TextMeasure(hwnd).line_height();
    auto lines = lines_of(hwnd, text);
    int y = client.top;
    for (size_t index = static_cast<size_t>(state.top); index < lines.size() && y < client.bottom; ++index) {
        RECT box { client.left + margin, y, client.right - margin, y + height };
        painter.text(box, std::u16string_view(text).substr(lines[index].start, lines[index].length), DT_LEFT | DT_TOP | DT_SINGLELINE, colour);
        y += height;
    }
}

void EditControl::update_scroll(HWND hwnd, State& state)
{
    int count = static_cast<int>(lines_of(hwnd).size());
    int page = visible_lines(hwnd);
    state.top = std::clamp(state.top, 0, std::max(0, count - page));
    SCROLLINFO info { sizeof(SCROLLINFO), SIF_ALL, 0, std::max(0, count - 1), static_cast<UINT>(page), state.top, 0 };
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
}

LRESULT EditControl::proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto state = control_state<State>(hwnd);
    if (!state)
        return DefWindowProc(hwnd, message, wparam, lparam);
    auto scroll_by = [&](int lines) {
        int before = state->top;
        state->top += lines;
        update_scroll(hwnd, *state);
        if (state->top != before)
            InvalidateRect(hwnd, nullptr, TRUE);
        return state->top - before;
    };
    switch (message) {
    case WM_CREATE:
    case WM_SIZE:
        update_scroll(hwnd, *state);
        return 0;
    case WM_SETTEXT: {
        auto* text = reinterpret_cast<LPCWSTR>(lparam);
        std::u16string value = text ? text : u"";
        if (value.size() > state->limit)
            value.resize(state->limit);
        DefWindowProc(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
        state->top = 0;
        state->selection_start = state->selection_end = 0;
        update_scroll(hwnd, *state);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case EM_GETLINECOUNT:
        return static_cast<LRESULT>(lines_of(hwnd).size());
    case EM_GETFIRSTVISIBLELINE:
        return state->top;
    case EM_LINESCROLL:
        if (!is_multiline(hwnd))
            return FALSE;
        scroll_by(static_cast<int>(lparam));
        return TRUE;
    case EM_SCROLL:
    case WM_VSCROLL: {
        if (!is_multiline(hwnd))
            return message == EM_SCROLL ? FALSE : 0;
        int page = visible_lines(hwnd);
        int count = static_cast<int>(lines_of(hwnd).size());
        int lines = 0;
        switch (LOWORD(wparam)) {
        case SB_LINEUP:
            lines = -1;
            break;
        case SB_LINEDOWN:
            lines = 1;
            break;
        case SB_PAGEUP:
            lines = -page;
            break;
        case SB_PAGEDOWN:
            lines = page;
            break;
        case SB_TOP:
            lines = -state->top;
            break;
        case SB_BOTTOM:
            lines = count - state->top;
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            lines = static_cast<SHORT>(HIWORD(wparam)) - state->top;
            break;
        default:
            break;
        }
        int scrolled = scroll_by(lines);
        return message == EM_SCROLL ? MAKELRESULT(static_cast<WORD>(scrolled), TRUE) : 0;
    }
    case EM_LINEINDEX: {
        auto lines = lines_of(hwnd);
        int line = static_cast<int>(static_cast<LONG>(wparam));
        if (line < 0)
            line = 0;
        return line < static_cast<int>(lines.size()) ? static_cast<LRESULT>(lines[line].start) : -1;
    }
    case EM_LINELENGTH: {
        auto lines = lines_of(hwnd);
        size_t index = static_cast<size_t>(static_cast<LONG>(wparam) < 0 ? 0 : wparam);
        for (auto& line : lines) {
            if (index >= line.start && index <= line.start + line.length)
                return static_cast<LRESULT>(line.length);
        }
        return 0;
    }
    case EM_GETLINE: {
        auto lines = lines_of(hwnd);
        auto* buffer = reinterpret_cast<LPWSTR>(lparam);
        if (!buffer || wparam >= lines.size())
            return 0;
        size_t room = *reinterpret_cast<WORD*>(buffer);
        auto text = text_of(hwnd);
        size_t count = std::min(room, lines[wparam].length);
        std::copy_n(text.begin() + static_cast<std::ptrdiff_t>(lines[wparam].start), count, buffer);
        return static_cast<LRESULT>(count);
    }
    case EM_SETREADONLY: {
        DWORD style = static_cast<DWORD>(GetWindowLong(hwnd, GWL_STYLE));
        SetWindowLong(hwnd, GWL_STYLE, static_cast<LONG>(wparam ? (style | ES_READONLY) : (style & ~ES_READONLY)));
        return TRUE;
    }
    case EM_SETSEL: {
        auto length = static_cast<DWORD>(text_of(hwnd).size());
        auto start = static_cast<LONG>(wparam);
        auto end = static_cast<LONG>(lparam);
        state->selection_start = start < 0 ? length : std::min<DWORD>(static_cast<DWORD>(start), length);
        state->selection_end = end < 0 ? length : std::min<DWORD>(static_cast<DWORD>(end), length);
        if (state->selection_start > state->selection_end)
            std::swap(state->selection_start, state->selection_end);
        return 0;
    }
    case EM_GETSEL:
        if (wparam)
            *reinterpret_cast<DWORD*>(wparam) = state->selection_start;
        if (lparam)
            *reinterpret_cast<DWORD*>(lparam) = state->selection_end;
        return MAKELRESULT(static_cast<WORD>(state->selection_start), static_cast<WORD>(state->selection_end));
    case EM_REPLACESEL: {
        auto text = text_of(hwnd);
        auto* insert = reinterpret_cast<LPCWSTR>(lparam);
        std::u16string replacement = insert ? insert : u"";
        size_t start = std::min<size_t>(state->selection_start, text.size());
        size_t end = std::min<size_t>(state->selection_end, text.size());
        text.replace(start, end - start, replacement);
        if (text.size() > state->limit)
            text.resize(state->limit);
        DefWindowProc(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        state->selection_start = state->selection_end = static_cast<DWORD>(std::min(start + replacement.size(), text.size()));
        update_scroll(hwnd, *state);
        InvalidateRect(hwnd, nullptr, TRUE);
        notify_parent(hwnd, EN_CHANGE);
        return 0;
    }
    case EM_LIMITTEXT:
        state->limit = wparam ? static_cast<size_t>(wparam) : 0x7FFFFFFE;
        return 0;
    case WM_PAINT:
        paint(hwnd, *state);
        ValidateRect(hwnd, nullptr);
        return 0;
    default:
        return DefWindowProc(hwnd, message, wparam, lparam);
    }
}

} // namespace kivo
