// How fast drawing runs against the frame buffer's size, so later work can see how far from
// memory speed it is: bytes of screen written per second.

#include "BenchDevice.h"
#include "Device.h"
#include "FrameBuffer.h"
#include "platform.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

using namespace kivo;

namespace {

constexpr int64_t screen_bytes = int64_t(FrameBuffer::width) * FrameBuffer::height * 2;

// A screen context and a full-screen memory picture, half of it in the transparent key.
struct Scene {
    std::unique_ptr<Device> device = make_bench_device();
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, FrameBuffer::width, FrameBuffer::height);

    Scene()
    {
        SelectObject(memory, picture);
        HBRUSH key = CreateSolidBrush(RGB(255, 102, 255));
        HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        for (int y = 0; y < FrameBuffer::height; y += 2) {
            RECT row { 0, y, FrameBuffer::width, y + 1 };
            FillRect(memory, &row, blue);
            row = { 0, y + 1, FrameBuffer::width, y + 2 };
            FillRect(memory, &row, key);
        }
        DeleteObject(key);
        DeleteObject(blue);
    }
    ~Scene()
    {
        DeleteDC(memory);
        DeleteObject(picture);
        ReleaseDC(nullptr, screen);
    }
};

} // namespace

static void FullScreenBitBlt(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state)
        BitBlt(scene.screen, 0, 0, FrameBuffer::width, FrameBuffer::height, scene.memory, 0, 0, SRCCOPY);
    state.SetBytesProcessed(state.iterations() * screen_bytes);
}
BENCHMARK(FullScreenBitBlt);

// The transparent copy of the whole screen against memcpy of the same bytes in the same run: the
// "of_memcpy" counter is its speed as a share of memcpy's (video overlays and skinned screens
// rely on it staying close).
static void FullScreenTransparentImage(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    Scene scene;
    std::vector<uint16_t> from(FrameBuffer::visible_pixels, 0x1234);
    std::vector<uint16_t> to(FrameBuffer::visible_pixels);
    Clock::duration transparent {};
    Clock::duration copied {};
    for (auto _ : state) {
        auto start = Clock::now();
        TransparentImage(scene.screen, 0, 0, FrameBuffer::width, FrameBuffer::height, scene.memory, 0, 0,
            FrameBuffer::width, FrameBuffer::height, RGB(255, 102, 255));
        auto middle = Clock::now();
        std::memcpy(to.data(), from.data(), screen_bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        auto end = Clock::now();
        transparent += middle - start;
        copied += end - middle;
        state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
    }
    state.SetBytesProcessed(state.iterations() * screen_bytes);
    state.counters["of_memcpy"] = std::chrono::duration<double>(copied).count()
        / std::max(std::chrono::duration<double>(transparent).count(), 1e-12);
}
BENCHMARK(FullScreenTransparentImage)->UseManualTime();

// A line of text across the screen in the programs' usual font; the bytes are those of the
// line's box.
static void LineOfText(benchmark::State& state)
{
    Scene scene;
    HFONT font = CreateFont(20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 1, FF_SWISS, u"Arial");
    SelectObject(scene.screen, font);
    SetBkMode(scene.screen, TRANSPARENT);
    RECT line { 0, 100, FrameBuffer::width, 120 };
    for (auto _ : state)
        DrawText(scene.screen, u"Signal weakness, please check the antenna 訊號微弱", -1, &line, DT_CENTER | DT_SINGLELINE);
    state.SetBytesProcessed(state.iterations() * int64_t(FrameBuffer::width) * 20 * 2);
    SelectObject(scene.screen, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
}
BENCHMARK(LineOfText);
