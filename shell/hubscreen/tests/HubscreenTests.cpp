#include "HubscreenTest.h"

#include "ProgramImages.h"
#include "SystemRequests.h"

using namespace kivo;
using namespace kivo::test;

namespace {

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
        start_over();
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
        start_over();
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

TEST_F(HubscreenTest, StartMutesTheScreenTapSoundAndRefreshesTheSoundSettings)
{
    // A tap sound left switched on by an earlier run is muted at start.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"ControlPanel\\Volume", 0, nullptr, 0, 0, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    DWORD audible = 0x10002;
    ASSERT_EQ(RegSetValueEx(key, u"Screen", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&audible), sizeof(audible)),
        ERROR_SUCCESS);
    RegCloseKey(key);
    auto& requests = device->component<SystemRequests>();
    ASSERT_TRUE(requests.sound_refreshes().empty());

    ASSERT_NE(start(), nullptr);
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"ControlPanel\\Volume", 0, 0, &key), ERROR_SUCCESS);
    DWORD stored = 0xDEAD;
    DWORD size = sizeof(stored);
    EXPECT_EQ(RegQueryValueEx(key, u"Screen", nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(stored, 0u);
    auto refreshes = requests.sound_refreshes();
    ASSERT_FALSE(refreshes.empty()) << "the sound settings are read again after the change";
    EXPECT_EQ(refreshes.back().screen, std::optional<DWORD>(0));
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
    // The key-click threads of the settings holders take up to 200 ms each to see they must end.
    device->run_until([&] { return window(u"Desktop"); }, 5000);
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

class ActivationTest : public HubscreenTest {
protected:
    // Another window takes the front, then the page comes back.
    void leave_and_return(HWND page)
    {
        ASSERT_NE(start(explorer_image_path.data()), nullptr);
        HWND desktop = FindWindow(nullptr, u"Desktop");
        SetForegroundWindow(desktop);
        device->run_until_idle();
        PostMessage(desktop, WM_CLOSE, 0, 0);
        device->run_until_idle();
        SetForegroundWindow(page);
        device->run_until_idle();
    }
    LPARAM key_sound(HWND page)
    {
        g_received.clear();
        PostMessage(page, WM_KIVO_NOTIFY, APP_GET_KEYSOUND, 0);
        device->run_until_idle();
        auto& heard = g_received[u"listener"];
        return heard.empty() ? -1 : heard.back().second;
    }
    void damage_settings()
    {
        HANDLE file = CreateFile(SETTING_FILE_NAME, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, "short", 5, &written, nullptr);
        CloseHandle(file);
    }
};

TEST_F(ActivationTest, SettingsAreReadAgainAfterTheSettingProgramClosed)
{
    write_settings({ { 3, 1, 1, 0, 0, 0, 0 } });
    HWND page = start();
    ASSERT_NE(start(fake_image, u"listener"), nullptr);
    EXPECT_EQ(key_sound(page), 0);

    // The settings program saved the key click on: the page reads the file on its next activation.
    write_settings({ { 5, 1, 1, 1, 0, 0, 0 } });
    leave_and_return(page);
    EXPECT_EQ(key_sound(page), 0) << "not read again without the setting program's close";
    PostMessage(page, WM_KIVO_NOTIFY, APP_CLOSED, APPID_SETTING);
    device->run_until_idle();
    leave_and_return(page);
    EXPECT_EQ(key_sound(page), 1);
    EXPECT_EQ(device->component<BacklightDriver>().state().brightness_percent, 100u);

    // A file caught half-written keeps the record held, and is not replaced by the defaults.
    write_settings({ { 5, 1, 1, 0, 0, 0, 0 } });
    PostMessage(page, WM_KIVO_NOTIFY, APP_CLOSED, APPID_SETTING);
    device->run_until_idle();
    damage_settings();
    leave_and_return(page);
    EXPECT_EQ(key_sound(page), 1);
    EXPECT_EQ(settings_bytes(), "short");
    EXPECT_TRUE(wrote_debug("hbq: settings not readable, keeping the record held"));
}

TEST_F(ActivationTest, KeyClickVolumeOnEachActivationWithoutTheNavigation)
{
    add_fake(u"\\SDMMC\\KivoNavi\\Corvane-RXM.exe", NAVI_WINDOW_TITLE);
    device->component<ProgramImages>().install();
    HWND page = start();
    device->advance(1000); // the start-up card check
    auto& sound = device->component<SoundDevice>();
    auto volume_sets = [&] {
        auto changes = sound.volume_changes();
        return std::count_if(changes.begin(), changes.end(), [](auto& change) { return change.second == 0x404D404Du; });
    };
    auto before = volume_sets();
    leave_and_return(page);
    EXPECT_EQ(volume_sets(), before + 1);
    device->advance(1000);
    device->component<TouchInput>().tap(140, 100); // starts the navigation
    device->run_until_idle();
    ASSERT_TRUE(window(NAVI_WINDOW_TITLE));
    before = volume_sets();
    leave_and_return(page);
    EXPECT_EQ(volume_sets(), before) << "the navigation speaks at its own volume";
}

} // namespace
