#include "GwesTestKit.h"
#include "MessageBoxes.h"
#include "TouchInput.h"
#include "WindowManager.h"
#include "kernel/WideText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr UINT ask_beta = WM_APP + 1;
constexpr UINT beta_asks_alpha = WM_APP + 2;
constexpr UINT answer_seven = WM_APP + 3;
constexpr UINT ask_alpha = WM_APP + 4;
constexpr UINT alpha_asks_beta = WM_APP + 5;

int window_program(const char16_t* title, DWORD style = WS_VISIBLE)
{
    register_recorder();
    make_window(title, WS_POPUP | style, { 0, 0, 100, 100 });
    return pump();
}

} // namespace

using Messages = GwesTest;

TEST_F(Messages, TwoProcessesSendingToEachOtherAnswerWhileTheyWait)
{
    LRESULT alpha_got = 0;
    LRESULT beta_got = 0;
    log.on_message = [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        switch (message) {
        case ask_beta:
            alpha_got = SendMessage(FindWindow(nullptr, u"beta"), beta_asks_alpha, 0, 0);
            return 0;
        case beta_asks_alpha:
            return SendMessage(FindWindow(nullptr, u"alpha"), answer_seven, 0, 0) + 1;
        case ask_alpha:
            beta_got = SendMessage(FindWindow(nullptr, u"alpha"), alpha_asks_beta, 0, 0);
            return 0;
        case alpha_asks_beta:
            return SendMessage(FindWindow(nullptr, u"beta"), answer_seven, 0, 0) + 100;
        case answer_seven:
            return 7;
        default:
            return std::nullopt;
        }
    };
    start(u"\\alpha.exe", [] { return window_program(u"alpha"); });
    start(u"\\beta.exe", [] { return window_program(u"beta"); });
    device->run_until_idle();
    // Both send at once: each is answered while it waits for its own answer.
    PostMessage(FindWindow(nullptr, u"alpha"), ask_beta, 0, 0);
    PostMessage(FindWindow(nullptr, u"beta"), ask_alpha, 0, 0);
    device->run_until_idle();
    EXPECT_EQ(alpha_got, 8);
    EXPECT_EQ(beta_got, 107);
}

TEST_F(Messages, BroadcastReachesEveryTopLevelWindowButNoChild)
{
    constexpr UINT notify = WM_USER + 2043;
    HWND main = nullptr, child = nullptr, popup = nullptr, disabled = nullptr, other = nullptr;
    log.on_message = [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_APP && hwnd == main)
            PostMessage(HWND_BROADCAST, notify, 34, 0);
        return std::nullopt;
    };
    start(u"\\hub.exe", [&] {
        register_recorder();
        main = make_window(u"hubscreen", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
        child = make_window(u"", WS_CHILD | WS_VISIBLE, { 0, 0, 50, 50 }, main);
        popup = make_window(u"warning", WS_POPUP, { 80, 60, 400, 200 }, main);
        disabled = make_window(u"off", WS_POPUP | WS_DISABLED, { 0, 0, 10, 10 });
        return pump();
    });
    start(u"\\other.exe", [&] {
        register_recorder();
        other = make_window(u"other", WS_POPUP, { 0, 0, 10, 10 });
        return pump();
    });
    device->run_until_idle();
    ASSERT_FALSE(IsWindowVisible(popup));
    PostMessage(main, WM_APP, 0, 0);
    device->run_until_idle();
    for (HWND hwnd : { main, popup, disabled, other })
        EXPECT_EQ(log.count(hwnd, notify), 1u);
    EXPECT_EQ(log.count(child, notify), 0u);
}

