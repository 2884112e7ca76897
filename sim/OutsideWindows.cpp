#include "OutsideWindows.h"

#include "Device.h"
#include "MessageNames.h"
#include "WideText.h"
#include "platform.h"

#include <algorithm>
#include <memory>

namespace kivo {

namespace {

constexpr const char16_t* outside_class = u"KivoOutsideWindow";

std::u16string title_of(HWND window)
{
    WCHAR title[256] = {};
    GetWindowText(window, title, 256);
    return title;
}

// A registered message by the suite's name for it, written as the script would name it.
void write_registered(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    // Registered numbers lie at 0xC000 and above.
    if (message < 0xC000 || message > 0xFFFF)
        return;
    for (const char* name : registered_message_names()) {
        if (RegisterWindowMessage(to_utf16(name).c_str()) != message)
            continue;
        std::string line = "outside " + to_utf8(title_of(window)) + ": " + name + " " + std::to_string(wparam) + " "
            + std::to_string(lparam) + "\r\n";
        OutputDebugString(to_utf16(line).c_str());
        return;
    }
}

LRESULT CALLBACK outside_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    write_registered(window, message, wparam, lparam);
    // The window's own life (creation, painting, activation) is not what a script asks about.
    if (message >= WM_USER || message == WM_CLOSE || message == WM_QUIT || message == WM_COPYDATA || message == WM_COMMAND)
        Device::current().component<OutsideWindows>().record({ title_of(window), message, wparam, lparam });
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProc(window, message, wparam, lparam);
}

DWORD run_outside_window(LPVOID parameter)
{
    std::unique_ptr<std::u16string> title(static_cast<std::u16string*>(parameter));
    WNDCLASS window_class {};
    window_class.lpfnWndProc = outside_window;
    window_class.lpszClassName = outside_class;
    RegisterClass(&window_class); // already there for the second window: that is fine
    // Hidden and empty: only its presence and what it receives matter to the programs.
    if (!CreateWindowEx(0, outside_class, title->c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr))
        return 1;
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0))
        DispatchMessage(&message);
    return 0;
}

} // namespace

OutsideWindows::OutsideWindows(Device& device)
{
    m_received.follow(device.trace_limit());
}

bool OutsideWindows::open(Device& device, const std::u16string& title)
{
    // The thread owns the copy of the title from here on.
    auto owned_title = std::make_unique<std::u16string>(title);
    HANDLE thread = CreateThread(nullptr, 0, run_outside_window, owned_title.get(), 0, nullptr);
    if (!thread)
        return false;
    owned_title.release();
    CloseHandle(thread);
    device.run_until_idle();
    return FindWindow(outside_class, title.c_str()) != nullptr;
}

HWND OutsideWindows::find(const std::u16string& title)
{
    return FindWindow(outside_class, title.c_str());
}

bool OutsideWindows::close(Device& device, const std::u16string& title)
{
    HWND window = FindWindow(outside_class, title.c_str());
    if (!window || title == listener_title)
        return false;
    PostMessage(window, WM_CLOSE, 0, 0);
    device.run_until_idle();
    return true;
}

bool OutsideWindows::listen_for_broadcasts(Device& device)
{
    std::u16string title(listener_title);
    return FindWindow(outside_class, title.c_str()) || open(device, title);
}

void OutsideWindows::record(Received received)
{
    std::lock_guard guard(m_lock);
    m_received.append(std::move(received));
}

std::optional<uint64_t> OutsideWindows::find(uint64_t from, const std::function<bool(const Received&)>& matches) const
{
    std::lock_guard guard(m_lock);
    for (uint64_t n = std::max(from, m_received.first_sequence()); n < m_received.end_sequence(); ++n) {
        if (matches(m_received.at(n)))
            return n;
    }
    return std::nullopt;
}

} // namespace kivo
