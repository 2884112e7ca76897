#include "TestDevice.h"

#include "HostMutex.h"
#include "KernelApi.h"
#include "SimCondition.h"
#include "SimMutex.h"
#include "SimThread.h"
#include "ThreadTermination.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

// A filter's input: samples pushed by one thread, taken by another that waits for them.
struct SampleQueue {
    SimMutex mutex;
    SimCondition arrived;
    std::deque<int> samples;
};

SampleQueue* g_queue;
std::vector<std::string>* g_trace;

void note(const std::string& text)
{
    g_trace->push_back(text + " at " + std::to_string(Device::current().clock().now_ms() % 100'000));
}

int run_filter(std::u16string_view)
{
    CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD {
            for (int sample = 1; sample <= 2; ++sample) {
                Sleep(40);
                std::lock_guard held(g_queue->mutex);
                g_queue->samples.push_back(sample);
                g_queue->arrived.notify_one();
            }
            return 0;
        },
        nullptr, 0, nullptr);
    std::unique_lock held(g_queue->mutex);
    for (;;) {
        // On the real clock a loaded machine (sanitizers, parallel builds) may wake the producer
        // late, so the deadline there only has to come after both samples.
        bool real = Device::current().clock().mode() == ClockMode::Real;
        uint64_t deadline = Device::current().clock().now_ms() + (real ? 1'000 : 50);
        if (!g_queue->arrived.wait(held, deadline, [] { return !g_queue->samples.empty(); })) {
            note("no sample");
            return 0;
        }
        note("sample " + std::to_string(g_queue->samples.front()));
        g_queue->samples.pop_front();
    }
}

} // namespace

TEST(SimCondition, AFilterWaitsForSamplesWithADeadlineOnEitherClock)
{
    for (auto mode : { ClockMode::Virtual, ClockMode::Real }) {
        SCOPED_TRACE(mode == ClockMode::Virtual ? "virtual" : "real");
        auto device = make_test_device({ .mode = mode });
        SampleQueue queue;
        std::vector<std::string> trace;
        g_queue = &queue;
        g_trace = &trace;
        device->programs().add(u"\\filter.exe", run_filter);
        PROCESS_INFORMATION info;
        WCHAR none[] = u"";
        ASSERT_TRUE(CreateProcess(u"\\filter.exe", none, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        ASSERT_EQ(WaitForSingleObject(info.hProcess, 10'000), WAIT_OBJECT_0);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        ASSERT_EQ(trace.size(), 3u);
        if (mode == ClockMode::Virtual) {
            // Exact device times: the waits give the turn away and end on the device clock.
            EXPECT_EQ(trace, (std::vector<std::string> { "sample 1 at 40", "sample 2 at 80", "no sample at 130" }));
        } else {
            EXPECT_EQ(trace[0].substr(0, 8), "sample 1");
            EXPECT_EQ(trace[1].substr(0, 8), "sample 2");
            EXPECT_EQ(trace[2].substr(0, 9), "no sample");
        }
    }
}

TEST(SimMutex, AThreadWaitingForTheLockGivesItsTurnAway)
{
    auto device = make_test_device();
    SampleQueue queue;
    std::vector<std::string> trace;
    g_queue = &queue;
    g_trace = &trace;
    device->programs().add(u"\\holder.exe", [](std::u16string_view) {
        CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD {
                std::lock_guard held(g_queue->mutex);
                note("second has the lock");
                return 0;
            },
            nullptr, 0, nullptr);
        std::unique_lock held(g_queue->mutex);
        Sleep(30); // the second thread runs meanwhile and waits for the lock
        note("first lets go");
        held.unlock();
        Sleep(10);
        EXPECT_TRUE(g_queue->mutex.try_lock());
        g_queue->mutex.unlock();
        return 0;
    });
    DWORD error;
    device->create_process(u"\\holder.exe", u"", error);
    device->advance(100);
    EXPECT_EQ(trace, (std::vector<std::string> { "first lets go at 30", "second has the lock at 30" }));
}

TEST(SimCondition, AKillEndsTheWaitWithTheLockTakenAgain)
{
    // Killed in the wait, the thread holds the mutex again as it unwinds past its guard, which
    // releases it; within a deferred scope the wait fails instead and the thread goes on.
    for (bool deferred : { false, true }) {
        SCOPED_TRACE(deferred ? "deferred" : "thrown");
        auto device = make_test_device();
        SampleQueue queue;
        std::vector<std::string> trace;
        g_queue = &queue;
        g_trace = &trace;
        static bool s_deferred;
        s_deferred = deferred;
        device->programs().add(u"\\waiter.exe", [](std::u16string_view) {
            std::unique_lock held(g_queue->mutex);
            std::optional<DeferredTermination> scope;
            if (s_deferred)
                scope.emplace();
            auto wake = g_queue->arrived.wait(held);
            g_trace->push_back(wake == SimCondition::Wake::Failed ? "wait failed" : "wait ended otherwise");
            g_trace->push_back(held.owns_lock() && !g_queue->mutex.try_lock() ? "holds the lock" : "lost the lock");
            return 0;
        });
        PROCESS_INFORMATION info;
        WCHAR none[] = u"";
        ASSERT_TRUE(CreateProcess(u"\\waiter.exe", none, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        device->run_until_idle();
        TerminateProcess(info.hProcess, 1);
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 1000), WAIT_OBJECT_0);
        if (deferred)
            EXPECT_EQ(trace, (std::vector<std::string> { "wait failed", "holds the lock" }));
        else
            EXPECT_TRUE(trace.empty());
        // Released either way: the controller takes it at once.
        EXPECT_TRUE(queue.mutex.try_lock());
        queue.mutex.unlock();
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
}

namespace {

// Stands for a C library that calls back into the layer: nothing may unwind through it.
extern "C" int library_read(int (*callback)(void*), void* context) noexcept
{
    int result = callback(context);
    return result < 0 ? result : result + 1;
}

} // namespace

TEST(CCallback, AKillInsideTheCallbackBecomesTheLibrarysErrorAndEndsTheThreadAfterIt)
{
    struct Case {
        const char* name;
        int (*callback)(void*);
    };
    const Case cases[] = {
        { "a wait fails", [](void*) {
             return run_as_c_callback(-5, [] {
                 HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
                 return WaitForSingleObject(never, INFINITE) == WAIT_FAILED ? -1 : 0;
             });
         } },
        { "the layer throws", [](void*) {
             return run_as_c_callback(-5, [] {
                 HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
                 WaitForSingleObject(never, INFINITE);
                 ExitProcess(2); // ends the thread where it stands, by throwing
                 return 0;
             });
         } },
    };
    const int expected[] = { -1, -5 };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        auto device = make_test_device();
        static std::vector<std::string> s_trace;
        static int (*s_callback)(void*);
        s_trace.clear();
        s_callback = cases[i].callback;
        device->programs().add(u"\\reader.exe", [](std::u16string_view) {
            int result = library_read(s_callback, nullptr);
            s_trace.push_back("library returned " + std::to_string(result));
            Sleep(1);
            s_trace.push_back("ran past the next wait");
            return 0;
        });
        PROCESS_INFORMATION info;
        WCHAR none[] = u"";
        ASSERT_TRUE(CreateProcess(u"\\reader.exe", none, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        device->run_until_idle();
        TerminateProcess(info.hProcess, 1);
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 1000), WAIT_OBJECT_0);
        EXPECT_EQ(s_trace, (std::vector<std::string> { "library returned " + std::to_string(expected[i]) }));
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
}

#ifndef NDEBUG
TEST(HostMutexDeathTest, DebugBuildsCatchLocksOutOfOrderAndLocksHeldAcrossABlock)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            HostMutex inner(LockRank::DebugLog);
            HostMutex outer(LockRank::Gdi);
            std::lock_guard first(inner);
            std::lock_guard second(outer);
        },
        "lock order: taking the gdi lock while holding the debug log lock");
    EXPECT_DEATH(
        {
            auto device = make_test_device();
            static HostMutex s_state(LockRank::SoundDevice);
            device->programs().add(u"\\NAND\\App\\holder.exe", [](std::u16string_view) {
                auto& self = *SimThread::current();
                auto& scheduler = self.device().scheduler();
                auto guard = scheduler.lock();
                std::lock_guard held(s_state);
                scheduler.wait(guard, self, {}, self.device().clock().now_ms() + 10);
                return 0;
            });
            DWORD error;
            device->create_process(u"\\NAND\\App\\holder.exe", u"", error);
            device->run_until_idle();
        },
        "holder.exe, thread [0-9]+, .*: blocks in the layer holding the sound device lock");
    // Taking the scheduler's lock while holding one is out of order too (every blocking call does).
    EXPECT_DEATH(
        {
            auto device = make_test_device();
            HostMutex held(LockRank::Registry);
            std::lock_guard guard(held);
            device->scheduler().lock();
        },
        "taking the scheduler's lock while holding the registry lock");
    // In order, and released out of order, is fine.
    HostMutex a(LockRank::Gdi), b(LockRank::Registry), c(LockRank::DebugLog);
    std::unique_lock first(a);
    std::unique_lock second(b);
    first.unlock();
    std::lock_guard third(c);
    EXPECT_EQ(host_locks_held(), 2u);
}
#endif
