#include "TestDevice.h"

#include "KernelApi.h"
#include "WideText.h"

#include <gtest/gtest.h>

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
