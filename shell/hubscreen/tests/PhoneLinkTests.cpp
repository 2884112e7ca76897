#include "HubscreenTest.h"

#include "LinkProtocol.h"
#include "Process.h"
#include "ProgramImages.h"
#include "WideText.h"

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr const char16_t* link_image = u"\\NAND\\App\\BT\\Voxlane.exe";
constexpr POINT phone_icon { 340, 100 };

// What the phone link's fake heard: its starts, the WM_COPYDATA blocks and the registered requests
// its windows received, each with the window and the tick count.
struct LinkHeard {
    std::vector<std::u16string> starts;
    struct Copy {
        HWND window;
        WPARAM wparam;
        ULONG_PTR kind;
        std::string bytes;
        DWORD at;
    };
    std::vector<Copy> copies;
    struct Request {
        HWND window;
        LinkMessage message;
        WPARAM wparam;
        LPARAM lparam;
        DWORD at;
    };
    std::vector<Request> requests;

    std::vector<Request> of(LinkMessage message) const
    {
        std::vector<Request> found;
        std::copy_if(requests.begin(), requests.end(), std::back_inserter(found), [&](auto& r) { return r.message == message; });
        return found;
    }
    std::vector<Copy> copies_to(HWND window) const
    {
        std::vector<Copy> found;
        std::copy_if(copies.begin(), copies.end(), std::back_inserter(found), [&](auto& c) { return c.window == window; });
        return found;
    }
};
LinkHeard g_link;
// How the fake behaves: how long after its start its window appears (none: never), the call
// state it answers a call-state request with, and whether it closes on APP_CLOSE with its report.
std::optional<DWORD> g_link_window_after = 0;
WPARAM g_link_state = 1;
bool g_link_answers_close = true;

LRESULT CALLBACK fake_link_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_COPYDATA) {
        auto* block = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
        g_link.copies.push_back({ window, wparam, block->dwData, std::string(static_cast<const char*>(block->lpData), block->cbData), GetTickCount() });
        return TRUE;
    }
    if (auto link = LinkMessageOf(message)) {
        g_link.requests.push_back({ window, *link, wparam, lparam, GetTickCount() });
        // Answered to the subscriber as the phone link answers its subscribers.
        if (*link == LinkMessage::GetCallStatus)
            PostMessage(FindWindow(nullptr, HOME_WINDOW_TITLE), LinkMessageId(LinkMessage::CallStatus), g_link_state, 0);
        return 0;
    }
    if (message == WM_KIVO_NOTIFY && wparam == APP_CLOSE && g_link_answers_close) {
        PostMessage(FindWindow(nullptr, HOME_WINDOW_TITLE), WM_KIVO_NOTIFY, APP_CLOSED, APPID_PHONELINK);
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProc(window, message, wparam, lparam);
}

int fake_link_main(std::u16string_view command_line)
{
    g_link.starts.emplace_back(command_line);
    RegisterLinkMessages();
    if (!g_link_window_after) {
        Sleep(INFINITE);
        return 0;
    }
    Sleep(*g_link_window_after);
    return kivo::test::run_window_program(u"FakePhoneLink", fake_link_window, PHONELINK_WINDOW_TITLE);
}

// The home page with the phone link's fake at its image and a media program's fake ("audio")
// that hears the broadcasts.
class PhoneLinkTest : public HubscreenTest {
protected:
    PhoneLinkTest() { set_up(); }

    void set_up()
    {
        g_link = {};
        g_link_window_after = 0;
        g_link_state = 1;
        g_link_answers_close = true;
        device->programs().add(link_image, fake_link_main);
        device->component<ProgramImages>().install();
    }
    void fresh_device()
    {
        start_over();
        set_up();
    }

    DWORD now() { return device->clock().tick_count(); }
    HWND start_page()
    {
        m_started = now();
        return start();
    }
    DWORD since_start(DWORD tick) { return tick - m_started; }

