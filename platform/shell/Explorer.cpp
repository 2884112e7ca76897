#include "Explorer.h"

#include "Device.h"
#include "platform.h"

namespace kivo {

namespace {

constexpr const char16_t* desktop_class = u"DesktopExplorerWnd";
constexpr COLORREF desktop_colour = RGB(0, 78, 152);

LRESULT CALLBACK desktop_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT all { 0, 0, 480, 272 };
        HBRUSH brush = CreateSolidBrush(desktop_colour);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProc(window, message, wparam, lparam);
    }
}

int explorer_main(std::u16string_view)
{
    WNDCLASS window_class {};
    window_class.lpfnWndProc = desktop_window;
    window_class.lpszClassName = desktop_class;
    RegisterClass(&window_class);
    std::u16string title(explorer_window_title);
    HWND window = CreateWindowEx(0, desktop_class, title.c_str(), WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr, nullptr, nullptr);
    if (!window)
        return 1;
    OutputDebugString(u"explorer: desktop shown\r\n");
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0))
        DispatchMessage(&message);
    return 0;
}

} // namespace

void register_explorer(Device& device)
{
    device.programs().add(explorer_image_path, explorer_main);
}

} // namespace kivo
