#include "HubscreenTest.h"

#include "HubscreenResources.h"

#include "Process.h"
#include "ProgramImages.h"
#include "Volumes.h"

using namespace kivo;
using namespace kivo::test;

namespace {

// The page after its start-up card check, with a fake program "listener" that notes the
// broadcasts.
class EventTest : public HubscreenTest {
protected:
    HWND start_page()
    {
        page = start();
        device->advance(1000);
        EXPECT_NE(start(fake_image, u"listener"), nullptr);
        return page;
    }
    void notify(WPARAM code, LPARAM value = 0)
    {
        PostMessage(page, WM_KIVO_NOTIFY, code, value);
        device->run_until_idle();
    }
    void post(UINT message)
    {
        PostMessage(page, message, 0, 0);
        device->run_until_idle();
    }
    bool visible(const char16_t* title)
    {
        HWND window = FindWindow(nullptr, title);
        return window && IsWindowVisible(window);
    }
    std::vector<std::pair<WPARAM, LPARAM>>& heard() { return g_received[u"listener"]; }
    bool heard(WPARAM code, LPARAM value)
    {
        auto& codes = heard();
        return std::find(codes.begin(), codes.end(), std::pair(code, value)) != codes.end();
    }
    // A fake program with a window of the title whose running bit the page learns by a message.
    void run_known(const char16_t* title, UINT ready)
    {
        ASSERT_NE(start(fake_image, title), nullptr);
        post(ready);
    }

