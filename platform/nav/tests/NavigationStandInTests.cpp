#include "../../kernel/tests/TestDevice.h"
#include "../../kernel/tests/WindowProgram.h"
#include "Explorer.h"
#include "KivoNotify.h"
#include "NavigationStandIn.h"
#include "TouchInput.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

struct Received {
    UINT message;
    WPARAM code;
    LPARAM value;
    // What a dial block pointed to, read while the message was handled.
    std::u16string dial_text;
    ULONG_PTR dial_kind = 0;
};

std::vector<Received> g_home_received;

LRESULT CALLBACK fake_home_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_KIVO_NOTIFY) {
        Received received { message, wparam, lparam, {}, 0 };
        if (wparam == APP_NAVI_DIAL && lparam) {
            auto* dial = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
            received.dial_kind = dial->dwData;
            received.dial_text.assign(static_cast<const char16_t*>(dial->lpData), dial->cbData / sizeof(char16_t) - 1);
        }
        g_home_received.push_back(received);
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProc(window, message, wparam, lparam);
}

// A home screen that only notes what reaches it.
int fake_home(std::u16string_view)
{
    return kivo::test::run_window_program(u"FakeHome", fake_home_window, HOME_WINDOW_TITLE, WS_POPUP, { 0, 0, 480, 272 });
}

class NavigationTest : public ::testing::Test {
protected:
    NavigationTest()
    {
        g_home_received.clear();
        register_navigation(*device);
        register_explorer(*device);
        device->programs().add(u"\\NAND\\FakeHome.exe", fake_home);
    }

    bool start(std::u16string_view image)
    {
        PROCESS_INFORMATION info {};
        std::u16string path(image);
        if (!CreateProcess(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info))
            return false;
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        device->run_until_idle();
        return true;
    }

    std::unique_ptr<Device> device = make_test_device();
    NavigationStandIn& navigation = device->component<NavigationStandIn>();
};

TEST_F(NavigationTest, PostsTheNavigationCodesToTheHomeScreen)
{
    ASSERT_TRUE(start(u"\\NAND\\FakeHome.exe"));
    EXPECT_FALSE(navigation.post_to_home(APP_NAVI_VOICE, 1)) << "nothing runs yet";
    ASSERT_TRUE(start(navigation_image_path));
    HWND map = FindWindow(nullptr, NAVI_WINDOW_TITLE);
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(IsWindowVisible(map));

    struct Case {
        WPARAM code;
        LPARAM value;
        bool sent;
    };
    const Case cases[] = {
        { APP_NAVI_VOICE, 0, true },
        { APP_NAVI_ROUTE, 1, true },
        { APP_NAVI_DIAL, 0, true },
        { APP_SHOW_NAVI, 0, true },
        { APP_CLOSED, 1, false }, // not a code of the navigation's own
        { DRV_SD_RMV, 0, false },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.code);
        g_home_received.clear();
        EXPECT_EQ(navigation.post_to_home(c.code, c.value), c.sent);
        device->run_until_idle();
        if (!c.sent) {
            EXPECT_TRUE(g_home_received.empty());
            continue;
        }
        ASSERT_EQ(g_home_received.size(), 1u);
        EXPECT_EQ(g_home_received[0].code, c.code);
        if (c.code == APP_NAVI_DIAL) {
            EXPECT_NE(g_home_received[0].value, 0);
            EXPECT_EQ(g_home_received[0].dial_kind, NavigationStandIn::dial_data_kind);
            EXPECT_EQ(g_home_received[0].dial_text, NavigationStandIn::dial_number);
        } else {
            EXPECT_EQ(g_home_received[0].value, c.value);
        }
    }
}

TEST_F(NavigationTest, LogsTheCodesItReceivesAndReportsItsClose)
{
    ASSERT_TRUE(start(u"\\NAND\\FakeHome.exe"));
    ASSERT_TRUE(start(navigation_image_path));
    HWND map = FindWindow(nullptr, NAVI_WINDOW_TITLE);
    PostMessage(map, WM_KIVO_NOTIFY, APP_SHOW_NAVI, 0);
    PostMessage(HWND_BROADCAST, WM_KIVO_NOTIFY, APP_MEDIA_PAUSE, 0);
    device->run_until_idle();
    using Code = std::pair<WPARAM, LPARAM>;
    EXPECT_EQ(navigation.received(), (std::vector<Code> { { APP_SHOW_NAVI, 0 }, { APP_MEDIA_PAUSE, 0 } }));

    g_home_received.clear();
    PostMessage(map, WM_CLOSE, 0, 0);
    device->run_until_idle();
    EXPECT_EQ(FindWindow(nullptr, NAVI_WINDOW_TITLE), nullptr);
    ASSERT_EQ(g_home_received.size(), 1u);
    EXPECT_EQ(g_home_received[0].code, APP_CLOSED);
    EXPECT_EQ(g_home_received[0].value, APPID_NAVI);
}

TEST_F(NavigationTest, ATapOnTheCloseCornerEndsItWithItsCloseReport)
{
    ASSERT_TRUE(start(u"\\NAND\\FakeHome.exe"));
    ASSERT_TRUE(start(navigation_image_path));
    auto tap = [&](int x, int y) {
        auto& touch = device->component<TouchInput>();
        touch.press(x, y);
        device->advance(50);
        touch.release(x, y);
        device->run_until_idle();
    };
    g_home_received.clear();
    tap(400, 12); // the title band beside the corner
    EXPECT_NE(FindWindow(nullptr, NAVI_WINDOW_TITLE), nullptr);
    EXPECT_TRUE(g_home_received.empty());

    tap(NavigationStandIn::close_corner.right - 1, NavigationStandIn::close_corner.top);
    EXPECT_EQ(FindWindow(nullptr, NAVI_WINDOW_TITLE), nullptr);
    EXPECT_EQ(device->find_process(navigation_image_path), nullptr);
    ASSERT_EQ(g_home_received.size(), 1u);
    EXPECT_EQ(g_home_received[0].code, APP_CLOSED);
    EXPECT_EQ(g_home_received[0].value, APPID_NAVI);
}

TEST_F(NavigationTest, TheExplorerShowsAnEmptyDesktop)
{
    ASSERT_TRUE(start(explorer_image_path));
    HWND desktop = FindWindow(nullptr, std::u16string(explorer_window_title).c_str());
    ASSERT_NE(desktop, nullptr);
    EXPECT_TRUE(IsWindowVisible(desktop));
}

} // namespace
