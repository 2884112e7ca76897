// How fast messages move through the window system on the virtual scheduler. The work runs on the
// simulated threads, not on the benchmark's own, so rates are over wall time.

#include "BenchDevice.h"
#include "Device.h"
#include "KernelApi.h"
#include "gwes/GwesApi.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace kivo;

namespace {

int64_t s_messages;

LRESULT counting_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_APP) {
        ++s_messages;
        return static_cast<LRESULT>(wparam) + 1;
    }
    return DefWindowProc(hwnd, message, wparam, lparam);
}

HWND make_counting_window(const char16_t* title)
{
    WNDCLASS description {};
    description.lpfnWndProc = counting_proc;
    description.lpszClassName = u"Counter";
    RegisterClass(&description);
    return CreateWindowEx(0, u"Counter", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

// A thread posts to its own window and pumps: 1000 posted messages per millisecond of device time.
static void PostedMessageThroughput(benchmark::State& state)
{
    auto device = make_bench_device();
    s_messages = 0;
    device->programs().add(u"\\poster.exe", [](std::u16string_view) -> int {
        HWND window = make_counting_window(u"poster");
        for (;;) {
            for (int i = 0; i < 1000; ++i)
                PostMessage(window, WM_APP, 0, 0);
            MSG message {};
            while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessage(&message);
            Sleep(1);
        }
    });
    DWORD error;
    device->create_process(u"\\poster.exe", u"", error);
    for (auto _ : state)
        device->advance(1);
    state.SetItemsProcessed(s_messages);
}
BENCHMARK(PostedMessageThroughput)->UseRealTime();

// One process sends to another's window and waits for each answer: 100 sends per millisecond.
static void CrossProcessSendLatency(benchmark::State& state)
{
    auto device = make_bench_device();
    s_messages = 0;
    device->programs().add(u"\\receiver.exe", [](std::u16string_view) -> int {
        make_counting_window(u"receiver");
        MSG message {};
        while (GetMessage(&message, nullptr, 0, 0) > 0)
            DispatchMessage(&message);
        return 0;
    });
    device->programs().add(u"\\sender.exe", [](std::u16string_view) -> int {
        HWND receiver = FindWindow(nullptr, u"receiver");
        for (WPARAM n = 0;; ++n) {
            SendMessage(receiver, WM_APP, n, 0);
            if (n % 100 == 99)
                Sleep(1);
        }
    });
    DWORD error;
    device->create_process(u"\\receiver.exe", u"", error);
    device->run_until_idle();
    device->create_process(u"\\sender.exe", u"", error);
    for (auto _ : state)
        device->advance(1);
    state.SetItemsProcessed(s_messages);
}
BENCHMARK(CrossProcessSendLatency)->UseRealTime();