TEST_F(Messages, RegisteredNamesAreDeviceWideAndSkipTheSuitesFixedNumbers)
{
    std::vector<UINT> numbers;
    for (auto* image : { u"\\one.exe", u"\\two.exe" }) {
        start(image, [&] {
            numbers.push_back(RegisterWindowMessage(u"WM_ZOLBT_OUTMSG_MISSCALL"));
            numbers.push_back(RegisterWindowMessage(u"wm_zolbt_outmsg_misscall"));
            return 0;
        });
        device->run_until_idle();
    }
    ASSERT_EQ(numbers.size(), 4u);
    EXPECT_GE(numbers[0], 0xC000u);
    for (UINT number : numbers)
        EXPECT_EQ(number, numbers[0]);

    // Enough names to pass through the suite's fixed numbers: none of them is handed out.
    std::set<UINT> seen { numbers[0] };
    for (int i = 0; i < 4000; ++i) {
        UINT number = RegisterWindowMessage((u"name" + std::u16string(1, char16_t(u'A' + i % 26)) + to_utf16(std::to_string(i))).c_str());
        ASSERT_NE(number, 0u);
        EXPECT_FALSE(number >= 0xCF00 && number <= 0xCF0F) << number;
        EXPECT_TRUE(seen.insert(number).second);
    }
    EXPECT_EQ(RegisterWindowMessage(u""), 0u);
}

TEST_F(Messages, CopyDataReachesTheReceiverAsItsOwnCopyAndCannotBePosted)
{
    std::vector<BYTE> received;
    const void* receiver_pointer = nullptr;
    ULONG_PTR kind = 0;
    log.on_message = [&](HWND, UINT message, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
        if (message != WM_COPYDATA)
            return std::nullopt;
        auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
        kind = data->dwData;
        receiver_pointer = data->lpData;
        received.assign(static_cast<const BYTE*>(data->lpData), static_cast<const BYTE*>(data->lpData) + data->cbData);
        return TRUE;
    };
    start(u"\\dialdeck.exe", [] { return window_program(u"ZOL_VOXLANE"); });
    device->run_until_idle();
    const void* sender_pointer = nullptr;
    BOOL posted = TRUE;
    DWORD post_error = 0;
    LRESULT answer = 0;
    start(u"\\hub.exe", [&] {
        auto buffer = std::make_unique<BYTE[]>(400);
        for (int i = 0; i < 400; ++i)
            buffer[i] = static_cast<BYTE>(i);
        sender_pointer = buffer.get();
        COPYDATASTRUCT data { 11024, 400, buffer.get() };
        HWND target = FindWindow(nullptr, u"ZOL_VOXLANE");
        answer = SendMessage(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        // The sender may free its data as soon as the call returns.
        buffer.reset();
        posted = PostMessage(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        post_error = GetLastError();
        return 0;
    });
    device->run_until_idle();
    EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(kind, 11024u);
    ASSERT_EQ(received.size(), 400u);
    EXPECT_EQ(received[399], static_cast<BYTE>(399));
    EXPECT_NE(receiver_pointer, sender_pointer);
    EXPECT_FALSE(posted);
    EXPECT_EQ(post_error, ERROR_MESSAGE_SYNC_ONLY);
    EXPECT_TRUE(device->debug_log().contains("WM_COPYDATA"));
    EXPECT_EQ(log.count_any(WM_COPYDATA), 1u);
}

TEST_F(Messages, SendMessageTimeoutGivesUpOnAHungReceiver)
{
    log.on_message = [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_APP)
            Sleep(10000);
        return std::nullopt;
    };
    start(u"\\hung.exe", [] { return window_program(u"hung"); });
    device->run_until_idle();
    HWND hung = FindWindow(nullptr, u"hung");
    PostMessage(hung, WM_APP, 0, 0);
    LRESULT sent = TRUE;
    DWORD error = 0;
    uint64_t waited = 0;
    start(u"\\sender.exe", [&] {
        DWORD before = GetTickCount();
        DWORD_PTR result = 0;
        sent = SendMessageTimeout(hung, WM_APP + 1, 0, 0, SMTO_ABORTIFHUNG, 500, &result);
        error = GetLastError();
        waited = GetTickCount() - before;
        return 0;
    });
    device->advance(1000);
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(error, ERROR_TIMEOUT);
    EXPECT_EQ(waited, 500u);
    // The receiver never sees a send its sender gave up on before it started.
    device->advance(10000);
    EXPECT_EQ(log.count(hung, WM_APP + 1), 0u);
}

TEST_F(Messages, WindowsGoWithTheirThreadAndWaitingSendersAreReleased)
{
    HWND worker_window = nullptr;
    LRESULT answer = -1;
    start(u"\\app.exe", [&] {
        register_recorder();
        HANDLE worker = CreateThread(
            nullptr, 0,
            [](LPVOID parameter) -> DWORD {
                *static_cast<HWND*>(parameter) = make_window(u"worker", WS_POPUP, { 0, 0, 10, 10 });
                // Busy elsewhere, never answering, then gone.
                Sleep(1000);
                return 0;
            },
            &worker_window, 0, nullptr);
        Sleep(10);
        answer = SendMessage(worker_window, WM_APP, 0, 0);
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        return 0;
    });
    device->run_until_idle();
    ASSERT_NE(worker_window, nullptr);
    EXPECT_TRUE(IsWindow(worker_window));
    device->advance(1000);
    EXPECT_FALSE(IsWindow(worker_window));
    EXPECT_EQ(FindWindow(nullptr, u"worker"), nullptr);
    EXPECT_EQ(answer, 0);
}

// Another program may end a loop by posting WM_QUIT to one of its windows, as PostQuitMessage would.
TEST_F(Messages, AWmQuitPostedToAWindowEndsItsThreadsLoop)
{
    HWND window = nullptr;
    auto process = start(u"\\app.exe", [&] {
        register_recorder();
        window = make_window(u"app", WS_POPUP, { 0, 0, 10, 10 });
        return pump();
    });
    device->run_until_idle();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostMessage(window, WM_QUIT, 7, 0));
    device->run_until_idle();
    EXPECT_EQ(process->exit_code(), 7u);
}

