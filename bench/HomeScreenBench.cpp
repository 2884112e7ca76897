// What the home screen costs the host: booting it to its first paint, and a day of it on the
// virtual clock, where its click thread wakes every 200 ms.

#include "BenchDevice.h"
#include "CHubscreenApp.h"
#include "Device.h"
#include "DrawLog.h"
#include "Explorer.h"
#include "Gdi.h"
#include "StreamDrivers.h"
#include "platform.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>

using namespace kivo;

namespace {

std::unique_ptr<Device> make_device()
{
    auto device = make_bench_device("kivo-bench-home", true);
    install_stream_drivers(*device);
    register_hubscreen(*device);
    register_explorer(*device);
    return device;
}

// Starts the home screen and runs the device until its window shows something on the screen.
void boot_to_first_paint(Device& device)
{
    auto& log = device.component<Gdi>().draw_log();
    log.set_recording(true);
    DWORD error = 0;
    device.create_process(hubscreen_image_path, u"", error);
    device.run_until([&] { return !log.entries().empty(); }, 10'000);
    log.set_recording(false);
}

double process_cpu_seconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

// Host time from starting the home screen to its first paint (a fresh device each time, made
// outside the measured time).
static void HomeScreenBootToFirstPaint(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto device = make_device();
        state.ResumeTiming();
        boot_to_first_paint(*device);
        state.PauseTiming();
        device.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(HomeScreenBootToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// Twenty-four hours of the idle home screen on the virtual clock. The figure that matters is the
// host CPU time of the whole process (every host thread), reported as "cpu_s".
static void HomeScreenVirtualDay(benchmark::State& state)
{
    auto device = make_device();
    boot_to_first_paint(*device);
    device->run_until_idle();
    constexpr uint64_t day_ms = 24ull * 60 * 60 * 1000;
    double cpu = 0;
    for (auto _ : state) {
        double before = process_cpu_seconds();
        device->advance(day_ms);
        cpu += process_cpu_seconds() - before;
    }
    state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(HomeScreenVirtualDay)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
