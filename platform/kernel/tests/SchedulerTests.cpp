#include "TestDevice.h"

#include "KernelApi.h"
#include "ThreadTermination.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace kivo;
using namespace kivo::test;

namespace {

void trace(const char* text)
{
    OutputDebugString(to_utf16(text).c_str());
}

// Three threads in two processes: sleeps, event waits and several wake-ups due at the same time.
std::vector<std::string> run_mixed_scenario()
{
    auto device = make_test_device();
    device->programs().add(u"\\NAND\\App\\first.exe", [](std::u16string_view) {
        HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
        HANDLE worker = CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD {
                HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
                trace("worker waits");
                WaitForSingleObject(go, INFINITE);
                trace("worker released");
                Sleep(100);
                trace("worker at 100");
                CloseHandle(go);
                return 7;
            },
            nullptr, 0, nullptr);
        trace("first sleeps");
        Sleep(100);
        trace("first sets go");
        SetEvent(go);
        Sleep(100);
        trace("first at 200");
        WaitForSingleObject(worker, INFINITE);
        trace("first joined worker");
        CloseHandle(worker);
        CloseHandle(go);
        return 0;
    });
    device->programs().add(u"\\NAND\\App\\second.exe", [](std::u16string_view) {
        HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
        trace("second waits with 100");
        DWORD result = WaitForSingleObject(go, 100);
        trace(result == WAIT_TIMEOUT ? "second timed out" : "second released");
        Sleep(100);
        trace("second at 200");
        CloseHandle(go);
        return 0;
    });
    DWORD error;
    device->create_process(u"\\NAND\\App\\first.exe", u"", error);
    device->create_process(u"\\NAND\\App\\second.exe", u"", error);
    device->advance(1000);
    std::vector<std::string> lines;
    for (auto& line : device->debug_log().lines())
        lines.push_back(std::to_string(line.time_ms) + " " + std::to_string(line.process_id) + " " + line.text);
    return lines;
}

} // namespace

TEST(Scheduler, MixedScenarioGivesTheSameTraceOnEveryRun)
{
    auto first = run_mixed_scenario();
    ASSERT_EQ(first.size(), 10u);
    for (int run = 0; run < 20; ++run)
        ASSERT_EQ(run_mixed_scenario(), first) << "run " << run;
}

TEST(Scheduler, CreatedProcessRunsOnlyOnceItsCreatorBlocks)
{
    auto device = make_test_device();
    std::vector<std::string> order;
    device->programs().add(u"\\child.exe", [&](std::u16string_view arguments) {
        order.push_back("child runs with " + to_utf8(arguments));
        return 0;
    });
    device->programs().add(u"\\parent.exe", [&](std::u16string_view) {
        PROCESS_INFORMATION info;
        WCHAR arguments[] = u"-h";
        CreateProcess(u"\\child.exe", arguments, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info);
        for (int i = 0; i < 1000; ++i)
            GetCurrentProcessId(); // busy, but not blocking
        order.push_back("parent still running");
        WaitForSingleObject(info.hProcess, INFINITE);
        order.push_back("parent saw child end");
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        return 0;
    });
    DWORD error;
    device->create_process(u"\\parent.exe", u"", error);
    device->run_until_idle();
    EXPECT_EQ(order, (std::vector<std::string> { "parent still running", "child runs with -h", "parent saw child end" }));
}

TEST(Scheduler, WaitForMultipleObjectsPicksTheLowestSignalledIndex)
{
    auto device = make_test_device();
    HANDLE events[3];
    for (auto& event : events)
        event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    SetEvent(events[2]);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2); // auto reset took index 1
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_TIMEOUT);

    // A blocked waiter, woken while two are signalled, also takes the lowest.
    DWORD got = 0;
    device->programs().add(u"\\waiter.exe", [&](std::u16string_view) {
        HANDLE a = CreateEvent(nullptr, FALSE, FALSE, u"a");
        HANDLE b = CreateEvent(nullptr, FALSE, FALSE, u"b");
        HANDLE both[] = { a, b };
        got = WaitForMultipleObjects(2, both, FALSE, INFINITE);
        return 0;
    });
    DWORD error;
    device->create_process(u"\\waiter.exe", u"", error);
    device->run_until_idle();
    HANDLE a = CreateEvent(nullptr, FALSE, FALSE, u"a");
    HANDLE b = CreateEvent(nullptr, FALSE, FALSE, u"b");
    SetEvent(b);
    SetEvent(a);
    device->run_until_idle();
    EXPECT_EQ(got, WAIT_OBJECT_0);
}

