#include "NavigationStandIn.h"

#include "Device.h"
#include "KivoNotify.h"
#include "Process.h"
#include "platform.h"

#include <array>

namespace kivo {

namespace {

constexpr const char16_t* navigation_class = u"CorvaneMapWnd";
// The component's request to the window, so that the codes leave from the navigation's own thread.
constexpr UINT post_request = WM_APP + 100;

struct NavigationState {
    // The dial block lives as long as the program, as the home screen reads it after the post.
    std::array<char16_t, 32> number {};
    COPYDATASTRUCT dial {};
};

ProcessLocal<NavigationState> s_state;

void paint_map(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    auto fill = [dc](RECT rect, COLORREF colour) {
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    };
    fill({ 0, 0, 480, 272 }, RGB(232, 226, 200));    // land
    fill({ 300, 0, 480, 90 }, RGB(150, 200, 240));   // a lake
    fill({ 40, 170, 180, 250 }, RGB(170, 214, 150)); // a park
    fill({ 0, 120, 480, 134 }, RGB(255, 255, 255));  // the main road
    fill({ 210, 0, 222, 272 }, RGB(255, 210, 90));   // the crossing road
    fill({ 0, 40, 300, 46 }, RGB(255, 255, 255));    // a side street
    fill({ 208, 118, 224, 136 }, RGB(208, 32, 32));  // where the car is
    fill({ 0, 0, 480, 24 }, RGB(16, 40, 72));        // the title band
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT title { 8, 2, 472, 22 };
    DrawText(dc, u"Corvane-RXM navigation", -1, &title, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    RECT close = NavigationStandIn::close_corner;
    fill(close, RGB(160, 40, 40));
    DrawText(dc, u"X", -1, &close, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(window, &paint);
}

void post_code(WPARAM code, LPARAM value)
{
    HWND home = FindWindow(nullptr, HOME_WINDOW_TITLE);
    if (!home)
        return;
    if (code == APP_NAVI_DIAL) {
        auto& state = *s_state;
        std::u16string_view number = NavigationStandIn::dial_number;
        std::copy(number.begin(), number.end(), state.number.begin());
        state.dial.dwData = NavigationStandIn::dial_data_kind;
        state.dial.cbData = static_cast<DWORD>((number.size() + 1) * sizeof(char16_t));
        state.dial.lpData = state.number.data();
        value = reinterpret_cast<LPARAM>(&state.dial);
    }
    PostMessage(home, WM_KIVO_NOTIFY, code, value);
}

LRESULT CALLBACK navigation_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_PAINT:
        paint_map(window);
        return 0;
    case WM_KIVO_NOTIFY:
        Device::current().component<NavigationStandIn>().record(wparam, lparam);
        NKDbgPrintfW(u"navigation: received code %d (%d)\r\n", static_cast<int>(wparam), static_cast<int>(lparam));
        return 0;
    case post_request:
        post_code(wparam, lparam);
        return 0;
    case WM_LBUTTONUP: {
        // The way back to the home screen: the program ends as through its own exit.
        POINT point { GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam) };
        if (PtInRect(&NavigationStandIn::close_corner, point))
            DestroyWindow(window);
        return 0;
    }
    case WM_DESTROY:
        // As the real program does, it tells the home screen that it has closed.
        if (HWND home = FindWindow(nullptr, HOME_WINDOW_TITLE))
            PostMessage(home, WM_KIVO_NOTIFY, APP_CLOSED, APPID_NAVI);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProc(window, message, wparam, lparam);
    }
}

int navigation_main(std::u16string_view)
{
    WNDCLASS window_class {};
    window_class.lpfnWndProc = navigation_window;
    window_class.lpszClassName = navigation_class;
    RegisterClass(&window_class);
    HWND window = CreateWindowEx(0, navigation_class, NAVI_WINDOW_TITLE, WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr, nullptr, nullptr);
    if (!window)
        return 1;
    OutputDebugString(u"navigation: map shown\r\n");
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0))
        DispatchMessage(&message);
    return 0;
}

} // namespace

void register_navigation(Device& device)
{
    device.programs().add(navigation_image_path, navigation_main);
}

bool NavigationStandIn::post_to_home(WPARAM code, LPARAM value)
{
    if (code != APP_NAVI_VOICE && code != APP_NAVI_ROUTE && code != APP_NAVI_DIAL && code != APP_SHOW_NAVI)
        return false;
    HWND window = FindWindow(navigation_class, NAVI_WINDOW_TITLE);
    return window && PostMessage(window, post_request, code, value);
}

NavigationStandIn::NavigationStandIn(Device& device)
{
    m_received.follow(device.trace_limit());
}

std::vector<std::pair<WPARAM, LPARAM>> NavigationStandIn::received() const
{
    std::lock_guard lock(m_lock);
    return m_received.all();
}

void NavigationStandIn::record(WPARAM code, LPARAM value)
{
    std::lock_guard lock(m_lock);
    m_received.append({ code, value });
}

} // namespace kivo
