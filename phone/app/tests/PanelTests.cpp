// The main panel: its start-up order in the manager's record, the watchdog, the buttons' enabling
// rules, the power picture, the home screen's codes, the screens' openers and the closing order.

#include "DialdeckTest.h"
#include "PhoneMessages.h"

#include "BatteryDriver.h"

using namespace dialdeck::test;

namespace {

bool contains(const std::vector<std::string>& calls, const std::string& call)
{
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

} // namespace

TEST_F(DialdeckTest, TheManagerIsStartedAndThePhoneConnectedInOrder)
{
    const std::vector<std::string> connection = {
        "ZOL_SetConnectStatusCallBack(callback)",
        "ZOL_HFAudioConnect(1)",
        "ZOL_ConnectMobile()",
        "ZOL_SetIncomingframeCallBack(callback, callback)",
    };
    struct Case {
        const char* what;
        std::function<void()> set_up;
        bool initialised; // ZOL_DeviceInitial
        bool connects;
        bool connected;
        bool connect_enabled;
    };
    const Case cases[] = {
        { "a fresh device", [] {}, true, true, true, true },
        { "Bluetooth not wanted", [] { set_setting(u"BT", u"bON", 0); }, false, false, false, false },
        { "no connection at start", [] { set_setting(u"Phone", u"bConnect", 0); }, true, false, false, true },
        // The manager still links its default phone; the panel only does not call it wanted.
        { "no phone in the settings file", [] { write_settings("[mobile]\r\nIMEI=\r\n"); }, true, true, true, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over(c.set_up);
        auto process = start(u"-type:2");
        settle();
        auto calls = manager_calls(*process);
        std::vector<std::string> expected = { "ZOL_ManagerInitial(callback)" };
        if (c.initialised)
            expected.push_back("ZOL_DeviceInitial()");
        if (c.connects)
            expected.insert(expected.end(), connection.begin(), connection.end());
        ASSERT_GE(calls.size(), expected.size());
        EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + static_cast<long>(expected.size())), expected);
        EXPECT_EQ(contains(calls, "ZOL_ConnectMobile()"), c.connects);
        EXPECT_EQ(phones().connected_phone() == dana, c.connected);
        EXPECT_EQ(panel(*process).IsConnected(), c.connected);
        EXPECT_EQ(enabled(*process, u"Connect"), c.connect_enabled);
        EXPECT_EQ(enabled(*process, u"PhoneManager"), c.initialised);
        EXPECT_EQ(app(*process).m_connectWanted, c.connects && c.connect_enabled);
    }
}