    // The page, subscribed to the fake (its window is there at the first poll); draws and
    // broadcasts so far forgotten.
    HWND subscribed_page()
    {
        HWND page = start_page();
        EXPECT_NE(page, nullptr);
        device->advance(700);
        EXPECT_EQ(g_link.copies.size(), 1u);
        EXPECT_NE(start(fake_image, u"audio"), nullptr);
        g_received.clear();
        device->component<Gdi>().draw_log().clear();
        return page;
    }
    // The phone link reports a call state to the page.
    void report(HWND page, WPARAM state)
    {
        PostMessage(page, RegisterWindowMessage(u"WM_ZOLBT_OUTMSG_CALLSTATUS"), state, 0);
        device->run_until_idle();
    }
    std::vector<std::pair<WPARAM, LPARAM>> media_heard()
    {
        std::vector<std::pair<WPARAM, LPARAM>> heard;
        for (auto& code : g_received[u"audio"]) {
            if (code.first == APP_MEDIA_PAUSE || code.first == APP_MEDIA_RUN)
                heard.push_back(code);
        }
        return heard;
    }
    // The pictures drawn in the indicator's place since the draw log was cleared, in order.
    std::vector<UINT> indicator_drawn()
    {
        std::vector<UINT> pictures;
        for (auto& entry : drawn()) {
            bool background = entry.bitmap_id == IDB_LINK_BACKGROUND && entry.rect.left == 370 && entry.rect.top == 8
                && entry.rect.right == 395 && entry.rect.bottom == 43;
            bool picture = (entry.bitmap_id == IDB_LINK_CROSSED || entry.bitmap_id == IDB_LINK_SYMBOL) && entry.rect.left == 370
                && entry.rect.top == 15 && entry.rect.right == 391 && entry.rect.bottom == 38;
            if (entry.painted && (background || picture))
                pictures.push_back(entry.bitmap_id);
        }
        return pictures;
    }
    void full_repaint(HWND page)
    {
        InvalidateRect(page, nullptr, FALSE);
        device->run_until_idle();
    }
    // The page's shutdown powers off at once when it knows of no running program and waits for
    // the programs' close reports otherwise; the phone link's fake keeps silent.
    bool shutdown_waits(HWND page)
    {
        g_link_answers_close = false;
        PostMessage(page, WM_KIVO_NOTIFY, DRV_POWER_OFF, 0);
        device->run_until_idle();
        device->advance(1100);
        bool waited = device->stop_reason() == StopReason::None;
        device->advance(3000);
        EXPECT_EQ(device->stop_reason(), StopReason::PowerOff);
        return waited;
    }

    DWORD m_started = 0;
};

const std::vector<std::pair<WPARAM, LPARAM>> paused_once { { APP_MEDIA_PAUSE, 0 } };
const std::vector<std::pair<WPARAM, LPARAM>> paused_and_resumed { { APP_MEDIA_PAUSE, 0 }, { APP_MEDIA_RUN, 0 } };

TEST_F(PhoneLinkTest, PollsEvery500MsUntilSubscribedThenAsksForTheStateEvery5000Ms)
{
    struct Case {
        const char* what;
        DWORD window_after;  // after the phone link's start, 100 ms after the page's
        DWORD subscribed_at; // after the page's start
    };
    const Case cases[] = {
        { "at once", 0, 600 },
        { "after 300 ms", 300, 600 },
        { "2 s after the page's start", 1900, 2100 },
        { "after 2.9 s", 2900, 3100 },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        fresh_device();
        g_link_window_after = c.window_after;
        ASSERT_NE(start_page(), nullptr);
        device->advance(99);
        EXPECT_TRUE(g_link.starts.empty()) << "the first poll comes after 100 ms";
        device->advance(1);
        ASSERT_EQ(g_link.starts, std::vector<std::u16string> { u"-h" });
        device->advance(c.subscribed_at + 12000 - 100);
        ASSERT_EQ(g_link.copies.size(), 1u);
        EXPECT_EQ(since_start(g_link.copies[0].at), c.subscribed_at);
        char found[96];
        std::snprintf(found, sizeof found, "hbq found bt window %x, %u ms after the first poll",
            static_cast<unsigned>(reinterpret_cast<uintptr_t>(g_link.copies[0].window)), static_cast<unsigned>(c.subscribed_at - 100));
        EXPECT_TRUE(wrote_debug(found)) << found;
        auto requests = g_link.of(LinkMessage::GetCallStatus);
        ASSERT_EQ(requests.size(), 2u);
        for (size_t i = 0; i < requests.size(); ++i) {
            EXPECT_EQ(since_start(requests[i].at), c.subscribed_at + 5000 * (i + 1));
            EXPECT_EQ(requests[i].wparam, 0u);
            EXPECT_EQ(requests[i].lparam, 0);
        }
        EXPECT_EQ(g_link.starts.size(), 1u);
    }
}

TEST_F(PhoneLinkTest, TheHiddenStartHappensOnceAndAFailedOneIsTriedAgain)
{
    // A phone link whose window never appears is started once, however long the page polls.
    g_link_window_after.reset();
    ASSERT_NE(start_page(), nullptr);
    device->advance(10000);
    EXPECT_EQ(g_link.starts, std::vector<std::u16string> { u"-h" });
    EXPECT_TRUE(g_link.copies.empty());

    // A missing image fails the start at each poll until it is there again.
    fresh_device();
    ASSERT_TRUE(DeleteFile(link_image));
    ASSERT_NE(start_page(), nullptr);
    device->advance(2000);
    EXPECT_TRUE(g_link.starts.empty());
    device->component<ProgramImages>().install();
    device->advance(500);
    EXPECT_EQ(g_link.starts, std::vector<std::u16string> { u"-h" });
    device->advance(10000);
    EXPECT_EQ(g_link.starts.size(), 1u);
    EXPECT_EQ(g_link.copies.size(), 1u);
}