TEST_F(Messages, APostToAFullQueueIsRefusedWithADebugLineUntilTheThreadReads)
{
    HWND window = nullptr;
    DWORD thread_id = 0;
    HANDLE go = CreateEvent(nullptr, FALSE, FALSE, u"go");
    start(u"\\busy.exe", [&] {
        register_recorder();
        window = make_window(u"busy", WS_POPUP, { 0, 0, 10, 10 });
        thread_id = GetCurrentThreadId();
        // Busy elsewhere: nothing is read until the controller says so.
        HANDLE event = CreateEvent(nullptr, FALSE, FALSE, u"go");
        WaitForSingleObject(event, INFINITE);
        CloseHandle(event);
        return pump();
    });
    device->run_until_idle();
    ASSERT_NE(window, nullptr);
    for (UINT i = 0; i < 10'000; ++i)
        ASSERT_TRUE(PostMessage(window, WM_APP, i, 0)) << i;
    SetLastError(0);
    EXPECT_FALSE(PostMessage(window, WM_APP + 1, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_QUOTA);
    EXPECT_FALSE(PostThreadMessage(thread_id, WM_APP + 2, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_QUOTA);
    EXPECT_FALSE(PostMessage(HWND_BROADCAST, WM_APP + 3, 0, 0));
    char window_text[16];
    std::snprintf(window_text, sizeof window_text, "0x%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)));
    // The lines name the message and the window.
    size_t at = 0;
    ASSERT_TRUE(device->debug_log().contains("PostMessage: message 0x8001", 0, &at));
    EXPECT_TRUE(device->debug_log().contains(window_text, at));
    EXPECT_TRUE(device->debug_log().contains("PostThreadMessage: message 0x8002 for thread " + std::to_string(thread_id)));
    EXPECT_TRUE(device->debug_log().contains("PostMessage: message 0x8003"));

    // Once the thread reads, it gets every message it was sent, and there is room again.
    SetEvent(go);
    device->run_until_idle();
    EXPECT_EQ(log.count(window, WM_APP), 10'000u);
    EXPECT_EQ(log.count(window, WM_APP + 1) + log.count(window, WM_APP + 3), 0u);
    EXPECT_TRUE(PostMessage(window, WM_APP + 1, 0, 0));
    device->run_until_idle();
    EXPECT_EQ(log.count(window, WM_APP + 1), 1u);
    CloseHandle(go);
}

using Timers = GwesTest;

TEST_F(Timers, ARepeatingTimerFiresOncePerPeriodAndReArmsById)
{
    std::vector<DWORD> ticks;
    DWORD start_ticks = 0;
    HWND window = nullptr;
    log.on_message = [&](HWND hwnd, UINT message, WPARAM wparam, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_TIMER && wparam == 2219)
            ticks.push_back(GetTickCount() - start_ticks);
        if (message == WM_APP)
            SetTimer(hwnd, 2219, 300, nullptr);
        return std::nullopt;
    };
    start(u"\\timer.exe", [&] {
        register_recorder();
        window = make_window(u"t", WS_POPUP, { 0, 0, 10, 10 });
        start_ticks = GetTickCount();
        SetTimer(window, 2219, 1000, nullptr);
        return pump();
    });
    device->run_until_idle();
    device->advance(30000);
    ASSERT_EQ(ticks.size(), 30u);
    for (size_t i = 0; i < ticks.size(); ++i)
        EXPECT_EQ(ticks[i], (i + 1) * 1000);

    // Setting the same id again replaces the period, counting from now.
    ticks.clear();
    device->advance(500);
    PostMessage(window, WM_APP, 0, 0);
    device->advance(1000);
    EXPECT_EQ(ticks, (std::vector<DWORD> { 30800, 31100, 31400 }));
}

TEST_F(Timers, KillingATimerDropsItsPendingTickAndTicksDoNotPileUp)
{
    std::vector<std::pair<UINT, WPARAM>> order;
    HWND window = nullptr;
    log.on_message = [&](HWND hwnd, UINT message, WPARAM wparam, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_TIMER || message == WM_APP + 1)
            order.push_back({ message, wparam });
        if (message == WM_APP) {
            // Busy for a second: both timers fall due many times, and timer 2 is killed with
            // its tick pending.
            Sleep(1000);
            KillTimer(hwnd, 2);
            PostMessage(hwnd, WM_APP + 1, 0, 0);
        }
        return std::nullopt;
    };
    start(u"\\timer.exe", [&] {
        register_recorder();
        window = make_window(u"t", WS_POPUP, { 0, 0, 10, 10 });
        SetTimer(window, 1, 100, nullptr);
        SetTimer(window, 2, 100, nullptr);
        PostMessage(window, WM_APP, 0, 0);
        return pump();
    });
    device->run_until_idle();
    device->advance(1050);
    // One tick of timer 1 for the whole second, after the message posted meanwhile.
    std::vector<std::pair<UINT, WPARAM>> expected { { WM_APP + 1, 0 }, { WM_TIMER, 1 } };
    EXPECT_EQ(order, expected);
}

TEST_F(Timers, ATimerProcedureIsCalledInsteadOfTheWindow)
{
    static int s_calls;
    s_calls = 0;
    start(u"\\timer.exe", [&] {
        SetTimer(nullptr, 0, 250, [](HWND, UINT, UINT_PTR, DWORD) { ++s_calls; });
        return pump();
    });
    device->run_until_idle();
    device->advance(1000);
    EXPECT_EQ(s_calls, 4);
}

using Records = GwesTest;

TEST_F(Records, TheWindowSystemsRecordsKeepOnlyTheNewestPastTheDevicesLimit)
{
    device->trace_limit().set(3);
    device->component<MessageBoxes>().set_responder([](const MessageBoxRecord&) { return IDOK; });
    std::vector<HCURSOR> cursors;
    for (uintptr_t id = 0x7F00; id < 0x7F05; ++id)
        cursors.push_back(reinterpret_cast<HCURSOR>(id));
    start(u"\\records.exe", [&] {
        register_recorder();
        make_window(u"off", WS_POPUP | WS_VISIBLE | WS_DISABLED, { 0, 0, 480, 272 });
        for (int i = 0; i < 5; ++i) {
            MessageBox(nullptr, to_utf16(std::to_string(i)).c_str(), u"box", MB_OK);
            MessageBeep(MB_ICONASTERISK + i);
            SetCursor(cursors[i]);
        }
        return pump();
    });
    device->run_until_idle();
    auto& touch = device->component<TouchInput>();
    for (int i = 0; i < 5; ++i)
        touch.tap(10 * i, 10);

    std::vector<std::u16string> texts;
    for (auto& box : device->component<MessageBoxes>().shown())
        texts.push_back(box.text);
    EXPECT_EQ(texts, (std::vector<std::u16string> { u"2", u"3", u"4" }));
    EXPECT_EQ(device->component<MessageBoxes>().beeps(), (std::vector<UINT> { MB_ICONASTERISK + 2, MB_ICONASTERISK + 3, MB_ICONASTERISK + 4 }));
    EXPECT_EQ(device->component<WindowManager>().cursor_history(), (std::vector<HCURSOR> { cursors[2], cursors[3], cursors[4] }));
    // The count goes on; the record keeps the newest drops.
    EXPECT_EQ(touch.dropped(), 10u);
    auto drops = touch.dropped_inputs();
    ASSERT_EQ(drops.size(), 3u);
    EXPECT_EQ(drops[0].message, WM_LBUTTONUP);
    EXPECT_EQ(drops[0].screen.x, 30);
    EXPECT_EQ(drops[1].message, WM_LBUTTONDOWN);
    EXPECT_EQ(drops[2].message, WM_LBUTTONUP);
    EXPECT_EQ(drops[2].screen.x, 40);
}

using Boxes = GwesTest;

TEST_F(Boxes, AResponderAnswersTheBoxWhileTheOwnerIsDisabledAndTapsOnItAreDropped)
{
    auto& boxes = device->component<MessageBoxes>();
    bool owner_enabled_inside = true;
    boxes.set_responder([&](const MessageBoxRecord& record) {
        owner_enabled_inside = IsWindowEnabled(record.owner);
        return IDNO;
    });
    int answer = 0;
    HWND owner = nullptr;
    start(u"\\upvane.exe", [&] {
        register_recorder();
        owner = make_window(u"owner", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
        answer = MessageBox(owner, u"Save changes?", u"Setting", MB_YESNO | MB_ICONQUESTION);
        return pump();
    });
    device->run_until_idle();
    EXPECT_EQ(answer, IDNO);
    EXPECT_FALSE(owner_enabled_inside);
    EXPECT_TRUE(IsWindowEnabled(owner));
    auto shown = boxes.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, u"Setting");
    EXPECT_EQ(shown[0].text, u"Save changes?");
    EXPECT_EQ(shown[0].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(shown[0].answer, IDNO);
    EXPECT_EQ(shown[0].owner, owner);
}

TEST_F(Boxes, WithoutAResponderTheBoxWaitsForATapOnAButton)
{
    auto& boxes = device->component<MessageBoxes>();
    auto& touch = device->component<TouchInput>();
    int answer = 0;
    HWND owner = nullptr;
    start(u"\\app.exe", [&] {
        register_recorder();
        owner = make_window(u"owner", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
        answer = MessageBox(owner, u"Card removed", u"SD", MB_OKCANCEL);
        return pump();
    });
    device->run_until_idle();
    ASSERT_FALSE(IsWindowEnabled(owner));
    // A tap on the owner's part of the screen reaches nobody, not even the owner.
    size_t before = log.count(owner, WM_LBUTTONDOWN);
    touch.tap(5, 5);
    device->run_until_idle();
    EXPECT_EQ(log.count(owner, WM_LBUTTONDOWN), before);
    EXPECT_EQ(touch.dropped(), 2u);
    // The box's Cancel button: the second of two 80-pixel buttons under its centred text.
    HWND box = FindWindow(u"KivoMessageBox", u"SD");
    ASSERT_NE(box, nullptr);
    HWND cancel = GetDlgItem(box, IDCANCEL);
    RECT rect {};
    GetWindowRect(cancel, &rect);
    touch.tap(rect.left + 5, rect.top + 5);
    device->run_until_idle();
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(boxes.shown().at(0).answer, IDCANCEL);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(GetForegroundWindow(), owner);
}
