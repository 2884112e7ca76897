#include "GwesTestKit.h"
#include "TouchInput.h"
#include "WindowManager.h"
#include "kernel/WideText.h"

#include <gtest/gtest.h>

using namespace kivo;
using namespace kivo::test;

using Windows = GwesTest;

TEST_F(Windows, FindWindowComparesTitlesWithoutCaseAndFindsHiddenWindows)
{
    register_recorder();
    register_recorder(0, u"HHTaskBar");
    HWND hidden = make_window(u"HubScreen", WS_POPUP, { 0, 0, 10, 10 });
    HWND untitled = make_window(u"", WS_POPUP, { 0, 0, 10, 10 }, nullptr, 0, u"HHTaskBar");
    HWND child = make_window(u"inner", WS_CHILD, { 0, 0, 5, 5 }, hidden);
    ASSERT_TRUE(hidden && untitled && child);

    struct Case {
        const char16_t* class_name;
        const char16_t* title;
        HWND expected;
    };
    const Case cases[] = {
        { nullptr, u"hubscreen", hidden },
        { nullptr, u"HUBSCREEN", hidden },
        { u"recorder", u"hubscreen", hidden },
        { u"HHTaskBar", nullptr, untitled },
        { u"HHTaskBar", u"", untitled },
        { u"Recorder", u"", nullptr },
        { nullptr, u"hub", nullptr },
        { nullptr, u"inner", nullptr },
    };
    for (auto& c : cases)
        EXPECT_EQ(FindWindow(c.class_name, c.title), c.expected) << to_utf8(c.title ? c.title : u"(none)");
    DestroyWindow(hidden);
    EXPECT_EQ(FindWindow(nullptr, u"hubscreen"), nullptr);
    EXPECT_FALSE(IsWindow(child));
}