TEST_F(PhoneLinkTest, TheSubscriptionRecordAndTheRunningBit)
{
    HWND page = start_page();
    device->advance(700);
    ASSERT_EQ(g_link.copies.size(), 1u);
    std::string record(400, '\0');
    for (size_t i = 0; i < 9; ++i)
        record[2 * i] = "hubscreen"[i];
    EXPECT_EQ(g_link.copies[0].wparam, 0u);
    EXPECT_EQ(g_link.copies[0].kind, 11024u);
    EXPECT_EQ(g_link.copies[0].bytes, record);
    // Bit 5: the shutdown waits for the phone link's close report.
    EXPECT_TRUE(shutdown_waits(page));
}

TEST_F(PhoneLinkTest, ShutdownBeforeTheSubscriptionDoesNotWaitForThePhoneLink)
{
    g_link_window_after.reset();
    HWND page = start_page();
    device->advance(700);
    EXPECT_FALSE(shutdown_waits(page));
}

TEST_F(PhoneLinkTest, EachCallPausesTheMediaOnceAndTheReturnToIdleResumesThem)
{
    struct Case {
        const char* what;
        std::vector<WPARAM> states;
        std::vector<std::pair<WPARAM, LPARAM>> heard;
    };
    const Case cases[] = {
        { "ring, answer, hang up", { 2, 3, 4, 1 }, paused_and_resumed },
        { "a call whose phone goes", { 3, 0 }, paused_once },
        { "the phone back after the call was lost", { 3, 0, 1 }, paused_and_resumed },
        { "idle and no phone", { 1, 0, 1 }, {} },
        { "two calls", { 2, 4, 1, 3, 4, 1 }, { { APP_MEDIA_PAUSE, 0 }, { APP_MEDIA_RUN, 0 }, { APP_MEDIA_PAUSE, 0 }, { APP_MEDIA_RUN, 0 } } },
        { "unknown states", { 5, 7, 1 }, {} },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        fresh_device();
        HWND page = subscribed_page();
        for (WPARAM state : c.states)
            report(page, state);
        EXPECT_EQ(media_heard(), c.heard);
    }
}

TEST_F(PhoneLinkTest, TheIndicatorShowsTheLinkAndIsBlankDuringACall)
{
    struct Case {
        WPARAM state;
        std::vector<UINT> at_change;
        std::vector<UINT> at_repaint;
    };
    const Case cases[] = {
        { 0, { IDB_LINK_BACKGROUND, IDB_LINK_CROSSED }, { IDB_LINK_BACKGROUND, IDB_LINK_CROSSED } },
        { 1, { IDB_LINK_BACKGROUND, IDB_LINK_SYMBOL }, { IDB_LINK_BACKGROUND, IDB_LINK_SYMBOL } },
        { 2, { IDB_LINK_BACKGROUND }, { IDB_LINK_BACKGROUND, IDB_LINK_CROSSED } },
        { 3, { IDB_LINK_BACKGROUND }, { IDB_LINK_BACKGROUND, IDB_LINK_CROSSED } },
        { 4, { IDB_LINK_BACKGROUND }, { IDB_LINK_BACKGROUND, IDB_LINK_CROSSED } },
    };
    HWND page = subscribed_page();
    for (auto& c : cases) {
        SCOPED_TRACE(c.state);
        report(page, 1);
        device->component<Gdi>().draw_log().clear();
        report(page, c.state);
        EXPECT_EQ(indicator_drawn(), c.at_change);
        device->component<Gdi>().draw_log().clear();
        full_repaint(page);
        EXPECT_EQ(indicator_drawn(), c.at_repaint);
    }
    // A state the page does not know leaves the indicator as it is.
    report(page, 1);
    device->component<Gdi>().draw_log().clear();
    report(page, 9);
    EXPECT_TRUE(indicator_drawn().empty());
    full_repaint(page);
    EXPECT_EQ(indicator_drawn(), (std::vector<UINT> { IDB_LINK_BACKGROUND, IDB_LINK_SYMBOL }));
}

TEST_F(PhoneLinkTest, TheClockTimerRedrawsTheIndicatorOnceSubscribed)
{
    SYSTEMTIME time { 2026, 3, 0, 14, 12, 0, 0, 0 };
    ASSERT_TRUE(SetLocalTime(&time));
    HWND page = subscribed_page();
    g_link_state = 4; // also the answer to the page's requests, every 5 s from 5.6 s on
    report(page, 4);
    // The minute alignment at 60 s starts the clock timer, which first runs at 120 s.
    device->advance(120000 - 100 - since_start(now()));
    device->component<Gdi>().draw_log().clear();
    device->advance(200);
    EXPECT_EQ(indicator_drawn(), (std::vector<UINT> { IDB_LINK_BACKGROUND, IDB_LINK_CROSSED }));
}