TEST_F(DialdeckTest, ButtonsFollowThePhonesFunctionsTheConnectionAndTheCall)
{
    const char16_t* const buttons[] = { u"Phonebook", u"SMS", u"File", u"callLog", u"gprs", u"HF", u"btstatus",
        u"Setting", u"PhoneManager", u"Pairlist", u"BT", u"Connect" };
    using kivo::PhoneFunction;
    struct Case {
        const char* what;
        std::vector<PhoneFunction> lacks;
        std::function<void(DialdeckTest&)> then;
        std::vector<bool> enabled; // in the order of `buttons`
    };
    const Case cases[] = {
        { "connected, idle", {}, [](DialdeckTest&) {},
            { true, true, true, true, true, true, true, true, true, true, true, true } },
        { "a phone without its lists, files and hands-free",
            { PhoneFunction::Phonebook, PhoneFunction::SmsList, PhoneFunction::FileTransfer, PhoneFunction::CallLog,
                PhoneFunction::HandsFree },
            [](DialdeckTest&) {}, { false, false, false, false, true, false, true, true, true, true, true, true } },
        { "a call placed on the phone", {}, [](DialdeckTest& t) { t.phones().dial(dana, u"10086"); },
            { true, true, false, false, false, false, true, false, false, false, false, false } },
        { "the call ended", {},
            [](DialdeckTest& t) {
                t.phones().dial(dana, u"10086");
                t.settle();
                t.phones().hang_up(dana);
            },
            { true, true, true, true, true, true, true, true, true, true, true, true } },
        { "the phone out of range", {}, [](DialdeckTest& t) { t.phones().set_in_range(dana, false); },
            { false, false, false, false, false, false, false, true, true, true, true, true } },
        { "back in range and connected again",
            {},
            [](DialdeckTest& t) {
                t.phones().set_in_range(dana, false);
                t.settle();
                t.phones().set_in_range(dana, true);
                t.settle();
                PostMessage(t.panel_window(), WM_PHONE_CONNECT, 0, 0);
            },
            { true, true, true, true, true, true, true, true, true, true, true, true } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        for (auto function : c.lacks)
            phones().set_lacks(dana, function);
        auto process = start(u"-type:2");
        settle();
        c.then(*this);
        settle();
        for (size_t i = 0; i < std::size(buttons); ++i)
            EXPECT_EQ(enabled(*process, buttons[i]), c.enabled[i]) << kivo::to_utf8(buttons[i]);
    }
}

TEST_F(DialdeckTest, APhoneWithoutHandsFreeTurnsTheToggleOff)
{
    phones().set_lacks(dana, kivo::PhoneFunction::HandsFree);
    auto process = start(u"-type:2");
    settle();
    auto calls = manager_calls(*process);
    auto initial = std::find(calls.begin(), calls.end(), "ZOL_HFInitial()");
    ASSERT_NE(initial, calls.end());
    ASSERT_NE(initial + 1, calls.end());
    EXPECT_EQ(*(initial + 1), "ZOL_HFAudioConnect(0)");
    EXPECT_EQ(panel(*process).FindButton(u"HF")->m_nValue, 0);
}

TEST_F(DialdeckTest, BeforeAnyConnectionTheStatusButtonFollowsItsOwnDefault)
{
    // The start-up reads "Phone" "bConnect" with 0 where the power-up reads 1: on a fresh device
    // the phone connects while "btstatus" starts disabled.
    auto process = start(u"-type:2");
    EXPECT_FALSE(enabled(*process, u"btstatus"));
    EXPECT_FALSE(enabled(*process, u"Phonebook"));
    set_setting(u"Phone", u"bConnect", 1);
    start_over([] { set_setting(u"Phone", u"bConnect", 1); });
    process = start(u"-type:2");
    EXPECT_TRUE(enabled(*process, u"btstatus"));
}

TEST_F(DialdeckTest, TheWatchdogStartsOnceWithTheWindowAndFileAndIsClosedAtTheEnd)
{
    auto process = start(u"-h");
    ASSERT_EQ(g_heard.watchdog_starts.size(), 1u);
    EXPECT_EQ(g_heard.watchdog_starts[0], u"-t\"ZOL_VOXLANE\" -f\"Voxlane.exe\"");
    settle();

    PostMessage(panel_window(), WM_CLOSE, 0, 0);
    device->run_until_idle();
    EXPECT_TRUE(process->ended());
    EXPECT_EQ(g_heard.watchdog_closes, 1);
    EXPECT_EQ(FindWindow(nullptr, u"ZOLWATCHDOG"), nullptr);
    // The callback goes before the manager closes.
    auto calls = manager_calls(*process);
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 3, calls.end()),
        (std::vector<std::string> { "ZOL_SetConnectStatusCallBack(null)", "ZOL_DeviceClose()", "ZOL_ManagerClose()" }));
    EXPECT_EQ(phones().connected_phone(), std::nullopt);

    // A watchdog already running is not started again.
    start_over();
    DWORD error = 0;
    ASSERT_TRUE(device->create_process(watchdog_image, u"", error));
    device->run_until_idle();
    start(u"-h");
    EXPECT_EQ(g_heard.watchdog_starts.size(), 1u);
}

