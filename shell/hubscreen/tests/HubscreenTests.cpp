#include "kernel/tests/TestDevice.h"

#include "BacklightDriver.h"
#include "Board.h"
#include "CHubscreenApp.h"
#include "CHubscreenDlg.h"
#include "CParmFileRW.h"
#include "DrawLog.h"
#include "Explorer.h"
#include "Gdi.h"
#include "KivoNotify.h"
#include "SettingRecord.h"
#include "SoundDevice.h"
#include "StreamDrivers.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr const char16_t* fake_image = u"\\NAND\\App\\FakeProgram.exe";

// What each fake program's window received, by its title.
std::map<std::u16string, std::vector<std::pair<WPARAM, LPARAM>>> g_received;

LRESULT CALLBACK recorder_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_KIVO_NOTIFY) {
        WCHAR title[64] = {};
        GetWindowText(window, title, 64);
        g_received[title].emplace_back(wparam, lparam);
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProc(window, message, wparam, lparam);
}

// A program whose hidden window, titled by its command line, notes the notify codes it receives.
int recorder_main(std::u16string_view title)
{
    WNDCLASS window_class {};
    window_class.lpfnWndProc = recorder_window;
    window_class.lpszClassName = u"FakeRecorder";
    RegisterClass(&window_class);
    CreateWindowEx(0, u"FakeRecorder", std::u16string(title).c_str(), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0))
        DispatchMessage(&message);
    return 0;
}

class HubscreenTest : public ::testing::Test {
protected:
    HubscreenTest()
    {
        g_received.clear();
        install_stream_drivers(*device);
        register_hubscreen(*device);
        register_explorer(*device);
        device->programs().add(fake_image, recorder_main);
        device->component<Gdi>().draw_log().set_recording(true);
    }

