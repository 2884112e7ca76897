#include "TestDevice.h"

#include "CrtRandom.h"
#include "KernelApi.h"
#include "Process.h"
#include "ThreadTermination.h"
#include "WideCrt.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <latch>
#include <thread>

#include <sys/mman.h>
#include <unistd.h>

using namespace kivo;
using namespace kivo::test;

namespace {

DWORD start(Device& device, std::u16string_view image, PROCESS_INFORMATION& info, std::u16string arguments = u"")
{
    if (!CreateProcess(std::u16string(image).c_str(), arguments.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info))
        return GetLastError();
    (void)device;
    return 0;
}

} // namespace

TEST(Process, NamedEventIsSharedAndTheSecondCreateReportsItExists)
{
    auto device = make_test_device();
    std::vector<DWORD> errors;
    std::vector<bool> saw_set;
    device->programs().add(u"\\NAND\\App\\Glimmo.exe", [&](std::u16string_view) {
        HANDLE event = CreateEvent(nullptr, FALSE, FALSE, u"belongstoPhoto");
        errors.push_back(GetLastError());
        saw_set.push_back(WaitForSingleObject(event, 0) == WAIT_OBJECT_0);
        SetEvent(event);
        Sleep(1000);
        CloseHandle(event);
        return 0;
    });
    PROCESS_INFORMATION first;
    PROCESS_INFORMATION second;
    ASSERT_EQ(start(*device, u"\\nand\\app\\glimmo.exe", first), 0u);
    device->run_until_idle();
    ASSERT_EQ(start(*device, u"NAND\\App\\GLIMMO.EXE", second), 0u);
    device->run_until_idle();
    EXPECT_EQ(errors, (std::vector<DWORD> { ERROR_SUCCESS, ERROR_ALREADY_EXISTS }));
    EXPECT_EQ(saw_set, (std::vector<bool> { false, true }));
    EXPECT_TRUE(device->named_objects().contains(u"belongstoPhoto"));

    // The name goes with the last handle: once both processes end, a create is fresh again.
    device->advance(1000);
    EXPECT_FALSE(device->named_objects().contains(u"belongstoPhoto"));
    HANDLE again = CreateEvent(nullptr, FALSE, FALSE, u"belongstoPhoto");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(again);
}

TEST(Process, EndingAProcessClosesItsHandlesAndReleasesItsNames)
{
    auto device = make_test_device();
    device->programs().add(u"\\leaky.exe", [](std::u16string_view) {
        CreateEvent(nullptr, TRUE, FALSE, u"leaked");
        CreateMutex(nullptr, FALSE, nullptr);
        Sleep(INFINITE);
        return 0;
    });
    PROCESS_INFORMATION info;
    ASSERT_EQ(start(*device, u"\\leaky.exe", info), 0u);
    device->run_until_idle();
    auto process = device->find_process(u"\\leaky.exe");
    ASSERT_TRUE(process);
    EXPECT_EQ(device->handles().count_of(*process), 2u);
    EXPECT_TRUE(device->named_objects().contains(u"leaked"));

    EXPECT_TRUE(TerminateProcess(info.hProcess, 9));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 1000), WAIT_OBJECT_0);
    EXPECT_EQ(device->handles().count_of(*process), 0u);
    EXPECT_FALSE(device->named_objects().contains(u"leaked"));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 9u);
    EXPECT_FALSE(device->find_process(u"\\leaky.exe"));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