TEST(Scheduler, WaitResultsForTimeoutsMutexesAndBadHandles)
{
    auto device = make_test_device();
    HANDLE event = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    DWORD start = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(event, 200), WAIT_TIMEOUT);
    EXPECT_EQ(GetTickCount() - start, 200u); // the controller's wait drives the clock

    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x12345), 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // A mutex whose owner ends without releasing it reaches the next waiter as abandoned.
    device->programs().add(u"\\owner.exe", [](std::u16string_view) {
        CreateMutex(nullptr, TRUE, u"shared");
        Sleep(100);
        return 0;
    });
    DWORD error;
    device->create_process(u"\\owner.exe", u"", error);
    device->run_until_idle();
    HANDLE mutex = CreateMutex(nullptr, TRUE, u"shared");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS); // and so not owned by this create
    EXPECT_EQ(WaitForSingleObject(mutex, 50), WAIT_TIMEOUT);
    device->advance(100);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
}

TEST(Scheduler, CriticalSectionContentionBlocksThroughTheScheduler)
{
    auto device = make_test_device();
    std::vector<std::string> order;
    struct Shared {
        CRITICAL_SECTION section;
        std::vector<std::string>* order;
    };
    device->programs().add(u"\\cs.exe", [&](std::u16string_view) {
        Shared shared { {}, &order };
        InitializeCriticalSection(&shared.section);
        EnterCriticalSection(&shared.section);
        HANDLE other = CreateThread(
            nullptr, 0, [](LPVOID p) -> DWORD {
                auto* shared = static_cast<Shared*>(p);
                EXPECT_FALSE(TryEnterCriticalSection(&shared->section));
                EnterCriticalSection(&shared->section);
                shared->order->push_back("worker inside");
                LeaveCriticalSection(&shared->section);
                return 0;
            },
            &shared, 0, nullptr);
        Sleep(50);
        order.push_back("main leaves");
        LeaveCriticalSection(&shared.section);
        WaitForSingleObject(other, INFINITE);
        CloseHandle(other);
        DeleteCriticalSection(&shared.section);
        return 0;
    });
    DWORD error;
    device->create_process(u"\\cs.exe", u"", error);
    device->advance(100);
    EXPECT_EQ(order, (std::vector<std::string> { "main leaves", "worker inside" }));
}

