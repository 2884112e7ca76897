#include "DemoProgram.h"

#include "Device.h"
#include "Gdi.h"
#include "Process.h"
#include "WideText.h"
#include "platform.h"

namespace kivo {

namespace {

constexpr UINT picture_id = 101;
constexpr int button_id = 1001;
constexpr UINT clock_timer = 1;
constexpr RECT button_rect { 300, 200, 440, 248 };
constexpr RECT clock_rect { 20, 200, 280, 248 };
constexpr COLORREF background = RGB(11, 35, 60);

struct DemoState {
    int taps = 0;
    HFONT title_font = nullptr;
    HFONT text_font = nullptr;
};

ProcessLocal<DemoState> s_state;

void add_resources()
{
    auto& resources = Device::current().component<Gdi>().resources(GetModuleHandle(nullptr));
    resources.add_bitmap(picture_id, 96, 64, [](BitmapCanvas& canvas) {
        using Palette = BitmapCanvas::Palette;
        canvas.fill(BitmapCanvas::transparent_key);
        canvas.fill_round_rect({ 0, 0, 96, 64 }, 10, Palette::panel_light);
        canvas.frame_rect({ 4, 4, 92, 60 }, Palette::frame, 2);
        canvas.arrow({ 14, 18, 42, 46 }, BitmapCanvas::Direction::Right, Palette::highlight);
        canvas.label({ 44, 18, 92, 46 }, u"kivo", Palette::white, 18, true);
    });
}

void paint(HWND window)
{
    auto& state = *s_state;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT all { 0, 0, 480, 272 };
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &all, brush);
    DeleteObject(brush);

    HBITMAP picture = LoadBitmap(reinterpret_cast<HINSTANCE>(GetModuleHandle(nullptr)), MAKEINTRESOURCE(picture_id));
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, picture);
    TransparentImage(dc, 20, 20, 96, 64, memory, 0, 0, 96, 64, BitmapCanvas::transparent_key);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(picture);

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    HGDIOBJ font = SelectObject(dc, state.title_font);
    RECT title { 130, 20, 470, 52 };
    DrawText(dc, u"kivo simulated device", -1, &title, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, state.text_font);
    RECT english { 130, 56, 470, 84 };
    DrawText(dc, u"Navigation, television, phone and media", -1, &english, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    RECT chinese { 130, 88, 470, 116 };
    SetTextColor(dc, RGB(255, 176, 32));
    DrawText(dc, u"导航 · 电视 · 电话 · 媒体", -1, &chinese, DT_LEFT | DT_VCENTER | DT_SINGLELINE);

    SetTextColor(dc, RGB(255, 255, 255));
    std::u16string taps = format_wide(u"Button taps: %d", state.taps);
    RECT taps_rect { 20, 140, 470, 170 };
    DrawText(dc, taps.c_str(), -1, &taps_rect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::u16string clock = format_wide(u"%04d-%02d-%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    RECT clock_area = clock_rect;
    DrawText(dc, clock.c_str(), -1, &clock_area, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, font);
    EndPaint(window, &paint);
}

LRESULT CALLBACK demo_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto& state = *s_state;
    switch (message) {
    case WM_CREATE:
        CreateWindowEx(0, u"BUTTON", u"Tap me", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, button_rect.left, button_rect.top,
            button_rect.right - button_rect.left, button_rect.bottom - button_rect.top, window,
            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(button_id)), nullptr, nullptr);
        SetTimer(window, clock_timer, 1000, nullptr);
        return 0;
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_TIMER: {
        RECT clock_area = clock_rect;
        InvalidateRect(window, &clock_area, FALSE);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == button_id && HIWORD(wparam) == BN_CLICKED) {
            ++state.taps;
            NKDbgPrintfW(u"demo: button tapped %d\r\n", state.taps);
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case WM_DESTROY:
        KillTimer(window, clock_timer);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProc(window, message, wparam, lparam);
    }
}

int demo_main(std::u16string_view)
{
    add_resources();
    auto& state = *s_state;
    state.title_font = CreateFont(24, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
    state.text_font = CreateFont(18, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
    WNDCLASS window_class {};
    window_class.lpfnWndProc = demo_window;
    window_class.lpszClassName = u"KivoDemo";
    RegisterClass(&window_class);
    HWND window = CreateWindowEx(0, u"KivoDemo", u"demo", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 480, 272, nullptr, nullptr, nullptr, nullptr);
    if (!window)
        return 1;
    OutputDebugString(u"demo: started\r\n");
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessage(&message);
    }
    DeleteObject(state.title_font);
    DeleteObject(state.text_font);
    return 0;
}

} // namespace

void register_demo_program(Device& device)
{
    device.programs().add(demo_image_path, demo_main);
}

} // namespace kivo