    HWND page = nullptr;
};

TEST_F(EventTest, CardRemovalReasonsAndTheInsertCardWindow)
{
    struct Case {
        const char* what;
        const char16_t* running; // a program known to run, or none
        UINT ready;
        bool hold_back;
        LPARAM reason;
        bool shown;
    };
    const Case cases[] = {
        { "nothing runs", nullptr, 0, false, 156, true },
        { "music runs", u"audio", MSG_AUDIO_READY, false, 152, true },
        { "only the television runs", u"Telvix", MSG_TV_READY, false, 156, false },
        { "a start warning holds it back", nullptr, 0, true, 156, false },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        g_received.clear();
        ASSERT_NE(start_page(), nullptr);
        if (c.running)
            run_known(c.running, c.ready);
        if (c.hold_back) {
            ASSERT_NE(start(fake_image, u"start warning of hubscreen"), nullptr);
        }
        device->component<Volumes>().set_card_present(false);
        post(WM_SD_REMOVED);
        EXPECT_TRUE(heard(DRV_SD_RMV2, c.reason));
        EXPECT_EQ(visible(u"hubscreen.sd"), c.shown);
        if (c.shown) {
            EXPECT_TRUE(device->component<Gdi>().draw_log().last_bitmap(static_cast<UINT>(c.reason)));
        }
        if (c.running && c.ready == MSG_TV_READY) {
            EXPECT_TRUE(wrote_debug("-recv DRV_SD_RMV2 and dtv only, no action"));
        }
        if (c.hold_back) {
            PostMessage(FindWindow(nullptr, u"hubscreen.sd"), MSG_SHOW_WARNINGS, 0, 0);
            device->run_until_idle();
            EXPECT_TRUE(visible(u"hubscreen.sd"));
        }
    }
}

// A warning held back while the start warning stood shows on MSG_SHOW_WARNINGS only while its
// cause still holds: one whose cause went meanwhile would stand with nothing to close it.
TEST_F(EventTest, HeldBackWarningsShowOnlyWhileTheirCauseHolds)
{
    enum class Step { card_out,
        card_in,
        card_protected,
        card_unprotected,
        usb_on,
        usb_off,
        battery_low,
        mains_on };
    struct Case {
        const char* what;
        std::vector<Step> before; // before the start warning appears
        std::vector<Step> held;   // while it stands
        std::vector<Step> after;  // after it went, before MSG_SHOW_WARNINGS
        const char16_t* window;
        bool shown;
    };
    const Case cases[] = {
        { "card still out", {}, { Step::card_out }, {}, u"hubscreen.sd", true },
        { "card back in", {}, { Step::card_out, Step::card_in }, {}, u"hubscreen.sd", false },
        { "card back in after the start warning", {}, { Step::card_out }, { Step::card_in }, u"hubscreen.sd", false },
        { "card still write-protected", {}, { Step::card_protected }, {}, u"hubscreen.sd", true },
        { "card no longer write-protected", {}, { Step::card_protected, Step::card_unprotected }, {}, u"hubscreen.sd", false },
        { "USB still in", {}, { Step::usb_on }, {}, u"USB connection", true },
        { "USB already out", {}, { Step::usb_on, Step::usb_off }, {}, u"USB connection", false },
        { "USB in on a low battery", { Step::battery_low }, { Step::usb_on }, {}, u"USB connection", false },
        { "USB in, then the mains adapter", { Step::battery_low }, { Step::usb_on, Step::mains_on }, {}, u"USB connection", true },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        ASSERT_NE(start_page(), nullptr);
        auto& volumes = device->component<Volumes>();
        auto run = [&](const std::vector<Step>& steps) {
            for (Step step : steps) {
                switch (step) {
                case Step::card_out:
                    volumes.set_card_present(false);
                    post(WM_SD_REMOVED);
                    break;
                case Step::card_in:
                    volumes.set_card_present(true);
                    post(WM_SD_INSERTED);
                    break;
                case Step::card_protected:
                    volumes.set_card_write_protected(true);
                    tap(140, 100); // the navigation asks for a writable card
                    break;
                case Step::card_unprotected:
                    volumes.set_card_write_protected(false);
                    break;
                case Step::usb_on:
                    notify(DRV_USB_CONNECT);
                    break;
                case Step::usb_off:
                    notify(DRV_USB_REMOVE);
                    break;
                case Step::battery_low:
                    notify(DRV_BATT_CHANGE, 3);
                    break;
                case Step::mains_on:
                    notify(DRV_AC_CHANGE, 1);
                    break;
                }
            }
        };
        run(c.before);
        ASSERT_NE(start(fake_image, u"start warning of hubscreen"), nullptr);
        run(c.held);
        EXPECT_FALSE(visible(c.window)) << "held back";
        PostMessage(FindWindow(nullptr, u"start warning of hubscreen"), WM_CLOSE, 0, 0);
        device->run_until_idle();
        run(c.after);
        PostMessage(HWND_BROADCAST, MSG_SHOW_WARNINGS, 0, 0);
        device->run_until_idle();
        EXPECT_EQ(visible(c.window), c.shown);
    }
}

TEST_F(EventTest, StartUpCheckReportsANonFatCardAfterItsRetries)
{
    device->component<Volumes>().set_card_partition_type(0x07);
    page = start();
    device->advance(37 + 10 * 500 + 100);
    EXPECT_FALSE(visible(u"hubscreen.sd"));
    device->advance(500);
    EXPECT_TRUE(visible(u"hubscreen.sd"));
    EXPECT_TRUE(device->component<Gdi>().draw_log().last_bitmap(155));
}

TEST_F(EventTest, UsbScreenFollowsTheCableAndTheTransfers)
{
    ASSERT_NE(start_page(), nullptr);
    auto& log = device->component<Gdi>().draw_log();
    notify(DRV_USB_CONNECT);
    EXPECT_TRUE(heard(APP_USB_CONNECTED, 5));
    EXPECT_TRUE(visible(u"USB connection"));
    EXPECT_FALSE(backlight().state().backlight_off_allowed);
    log.clear();
    post(WM_USB_BUSY);
    EXPECT_TRUE(log.last_bitmap(161));
    log.clear();
    post(WM_USB_IDLE);
    EXPECT_TRUE(log.last_bitmap(160));
    // The key lock says nothing while the cable is in.
    notify(DRV_HARDKEY);
    EXPECT_FALSE(heard(APP_HARDKEY, 0));
    notify(DRV_USB_REMOVE);
    EXPECT_TRUE(heard(APP_USB_REMOVED, 0));
    EXPECT_FALSE(visible(u"USB connection"));
    EXPECT_TRUE(backlight().state().backlight_off_allowed);
}

TEST_F(EventTest, UsbOrCardRemovalWhileTheNavigationRunsResetsTheDevice)
{
    struct Case {
        const char* what;
        bool usb;
        bool crashed;
        StopReason expected;
    };
    const Case cases[] = {
        { "USB", true, false, StopReason::Reset },
        { "card removed", false, false, StopReason::Reset },
        { "USB after a crash", true, true, StopReason::None },
        { "card removed after a crash", false, true, StopReason::None },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        add_fake(u"\\SDMMC\\KivoNavi\\Corvane-RXM.exe", NAVI_WINDOW_TITLE);
        device->component<ProgramImages>().install();
        ASSERT_NE(start_page(), nullptr);
        device->component<TouchInput>().tap(140, 100);
        device->run_until_idle();
        ASSERT_TRUE(window(NAVI_WINDOW_TITLE));
        if (c.crashed) {
            device->find_process(u"\\SDMMC\\KivoNavi\\Corvane-RXM.exe")->terminate(9);
            device->run_until_idle();
        }
        if (c.usb) {
            notify(DRV_USB_CONNECT);
        } else {
            device->component<Volumes>().set_card_present(false);
            post(WM_SD_REMOVED);
        }
        EXPECT_EQ(device->stop_reason(), c.expected);
        if (c.crashed) {
            EXPECT_TRUE(wrote_debug("hbq: navigation ended without closing"));
            EXPECT_TRUE(device->component<BacklightDriver>().state().auto_off_allowed);
        }
    }
}

TEST_F(EventTest, LockedKeysPopUpForTwoSeconds)
{
    ASSERT_NE(start_page(), nullptr);
    notify(DRV_HARDKEY);
    HWND popup = nullptr;
    for (HWND window = GetWindow(page, GW_HWNDFIRST); window; window = GetWindow(window, GW_HWNDNEXT)) {
        RECT rect;
        GetWindowRect(window, &rect);
        if (IsWindowVisible(window) && rect.left == 138 && rect.top == 78 && rect.right == 342 && rect.bottom == 194)
            popup = window;
    }
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(device->component<Gdi>().draw_log().last_bitmap(210));
    device->advance(1900);
    EXPECT_TRUE(IsWindowVisible(popup));
    device->advance(200);
    EXPECT_FALSE(IsWindowVisible(popup));
}

TEST_F(EventTest, CriticalBatteryCountsDownOnceAndShutsDown)
{
    ASSERT_NE(start_page(), nullptr);
    auto& log = device->component<Gdi>().draw_log();
    notify(DRV_BATT_CHANGE, 1);
    notify(DRV_BATT_CHANGE, 1);
    EXPECT_EQ(g_messages[u"listener"], std::vector<UINT> { MSG_BATT_CRITICAL });
    EXPECT_TRUE(visible(u"low battery warning"));
    EXPECT_TRUE(log.last_text(u"30"));
    device->advance(1000);
    EXPECT_TRUE(log.last_text(u"29"));
    EXPECT_FALSE(log.last_text(u"00"));
    device->advance(29000);
    EXPECT_TRUE(log.last_text(u"00"));
    EXPECT_TRUE(wrote_debug("low bat countdown time-up."));
    EXPECT_EQ(g_messages[u"listener"], (std::vector<UINT> { MSG_BATT_CRITICAL, MSG_SHUTDOWN }));
    device->advance(1100);
    EXPECT_EQ(device->stop_reason(), StopReason::PowerOff);
}

TEST_F(EventTest, ANewCriticalEpisodeStartsANewCountdown)
{
    ASSERT_NE(start_page(), nullptr);
    notify(DRV_BATT_CHANGE, 1);
    notify(DRV_BATT_CHANGE, 2);
    notify(DRV_BATT_CHANGE, 1);
    EXPECT_EQ(g_messages[u"listener"], (std::vector<UINT> { MSG_BATT_CRITICAL, MSG_BATT_CRITICAL }));
}

TEST_F(EventTest, ShutdownWaitsForTheProgramsItKnows)
{
    struct Case {
        const char* what;
        bool program;
        bool answers;
        uint64_t off_after;
    };
    const Case cases[] = {
        { "nothing runs", false, false, 1000 },
        { "a silent program", true, false, 4000 },
        { "an answering program", true, true, 1000 },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        g_received.clear();
        g_answer_close = c.answers;
        ASSERT_NE(start_page(), nullptr);
        if (c.program)
            run_known(u"audio", MSG_AUDIO_READY);
        PostMessage(page, WM_KIVO_NOTIFY, DRV_POWER_OFF, 0);
        device->run_until_idle();
        EXPECT_TRUE(visible(u"shutdown")) << "shown before the pause";
        device->advance(c.off_after - 100);
        EXPECT_EQ(device->stop_reason(), StopReason::None);
        device->advance(200);
        EXPECT_EQ(device->stop_reason(), StopReason::PowerOff);
    }
}

TEST_F(EventTest, MainsAdapterAndALowBatteryWithUsb)
{
    ASSERT_NE(start_page(), nullptr);
    // USB on a low battery: every program closes, the USB screen hides and the low-battery
    // window asks for the mains adapter, once.
    notify(DRV_USB_CONNECT);
    notify(DRV_BATT_CHANGE, 3);
    EXPECT_TRUE(visible(u"low battery warning"));
    EXPECT_FALSE(visible(u"USB connection"));
    EXPECT_TRUE(device->component<Gdi>().draw_log().last_bitmap(208));
    notify(DRV_BATT_CHANGE, 2);
    EXPECT_TRUE(heard(DRV_BATT_LEVEL, 2));

    // The adapter: programs close once more, the USB screen returns and the warning goes.
    heard().clear();
    notify(DRV_AC_CHANGE, 1);
    EXPECT_TRUE(heard(APP_CLOSE, CLOSE_BY_SYSTEM));
    EXPECT_TRUE(heard(DRV_BATT_AC_CHANGE, 1));
    EXPECT_FALSE(visible(u"low battery warning"));
    EXPECT_TRUE(visible(u"USB connection"));
    EXPECT_FALSE(backlight().state().auto_off_allowed);
    notify(DRV_AC_CHANGE, 0);
    EXPECT_TRUE(heard(DRV_BATT_AC_CHANGE, 0));
    EXPECT_TRUE(backlight().state().auto_off_allowed);
}

TEST_F(EventTest, BatteryStatesRedrawTheIndicator)
{
    ASSERT_NE(start_page(), nullptr);
    auto& log = device->component<Gdi>().draw_log();
    // State to picture: 3 to 5 rising charge (164 to 166), 7 the mains (167), 6 unknown (168).
    const std::pair<LPARAM, UINT> cases[] = { { 3, 164 }, { 5, 166 }, { 7, 167 }, { 6, 168 }, { 2, 163 } };
    for (auto [state, picture] : cases) {
        SCOPED_TRACE(state);
        log.clear();
        notify(DRV_BATT_CHANGE, state);
        auto bar = log.last_bitmap(129);
        ASSERT_TRUE(bar);
        EXPECT_EQ(bar->rect.left, 420);
        EXPECT_EQ(bar->rect.top, 15);
        auto icon = log.last_bitmap(picture);
        ASSERT_TRUE(icon);
        EXPECT_EQ(icon->rect.left, 420);
        EXPECT_TRUE(heard(DRV_BATT_LEVEL, state));
    }
}

TEST_F(EventTest, TheLowBatteryBlinksUntilTheStateChanges)
{
    ASSERT_NE(start_page(), nullptr);
    auto& log = device->component<Gdi>().draw_log();
    // Each blink restores the indicator's area from the top bar; every other one draws the
    // empty battery over it.
    auto blinks = [&] {
        std::pair<int, int> counted { 0, 0 };
        for (auto& entry : log.entries()) {
            if (!entry.painted || entry.rect.left != 420 || entry.rect.top != 15)
                continue;
            counted.first += entry.bitmap_id == 129;
            counted.second += entry.bitmap_id == 163;
        }
        return counted;
    };
    notify(DRV_BATT_CHANGE, 2);
    log.clear();
    device->advance(499);
    EXPECT_EQ(blinks(), std::pair(0, 0)) << "the first blink comes 500 ms after the change";
    device->advance(1);
    EXPECT_EQ(blinks().first, 1);
    device->advance(1500);
    auto [restores, shown] = blinks();
    EXPECT_EQ(restores, 4);
    EXPECT_EQ(shown, 2) << "the picture is shown in every other phase";

    notify(DRV_BATT_CHANGE, 3);
    log.clear();
    device->advance(2000);
    EXPECT_EQ(blinks(), std::pair(0, 0)) << "a charged battery stands still";
}

} // namespace