    void write_settings(SettingRecord record)
    {
        CParmFileRW file;
        ASSERT_EQ(file.Write(SETTING_FILE_NAME, &record, sizeof(record)), 0);
    }
    std::string settings_bytes()
    {
        HANDLE file = CreateFile(SETTING_FILE_NAME, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return {};
        std::string bytes(GetFileSize(file, nullptr), '\0');
        DWORD read = 0;
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        CloseHandle(file);
        return bytes;
    }

    HWND start(const char16_t* image = nullptr, const char16_t* command_line = u"")
    {
        DWORD error = 0;
        std::u16string path = image ? image : std::u16string(hubscreen_image_path);
        EXPECT_TRUE(device->create_process(path, command_line, error)) << error;
        device->run_until_idle();
        return FindWindow(nullptr, image ? command_line : HOME_WINDOW_TITLE);
    }

    std::vector<DrawLog::Entry> drawn() { return device->component<Gdi>().draw_log().entries(); }
    std::vector<DrawLog::Entry> drawn_bitmaps(UINT id)
    {
        std::vector<DrawLog::Entry> result;
        for (auto& entry : drawn()) {
            if (entry.bitmap_id == id)
                result.push_back(entry);
        }
        return result;
    }
    bool bitmap_at(UINT id, LONG x, LONG y)
    {
        auto entries = drawn_bitmaps(id);
        return std::any_of(entries.begin(), entries.end(), [&](auto& e) { return e.rect.left == x && e.rect.top == y && e.painted; });
    }
    bool wrote_debug(const std::string& line)
    {
        auto lines = debug_lines(*device);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::unique_ptr<Device> device = make_test_device();
    BacklightDriver& backlight = device->component<BacklightDriver>();
};

TEST_F(HubscreenTest, StartAppliesTheSettingsFile)
{
    struct Case {
        const char* what;
        std::optional<SettingRecord> file; // none: no file at all
        bool damage = false;
        BacklightDriver::State expected;
        bool rewritten;
    };
    const Case cases[] = {
        { "missing", std::nullopt, false, { 70, 0, 15, true, true }, true },
        { "bad checksum", SettingRecord { { 5, 3, 1, 0, 2, 0, 0 } }, true, { 70, 0, 15, true, true }, true },
        { "indices out of range", SettingRecord { { 4, 6, 1, 0, 4, 0, 0 } }, false, { 85, 0, 0, true, true }, false },
        { "chosen values", SettingRecord { { 5, 3, 1, 0, 2, 0, 0 } }, false, { 100, 180, 60, true, true }, false },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        device.reset();
        device = make_test_device();
        install_stream_drivers(*device);
        register_hubscreen(*device);
        if (c.file)
            write_settings(*c.file);
        std::string before = settings_bytes();
        if (c.damage) {
            before.back() = static_cast<char>(before.back() + 1);
            HANDLE file = CreateFile(SETTING_FILE_NAME, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD written = 0;
            WriteFile(file, before.data(), static_cast<DWORD>(before.size()), &written, nullptr);
            CloseHandle(file);
        }
        ASSERT_NE(start(), nullptr);
        EXPECT_EQ(device->component<BacklightDriver>().state(), c.expected);
        std::string after = settings_bytes();
        EXPECT_EQ(after != before, c.rewritten);
        if (c.rewritten) {
            SettingRecord read {};
            CParmFileRW file;
            ASSERT_EQ(file.Read(SETTING_FILE_NAME, &read, sizeof(read), sizeof(read)), 0);
            EXPECT_EQ(std::vector<int32_t>(read.value, read.value + 7), (std::vector<int32_t> { 3, 1, 1, 1, 0, 0, 0 }));
        }
    }
}

TEST_F(HubscreenTest, KeyClickVolumeAndIdleHoldsAtStart)
{
    for (int32_t key_click : { 0, 1 }) {
        SCOPED_TRACE(key_click);
        device.reset();
        device = make_test_device();
        install_stream_drivers(*device);
        register_hubscreen(*device);
        write_settings({ { 3, 1, 1, key_click, 0, 0, 0 } });
        ASSERT_NE(start(), nullptr);
        auto changes = device->component<SoundDevice>().volume_changes();
        bool set = std::any_of(changes.begin(), changes.end(), [](auto& change) { return change.second == 0x404D404Du; });
        EXPECT_EQ(set, key_click == 1);
        auto calls = device->component<BacklightDriver>().calls();
        auto allowed = [&](DWORD code) {
            return std::any_of(calls.begin(), calls.end(), [&](auto& call) { return call.code == code && call.value == 1; });
        };
        EXPECT_TRUE(allowed(BacklightDriver::allow_auto_off_code));
        EXPECT_TRUE(allowed(BacklightDriver::allow_backlight_off_code));
    }
}

TEST_F(HubscreenTest, FullAndPartialRepaints)
{
    HWND page = start();
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(bitmap_at(196, 0, 0));
    EXPECT_TRUE(bitmap_at(129, 8, 8));
    EXPECT_TRUE(bitmap_at(144, 8, 8)) << "the key click is on by default";
    EXPECT_TRUE(bitmap_at(213, 130, 8));
    const UINT normal[] = { 186, 184, 182, 180, 188, 191, 193 };
    const POINT corners[] = { { 100, 45 }, { 200, 45 }, { 300, 45 }, { 50, 157 }, { 150, 157 }, { 250, 157 }, { 350, 157 } };
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(bitmap_at(normal[i], corners[i].x, corners[i].y)) << i;

    device->component<Gdi>().draw_log().clear();
    RECT part { 10, 60, 90, 120 };
    InvalidateRect(page, &part, FALSE);
    device->run_until_idle();
    auto entries = drawn();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [&](auto& e) {
        return e.call == "FillRect" && e.colour == RGB(0, 17, 56) && e.rect.left == 10 && e.rect.bottom == 120;
    }));
    EXPECT_TRUE(drawn_bitmaps(196).empty());
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(drawn_bitmaps(normal[i]).size(), 1u) << i;
}

TEST_F(HubscreenTest, NoTunerShowsItsIcon)
{
    device->component<Board>().set_tuner_fitted(false);
    ASSERT_NE(start(), nullptr);
    EXPECT_TRUE(bitmap_at(227, 200, 45));
    EXPECT_TRUE(drawn_bitmaps(184).empty());
}

TEST_F(HubscreenTest, ClockAlignsToTheMinute)
{
    SYSTEMTIME time { 2026, 3, 0, 14, 12, 0, 45, 0 };
    ASSERT_TRUE(SetLocalTime(&time));
    ASSERT_NE(start(), nullptr);
    auto& log = device->component<Gdi>().draw_log();
    ASSERT_TRUE(log.last_text(u"2026/03/14      12:00"));
    log.clear();
    device->advance(14900);
    EXPECT_FALSE(log.last_text(u"2026/03/14      12:01"));
    device->advance(200);
    EXPECT_TRUE(log.last_text(u"2026/03/14      12:01"));
    device->advance(59800);
    EXPECT_FALSE(log.last_text(u"2026/03/14      12:02"));
    device->advance(200);
    EXPECT_TRUE(log.last_text(u"2026/03/14      12:02"));
}

TEST_F(HubscreenTest, NotifyCodesOfTheHomeScreen)
{
    HWND page = start();
    ASSERT_NE(start(fake_image, u"audio"), nullptr);
    struct Case {
        WPARAM code;
        LPARAM value;
        std::vector<std::pair<WPARAM, LPARAM>> broadcast;
        const char* debug;
    };
    const Case cases[] = {
        { APP_NAVI_VOICE, 0, { { APP_MEDIA_PAUSE, 0 } }, "hbq recv WM_KIVO_NOTIFY.APP_NAVI_VOICE(0)" },
        { APP_NAVI_VOICE, 1, { { APP_MEDIA_RUN, 0 } }, "hbq recv WM_KIVO_NOTIFY.APP_NAVI_VOICE(1)" },
        { APP_NAVI_ROUTE, 0, { { APP_MEDIA_PAUSE, 0 } }, "hbq recv WM_KIVO_NOTIFY.APP_NAVI_ROUTE(0)" },
        { APP_NAVI_ROUTE, 2, {}, "hbq recv WM_KIVO_NOTIFY.APP_NAVI_ROUTE(2)" },
        { APP_GET_KEYSOUND, 0, { { APP_KEYSOUND, 1 } }, nullptr },
        { 12, 0, {}, nullptr },
        { 39, 0, {}, nullptr },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << c.value);
        g_received.clear();
        PostMessage(page, WM_KIVO_NOTIFY, c.code, c.value);
        device->run_until_idle();
        EXPECT_EQ(g_received[u"audio"], c.broadcast);
        if (c.debug) {
            EXPECT_TRUE(wrote_debug(c.debug));
        }
    }
}

