// What an MFC object lookup costs now that attached objects are found under a lock and temporary
// ones per thread: the calls a message loop and a worker's posts make for every message.

#include "BenchDevice.h"
#include "Device.h"
#include "platform.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace kivo;

namespace {

// A window with an object and a plain one without, made by the controller.
struct Windows {
    std::unique_ptr<Device> device = make_bench_device();
    CWnd attached;
    HWND plain = nullptr;

    Windows()
    {
        attached.CreateEx(0, nullptr, u"attached", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
        plain = CreateWindowEx(0, u"KivoWnd", u"plain", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    ~Windows()
    {
        DestroyWindow(plain);
        attached.DestroyWindow();
    }
};

} // namespace

static void FromHandleOfAnAttachedWindow(benchmark::State& state)
{
    Windows windows;
    for (auto _ : state)
        benchmark::DoNotOptimize(CWnd::FromHandle(windows.attached.m_hWnd));
}
BENCHMARK(FromHandleOfAnAttachedWindow);

static void FromHandleOfAPlainWindow(benchmark::State& state)
{
    Windows windows;
    for (auto _ : state)
        benchmark::DoNotOptimize(CWnd::FromHandle(windows.plain));
}
BENCHMARK(FromHandleOfAPlainWindow);

static void FromHandlePermanent(benchmark::State& state)
{
    Windows windows;
    for (auto _ : state)
        benchmark::DoNotOptimize(CWnd::FromHandlePermanent(windows.attached.m_hWnd));
}
BENCHMARK(FromHandlePermanent);