// A warning already on the screen that changes its picture repaints the whole page, and its OK
// button must still be there afterwards.
TEST_F(EventTest, AWarningThatChangesItsPictureKeepsItsOkButton)
{
    const RECT ok_button { 390, 200, 453, 239 };
    // The newest painted drawing that reaches the button's place.
    auto on_top_of_ok = [&]() -> UINT {
        auto entries = drawn();
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            RECT overlap {};
            if (it->painted && IntersectRect(&overlap, &it->rect, &ok_button))
                return it->bitmap_id;
        }
        return 0;
    };
    struct Case {
        const char* what;
        const char16_t* title;
        WPARAM code;
        LPARAM value;
        UINT picture;
    };
    const Case cases[] = {
        { "low battery, countdown to the mains request", u"low battery warning", APP_USB_CONNECTED, 1, 208 },
        { "insert card with USB, no card to a damaged one", u"hubscreen.sd", DRV_SD_RMV2, 155, 155 },
        { "insert card with USB, no card to another reason", u"hubscreen.sd", DRV_SD_RMV2, 157, 157 },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        ASSERT_NE(start_page(), nullptr);
        if (c.code == APP_USB_CONNECTED) {
            notify(DRV_BATT_CHANGE, 1);
            ASSERT_TRUE(device->component<Gdi>().draw_log().last_bitmap(207));
        } else {
            // With USB connected the missing card's picture comes without its OK button.
            notify(DRV_USB_CONNECT);
            device->component<Volumes>().set_card_present(false);
            post(WM_SD_REMOVED);
            ASSERT_TRUE(device->component<Gdi>().draw_log().last_bitmap(156));
        }
        EXPECT_NE(on_top_of_ok(), IDB_OK_UP);
        ASSERT_TRUE(visible(c.title));
        PostMessage(FindWindow(nullptr, c.title), WM_KIVO_NOTIFY, c.code, c.value);
        device->run_until_idle();
        EXPECT_TRUE(device->component<Gdi>().draw_log().last_bitmap(c.picture));
        EXPECT_EQ(on_top_of_ok(), IDB_OK_UP);
    }
}