TEST_F(HubscreenTest, HiddenCommandEndsThePageAndStartsTheDesktop)
{
    HWND page = start();
    ASSERT_NE(start(fake_image, u"Telvix"), nullptr);
    PostMessage(page, MSG_TV_READY, 0, 0);
    device->run_until_idle();
    g_received.clear();
    PostMessage(page, WM_COMMAND, CHubscreenDlg::hidden_exit_command, 0);
    // The key-click thread of the page's settings holder takes up to 200 ms to see it must end.
    device->advance(500);
    EXPECT_EQ(FindWindow(nullptr, HOME_WINDOW_TITLE), nullptr);
    EXPECT_NE(FindWindow(nullptr, std::u16string(explorer_window_title).c_str()), nullptr);
    using Code = std::pair<WPARAM, LPARAM>;
    EXPECT_EQ(g_received[u"Telvix"], (std::vector<Code> { { APP_CLOSE, CLOSE_BY_HOME_PAGE } }));
}

TEST_F(HubscreenTest, EndingThePageWithoutTelevisionClosesNothing)
{
    HWND page = start();
    ASSERT_NE(start(fake_image, u"Telvix"), nullptr);
    PostMessage(page, WM_COMMAND, CHubscreenDlg::hidden_exit_command, 0);
    device->run_until_idle();
    EXPECT_TRUE(g_received[u"Telvix"].empty()) << "the page never learnt of the television";
}

} // namespace
