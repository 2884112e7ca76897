// How fast the virtual scheduler passes control, so later changes to it can be compared.

#include "Device.h"
#include "KernelApi.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace kivo;

namespace {

std::unique_ptr<Device> make_device()
{
    auto root = std::filesystem::temp_directory_path() / "kivo-bench";
    std::filesystem::create_directories(root);
    return std::make_unique<Device>(Device::Options { root, {}, false });
}

} // namespace

// One round trip: thread A signals B, B signals A back.
static void EventRoundTripBetweenThreads(benchmark::State& state)
{
    auto device = make_device();
    static int64_t s_rounds;
    s_rounds = 0;
    device->programs().add(u"\\bench.exe", [](std::u16string_view) -> int {
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
            ++s_rounds;
            if (s_rounds % 1000 == 0)
                Sleep(1); // hands control back to the benchmark loop
        }
    });
    DWORD error;
    device->create_process(u"\\bench.exe", u"", error);
    for (auto _ : state) {
        device->advance(1); // exactly 1000 round trips per millisecond of device time
    }
    state.SetItemsProcessed(s_rounds);
}
BENCHMARK(EventRoundTripBetweenThreads);

// 10,000 threads whose sleeps all fall due, then run_until_idle wakes every one.
static void RunUntilIdleOverQueuedWakeups(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto device = make_device();
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
BENCHMARK(RunUntilIdleOverQueuedWakeups)->Unit(benchmark::kMillisecond)->Iterations(3);