TEST_F(Windows, TopMostWindowsStayAboveWindowsPutAtTheBottom)
{
    register_recorder();
    HWND overlay = make_window(u"overlay", WS_POPUP | WS_VISIBLE, { 0, 0, 200, 200 });
    HWND player = make_window(u"player", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    SetWindowPos(overlay, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetWindowPos(player, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // Activating the other window brings it to the top of its own band only.
    SetForegroundWindow(player);
    EXPECT_EQ(GetForegroundWindow(), player);
    EXPECT_EQ(WindowFromPoint({ 10, 10 }), overlay);
    EXPECT_EQ(WindowFromPoint({ 300, 10 }), player);
    SetWindowPos(overlay, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(player);
    EXPECT_EQ(WindowFromPoint({ 10, 10 }), player);
}

TEST_F(Windows, OwnedWindowsStayAboveTheirOwnerAndGoWithIt)
{
    register_recorder();
    HWND owner = make_window(u"owner", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    HWND owned = make_window(u"owned", WS_POPUP | WS_VISIBLE, { 10, 10, 100, 100 }, owner);
    HWND other = make_window(u"other", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    EXPECT_EQ(WindowFromPoint({ 20, 20 }), other);
    SetForegroundWindow(owner);
    EXPECT_EQ(WindowFromPoint({ 20, 20 }), owned);
    EXPECT_EQ(WindowFromPoint({ 200, 200 }), owner);
    EXPECT_EQ(GetParent(owned), owner);
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_EQ(log.count(owned, WM_DESTROY), 1u);
}

TEST_F(Windows, ActivationMovesOnWhenTheActiveWindowDiesOrHides)
{
    register_recorder();
    HWND first = make_window(u"first", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    HWND second = make_window(u"second", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    HWND third = make_window(u"third", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    ASSERT_EQ(GetForegroundWindow(), third);
    auto activations = [&](HWND hwnd) {
        std::vector<WORD> states;
        for (auto& seen : log.of(hwnd, WM_ACTIVATE))
            states.push_back(LOWORD(seen.wparam));
        return states;
    };
    EXPECT_EQ(activations(second), (std::vector<WORD> { WA_ACTIVE, WA_INACTIVE }));

    DestroyWindow(third);
    EXPECT_EQ(GetForegroundWindow(), second);
    EXPECT_EQ(activations(second).back(), WA_ACTIVE);
    EXPECT_EQ(activations(third).back(), WA_INACTIVE);

    ShowWindow(second, SW_HIDE);
    EXPECT_EQ(GetForegroundWindow(), first);
    EXPECT_EQ(activations(first).back(), WA_ACTIVE);
    EXPECT_EQ(log.count(second, WM_SHOWWINDOW), 2u);
}

TEST_F(Windows, UncoveringInvalidatesOnlyWhatWasCovered)
{
    register_recorder();
    std::vector<RECT> painted;
    log.on_message = [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_PAINT)
            return std::nullopt;
        RECT rect {};
        GetUpdateRect(hwnd, &rect, TRUE);
        painted.push_back(rect);
        ValidateRect(hwnd, nullptr);
        return 0;
    };
    HWND page = make_window(u"page", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    drain();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_TRUE(EqualRect(&painted[0], std::data({ RECT { 0, 0, 480, 272 } })));

    HWND warning = make_window(u"warning", WS_POPUP | WS_VISIBLE, { 80, 60, 400, 212 }, page);
    auto covered = device->component<WindowManager>().visible_region(page);
    long area = 0;
    for (auto& rect : covered)
        area += (rect.right - rect.left) * (rect.bottom - rect.top);
    EXPECT_EQ(area, 480 * 272 - 320 * 152);

    painted.clear();
    DestroyWindow(warning);
    drain();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_TRUE(EqualRect(&painted[0], std::data({ RECT { 80, 60, 400, 212 } })));
    // Erasing is asked for by uncovering and by InvalidateRect with erase, not without.
    EXPECT_EQ(log.count(page, WM_ERASEBKGND), 2u);
    InvalidateRect(page, std::data({ RECT { 0, 0, 10, 10 } }), FALSE);
    InvalidateRect(page, std::data({ RECT { 20, 0, 30, 10 } }), FALSE);
    drain();
    EXPECT_EQ(log.count(page, WM_ERASEBKGND), 2u);
    ASSERT_EQ(painted.size(), 2u);
    EXPECT_TRUE(EqualRect(&painted[1], std::data({ RECT { 0, 0, 30, 10 } })));
}

TEST_F(Windows, UpdateWindowPaintsAtOnceAndAnUnpaintedRegionIsNotRepeatedForEver)
{
    register_recorder();
    HWND window = make_window(u"w", WS_POPUP | WS_VISIBLE, { 0, 0, 100, 100 });
    // The recorder leaves WM_PAINT to the default handling, which counts it as painted.
    drain();
    EXPECT_EQ(log.count(window, WM_PAINT), 1u);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    EXPECT_EQ(log.count(window, WM_PAINT), 2u);
    drain();
    EXPECT_EQ(log.count(window, WM_PAINT), 2u);
}

// A parent's paint covers its children (without WS_CLIPCHILDREN), so a parent waiting to paint is
// painted before its descendants, whatever order they were invalidated in.
TEST_F(Windows, AParentWaitingToPaintIsPaintedBeforeItsChildren)
{
    register_recorder();
    HWND dialog = make_window(u"dialog", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    HWND panel = make_window(u"panel", WS_CHILD | WS_VISIBLE, { 0, 150, 480, 272 }, dialog);
    HWND button = make_window(u"button", WS_CHILD | WS_VISIBLE, { 390, 50, 453, 89 }, panel);
    HWND other = make_window(u"other", WS_POPUP | WS_VISIBLE, { 0, 0, 10, 10 });
    drain();

    struct Case {
        const char* name;
        std::vector<HWND> invalidated; // in this order; the dialog and the panel take their children along
        std::vector<HWND> painted;
    };
    const Case cases[] = {
        { "button, then its dialog", { button, dialog }, { dialog, panel, button } },
        { "button, another window, then the panel", { button, other, panel }, { panel, button, other } },
        { "button alone", { button }, { button } },
        { "dialog alone", { dialog }, { dialog, panel, button } },
    };
    for (auto& c : cases) {
        log.seen.clear();
        for (HWND hwnd : c.invalidated)
            InvalidateRect(hwnd, nullptr, FALSE);
        drain();
        std::vector<HWND> painted;
        for (auto& seen : log.seen) {
            if (seen.message == WM_PAINT)
                painted.push_back(seen.hwnd);
        }
        EXPECT_EQ(painted, c.painted) << c.name;
    }

    // Asked for by window, a child is still handed out before its waiting parent.
    InvalidateRect(button, nullptr, FALSE);
    InvalidateRect(dialog, nullptr, FALSE);
    MSG message {};
    ASSERT_TRUE(PeekMessage(&message, button, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    EXPECT_EQ(message.hwnd, button);
    ASSERT_TRUE(PeekMessage(&message, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    EXPECT_EQ(message.hwnd, dialog);
    drain();
}

using Input = GwesTest;

TEST_F(Input, ATapReachesTheTopmostWindowUnderThePointAndActivatesIt)
{
    register_recorder();
    auto& touch = device->component<TouchInput>();
    HWND back = make_window(u"back", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    HWND front = make_window(u"front", WS_POPUP | WS_VISIBLE, { 100, 50, 300, 150 });
    HWND button = make_window(u"", WS_CHILD | WS_VISIBLE, { 10, 10, 60, 40 }, front);
    HWND label = make_window(u"label", WS_CHILD | WS_VISIBLE, { 0, 0, 480, 30 }, back, 0, WC_STATIC);
    drain();

    touch.tap(120, 70);
    drain();
    auto down = log.of(button, WM_LBUTTONDOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(down[0].lparam), 10);
    EXPECT_EQ(GET_Y_LPARAM(down[0].lparam), 10);
    EXPECT_EQ(log.count(front, WM_LBUTTONDOWN), 0u);

    // The window below is activated by the tap, before the button message.
    touch.tap(20, 20);
    drain();
    auto activate = log.of(back, WM_ACTIVATE);
    ASSERT_FALSE(activate.empty());
    EXPECT_EQ(LOWORD(activate.back().wparam), WA_CLICKACTIVE);
    EXPECT_EQ(GetForegroundWindow(), back);
    // A plain label lets the tap through to its parent.
    EXPECT_EQ(log.count(back, WM_LBUTTONDOWN), 1u);
    EXPECT_EQ(log.count(label, WM_LBUTTONDOWN), 0u);
    EXPECT_EQ(WindowFromPoint({ 120, 70 }), back);
}

TEST_F(Input, ADragKeepsTheCaptureOutsideTheWindow)
{
    register_recorder();
    auto& touch = device->component<TouchInput>();
    HWND slider = make_window(u"slider", WS_POPUP | WS_VISIBLE, { 100, 100, 200, 120 });
    HWND other = make_window(u"other", WS_POPUP | WS_VISIBLE, { 300, 0, 480, 272 });
    SetWindowPos(slider, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    log.on_message = [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_LBUTTONDOWN)
            SetCapture(hwnd);
        if (message == WM_LBUTTONUP)
            ReleaseCapture();
        return std::nullopt;
    };
    touch.press(110, 110);
    drain();
    touch.move(350, 10);
    touch.release(350, 10);
    drain();
    auto moves = log.of(slider, WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lparam), 250);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lparam), -90);
    EXPECT_EQ(moves[0].wparam, MK_LBUTTON);
    EXPECT_EQ(log.count(slider, WM_LBUTTONUP), 1u);
    EXPECT_EQ(log.count(other, WM_MOUSEMOVE), 0u);
    EXPECT_EQ(GetCapture(), nullptr);
    // Without the capture, input goes by the point again.
    touch.tap(350, 10);
    drain();
    EXPECT_EQ(log.count(other, WM_LBUTTONDOWN), 1u);
}

TEST_F(Input, ADoubleTapIsADoubleClickOnlyWhereTheClassAsksForIt)
{
    register_recorder();
    register_recorder(CS_DBLCLKS, u"Clicky");
    auto& touch = device->component<TouchInput>();
    HWND plain = make_window(u"plain", WS_POPUP | WS_VISIBLE, { 0, 0, 200, 272 });
    HWND clicky = make_window(u"clicky", WS_POPUP | WS_VISIBLE, { 200, 0, 480, 272 }, nullptr, 0, u"Clicky");
    struct Case {
        HWND window;
        POINT first;
        POINT second;
        uint64_t pause_ms;
        size_t double_clicks;
    };
    const Case cases[] = {
        { plain, { 50, 50 }, { 50, 50 }, 100, 0 },
        { clicky, { 250, 50 }, { 252, 51 }, 100, 1 },
        { clicky, { 250, 50 }, { 250, 50 }, 600, 0 },
        { clicky, { 250, 50 }, { 270, 50 }, 100, 0 },
    };
    for (auto& c : cases) {
        log.seen.clear();
        device->advance(1000);
        touch.tap(c.first.x, c.first.y);
        device->advance(c.pause_ms);
        touch.tap(c.second.x, c.second.y);
        drain();
        EXPECT_EQ(log.count(c.window, WM_LBUTTONDBLCLK), c.double_clicks);
        EXPECT_EQ(log.count(c.window, WM_LBUTTONDOWN), 2 - c.double_clicks);
    }
}

TEST_F(Input, AMouseMoveNotYetReadTakesTheNewPositionSoADragNeverFloodsTheQueue)
{
    HWND window = nullptr;
    HANDLE go = CreateEvent(nullptr, FALSE, FALSE, u"go");
    start(u"\\drag.exe", [&] {
        register_recorder();
        window = make_window(u"map", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
        HANDLE event = CreateEvent(nullptr, FALSE, FALSE, u"go");
        WaitForSingleObject(event, INFINITE);
        CloseHandle(event);
        return pump();
    });
    device->run_until_idle();
    auto& touch = device->component<TouchInput>();
    touch.press(10, 10);
    // Far more moves than a queue holds, while the window reads nothing.
    for (int i = 0; i < 20'000; ++i)
        touch.move(10 + i % 400, 20);
    touch.release(409, 20);
    touch.move(100, 100);
    touch.move(120, 110);
    SetEvent(go);
    device->run_until_idle();
    std::vector<std::pair<UINT, LPARAM>> seen;
    for (auto& entry : log.seen) {
        if (entry.hwnd == window && (entry.message == WM_LBUTTONDOWN || entry.message == WM_MOUSEMOVE || entry.message == WM_LBUTTONUP))
            seen.push_back({ entry.message, entry.lparam });
    }
    std::vector<std::pair<UINT, LPARAM>> expected { { WM_LBUTTONDOWN, MAKELPARAM(10, 10) }, { WM_MOUSEMOVE, MAKELPARAM(409, 20) },
        { WM_LBUTTONUP, MAKELPARAM(409, 20) }, { WM_MOUSEMOVE, MAKELPARAM(120, 110) } };
    EXPECT_EQ(seen, expected);
    CloseHandle(go);
}

TEST_F(Input, TheCursorsProgramsSetAreRecorded)
{
    HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    ASSERT_NE(wait, arrow);
    SetCursor(wait);
    SetCursor(arrow);
    EXPECT_EQ(GetCursor(), arrow);
    EXPECT_EQ(device->component<WindowManager>().cursor_history(), (std::vector<HCURSOR> { wait, arrow }));
    SetCursorPos(12, 34);
    POINT point {};
    GetCursorPos(&point);
    EXPECT_EQ(point.x, 12);
    EXPECT_EQ(point.y, 34);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 480);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 272);
}