TEST_F(DialdeckTest, ThePowerPictureShowsTheReportedFrameWithinTheStrip)
{
    device->component<kivo::BatteryDriver>().set_phone_link_answer(6);
    auto process = start(u"-type:2");
    EXPECT_EQ(panel(*process).PowerPicture(), 4);
    struct Case {
        WPARAM code;
        LPARAM argument;
        int frame;
        int x;         // a point of the frame that tells it
        COLORREF colour;
    };
    const Case cases[] = {
        { DRV_BATT_CHANGE, 4, 2, 396 + 17, kivo::BitmapCanvas::Palette::white }, // three bars
        { DRV_AC_CHANGE, 0, 5, 396 + 14, kivo::BitmapCanvas::Palette::ok },     // the plug
        // Below the strip the first frame shows (one red bar), beyond it the last.
        { DRV_BATT_CHANGE, 0, -2, 396 + 8, kivo::BitmapCanvas::Palette::warning },
        { DRV_BATT_CHANGE, 40, 38, 396 + 14, kivo::BitmapCanvas::Palette::ok },
    };
    for (const auto& c : cases) {
        SendMessage(panel_window(), WM_KIVO_NOTIFY, c.code, c.argument);
        device->run_until_idle();
        EXPECT_EQ(panel(*process).PowerPicture(), c.frame);
        auto png = shot("dialdeck-power-" + std::to_string(c.frame));
        EXPECT_EQ(png.pixel_565(c.x, 20), kivo::rgb565_of_colorref(c.colour)) << c.frame;
    }
}

TEST_F(DialdeckTest, APowerStripWithoutFramesOrADriverWithoutAnAnswerIsHarmless)
{
    // No battery driver: the frame shown at start stays.
    start_over({}, false);
    auto process = start(u"-type:2");
    EXPECT_EQ(panel(*process).PowerPicture(), 2);

    // A skin whose strip names no frames draws nothing there, whatever is reported.
    start_over([] {
        std::string text;
        for (auto& file : kivo::phone_tree_texts())
            if (std::u16string(file.path) == u"skin\\default\\Mainskin\\panel.ini")
                text = file.utf8;
        auto at = text.find("PicCount=6");
        ASSERT_NE(at, std::string::npos);
        text.erase(at, 10);
        CreateDirectory(u"\\NAND\\App\\BT\\skin", nullptr);
        CreateDirectory(u"\\NAND\\App\\BT\\skin\\default", nullptr);
        CreateDirectory(u"\\NAND\\App\\BT\\skin\\default\\Mainskin", nullptr);
        HANDLE file = CreateFile(u"\\NAND\\App\\BT\\skin\\default\\Mainskin\\panel.ini", GENERIC_WRITE, 0, nullptr,
            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
        CloseHandle(file);
    });
    process = start(u"-type:2");
    SendMessage(panel_window(), WM_KIVO_NOTIFY, DRV_BATT_CHANGE, 4);
    device->run_until_idle();
    EXPECT_FALSE(process->ended());
    auto png = shot("dialdeck-power-no-frames");
    EXPECT_EQ(png.pixel_565(404, 20), png.pixel_565(380, 20)); // the title band only
}

TEST_F(DialdeckTest, CloseTheProgramsDisconnectsTellsTheHomeScreenAndKeepsRunning)
{
    start_home();
    auto process = start(u"-type:2");
    settle();
    ASSERT_EQ(phones().connected_phone(), dana);
    SendMessage(panel_window(), WM_KIVO_NOTIFY, APP_CLOSE, 0);
    device->run_until_idle();
    EXPECT_EQ(phones().connected_phone(), std::nullopt);
    EXPECT_TRUE(contains(manager_calls(*process), "ZOL_DisconnectMobile()"));
    EXPECT_EQ(g_heard.home_notifies, (std::vector<std::pair<WPARAM, LPARAM>> { { APP_CLOSED, APPID_PHONELINK } }));
    EXPECT_FALSE(process->ended());
    EXPECT_TRUE(IsWindowVisible(panel_window()));
}

TEST_F(DialdeckTest, ThePhonebookNeedsTheCardAndItsOpenerReconnects)
{
    auto process = start(u"-type:2");
    settle();
    HWND panel = panel_window();
    PostMessage(panel, WM_SD_REMOVED, 0, 0);
    device->run_until_idle();
    // "Phonebook" is the first button of the grid.
    device->component<kivo::TouchInput>().tap(60, 80);
    device->run_until_idle();
    EXPECT_TRUE(draw_log().find_shown_text(u"沒有記憶卡", 0).has_value());
    EXPECT_FALSE(debug_has("CPhoneBookDlg not built yet"));
    auto message = shot("dialdeck-phonebook-no-card");
    PostMessage(GetForegroundWindow(), WM_COMMAND, IDOK, 0);
    device->run_until_idle();

    auto before = manager_calls(*process);
    auto connects = static_cast<size_t>(std::count(before.begin(), before.end(), "ZOL_ConnectMobile()"));
    PostMessage(panel, WM_SD_INSERTED, 0, 0);
    device->component<kivo::TouchInput>().tap(60, 80);
    device->run_until_idle();
    EXPECT_TRUE(debug_has("CPhoneBookDlg not built yet"));
    auto calls = manager_calls(*process);
    EXPECT_EQ(static_cast<size_t>(std::count(calls.begin(), calls.end(), "ZOL_ConnectMobile()")), connects + 1);
    POINT cursor {};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, 240);
    EXPECT_EQ(cursor.y, 150);
}

