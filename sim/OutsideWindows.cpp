#include "OutsideWindows.h"

#include "Device.h"
#include "platform.h"

#include <memory>

namespace kivo {

namespace {

constexpr const char16_t* outside_class = u"KivoOutsideWindow";

LRESULT CALLBACK outside_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
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
    // Hidden and empty: only its presence matters to the programs.
    if (!CreateWindowEx(0, outside_class, title->c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr))
        return 1;
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0))
        DispatchMessage(&message);
    return 0;
}

} // namespace

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
    return FindWindow(nullptr, title.c_str()) != nullptr;
}

bool OutsideWindows::close(Device& device, const std::u16string& title)
{
    HWND window = FindWindow(outside_class, title.c_str());
    if (!window)
        return false;
    PostMessage(window, WM_CLOSE, 0, 0);
    device.run_until_idle();
    return true;
}

} // namespace kivo
