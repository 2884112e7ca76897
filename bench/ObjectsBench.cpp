// What the kernel objects cost on the controller: the locks that make them safe under threads and
// the bounded traces should stay cheap next to the calls around them.

#include "BenchDevice.h"
#include "Device.h"
#include "KernelApi.h"
#include "Process.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace kivo;

// A critical section's whole life: its mutex is made, owned, released and freed.
static void CriticalSectionLife(benchmark::State& state)
{
    auto device = make_bench_device();
    for (auto _ : state) {
        CRITICAL_SECTION section;
        InitializeCriticalSection(&section);
        EnterCriticalSection(&section);
        LeaveCriticalSection(&section);
        DeleteCriticalSection(&section);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CriticalSectionLife);

// Reaching process-wide state that exists already, among a few other kinds.
static void ProcessLocalLookup(benchmark::State& state)
{
    auto device = make_bench_device();
    static ProcessLocal<int> others[16];
    static ProcessLocal<int> value;
    for (auto& other : others)
        *other = 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(++*value);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ProcessLocalLookup);

// A debug line into a log that keeps the newest 1,000 (arg 1) or everything (arg 0).
static void DebugLine(benchmark::State& state)
{
    auto device = make_bench_device();
    device->trace_limit().set(state.range(0) ? 1000 : 0);
    for (auto _ : state)
        OutputDebugString(u"a line of the kind programs write\r\n");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DebugLine)->Arg(0)->Arg(1);

// A handle made and closed while 10,000 others stay open.
static void HandleAmongManyOpen(benchmark::State& state)
{
    auto device = make_bench_device();
    std::vector<HANDLE> open;
    for (int i = 0; i < 10'000; ++i)
        open.push_back(CreateEvent(nullptr, TRUE, FALSE, nullptr));
    for (auto _ : state)
        CloseHandle(CreateEvent(nullptr, TRUE, FALSE, nullptr));
    for (HANDLE handle : open)
        CloseHandle(handle);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(HandleAmongManyOpen);
