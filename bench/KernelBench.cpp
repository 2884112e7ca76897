// How fast the virtual scheduler passes control, so later changes to it can be compared. The work
// runs on the simulated threads, not on the benchmark's own, so rates are over wall time.

#include "BenchDevice.h"
#include "Device.h"
#include "KernelApi.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

using namespace kivo;

namespace {

// Starts a program whose two threads hand a pair of events back and forth for ever. The count
// goes up by one per round trip; every 1,000 round trips the program sleeps 1 ms of device time,
// which hands control back to the benchmark's loop: `advance(1)` runs exactly 1,000 round trips.
int64_t* start_ping_pong(Device& device)
{
    static int64_t s_rounds;
    s_rounds = 0;
    device.programs().add(u"\\ping-pong.exe", [](std::u16string_view) -> int {
        HANDLE ping = CreateEvent(nullptr, FALSE, FALSE, u"ping");
        HANDLE pong = CreateEvent(nullptr, FALSE, FALSE, u"pong");
        CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD {
                HANDLE ping = CreateEvent(nullptr, FALSE, FALSE, u"ping");
                HANDLE pong = CreateEvent(nullptr, FALSE, FALSE, u"pong");
                for (;;) {
                    WaitForSingleObject(ping, INFINITE);
                    SetEvent(pong);
                }
            },
            nullptr, 0, nullptr);
        for (;;) {
            SetEvent(ping);
            WaitForSingleObject(pong, INFINITE);
            if (++s_rounds % 1000 == 0)
                Sleep(1);
        }
    });
    DWORD error;
    device.create_process(u"\\ping-pong.exe", u"", error);
    return &s_rounds;
}

} // namespace

// One round trip: thread A signals B, B signals A back.
static void EventRoundTripBetweenThreads(benchmark::State& state)
{
    auto device = make_bench_device();
    int64_t* rounds = start_ping_pong(*device);
    for (auto _ : state)
        device->advance(1);
    state.SetItemsProcessed(*rounds);
}
BENCHMARK(EventRoundTripBetweenThreads)->UseRealTime();

// 10,000 threads whose sleeps all fall due, then run_until_idle wakes every one.
static void RunUntilIdleOverQueuedWakeups(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto device = make_bench_device();
        device->programs().add(u"\\sleepers.exe", [](std::u16string_view) {
            HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
            for (int i = 0; i < 10'000; ++i)
                CreateThread(
                    nullptr, 0, [](LPVOID event) -> DWORD {
                        WaitForSingleObject(event, INFINITE);
                        return 0;
                    },
                    go, 0, nullptr);
            Sleep(INFINITE);
            return 0;
        });
        DWORD error;
        device->create_process(u"\\sleepers.exe", u"", error);
        device->run_until_idle();
        HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
        SetEvent(go);
        state.ResumeTiming();
        device->run_until_idle();
        state.PauseTiming();
        CloseHandle(go);
        device.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 10'000);
}
BENCHMARK(RunUntilIdleOverQueuedWakeups)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

namespace {

// The reference for a switch: two host threads hand a turn back and forth with a condition
// variable under one mutex. Answers nanoseconds per hand-off.
double host_condition_hand_off_ns(int64_t hand_offs)
{
    std::mutex lock;
    std::condition_variable turned;
    int64_t turn = 0;
    auto player = [&](int64_t parity) {
        std::unique_lock guard(lock);
        while (turn < hand_offs) {
            turned.wait(guard, [&] { return turn % 2 == parity || turn >= hand_offs; });
            if (turn >= hand_offs)
                break;
            ++turn;
            turned.notify_one();
        }
    };
    auto start = std::chrono::steady_clock::now();
    std::thread other(player, 1);
    player(0);
    other.join();
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / static_cast<double>(hand_offs);
}

} // namespace

// A switch between two simulated threads on the virtual clock (each round trip is two), beside
// the host's own condition-variable hand-off measured in the same run: "ratio" is how many host
// hand-offs one simulated switch costs.
static void VirtualThreadSwitch(benchmark::State& state)
{
    auto device = make_bench_device();
    int64_t* rounds = start_ping_pong(*device);
    device->run_until_idle();
    *rounds = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        device->advance(1);
    int64_t switches = 2 * *rounds;
    double simulated_ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / static_cast<double>(switches);
    double host_ns = host_condition_hand_off_ns(switches);
    state.SetItemsProcessed(switches);
    state.counters["switch_ns"] = simulated_ns;
    state.counters["host_cv_ns"] = host_ns;
    state.counters["ratio"] = simulated_ns / host_ns;
}
BENCHMARK(VirtualThreadSwitch)->UseRealTime();
