// The window system's window, class, painting and rectangle calls.

#include "GwesApi.h"
#include "WindowManager.h"
#include "kernel/Device.h"
#include "kernel/KernelApi.h"
#include "kernel/Process.h"
#include "kernel/SimThread.h"
#include "kernel/WideCrt.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace kivo;

namespace {

WindowManager& manager()
{
    return WindowManager::current();
}

// WM_ERASEBKGND goes with a context of the window, which the drawing layer makes.
void erase_background(HWND hwnd)
{
    manager().clear_erase(hwnd);
    if (auto painter = manager().painter(); painter.send_erase)
        painter.send_erase(hwnd);
    else
        SendMessage(hwnd, WM_ERASEBKGND, 0, 0);
}

template<typename T>
T fail(DWORD error, T value)
{
    SetLastError(error);
    return value;
}

BOOL refused()
{
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

int copy_text(const std::u16string& text, LPWSTR buffer, int max_count)
{
    if (!buffer || max_count <= 0)
        return 0;
    int count = std::min<int>(static_cast<int>(text.size()), max_count - 1);
    std::copy_n(text.begin(), count, buffer);
    buffer[count] = 0;
    return count;
}

} // namespace

ATOM RegisterClass(const WNDCLASS* description)
{
    if (!description)
        return fail<ATOM>(ERROR_INVALID_PARAMETER, 0);
    DWORD error = 0;
    ATOM atom = manager().register_class(*description, false, error);
    if (!atom)
        SetLastError(error);
    return atom;
}

BOOL UnregisterClass(LPCWSTR class_name, HINSTANCE)
{
    if (!class_name || !manager().unregister_class(class_name))
        return fail<BOOL>(ERROR_CLASS_DOES_NOT_EXIST, FALSE);
    return TRUE;
}

BOOL GetClassInfo(HINSTANCE, LPCWSTR class_name, LPWNDCLASS out)
{
    auto info = class_name ? manager().class_info(class_name) : std::nullopt;
    if (!info || !out)
        return fail<BOOL>(ERROR_CLASS_DOES_NOT_EXIST, FALSE);
    *out = {};
    out->style = info->style;
    out->lpfnWndProc = info->proc;
    out->hInstance = info->instance;
    out->hCursor = info->cursor;
    out->hbrBackground = info->background;
    out->lpszClassName = class_name;
    return TRUE;
}

HWND CreateWindowEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y, int width, int height,
    HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter)
{
    CREATESTRUCT create { parameter, instance, menu, parent, height, width, y, x, static_cast<LONG>(style), title, class_name, ex_style };
    DWORD error = 0;
    HWND hwnd = manager().create_window(create, error);
    if (!hwnd)
        SetLastError(error);
    return hwnd;
}

HWND CreateWindow(LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y, int width, int height, HWND parent,
    HMENU menu, HINSTANCE instance, LPVOID parameter)
{
    return CreateWindowEx(0, class_name, title, style, x, y, width, height, parent, menu, instance, parameter);
}

BOOL DestroyWindow(HWND hwnd)
{
    DWORD error = 0;
    if (!manager().destroy_window(hwnd, error))
        return fail<BOOL>(error, FALSE);
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    return hwnd && manager().is_window(hwnd);
}

BOOL IsWindowVisible(HWND hwnd)
{
    return manager().is_visible(hwnd);
}

BOOL IsWindowEnabled(HWND hwnd)
{
    bool enabled = false;
    manager().with_window(hwnd, [&](Window& window) { enabled = window.is_enabled_flag(); });
    return enabled;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    bool was_disabled = false;
    if (!manager().enable_window(hwnd, enable, was_disabled))
        return refused();
    return was_disabled;
}

BOOL ShowWindow(HWND hwnd, int command)
{
    bool was_visible = false;
    if (!manager().show_window(hwnd, command, was_visible))
        return refused();
    return was_visible;
}

BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int width, int height, UINT flags)
{
    if (!manager().set_window_pos(hwnd, insert_after, x, y, width, height, flags))
        return refused();
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd)
{
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect)
{
    RECT result {};
    if (!rect || !manager().screen_rect(hwnd, result))
        return refused();
    *rect = result;
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect)
{
    if (!rect)
        return refused();
    return manager().with_window(hwnd, [&](Window& window) { *rect = { 0, 0, window.width(), window.height() }; }) ? TRUE : refused();
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point)
{
    RECT rect {};
    if (!point || !manager().screen_rect(hwnd, rect))
        return refused();
    point->x += rect.left;
    point->y += rect.top;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point)
{
    RECT rect {};
    if (!point || !manager().screen_rect(hwnd, rect))
        return refused();
    point->x -= rect.left;
    point->y -= rect.top;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count)
{
    RECT from_rect {};
    RECT to_rect {};
    if (from)
        manager().screen_rect(from, from_rect);
    if (to)
        manager().screen_rect(to, to_rect);
    int dx = from_rect.left - to_rect.left;
    int dy = from_rect.top - to_rect.top;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

BOOL SetWindowText(HWND hwnd, LPCWSTR text)
{
    return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")) ? TRUE : FALSE;
}

int GetWindowText(HWND hwnd, LPWSTR buffer, int max_count)
{
    return static_cast<int>(SendMessage(hwnd, WM_GETTEXT, static_cast<WPARAM>(std::max(max_count, 0)), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND hwnd)
{
    return static_cast<int>(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

int GetClassName(HWND hwnd, LPWSTR buffer, int max_count)
{
    int count = 0;
    if (!manager().with_window(hwnd, [&](Window& window) { count = copy_text(window.window_class->name, buffer, max_count); }))
        return refused();
    return count;
}

HWND FindWindow(LPCWSTR class_name, LPCWSTR title)
{
    std::u16string class_text = class_name ? class_name : u"";
    std::u16string title_text = title ? title : u"";
    return manager().find_window(class_name ? &class_text : nullptr, title ? &title_text : nullptr);
}

HWND GetParent(HWND hwnd)
{
    HWND result = nullptr;
    if (!manager().with_window(hwnd, [&](Window& window) { result = window.is_child() ? window.parent : window.owner; }))
        return fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    return result;
}

HWND GetWindow(HWND hwnd, UINT relation)
{
    return manager().relation(hwnd, relation);
}

HWND GetDlgItem(HWND hwnd, int id)
{
    return manager().dialog_item(hwnd, id);
}

int GetDlgCtrlID(HWND hwnd)
{
    int id = 0;
    manager().with_window(hwnd, [&](Window& window) { id = static_cast<int>(window.id); });
    return id;
}

HWND WindowFromPoint(POINT point)
{
    return manager().window_from_point(point);
}

HWND ChildWindowFromPoint(HWND parent, POINT point)
{
    return manager().child_from_point(parent, point);
}

BOOL IsChild(HWND parent, HWND hwnd)
{
    for (;;) {
        HWND up = nullptr;
        bool child = false;
        manager().with_window(hwnd, [&](Window& window) {
            child = window.is_child();
            up = window.parent;
        });
        if (!child)
            return FALSE;
        if (up == parent)
            return TRUE;
        hwnd = up;
    }
}

LONG_PTR GetWindowLongPtr(HWND hwnd, int index)
{
    LONG_PTR value = 0;
    bool known = true;
    bool found = manager().with_window(hwnd, [&](Window& window) {
        switch (index) {
        case GWL_WNDPROC:
            value = reinterpret_cast<LONG_PTR>(window.proc);
            break;
        case GWL_HINSTANCE:
            value = reinterpret_cast<LONG_PTR>(window.instance);
            break;
        case GWL_HWNDPARENT:
            value = reinterpret_cast<LONG_PTR>(window.is_child() ? window.parent : window.owner);
            break;
        case GWL_STYLE:
            value = static_cast<LONG>(window.style);
            break;
        case GWL_EXSTYLE:
            value = static_cast<LONG>(window.ex_style);
            break;
        case GWL_USERDATA:
            value = window.user_data;
            break;
        case GWL_ID:
            value = window.id;
            break;
        default:
            known = false;
        }
    });
    if (!found)
        return fail<LONG_PTR>(ERROR_INVALID_WINDOW_HANDLE, 0);
    if (!known)
        return fail<LONG_PTR>(ERROR_INVALID_PARAMETER, 0);
    return value;
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value)
{
    LONG_PTR previous = 0;
    bool known = true;
    bool found = manager().with_window(hwnd, [&](Window& window) {
        switch (index) {
        case GWL_WNDPROC:
            previous = reinterpret_cast<LONG_PTR>(std::exchange(window.proc, reinterpret_cast<WNDPROC>(value)));
            break;
        case GWL_STYLE:
            // Visibility and the enabled state change through their own calls.
            previous = static_cast<LONG>(window.style);
            window.style = (static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_DISABLED)) | (window.style & (WS_VISIBLE | WS_DISABLED));
            break;
        case GWL_EXSTYLE:
            previous = static_cast<LONG>(window.ex_style);
            window.ex_style = static_cast<DWORD>(value);
            break;
        case GWL_USERDATA:
            previous = std::exchange(window.user_data, value);
            break;
        case GWL_ID:
            previous = std::exchange(window.id, value);
            break;
        default:
            known = false;
        }
    });
    if (!found)
        return fail<LONG_PTR>(ERROR_INVALID_WINDOW_HANDLE, 0);
    if (!known)
        return fail<LONG_PTR>(ERROR_INVALID_PARAMETER, 0);
    return previous;
}

LONG GetWindowLong(HWND hwnd, int index)
{
    return static_cast<LONG>(GetWindowLongPtr(hwnd, index));
}

LONG SetWindowLong(HWND hwnd, int index, LONG value)
{
    if (index == GWL_WNDPROC) {
        // A procedure does not fit in 32 bits on this host: SetWindowLongPtr carries it.
        OutputDebugString(u"SetWindowLong: GWL_WNDPROC needs SetWindowLongPtr\r\n");
        return fail<LONG>(ERROR_INVALID_PARAMETER, 0);
    }
    return static_cast<LONG>(SetWindowLongPtr(hwnd, index, value));
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD process_id)
{
    DWORD thread = 0;
    DWORD process = 0;
    manager().with_window(hwnd, [&](Window& window) {
        thread = window.thread_id;
        process = window.process_id;
    });
    if (process_id)
        *process_id = process;
    return thread;
}

HWND SetForegroundWindow(HWND hwnd)
{
    if (!IsWindow(hwnd))
        return nullptr;
    manager().activate(hwnd, WA_ACTIVE);
    return hwnd;
}

HWND GetForegroundWindow()
{
    return manager().active_window();
}

HWND SetActiveWindow(HWND hwnd)
{
    if (!IsWindow(hwnd))
        return fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    return manager().activate(hwnd, WA_ACTIVE);
}

HWND GetActiveWindow()
{
    // The active window as the calling thread sees it: only its own.
    HWND active = manager().active_window();
    DWORD thread = active ? GetWindowThreadProcessId(active, nullptr) : 0;
    return thread == GetCurrentThreadId() ? active : nullptr;
}

HWND SetFocus(HWND hwnd)
{
    if (hwnd && !IsWindow(hwnd))
        return fail<HWND>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    return manager().set_focus(hwnd);
}

HWND GetFocus()
{
    return manager().focus();
}

HWND SetCapture(HWND hwnd)
{
    return manager().set_capture(hwnd);
}

BOOL ReleaseCapture()
{
    return manager().release_capture();
}

HWND GetCapture()
{
    return manager().capture();
}

HICON SetIcon(HWND hwnd, WPARAM kind, HICON icon)
{
    return reinterpret_cast<HICON>(SendMessage(hwnd, WM_SETICON, kind, reinterpret_cast<LPARAM>(icon)));
}

HWND GetDesktopWindow()
{
    // The desktop is not a window of ours; programs only use it as "no owner".
    return nullptr;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    if (!hwnd) {
        for (HWND top : manager().top_level_windows())
            manager().invalidate(top, nullptr, erase, true);
        return TRUE;
    }
    return manager().invalidate(hwnd, rect, erase, true) ? TRUE : refused();
}

BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    return manager().validate(hwnd, rect) ? TRUE : refused();
}

BOOL UpdateWindow(HWND hwnd)
{
    if (!IsWindow(hwnd))
        return refused();
    manager().update_window(hwnd, true);
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase)
{
    auto update = manager().peek_update_region(hwnd);
    if (!update)
        return refused();
    if (rect)
        *rect = update->bounds;
    if (update->rects.empty())
        return FALSE;
    if (erase && update->erase)
        erase_background(hwnd);
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags)
{
    if (region) {
        // FIXME: region objects belong to the drawing layer, which the window system cannot see; the
        // whole client area is meant.
        OutputDebugString(u"RedrawWindow: a region is taken as the whole window\r\n");
        rect = nullptr;
    }
    if (!IsWindow(hwnd))
        return refused();
    bool children = (flags & RDW_ALLCHILDREN) || !(flags & RDW_NOCHILDREN);
    if (flags & RDW_INVALIDATE)
        manager().invalidate(hwnd, rect, flags & RDW_ERASE, children);
    if (flags & RDW_VALIDATE)
        manager().validate(hwnd, rect);
    if (flags & RDW_NOERASE)
        manager().clear_erase(hwnd);
    if (flags & (RDW_ERASENOW | RDW_UPDATENOW)) {
        auto update = manager().peek_update_region(hwnd);
        if (update && update->erase && !update->rects.empty())
            erase_background(hwnd);
    }
    if (flags & RDW_UPDATENOW)
        manager().update_window(hwnd, children);
    return TRUE;
}

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL)
{
    if (!info || (bar != SB_HORZ && bar != SB_VERT))
        return 0;
    int position = 0;
    manager().with_window(hwnd, [&](Window& window) {
        auto& current = window.scroll[bar];
        if (info->fMask & SIF_RANGE) {
            current.nMin = info->nMin;
            current.nMax = info->nMax;
        }
        if (info->fMask & SIF_PAGE)
            current.nPage = info->nPage;
        if (info->fMask & SIF_POS)
            current.nPos = info->nPos;
        // The position stays where a page still fits.
        int last = current.nMax - std::max<int>(static_cast<int>(current.nPage) - 1, 0);
        current.nPos = std::clamp(current.nPos, current.nMin, std::max(current.nMin, last));
        position = current.nPos;
    });
    return position;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info)
{
    if (!info || (bar != SB_HORZ && bar != SB_VERT))
        return FALSE;
    return manager().with_window(hwnd, [&](Window& window) {
        auto& current = window.scroll[bar];
        UINT mask = info->fMask;
        if (mask & SIF_RANGE) {
            info->nMin = current.nMin;
            info->nMax = current.nMax;
        }
        if (mask & SIF_PAGE)
            info->nPage = current.nPage;
        if (mask & SIF_POS)
            info->nPos = current.nPos;
        if (mask & SIF_TRACKPOS)
            info->nTrackPos = current.nPos;
    });
}

int SetScrollPos(HWND hwnd, int bar, int position, BOOL redraw)
{
    int previous = GetScrollPos(hwnd, bar);
    SCROLLINFO info { sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, position, 0 };
    SetScrollInfo(hwnd, bar, &info, redraw);
    return previous;
}

int GetScrollPos(HWND hwnd, int bar)
{
    SCROLLINFO info { sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0 };
    GetScrollInfo(hwnd, bar, &info);
    return info.nPos;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minimum, int maximum, BOOL redraw)
{
    SCROLLINFO info { sizeof(SCROLLINFO), SIF_RANGE, minimum, maximum, 0, 0, 0 };
    SetScrollInfo(hwnd, bar, &info, redraw);
    return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, LPINT minimum, LPINT maximum)
{
    SCROLLINFO info { sizeof(SCROLLINFO), SIF_RANGE, 0, 0, 0, 0, 0 };
    if (!GetScrollInfo(hwnd, bar, &info))
        return FALSE;
    if (minimum)
        *minimum = info.nMin;
    if (maximum)
        *maximum = info.nMax;
    return TRUE;
}

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN:
        return WindowManager::screen_width;
    case SM_CYSCREEN:
        return WindowManager::screen_height;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 13;
    case SM_CYCAPTION:
        return 26;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 8;
    default:
        return 0;
    }
}

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom)
{
    if (!rect)
        return FALSE;
    *rect = { left, top, right, bottom };
    return TRUE;
}

