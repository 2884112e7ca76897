#include "Device.h"
#include "GdiTest.h"
#include "TestDevice.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace kivo;
using namespace kivo::test;

namespace {

struct MoveAndRead {
    std::atomic<HWND> window = nullptr;
    std::atomic<bool> reading = true;
    std::atomic<int> torn = 0;
    std::atomic<int> reads = 0;
};

MoveAndRead* g_run = nullptr;

} // namespace

// On the real clock a window's context is made while the window's own thread moves it: where the
// context draws (its origin) and what it may paint (the visible region) must come from the same
// instant, or it paints beside the window.
TEST(WindowContexts, OriginAndVisibleRegionComeFromOneInstantWhileTheWindowMoves)
{
    auto device = make_test_device({ .mode = ClockMode::Real });
    MoveAndRead run;
    g_run = &run;
    device->programs().add(u"\\mover.exe", [](std::u16string_view) {
        // The controller has finished starting this process before its threads begin.
        HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
        WaitForSingleObject(go, INFINITE);
        CloseHandle(go);
        WNDCLASS description {};
        description.lpfnWndProc = DefWindowProc;
        description.lpszClassName = u"Plain";
        RegisterClass(&description);
        HWND window = CreateWindowEx(0, u"Plain", u"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        g_run->window = window;
        HANDLE reader = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                for (int i = 0; i < 20'000; ++i) {
                    HDC dc = GetDC(g_run->window);
                    RECT box {};
                    GetClipBox(dc, &box);
                    ReleaseDC(g_run->window, dc);
                    // Both places show the whole window.
                    if (box.left != 0 || box.top != 0 || box.right != 100 || box.bottom != 100)
                        ++g_run->torn;
                    ++g_run->reads;
                }
                g_run->reading = false;
                return 0;
            },
            nullptr, 0, nullptr);
        for (int x = 0; g_run->reading; x = 200 - x)
            MoveWindow(window, x, 0, 100, 100, FALSE);
        WaitForSingleObject(reader, INFINITE);
        CloseHandle(reader);
        DestroyWindow(window);
        return 0;
    });
    PROCESS_INFORMATION info {};
    WCHAR none[] = u"";
    HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
    ASSERT_TRUE(CreateProcess(u"\\mover.exe", none, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 120'000), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    CloseHandle(go);
    EXPECT_EQ(run.reads, 20'000);
    EXPECT_EQ(run.torn, 0);
    g_run = nullptr;
}

// A dialog whose button shows itself and then the dialog invalidates the whole page: the page
// paints first and the button last, so the button stays on the screen.
TEST_F(GdiTest, AChildInvalidatedWithItsParentIsPaintedOverIt)
{
    WNDCLASS description {};
    description.lpfnWndProc = fill_with_own_colour;
    description.lpszClassName = u"Filled";
    RegisterClass(&description);
    auto make = [](DWORD style, RECT r, HWND parent, COLORREF colour) {
        HWND hwnd = CreateWindowEx(0, u"Filled", u"", style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent, nullptr,
            nullptr, nullptr);
        SetWindowLong(hwnd, GWL_USERDATA, static_cast<LONG>(colour));
        return hwnd;
    };
    const COLORREF page_colour = RGB(0, 0, 255);
    const COLORREF button_colour = RGB(0, 255, 0);
    HWND page = make(WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 }, nullptr, page_colour);
    HWND button = make(WS_CHILD, { 390, 200, 453, 239 }, page, button_colour);
    MSG message {};
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessage(&message);

    ShowWindow(button, SW_SHOW);
    InvalidateRect(page, nullptr, FALSE);
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessage(&message);
    EXPECT_EQ(pixels_not({ 390, 200, 453, 239 }, button_colour), 0);
    EXPECT_EQ(pixels_not({ 0, 0, 390, 272 }, page_colour), 0);
    DestroyWindow(page);
}
