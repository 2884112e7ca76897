#include "HubscreenTest.h"

#include "NavigationStandIn.h"
#include "Process.h"
#include "ProgramImages.h"
#include "WideText.h"

#include <algorithm>

#include <sys/mman.h>
#include <unistd.h>

using namespace kivo;
using namespace kivo::test;

namespace {

struct Fake {
    const char16_t* image;
    const char16_t* title;
};
constexpr const char16_t* phone_link_fake = u"\\NAND\\App\\BT\\Voxlane.exe";
constexpr Fake fakes[] = {
    { u"\\NAND\\App\\Telvix.exe", u"Telvix" },
    { phone_link_fake, u"ZOL_VOXLANE" },
    { u"\\NAND\\App\\Melodo.exe", u"audio" },
    { u"\\NAND\\App\\Flickro.exe", u"video" },
    { u"\\NAND\\App\\Glimmo.exe", u"photo" },
    { u"\\NAND\\App\\setting.exe", u"setting" },
};

// The page with fake programs in the program table, the navigation's stand-in on the card, and
// the start-up card check done.
class LaunchTest : public HubscreenTest {
protected:
    LaunchTest()
    {
        register_navigation(*device);
        for (auto& fake : fakes)
            add_fake(fake.image, fake.title);
        device->component<ProgramImages>().install();
    }

    // By then the page has also started the phone link's fake hidden and subscribed to it; the
    // subscription's copy is forgotten.
    HWND start_page()
    {
        HWND page = start();
        device->advance(2000); // the card check, and the first activation's tap interval
        g_copies.clear();
        return page;
    }
    // Taps once the last tap's interval has passed.
    void tap_later(int x, int y)
    {
        device->advance(10100);
        tap(x, y);
    }
    bool started(const char16_t* image)
    {
        for (auto& line : debug_lines(*device)) {
            if (line.find(to_utf8(image)) != std::string::npos)
                return true;
        }
        return false;
    }
};

TEST_F(LaunchTest, EachIconStartsItsProgram)
{
    struct Case {
        POINT point;
        const char16_t* title;
    };
    // Taps on the rectangles' far corners: the bounds are inclusive.
    const Case cases[] = {
        { { 180, 147 }, NAVI_WINDOW_TITLE },
        { { 200, 45 }, u"Telvix" },
        { { 380, 147 }, u"ZOL_VOXLANE" },
        { { 50, 157 }, u"audio" },
        { { 230, 259 }, u"video" },
        { { 250, 200 }, u"photo" },
        { { 430, 259 }, u"setting" },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.title));
        start_over();
        register_navigation(*device);
        for (auto& fake : fakes)
            add_fake(fake.image, fake.title);
        device->component<ProgramImages>().install();
        ASSERT_NE(start_page(), nullptr);
        if (HWND hidden = FindWindow(nullptr, PHONELINK_WINDOW_TITLE); hidden && std::u16string_view(c.title) == PHONELINK_WINDOW_TITLE) {
            // The copy the page started hidden goes, so that the tap has to start one.
            SendMessage(hidden, WM_CLOSE, 0, 0);
            device->run_until_idle();
            ASSERT_FALSE(window(c.title));
        }
        tap(c.point.x, c.point.y);
        EXPECT_TRUE(window(c.title));
    }
}

TEST_F(LaunchTest, TapsOutsideTheIconsAndTheDeadTelevisionIcon)
{
    device->component<Board>().set_tuner_fitted(false);
    ASSERT_NE(start_page(), nullptr);
    for (POINT point : { POINT { 190, 100 }, POINT { 181, 147 }, POINT { 240, 100 } }) {
        tap_later(point.x, point.y);
        for (auto& fake : fakes) {
            if (fake.image != phone_link_fake) { // started hidden by the page itself
                EXPECT_FALSE(window(fake.title)) << point.x;
            }
        }
        EXPECT_FALSE(window(NAVI_WINDOW_TITLE));
    }
}

TEST_F(LaunchTest, DebounceAfterSuccessfulAndFailedStarts)
{
    ASSERT_NE(start_page(), nullptr);
    tap(300, 100); // the phone link: never blocked by another program
    ASSERT_TRUE(window(u"ZOL_VOXLANE"));
    device->advance(9800);
    tap(400, 200);
    EXPECT_FALSE(window(u"setting")) << "within 10 s of a successful start";
    device->advance(300);
    tap(410, 210); // apart from the last tap, which a quick second one would make a double click
    EXPECT_TRUE(window(u"setting"));

    PostMessage(FindWindow(nullptr, u"setting"), WM_CLOSE, 0, 0);
    device->programs().set_start_failure(u"\\NAND\\App\\Melodo.exe", ERROR_FILE_NOT_FOUND);
    tap_later(100, 200);
    EXPECT_FALSE(window(u"audio"));
    device->programs().set_start_failure(u"\\NAND\\App\\Melodo.exe", 0);
    device->advance(400);
    tap(100, 200);
    EXPECT_FALSE(window(u"audio")) << "within 500 ms of a failed start";
    device->advance(200);
    tap(110, 210);
    EXPECT_TRUE(window(u"audio"));
}