BOOL SetRectEmpty(LPRECT rect)
{
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL CopyRect(LPRECT to, const RECT* from)
{
    if (!to || !from)
        return FALSE;
    *to = *from;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* rect)
{
    return !rect || Region::is_empty(*rect);
}

BOOL PtInRect(const RECT* rect, POINT point)
{
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    *rect = { rect->left + dx, rect->top + dy, rect->right + dx, rect->bottom + dy };
    return TRUE;
}

BOOL InflateRect(LPRECT rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    *rect = { rect->left - dx, rect->top - dy, rect->right + dx, rect->bottom + dy };
    return TRUE;
}

BOOL IntersectRect(LPRECT out, const RECT* a, const RECT* b)
{
    if (!out || !a || !b)
        return FALSE;
    *out = Region::intersection(*a, *b);
    return !Region::is_empty(*out);
}

BOOL UnionRect(LPRECT out, const RECT* a, const RECT* b)
{
    if (!out || !a || !b)
        return FALSE;
    if (Region::is_empty(*a)) {
        *out = *b;
    } else if (Region::is_empty(*b)) {
        *out = *a;
    } else {
        *out = { std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right), std::max(a->bottom, b->bottom) };
    }
    return !Region::is_empty(*out);
}

BOOL EqualRect(const RECT* a, const RECT* b)
{
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}