TEST(Scheduler, RealClockRunsThreadsInParallelWithTheSameCalls)
{
    auto device = make_test_device({ .mode = ClockMode::Real });
    device->programs().add(u"\\pingpong.exe", [](std::u16string_view) {
        HANDLE ping = CreateEvent(nullptr, FALSE, FALSE, u"ping");
        HANDLE pong = CreateEvent(nullptr, FALSE, FALSE, u"pong");
        HANDLE partner = CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD {
                HANDLE ping = CreateEvent(nullptr, FALSE, FALSE, u"ping");
                HANDLE pong = CreateEvent(nullptr, FALSE, FALSE, u"pong");
                for (int i = 0; i < 100; ++i) {
                    WaitForSingleObject(ping, INFINITE);
                    SetEvent(pong);
                }
                CloseHandle(ping);
                CloseHandle(pong);
                return 5;
            },
            nullptr, 0, nullptr);
        for (int i = 0; i < 100; ++i) {
            SetEvent(ping);
            WaitForSingleObject(pong, INFINITE);
        }
        WaitForSingleObject(partner, INFINITE);
        DWORD code = 0;
        GetExitCodeThread(partner, &code);
        return static_cast<int>(code);
    });
    PROCESS_INFORMATION info;
    WCHAR none[] = u"";
    ASSERT_TRUE(CreateProcess(u"\\pingpong.exe", none, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 10'000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(code, 5u);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

TEST(Scheduler, RealClockIdleWaitsUntilAWokenThreadHasRun)
{
    // A woken thread counts as ready from the wake on, not only once the host has scheduled it.
    auto device = make_test_device({ .mode = ClockMode::Real });
    static std::atomic<int> s_handled;
    s_handled = 0;
    device->programs().add(u"\\handler.exe", [](std::u16string_view) {
        HANDLE work = CreateEvent(nullptr, FALSE, FALSE, u"work");
        for (;;) {
            WaitForSingleObject(work, INFINITE);
            ++s_handled;
        }
        return 0;
    });
    DWORD error;
    device->create_process(u"\\handler.exe", u"", error);
    device->run_until_idle();
    HANDLE work = CreateEvent(nullptr, FALSE, FALSE, u"work");
    for (int round = 1; round <= 200; ++round) {
        SetEvent(work);
        device->run_until_idle();
        ASSERT_EQ(s_handled.load(), round);
    }
    CloseHandle(work);
}

TEST(Scheduler, TimeOutsPollersAndCallbacksDueTogetherRunInAFixedOrder)
{
    // Threads that block hand the turn on themselves; the order must stay the controller's: at
    // each time the pollers, then the entries due in the order they were made (callbacks run as
    // they come up), then the woken threads in that order.
    auto device = make_test_device();
    static DWORD s_start;
    s_start = device->clock().tick_count();
    std::vector<std::string> order;
    auto note = [&](const char* name) { order.push_back(std::string(name) + " " + std::to_string(GetTickCount() - s_start)); };
    auto sleeper = [&](const char* name) {
        return [&note, name](std::u16string_view) {
            for (int i = 0; i < 3; ++i) {
                Sleep(100);
                note(name);
            }
            return 0;
        };
    };
    device->programs().add(u"\\a.exe", sleeper("a"));
    device->programs().add(u"\\b.exe", sleeper("b"));
    device->programs().add(u"\\poller.exe", [&](std::u16string_view) {
        while (GetTickCount() - s_start < 150) {
        }
        note("poller");
        return 0;
    });
    DWORD error;
    device->create_process(u"\\a.exe", u"", error);
    device->run_until_idle();
    device->scheduler().schedule_at(device->clock().now_ms() + 100, [&] { order.push_back("callback"); });
    device->create_process(u"\\b.exe", u"", error);
    device->create_process(u"\\poller.exe", u"", error);
    device->advance(1000);
    EXPECT_EQ(order, (std::vector<std::string> { "callback", "a 100", "b 100", "poller 200", "a 200", "b 200", "a 300", "b 300" }));
}

namespace {

std::atomic<bool> g_release_spinner;

// A thread that stays in host code once its wait is over (a decoder loop, a library's own wait).
DWORD spin_in_host_code(LPVOID)
{
    {
        DeferredTermination deferred;
        HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
        WaitForSingleObject(never, INFINITE);
    }
    while (!g_release_spinner)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
}

} // namespace

TEST(Scheduler, ShutDownLeavesBehindAThreadThatNeverComesBackAndSaysWhich)
{
    // On either clock, the device's end must not hang on a thread stuck in host code: past the
    // limit it is named, with its last blocking call, and left behind; it parks if it ever
    // returns to the layer.
    for (auto mode : { ClockMode::Virtual, ClockMode::Real }) {
        SCOPED_TRACE(mode == ClockMode::Virtual ? "virtual" : "real");
        g_release_spinner = false;
        auto device = make_test_device({ .mode = mode });
        device->programs().add(u"\\NAND\\App\\decoder.exe", [](std::u16string_view) {
            CreateThread(nullptr, 0, spin_in_host_code, nullptr, 0, nullptr);
            Sleep(INFINITE);
            return 0;
        });
        DWORD error;
        device->create_process(u"\\NAND\\App\\decoder.exe", u"", error);
        device->run_until_idle();
        device->scheduler().set_shut_down_limit(std::chrono::milliseconds(50));
        testing::internal::CaptureStderr();
        device.reset();
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("\\NAND\\App\\decoder.exe, thread "), std::string::npos) << said;
        EXPECT_NE(said.find("last blocking layer call"), std::string::npos) << said;
        EXPECT_NE(said.find("wait_for on event"), std::string::npos) << said;
        EXPECT_NE(said.find("left behind"), std::string::npos) << said;
        g_release_spinner = true;
    }
}

TEST(Scheduler, RealClockKillRacesThreadsBeingCreated)
{
    // The kill and state flags are read without the lock by threads starting up while the process
    // is ended (a ThreadSanitizer run checks the flags are safe).
    auto device = make_test_device({ .mode = ClockMode::Real });
    device->programs().add(u"\\spawner.exe", [](std::u16string_view) {
        for (int i = 0; i < 20; ++i)
            CreateThread(
                nullptr, 0, [](LPVOID) -> DWORD {
                    Sleep(INFINITE);
                    return 0;
                },
                nullptr, 0, nullptr);
        Sleep(INFINITE);
        return 0;
    });
    for (int round = 0; round < 10; ++round) {
        PROCESS_INFORMATION info;
        WCHAR none[] = u"";
        ASSERT_TRUE(CreateProcess(u"\\spawner.exe", none, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        TerminateProcess(info.hProcess, 4);
        ASSERT_EQ(WaitForSingleObject(info.hProcess, 10'000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        EXPECT_EQ(code, 4u);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
}