TEST_F(LaunchTest, TapsIgnoredWhileOtherProgramsRun)
{
    ASSERT_NE(start_page(), nullptr);
    tap(140, 100); // the navigation
    ASSERT_TRUE(window(NAVI_WINDOW_TITLE));
    // The user goes back to the home page; the map stays behind it.
    SetWindowPos(FindWindow(nullptr, NAVI_WINDOW_TITLE), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    device->run_until_idle();
    // The television and the audio player may start beside the navigation; video may not.
    tap_later(190 + 50, 100);
    EXPECT_TRUE(window(u"Telvix"));
    tap_later(180, 200);
    EXPECT_FALSE(window(u"video"));
    // Ignored: the next tap counts after 1000 ms (the television still blocks video then).
    PostMessage(FindWindow(nullptr, u"Telvix"), WM_CLOSE, 0, 0);
    PostMessage(FindWindow(nullptr, NAVI_WINDOW_TITLE), WM_CLOSE, 0, 0);
    device->run_until_idle();
    device->advance(900);
    tap(180, 200);
    EXPECT_FALSE(window(u"video"));
    device->advance(200);
    tap(190, 210);
    EXPECT_TRUE(window(u"video"));
}

TEST_F(LaunchTest, NavigationWhileTheTelevisionRunsPausesIt)
{
    ASSERT_NE(start_page(), nullptr);
    tap(240, 100);
    ASSERT_TRUE(window(u"Telvix"));
    tap_later(140, 100);
    ASSERT_TRUE(window(NAVI_WINDOW_TITLE));
    using Code = std::pair<WPARAM, LPARAM>;
    EXPECT_EQ(g_received[u"Telvix"], (std::vector<Code> { { APP_MEDIA_PAUSE, 0 } }));
    EXPECT_FALSE(backlight().state().backlight_off_allowed);
    EXPECT_FALSE(backlight().state().auto_off_allowed);

    // The navigation reports its close: the television comes back to the front.
    g_received.clear();
    PostMessage(FindWindow(nullptr, NAVI_WINDOW_TITLE), WM_CLOSE, 0, 0);
    device->run_until_idle();
    EXPECT_EQ(g_received[u"Telvix"], (std::vector<Code> { { APP_SWITCH_TV, 1 } }));
    EXPECT_FALSE(backlight().state().backlight_off_allowed) << "the television keeps the holds";
}

TEST_F(LaunchTest, ClosedNavigationReleasesTheHolds)
{
    ASSERT_NE(start_page(), nullptr);
    tap(140, 100);
    ASSERT_TRUE(window(NAVI_WINDOW_TITLE));
    EXPECT_FALSE(backlight().state().auto_off_allowed);
    PostMessage(FindWindow(nullptr, NAVI_WINDOW_TITLE), WM_CLOSE, 0, 0);
    device->run_until_idle();
    EXPECT_TRUE(backlight().state().backlight_off_allowed);
    EXPECT_TRUE(backlight().state().auto_off_allowed);
}

TEST_F(LaunchTest, CrashedNavigationIsClosedAtThePoll)
{
    ASSERT_NE(start_page(), nullptr);
    tap(140, 100);
    ASSERT_TRUE(window(NAVI_WINDOW_TITLE));
    // Ends before the first poll, without reporting its close.
    auto navigation = device->find_process(navigation_image_path);
    ASSERT_TRUE(navigation);
    navigation->terminate(9);
    device->run_until_idle();
    EXPECT_FALSE(window(NAVI_WINDOW_TITLE));
    EXPECT_FALSE(backlight().state().auto_off_allowed);
    device->advance(3100);
    EXPECT_TRUE(wrote_debug("hbq: navigation ended without closing"));
    EXPECT_TRUE(backlight().state().auto_off_allowed);
    EXPECT_TRUE(backlight().state().backlight_off_allowed);
}

TEST_F(LaunchTest, MissingNavigationImageStartsNothing)
{
    ASSERT_TRUE(DeleteFile(std::u16string(navigation_image_path).c_str()));
    ASSERT_NE(start_page(), nullptr);
    tap(140, 100);
    EXPECT_FALSE(window(NAVI_WINDOW_TITLE));
    HWND warning = FindWindow(nullptr, u"no gps warning");
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(IsWindowVisible(warning));
    EXPECT_TRUE(device->component<Gdi>().draw_log().last_bitmap(230));
}

TEST_F(LaunchTest, TheNavigationsDialBlockReachesThePhoneLinkAsASentCopy)
{
    HWND page = start_page();
    ASSERT_NE(page, nullptr);
    tap(300, 100); // the phone link
    tap_later(140, 100);
    ASSERT_TRUE(window(NAVI_WINDOW_TITLE));
    ASSERT_TRUE(device->component<NavigationStandIn>().post_to_home(APP_NAVI_DIAL));
    device->run_until_idle();
    std::u16string_view number = NavigationStandIn::dial_number;
    std::string bytes(reinterpret_cast<const char*>(number.data()), (number.size() + 1) * sizeof(char16_t));
    EXPECT_EQ(g_copies[u"ZOL_VOXLANE"], (std::vector<CopyReceived> { { 0, NavigationStandIn::dial_data_kind, bytes } }));
    EXPECT_TRUE(g_copies[HOME_WINDOW_TITLE].empty());

    // Blocks that cannot be read safely go nowhere.
    g_copies.clear();
    std::string big(521, 'x');
    COPYDATASTRUCT too_big { 7, 521, big.data() };
    COPYDATASTRUCT no_data { 7, 8, nullptr };
    for (LPARAM block : { LPARAM(0), reinterpret_cast<LPARAM>(&too_big), reinterpret_cast<LPARAM>(&no_data) }) {
        PostMessage(page, WM_KIVO_NOTIFY, APP_NAVI_DIAL, block);
        device->run_until_idle();
    }
    EXPECT_TRUE(g_copies.empty());
    EXPECT_TRUE(wrote_debug("hbq: navigation dial block refused"));
    COPYDATASTRUCT largest { 7, 520, big.data() };
    PostMessage(page, WM_KIVO_NOTIFY, APP_NAVI_DIAL, reinterpret_cast<LPARAM>(&largest));
    device->run_until_idle();
    ASSERT_EQ(g_copies[u"ZOL_VOXLANE"].size(), 1u);
    EXPECT_EQ(g_copies[u"ZOL_VOXLANE"][0].bytes, big.substr(0, 520));
}

// Code 17 may come with any value from any program: what cannot be read is refused with its
// debug line, and the home screen (the device's shell) lives on and still forwards live blocks.
TEST_F(LaunchTest, ADialCodeWithAnUnreadableBlockIsRefusedAndTheHomeScreenLivesOn)
{
    HWND page = start_page();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(window(u"ZOL_VOXLANE")); // the phone link, started hidden by the page
    const long page_size = sysconf(_SC_PAGESIZE);
    // A block its sender has given back: the header lies on a page no longer mapped.
    auto* given_back = mmap(nullptr, page_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(given_back, MAP_FAILED);
    ASSERT_EQ(munmap(given_back, page_size), 0);
    COPYDATASTRUCT garbage_data { 7, 16, reinterpret_cast<void*>(0xDEADBEEF) };
    COPYDATASTRUCT data_given_back { 7, 16, given_back };
    struct Case {
        const char* what;
        LPARAM block;
    };
    const Case cases[] = {
        { "one", 1 },
        { "0xDEADBEEF", static_cast<LPARAM>(0xDEADBEEF) },
        { "a block given back", reinterpret_cast<LPARAM>(given_back) },
        { "a header whose data is garbage", reinterpret_cast<LPARAM>(&garbage_data) },
        { "a header whose data was given back", reinterpret_cast<LPARAM>(&data_given_back) },
    };
    auto refusals = [&] {
        auto lines = debug_lines(*device);
        return std::count(lines.begin(), lines.end(), "hbq: navigation dial block refused");
    };
    for (auto& c : cases) {
        auto before = refusals();
        PostMessage(page, WM_KIVO_NOTIFY, APP_NAVI_DIAL, c.block);
        device->run_until_idle();
        EXPECT_EQ(refusals(), before + 1) << c.what;
        EXPECT_TRUE(IsWindow(page)) << c.what;
    }
    EXPECT_TRUE(g_copies.empty());

    std::string number = "0123456789";
    COPYDATASTRUCT live { 7, static_cast<DWORD>(number.size()), number.data() };
    PostMessage(page, WM_KIVO_NOTIFY, APP_NAVI_DIAL, reinterpret_cast<LPARAM>(&live));
    device->run_until_idle();
    EXPECT_EQ(g_copies[u"ZOL_VOXLANE"], (std::vector<CopyReceived> { { 0, 7, number } }));
}

TEST_F(LaunchTest, OneKeySwitchesAskBeforeReplacingAProgram)
{
    struct Case {
        const char* what;
        WPARAM code;
        const char16_t* running; // the program already there, or none
        int answer;              // 0: no question expected
        UINT picture;
        const char16_t* started;
        const char16_t* closed; // the program told to close, or none
    };
    const Case cases[] = {
        { "television, nothing runs", APP_SWITCH_TV, nullptr, 0, 0, u"Telvix", nullptr },
        { "television over music, yes", APP_SWITCH_TV, u"audio", IDOK, 216, u"Telvix", u"audio" },
        { "television over music, no", APP_SWITCH_TV, u"audio", IDCANCEL, 216, NAVI_WINDOW_TITLE, nullptr },
        { "music, nothing runs", APP_SWITCH_AUDIO, nullptr, 0, 0, u"audio", nullptr },
        { "music over television, yes", APP_SWITCH_AUDIO, u"Telvix", IDOK, 111, u"audio", u"Telvix" },
        { "music over television, no", APP_SWITCH_AUDIO, u"Telvix", IDCANCEL, 111, NAVI_WINDOW_TITLE, nullptr },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        register_navigation(*device);
        for (auto& fake : fakes)
            add_fake(fake.image, fake.title);
        device->component<ProgramImages>().install();
        device->component<Gdi>().draw_log().set_recording(true);
        g_received.clear();
        HWND page = start_page();
        ASSERT_NE(page, nullptr);
        if (c.running) {
            ASSERT_NE(start(fake_image, c.running), nullptr);
        }
        PostMessage(page, WM_KIVO_NOTIFY, c.code, 0);
        device->run_until_idle();
        HWND question = FindWindow(nullptr, u"One Key Selection");
        if (c.answer) {
            ASSERT_NE(question, nullptr);
            EXPECT_TRUE(device->component<Gdi>().draw_log().last_bitmap(c.picture));
            if (c.answer == IDOK)
                tap(370 + 30, 205 + 20);
            else
                tap(27 + 30, 205 + 20);
            EXPECT_EQ(FindWindow(nullptr, u"One Key Selection"), nullptr);
        } else {
            EXPECT_EQ(question, nullptr);
        }
        EXPECT_TRUE(window(c.started));
        if (c.closed) {
            EXPECT_EQ(g_received[c.closed], (std::vector<std::pair<WPARAM, LPARAM>> { { APP_CLOSE, CLOSE_BY_SYSTEM } }));
        }
    }
}

TEST_F(LaunchTest, ShowNavigationRaisesItOrStartsIt)
{
    HWND page = start_page();
    ASSERT_NE(page, nullptr);
    PostMessage(page, WM_KIVO_NOTIFY, APP_SHOW_NAVI, 0);
    device->run_until_idle();
    ASSERT_TRUE(window(NAVI_WINDOW_TITLE));
    auto& navigation = device->component<NavigationStandIn>();
    EXPECT_TRUE(navigation.received().empty());
    PostMessage(page, WM_KIVO_NOTIFY, APP_SHOW_NAVI, 0);
    device->run_until_idle();
    using Code = std::pair<WPARAM, LPARAM>;
    EXPECT_EQ(navigation.received(), (std::vector<Code> { { APP_SHOW_NAVI, 0 } }));
}

TEST_F(LaunchTest, ClosedProgramsBringTheNavigationBack)
{
    struct Case {
        const char* what;
        LPARAM closed;
        bool television_there;
        bool navigation_shown; // the navigation is asked to come to the front
        bool television_shown;
    };
    const Case cases[] = {
        { "television closed", APPID_TV, false, true, false },
        { "music closed, the television there", APPID_AUDIO, true, false, true },
        { "music closed alone", APPID_AUDIO, false, true, false },
        { "an unknown id", 20, false, false, false },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        register_navigation(*device);
        device->component<ProgramImages>().install();
        HWND page = start_page();
        ASSERT_NE(page, nullptr);
        tap(140, 100);
        HWND map = FindWindow(nullptr, NAVI_WINDOW_TITLE);
        ASSERT_NE(map, nullptr);
        SetWindowPos(map, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        tap_later(300, 100); // the phone link's tap finds the navigation's window
        if (c.television_there) {
            ASSERT_NE(start(fake_image, u"Telvix"), nullptr);
        }
        PostMessage(page, WM_KIVO_NOTIFY, APP_CLOSED, c.closed);
        device->run_until_idle();
        auto received = device->component<NavigationStandIn>().received();
        bool asked = std::find(received.begin(), received.end(), std::pair<WPARAM, LPARAM>(APP_SHOW_NAVI, 0)) != received.end();
        EXPECT_EQ(asked, c.navigation_shown);
        if (c.television_there) {
            EXPECT_EQ(IsWindowVisible(FindWindow(nullptr, u"Telvix")) != FALSE, c.television_shown);
        }
    }
}

} // namespace
