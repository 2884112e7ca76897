// The window system's message, timer, cursor and message box calls.

#include "DrawingCalls.h"
#include "GwesApi.h"
#include "MessageBoxes.h"
#include "WindowManager.h"
#include "kernel/Device.h"
#include "kernel/KernelApi.h"
#include "kernel/SimThread.h"

#include <algorithm>
#include <utility>

using namespace kivo;

namespace {

WindowManager& manager()
{
    return WindowManager::current();
}

MessageRouter& router()
{
    return WindowManager::current().router();
}

constexpr uintptr_t system_cursor_base = 0x7F00;

} // namespace

UINT RegisterWindowMessage(LPCWSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT number = router().register_message(name);
    if (!number)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return number;
}

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    DWORD error = 0;
    if (!router().post(hwnd, message, wparam, lparam, error)) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL PostThreadMessage(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam)
{
    DWORD error = 0;
    if (!router().post_thread(thread_id, message, wparam, lparam, error)) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

LRESULT SendMessageTimeout(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT, UINT timeout, PDWORD_PTR result)
{
    if (hwnd == HWND_BROADCAST) {
        for (HWND top : manager().top_level_windows())
            SendMessageTimeout(top, message, wparam, lparam, 0, timeout, nullptr);
        return TRUE;
    }
    LRESULT answer = 0;
    DWORD error = 0;
    auto outcome = router().send(hwnd, message, wparam, lparam, timeout, answer, error);
    if (outcome != MessageRouter::SendOutcome::Answered) {
        SetLastError(error);
        return 0;
    }
    if (result)
        *result = static_cast<DWORD_PTR>(answer);
    return TRUE;
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (hwnd == HWND_BROADCAST) {
        for (HWND top : manager().top_level_windows())
            SendMessage(top, message, wparam, lparam);
        return 0;
    }
    LRESULT answer = 0;
    DWORD error = 0;
    if (router().send(hwnd, message, wparam, lparam, std::nullopt, answer, error) != MessageRouter::SendOutcome::Answered) {
        SetLastError(error);
        return 0;
    }
    return answer;
}

BOOL SendNotifyMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_COPYDATA) {
        OutputDebugString(u"SendNotifyMessage: WM_COPYDATA refused; it needs a waiting send\r\n");
        SetLastError(ERROR_MESSAGE_SYNC_ONLY);
        return FALSE;
    }
    DWORD error = 0;
    if (!router().notify(hwnd, message, wparam, lparam, error)) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL GetMessage(LPMSG message, HWND hwnd, UINT filter_min, UINT filter_max)
{
    MSG result {};
    switch (router().fetch(result, hwnd, filter_min, filter_max, true, true)) {
    case MessageRouter::Fetch::Message:
        *message = result;
        // A WM_QUIT posted like any other message ends the loop as PostQuitMessage's does.
        return result.message == WM_QUIT ? FALSE : TRUE;
    case MessageRouter::Fetch::Quit:
        *message = result;
        return FALSE;
    case MessageRouter::Fetch::Empty:
    case MessageRouter::Fetch::Failed:
        break;
    }
    SetLastError(ERROR_INVALID_FUNCTION);
    return -1;
}

BOOL PeekMessage(LPMSG message, HWND hwnd, UINT filter_min, UINT filter_max, UINT remove)
{
    MSG result {};
    auto fetched = router().fetch(result, hwnd, filter_min, filter_max, false, remove & PM_REMOVE);
    if (fetched == MessageRouter::Fetch::Message || fetched == MessageRouter::Fetch::Quit) {
        *message = result;
        return TRUE;
    }
    // A loop of empty peeks is polling: let the clock move.
    auto& thread = *SimThread::current();
    thread.device().scheduler().note_clock_read(thread);
    return FALSE;
}

BOOL TranslateMessage(const MSG* message)
{
    // The device has no keyboard layout to translate with; key messages pass as they are.
    return message && (message->message == WM_KEYDOWN || message->message == WM_KEYUP);
}