TEST(Process, TerminatedWhileBlockedRunsNoMoreOfItsCode)
{
    auto device = make_test_device();
    bool ran_past_wait = false;
    bool destructor_ran = false;
    struct Guard {
        bool* flag;
        ~Guard()
        {
            *flag = true;
            // Blocking calls fail at once while the thread unwinds.
            EXPECT_EQ(WaitForSingleObject(GetCurrentThread(), INFINITE), WAIT_FAILED);
        }
    };
    device->programs().add(u"\\victim.exe", [&](std::u16string_view) {
        Guard guard { &destructor_ran };
        HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
        WaitForSingleObject(never, INFINITE);
        ran_past_wait = true;
        return 0;
    });
    PROCESS_INFORMATION info;
    ASSERT_EQ(start(*device, u"\\victim.exe", info), 0u);
    device->run_until_idle();
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);

    TerminateProcess(info.hProcess, 3);
    device->run_until_idle();
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(info.hThread, 0), WAIT_OBJECT_0);
    EXPECT_FALSE(ran_past_wait);
    EXPECT_TRUE(destructor_ran);
}

TEST(Process, MainReturnEndsTheProcessWithItsOtherThreadsAndItsExitCode)
{
    auto device = make_test_device();
    bool worker_finished = false;
    device->programs().add(u"\\main.exe", [&](std::u16string_view) {
        CreateThread(
            nullptr, 0, [](LPVOID finished) -> DWORD {
                Sleep(5000);
                *static_cast<bool*>(finished) = true;
                return 0;
            },
            &worker_finished, 0, nullptr);
        Sleep(10);
        return 42;
    });
    PROCESS_INFORMATION info;
    ASSERT_EQ(start(*device, u"\\main.exe", info), 0u);
    device->advance(10'000);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(code, 42u);
    EXPECT_FALSE(worker_finished);
}

TEST(Process, StartFailuresCarryThePlatformsError)
{
    auto device = make_test_device();
    device->programs().add(u"\\NAND\\App\\Telvix.exe", [](std::u16string_view) { return 0; });
    PROCESS_INFORMATION info;
    EXPECT_EQ(start(*device, u"\\NAND\\App\\Missing.exe", info), ERROR_FILE_NOT_FOUND);
    device->programs().set_start_failure(u"\\nand\\app\\telvix.exe", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(start(*device, u"\\NAND\\App\\Telvix.exe", info), ERROR_NOT_ENOUGH_MEMORY);
    device->programs().set_start_failure(u"\\NAND\\App\\Telvix.exe", 0);
    device->set_image_check([](std::u16string_view) -> DWORD { return ERROR_PATH_NOT_FOUND; });
    EXPECT_EQ(start(*device, u"\\NAND\\App\\Telvix.exe", info), ERROR_PATH_NOT_FOUND);
    device->set_image_check({});
    EXPECT_EQ(start(*device, u"\\NAND\\App\\Telvix.exe", info), 0u);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

TEST(Process, ModuleNameCommandLineAndProcessLocalState)
{
    auto device = make_test_device();
    static ProcessLocal<int> counter;
    std::vector<std::string> seen;
    device->programs().add(u"\\NAND\\App\\BT\\Voxlane.exe", [&](std::u16string_view) {
        WCHAR path[MAX_PATH];
        GetModuleFileName(nullptr, path, MAX_PATH);
        WCHAR small[6];
        DWORD cut = GetModuleFileName(nullptr, small, 6);
        *counter += 1;
        Sleep(10);
        *counter += 1;
        seen.push_back(to_utf8(path) + "|" + to_utf8(GetCommandLine()) + "|" + std::to_string(cut) + to_utf8(small) + "|"
            + std::to_string(*counter));
        return 0;
    });
    PROCESS_INFORMATION a;
    PROCESS_INFORMATION b;
    start(*device, u"\\nand\\app\\bt\\VOXLANE.exe", a, u"-h");
    start(*device, u"\\NAND\\App\\BT\\Voxlane.exe", b, u"-type:2");
    device->advance(100);
    // Each process counts for itself although both ran interleaved.
    EXPECT_EQ(seen, (std::vector<std::string> {
                        "\\NAND\\App\\BT\\Voxlane.exe|-h|5\\NAND|2",
                        "\\NAND\\App\\BT\\Voxlane.exe|-type:2|5\\NAND|2",
                    }));
    EXPECT_EQ(*counter, 0); // the controller's own process has its own
}

TEST(Process, BootLauncherStartsProgramsOnceTheirLaunchNumbersAreSignalled)
{
    auto device = make_test_device();
    std::vector<std::string> order;
    device->programs().add(u"\\Windows\\Upvane.exe", [&](std::u16string_view arguments) {
        order.push_back("updater " + to_utf8(arguments));
        Sleep(500);
        SignalStarted(_wtoi(std::u16string(arguments).c_str()));
        return 0;
    });
    device->programs().add(u"\\NAND\\App\\Hubscreen.exe", [&](std::u16string_view) {
        order.push_back("home screen");
        return 0;
    });
    device->boot_launcher().set_table({
        { u"\\NAND\\App\\Hubscreen.exe", 60, { 50 } },
        { u"\\Windows\\Upvane.exe", 50, {} },
    });
    device->boot_launcher().boot();
    device->advance(499);
    EXPECT_EQ(order, (std::vector<std::string> { "updater 50" }));
    device->advance(1);
    EXPECT_EQ(order, (std::vector<std::string> { "updater 50", "home screen" }));
}

TEST(Process, PowerOffEndsTheRunWithoutReturningToTheCaller)
{
    auto device = make_test_device();
    bool returned = false;
    bool other_ran_on = false;
    device->programs().add(u"\\waits.exe", [&](std::u16string_view) {
        Sleep(1000);
        other_ran_on = true;
        return 0;
    });
    device->programs().add(u"\\off.exe", [&](std::u16string_view) {
        Sleep(10);
        GwesPowerOffSystem();
        returned = true;
        return 0;
    });
    DWORD error;
    device->create_process(u"\\waits.exe", u"", error);
    device->create_process(u"\\off.exe", u"", error);
    device->advance(2000);
    EXPECT_EQ(device->stop_reason(), StopReason::PowerOff);
    EXPECT_FALSE(returned);
    EXPECT_FALSE(other_ran_on);
    EXPECT_TRUE(device->processes().empty());
    EXPECT_FALSE(device->create_process(u"\\waits.exe", u"", error));
}

TEST(Process, AnotherProcesssHandleIsRefused)
{
    auto device = make_test_device();
    HANDLE mine = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    DWORD result = 0;
    DWORD error = 0;
    device->programs().add(u"\\snoop.exe", [&](std::u16string_view) {
        result = WaitForSingleObject(mine, 0);
        error = GetLastError();
        return 0;
    });
    DWORD create_error;
    device->create_process(u"\\snoop.exe", u"", create_error);
    device->run_until_idle();
    EXPECT_EQ(result, WAIT_FAILED);
    EXPECT_EQ(error, ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(mine, 0), WAIT_OBJECT_0);
}

TEST(Process, AKillInsideADeferredScopeFailsTheWaitAndEndsTheThreadAtItsNextWait)
{
    auto device = make_test_device();
    std::vector<std::string> trace;
    device->programs().add(u"\\holder.exe", [&](std::u16string_view) {
        HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
        {
            DeferredTermination deferred;
            DWORD result = WaitForSingleObject(never, INFINITE);
            trace.push_back(result == WAIT_FAILED ? "deferred wait failed" : "deferred wait ended otherwise");
        }
        trace.push_back("after the scope");
        WaitForSingleObject(never, INFINITE);
        trace.push_back("ran past the next wait");
        return 0;
    });
    PROCESS_INFORMATION info;
    ASSERT_EQ(start(*device, u"\\holder.exe", info), 0u);
    device->run_until_idle();
    TerminateProcess(info.hProcess, 1);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 1000), WAIT_OBJECT_0);
    EXPECT_EQ(trace, (std::vector<std::string> { "deferred wait failed", "after the scope" }));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

namespace {

// Process-wide state whose making takes a while: both threads are inside its constructor at once.
struct SlowState {
    static inline std::atomic<int> alive = 0;
    static inline std::latch* both_making = nullptr;
    SlowState()
    {
        ++alive;
        // Making it reaches other state of the same process, as a program's globals do.
        static ProcessLocal<std::atomic<int>> inner;
        *inner += 1;
        if (both_making)
            both_making->arrive_and_wait();
    }
    ~SlowState() { --alive; }
};

} // namespace

TEST(Process, EachProcessDrawsRandomNumbersFromItsOwnGeneratorSeededOne)
{
    auto device = make_test_device();
    // The run-time's sequence from seed 1, and from seed 7.
    const std::vector<int> from_one { 41, 18467, 6334 };
    const std::vector<int> from_seven { 61, 17422, 15215 };
    std::vector<std::vector<int>> drawn;
    device->programs().add(u"\\NAND\\App\\Draw.exe", [&](std::u16string_view command_line) {
        if (command_line == u"seed")
            kivo_srand(7);
        std::vector<int> values;
        for (int i = 0; i < 3; ++i) {
            values.push_back(kivo_rand());
            Sleep(1);
        }
        drawn.push_back(values);
        return 0;
    });
    PROCESS_INFORMATION a;
    PROCESS_INFORMATION b;
    start(*device, u"\\NAND\\App\\Draw.exe", a, u"seed");
    start(*device, u"\\NAND\\App\\Draw.exe", b);
    device->advance(100);
    // Both drew in turns; the second keeps seed 1 whatever the first seeded.
    EXPECT_EQ(drawn, (std::vector<std::vector<int>> { from_seven, from_one }));
    kivo_srand(1);
    EXPECT_EQ(kivo_rand(), from_one[0]) << "seeding 1 again starts the sequence again";
}

TEST(Process, StateMadeByTwoThreadsAtOnceIsKeptOnce)
{
    auto device = make_test_device();
    static ProcessLocal<SlowState> state;
    std::latch both_making(2);
    SlowState::both_making = &both_making;
    SlowState* seen[2] = {};
    auto use = [&](int i) {
        Device::HostThreadScope scope(*device);
        seen[i] = &state.get();
    };
    std::thread first(use, 0);
    std::thread second(use, 1);
    first.join();
    second.join();
    SlowState::both_making = nullptr;
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(&state.get(), seen[0]);
    EXPECT_EQ(SlowState::alive, 1);
}

// A thread ends owning a mutex that was freed meanwhile: the owner must not reach it.
TEST(Process, AMutexFreedWhileOwnedIsForgottenByItsOwner)
{
    struct Case {
        const char* name;
        void (*own_and_free)();
    };
    const Case cases[] = {
        { "critical section deleted inside",
            [] {
                CRITICAL_SECTION section;
                InitializeCriticalSection(&section);
                EnterCriticalSection(&section);
                DeleteCriticalSection(&section);
            } },
        { "named mutex made owned, handle closed",
            [] { CloseHandle(CreateMutex(nullptr, TRUE, u"owned")); } },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto device = make_test_device();
        static void (*own_and_free)();
        own_and_free = c.own_and_free;
        device->programs().add(u"\\owner.exe", [](std::u16string_view) {
            HANDLE worker = CreateThread(
                nullptr, 0, [](LPVOID) -> DWORD {
                    own_and_free();
                    return 0;
                },
                nullptr, 0, nullptr);
            WaitForSingleObject(worker, INFINITE);
            CloseHandle(worker);
            own_and_free();
            return 7;
        });
        PROCESS_INFORMATION info;
        ASSERT_EQ(start(*device, u"\\owner.exe", info), 0u);
        ASSERT_EQ(WaitForSingleObject(info.hProcess, 1000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        EXPECT_EQ(code, 7u);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
}

TEST(Process, AMutexOwnedByAHostThreadPassesOnAbandonedWhenItsScopeEnds)
{
    auto device = make_test_device();
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    std::thread host([&] {
        Device::HostThreadScope scope(*device);
        EnterCriticalSection(&section);
    });
    host.join();
    EXPECT_EQ(WaitForSingleObject(section.LockHandle, 0), WAIT_ABANDONED);
    LeaveCriticalSection(&section);
    DeleteCriticalSection(&section);
}

// On the real clock a child runs at once and may be over before its creator reads its threads.
TEST(Process, AChildThatEndsAtOnceStillGivesItsMainThreadToTheCreator)
{
    auto device = make_test_device({ .mode = ClockMode::Real });
    device->programs().add(u"\\brief.exe", [](std::u16string_view) { return 3; });
    // In batches, so that the children compete with their creator for the host's processors.
    for (int batch = 0; batch < 50; ++batch) {
        PROCESS_INFORMATION infos[8] {};
        for (auto& info : infos) {
            ASSERT_EQ(start(*device, u"\\brief.exe", info), 0u);
            ASSERT_NE(info.hThread, nullptr);
            EXPECT_NE(info.dwThreadId, 0u);
        }
        for (auto& info : infos) {
            EXPECT_EQ(WaitForSingleObject(info.hThread, 10'000), WAIT_OBJECT_0);
            EXPECT_EQ(WaitForSingleObject(info.hProcess, 10'000), WAIT_OBJECT_0);
            DWORD code = 0;
            GetExitCodeProcess(info.hProcess, &code);
            EXPECT_EQ(code, 3u);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
}

TEST(Process, HandleValuesWrapAndSkipValuesInUse)
{
    auto device = make_test_device();
    HANDLE low = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    auto low_value = reinterpret_cast<uintptr_t>(low);

    // A value still in use is never handed out again.
    device->handles().set_next_value(low_value);
    HANDLE other = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    EXPECT_NE(other, low);
    EXPECT_EQ(WaitForSingleObject(low, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_OBJECT_0);

    // Past the last value they start again low, around the ones in use.
    device->handles().set_next_value(0x7FFF'FFEC);
    HANDLE last = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(last), 0x7FFF'FFECu);
    std::vector<HANDLE> wrapped;
    for (int i = 0; i < 64; ++i) {
        HANDLE handle = CreateEvent(nullptr, TRUE, FALSE, nullptr);
        EXPECT_LT(reinterpret_cast<uintptr_t>(handle), low_value + 0x1000);
        EXPECT_NE(handle, low);
        EXPECT_NE(handle, other);
        wrapped.push_back(handle);
    }
    EXPECT_EQ(WaitForSingleObject(low, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_OBJECT_0);
    for (HANDLE handle : wrapped)
        EXPECT_TRUE(CloseHandle(handle));
    for (HANDLE handle : { low, other, last })
        EXPECT_TRUE(CloseHandle(handle));
}

TEST(Process, NamesOfGoneObjectsDoNotAccumulate)
{
    auto device = make_test_device();
    HANDLE kept = CreateEvent(nullptr, TRUE, FALSE, u"kept");
    for (int i = 0; i < 5000; ++i)
        CloseHandle(CreateSemaphore(nullptr, 0, 1, to_utf16("name " + std::to_string(i)).c_str()));
    EXPECT_LT(device->named_objects().entry_count(), 200u);
    EXPECT_TRUE(device->named_objects().contains(u"kept"));
    HANDLE again = CreateEvent(nullptr, TRUE, FALSE, u"kept");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(again);
    CloseHandle(kept);
}

TEST(Process, TheDebugLogKeepsTheNewestLinesWithTheirSequenceNumbers)
{
    auto device = make_test_device();
    device->trace_limit().set(3);
    for (int i = 0; i < 5; ++i)
        OutputDebugString(to_utf16("line " + std::to_string(i) + "\r\n").c_str());
    EXPECT_EQ(debug_lines(*device), (std::vector<std::string> { "line 2", "line 3", "line 4" }));
    EXPECT_EQ(device->debug_log().size(), 3u);
    EXPECT_EQ(device->debug_log().first_sequence(), 2u);
    EXPECT_EQ(device->debug_log().end_sequence(), 5u);
    size_t found_at = 0;
    EXPECT_FALSE(device->debug_log().contains("line 1"));
    ASSERT_TRUE(device->debug_log().contains("line", 0, &found_at));
    EXPECT_EQ(found_at, 2u);
    ASSERT_TRUE(device->debug_log().contains("line", 4, &found_at));
    EXPECT_EQ(found_at, 4u);
    EXPECT_FALSE(device->debug_log().contains("line", 5));
}

namespace {

// A component whose making needs another thread to get a component.
struct Second final : DeviceComponent {
    explicit Second(Device&) { }
};

struct First final : DeviceComponent {
    explicit First(Device& device)
    {
        auto helper = std::async(std::launch::async, [&device] { device.component<Second>(); });
        // Only a deadlock makes this wait last; the helper is then joined once this one is kept.
        helper_done = helper.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        m_helper = std::move(helper);
    }
    bool helper_done = false;
    std::future<void> m_helper;
};

} // namespace

TEST(Process, AComponentIsMadeOutsideTheComponentsLock)
{
    auto device = make_test_device();
    EXPECT_TRUE(device->component<First>().helper_done);
}

// A process hands another an address (a window message's lParam); whatever it holds, reading it
// must answer, never fault.
TEST(Process, ReadingAnotherProcesssMemoryRefusesWhatCannotBeRead)
{
    auto device = make_test_device();
    const long page = sysconf(_SC_PAGESIZE);
    // Two pages, the second given back: a read that runs into it stops at the first page's end.
    auto* pages = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(munmap(pages + page, page), 0);
    std::memset(pages, 'k', page);
    const char block[] = "dial 0123456789";

    struct Case {
        const char* what;
        const void* address;
        DWORD size;
        BOOL answer;
        DWORD error;
        DWORD read;
    };
    const Case cases[] = {
        { "a live block", block, sizeof(block), TRUE, 0, sizeof(block) },
        { "nothing asked", reinterpret_cast<const void*>(1), 0, TRUE, 0, 0 },
        { "null", nullptr, 16, FALSE, ERROR_PARTIAL_COPY, 0 },
        { "one", reinterpret_cast<const void*>(1), 16, FALSE, ERROR_PARTIAL_COPY, 0 },
        { "0xDEADBEEF", reinterpret_cast<const void*>(0xDEADBEEF), 16, FALSE, ERROR_PARTIAL_COPY, 0 },
        { "a block given back", pages + page, 16, FALSE, ERROR_PARTIAL_COPY, 0 },
        { "a block running into one given back", pages + page - 4, 16, FALSE, ERROR_PARTIAL_COPY, 4 },
    };
    for (auto& c : cases) {
        char copy[32] = {};
        DWORD read = 12345;
        SetLastError(0);
        EXPECT_EQ(ReadProcessMemory(GetCurrentProcess(), c.address, copy, c.size, &read), c.answer) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
        EXPECT_EQ(read, c.read) << c.what;
        if (c.answer && c.size) {
            EXPECT_EQ(std::memcmp(copy, c.address, c.size), 0) << c.what;
        }
    }
    munmap(pages, page);

    // Through another process's handle: while it runs, and refused once it has ended.
    HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
    device->programs().add(u"\\navi.exe", [](std::u16string_view) {
        HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
        WaitForSingleObject(go, INFINITE);
        CloseHandle(go);
        return 0;
    });
    PROCESS_INFORMATION info {};
    ASSERT_EQ(start(*device, u"\\navi.exe", info), 0u);
    device->run_until_idle();
    char copy[sizeof(block)] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadProcessMemory(info.hProcess, block, copy, sizeof(block), &read));
    EXPECT_EQ(read, sizeof(block));
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_FALSE(ReadProcessMemory(info.hProcess, block, copy, sizeof(block), &read));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    CloseHandle(go);
    EXPECT_FALSE(ReadProcessMemory(info.hProcess, block, copy, sizeof(block), &read));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}