TEST_F(DialdeckTest, TheTimerHidesThePanelAndEveryShowIsMirrored)
{
    start(u"-type:2");
    settle();
    HWND panel = panel_window();
    EXPECT_EQ(voxlane_value(u"Show"), "1");
    PostMessage(panel, WM_TIMER, 1, 0);
    device->run_until_idle();
    EXPECT_FALSE(IsWindowVisible(panel));
    EXPECT_EQ(voxlane_value(u"Show"), "0");
    ShowWindow(panel, SW_SHOW);
    device->run_until_idle();
    EXPECT_EQ(voxlane_value(u"Show"), "1");
}

TEST_F(DialdeckTest, ScreenshotsOfThePanelConnectedAndDisconnected)
{
    auto process = start(u"-type:2");
    settle();
    EXPECT_EQ(panel(*process).PowerPicture(), 0);
    auto connected = shot("dialdeck-panel-connected");
    // The battery driver's answer 2 is the strip's first frame, one red bar, though the panel was
    // painted before it asked.
    EXPECT_EQ(connected.pixel_565(404, 20), kivo::rgb565_of_colorref(kivo::BitmapCanvas::Palette::warning));
    // The "Phonebook" button in its normal (blue) frame, "Connect" on (green).
    EXPECT_EQ(connected.pixel_565(20, 60), kivo::rgb565_of_colorref(kivo::BitmapCanvas::Palette::panel_light));
    EXPECT_EQ(connected.pixel_565(371, 208), kivo::rgb565_of_colorref(kivo::BitmapCanvas::Palette::ok));
    phones().set_in_range(dana, false);
    settle();
    auto disconnected = shot("dialdeck-panel-disconnected");
    EXPECT_EQ(disconnected.pixel_565(20, 60), kivo::rgb565_of_colorref(RGB(52, 60, 72)));
    EXPECT_FALSE(panel(*process).IsConnected());
}

TEST_F(DialdeckTest, EachOpenerNamesItsScreenAndReconnectsAsItsRoadSays)
{
    struct Case {
        const char* button;
        int x, y;
        const char* screen;
        bool reconnects;
    };
    const Case cases[] = {
        { "SMS", 181, 80, "CSMSDlg not built yet", true },
        { "File", 415, 80, "CFileManagerDlg not built yet", true },
        // A pair list that was not asked to search reconnects while "Phone" "bConnect" says so.
        { "Pairlist", 298, 155, "CPairListDlg not built yet", true },
        // A settings screen that did not change the phone asks for nothing.
        { "Setting", 64, 230, "CSettingDlg not built yet", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        start_over();
        auto process = start(u"-type:2");
        settle();
        auto before = manager_calls(*process);
        device->component<kivo::TouchInput>().tap(c.x, c.y);
        settle();
        EXPECT_TRUE(debug_has(c.screen));
        auto after = manager_calls(*process);
        auto connects = [](const std::vector<std::string>& calls) {
            return std::count(calls.begin(), calls.end(), "ZOL_ConnectMobile()");
        };
        EXPECT_EQ(connects(after) - connects(before), c.reconnects ? 1 : 0);
        EXPECT_TRUE(IsWindowVisible(panel_window()));
    }
}