LRESULT DispatchMessage(const MSG* message)
{
    if (!message)
        return 0;
    return router().dispatch(*message);
}

void PostQuitMessage(int exit_code)
{
    router().post_quit(exit_code);
}

BOOL InSendMessage()
{
    return router().in_send();
}

DWORD GetMessagePos()
{
    POINT point = router().last_message().pt;
    return MAKELONG(static_cast<WORD>(point.x), static_cast<WORD>(point.y));
}

LONG GetMessageTime()
{
    return static_cast<LONG>(router().last_message().time);
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    return proc ? proc(hwnd, message, wparam, lparam) : 0;
}

LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_SETTEXT: {
        auto* text = reinterpret_cast<LPCWSTR>(lparam);
        return manager().set_text(hwnd, text ? std::u16string(text) : std::u16string());
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lparam);
        int max_count = static_cast<int>(wparam);
        int count = 0;
        manager().with_window(hwnd, [&](Window& window) {
            if (!buffer || max_count <= 0)
                return;
            count = std::min<int>(static_cast<int>(window.title.size()), max_count - 1);
            std::copy_n(window.title.begin(), count, buffer);
            buffer[count] = 0;
        });
        return count;
    }
    case WM_GETTEXTLENGTH: {
        size_t length = 0;
        manager().with_window(hwnd, [&](Window& window) { length = window.title.size(); });
        return static_cast<LRESULT>(length);
    }
    case WM_PAINT: {
        // As BeginPaint and EndPaint would: a background that is due is erased, and what was
        // invalid counts as painted.
        auto painter = manager().painter();
        PAINTSTRUCT paint {};
        if (painter.calls && painter.calls->begin_paint(hwnd, &paint))
            painter.calls->end_paint(hwnd, &paint);
        manager().validate(hwnd, nullptr);
        return 0;
    }
    case WM_ERASEBKGND: {
        // The class brush fills the background; without one the window erases nothing.
        HBRUSH brush = nullptr;
        manager().with_window(hwnd, [&](Window& window) {
            if (window.window_class)
                brush = window.window_class->background;
        });
        auto painter = manager().painter();
        if (!brush || !wparam || !painter.fill_background)
            return 0;
        painter.fill_background(reinterpret_cast<HDC>(wparam), hwnd, brush);
        return 1;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SETICON: {
        HICON previous = nullptr;
        manager().with_window(hwnd, [&](Window& window) {
            auto& slot = window.icons[wparam == ICON_SMALL ? 0 : 1];
            previous = std::exchange(slot, reinterpret_cast<HICON>(lparam));
        });
        return reinterpret_cast<LRESULT>(previous);
    }
    default:
        return 0;
    }
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    DWORD error = 0;
    UINT_PTR result = router().set_timer(hwnd, id, elapse, proc, error);
    if (!result)
        SetLastError(error);
    return result;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    if (!router().kill_timer(hwnd, id)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

HCURSOR LoadCursor(HINSTANCE instance, LPCWSTR name)
{
    auto id = reinterpret_cast<uintptr_t>(name);
    if (!instance && id >= system_cursor_base && id <= 0xFFFF)
        return reinterpret_cast<HCURSOR>(id);
    // FIXME: programs' own cursor resources; none of the suite's programs has one.
    OutputDebugString(u"LoadCursor: only the system's cursors are known\r\n");
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    return manager().set_cursor(cursor);
}

HCURSOR GetCursor()
{
    return manager().cursor();
}

BOOL SetCursorPos(int x, int y)
{
    manager().set_cursor_pos({ x, y });
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point)
{
    if (!point)
        return FALSE;
    *point = manager().cursor_pos();
    return TRUE;
}

UINT GetDoubleClickTime()
{
    return 500;
}

int MessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    return Device::current().component<MessageBoxes>().run(owner, text ? text : u"", caption ? caption : u"Error", type);
}

BOOL MessageBeep(UINT type)
{
    Device::current().component<MessageBoxes>().beep(type);
    return TRUE;
}