TEST_F(PhoneLinkTest, BeforeTheSubscriptionNothingOfTheLinkActs)
{
    // The phone link's window appears at 70.1 s, after the clock timer's first run at the latest.
    g_link_window_after = 70000;
    HWND page = start_page();
    ASSERT_NE(start(fake_image, u"audio"), nullptr);
    device->advance(1000);
    device->component<Gdi>().draw_log().clear();
    for (WPARAM state : { 2, 0, 1 })
        report(page, state);
    full_repaint(page);
    device->advance(68000);
    ASSERT_TRUE(g_link.copies.empty());
    EXPECT_TRUE(indicator_drawn().empty());
    EXPECT_TRUE(media_heard().empty());

    // The call-state message of a page subscribed meanwhile counts.
    device->advance(1600);
    ASSERT_EQ(g_link.copies.size(), 1u);
    report(page, 3);
    EXPECT_EQ(media_heard(), paused_once);
}

TEST_F(PhoneLinkTest, ThePhoneIconShowsThePhoneLinkOnceSubscribed)
{
    // The window appears at 1150 ms, between two polls: a tap then posts nothing and starts
    // nothing.
    g_link_window_after = 1050;
    HWND page = start_page();
    ASSERT_NE(page, nullptr);
    device->advance(1200);
    ASSERT_TRUE(window(PHONELINK_WINDOW_TITLE));
    ASSERT_TRUE(g_link.copies.empty());
    tap(phone_icon.x, phone_icon.y);
    ASSERT_TRUE(g_link.copies.empty());
    EXPECT_TRUE(g_link.requests.empty());
    EXPECT_EQ(g_link.starts.size(), 1u);

    device->advance(10500);
    ASSERT_EQ(g_link.copies.size(), 1u);
    tap(phone_icon.x, phone_icon.y);
    auto shown = g_link.of(LinkMessage::ShowHidePhoneLine);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].wparam, 1u);
    EXPECT_EQ(shown[0].lparam, 0);
    EXPECT_EQ(g_link.starts.size(), 1u);
}

// The phone link's subscriber list begins empty with each copy: the page subscribes to a new copy
// at the next 5000 ms poll, and to the same copy only once.
TEST_F(PhoneLinkTest, APhoneLinkStartedAgainIsSubscribedAgain)
{
    struct Case {
        const char* what;
        bool orderly; // closed with its close report, or ended where it stood
    };
    const Case cases[] = {
        { "killed and started by its watchdog", false },
        { "closed and started by a tap", true },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        fresh_device();
        HWND page = subscribed_page();
        HWND first = FindWindow(nullptr, PHONELINK_WINDOW_TITLE);
        ASSERT_NE(first, nullptr);
        auto process = device->find_process(link_image);
        ASSERT_NE(process, nullptr);
        if (c.orderly) {
            PostMessage(first, WM_KIVO_NOTIFY, APP_CLOSE, CLOSE_BY_SYSTEM);
            device->run_until_idle();
            ASSERT_FALSE(window(PHONELINK_WINDOW_TITLE));
            device->advance(10100);
            tap(phone_icon.x, phone_icon.y);
            EXPECT_EQ(g_link.starts, (std::vector<std::u16string> { u"-h", u"" })) << "a tap starts it shown";
        } else {
            {
                auto guard = device->scheduler().lock();
                process->terminate(1);
            }
            device->run_until_idle();
            DWORD error = 0;
            ASSERT_TRUE(device->create_process(link_image, u"-type:0", error)) << error;
            device->run_until_idle();
        }
        HWND second = FindWindow(nullptr, PHONELINK_WINDOW_TITLE);
        ASSERT_NE(second, nullptr);
        ASSERT_NE(second, first);
        device->advance(5000);
        auto copies = g_link.copies_to(second);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0].bytes, g_link.copies[0].bytes);
        device->advance(15000);
        EXPECT_EQ(g_link.copies_to(second).size(), 1u) << "one subscription per copy";
        EXPECT_EQ(g_link.copies_to(first).size(), 1u);
        auto requests = g_link.of(LinkMessage::GetCallStatus);
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().window, second);

        // The new copy's reports act, and the shutdown waits for it again.
        g_received.clear();
        report(page, 2);
        EXPECT_EQ(media_heard(), paused_once);
        EXPECT_TRUE(shutdown_waits(page));
    }
}

} // namespace
