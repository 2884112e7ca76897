// How fast drawing runs against the frame buffer's size, so later work can see how far from
// memory speed it is: bytes of screen written per second.

#include "Device.h"
#include "FrameBuffer.h"
#include "platform.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace kivo;

namespace {

constexpr int64_t screen_bytes = int64_t(FrameBuffer::width) * FrameBuffer::height * 2;

std::unique_ptr<Device> make_device()
{
    auto root = std::filesystem::temp_directory_path() / "kivo-bench";
    std::filesystem::create_directories(root);
    return std::make_unique<Device>(Device::Options { root, {}, false });
}

// A screen context and a full-screen memory picture, half of it in the transparent key.
struct Scene {
    std::unique_ptr<Device> device = make_device();
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

static void FullScreenTransparentImage(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state) {
        TransparentImage(scene.screen, 0, 0, FrameBuffer::width, FrameBuffer::height, scene.memory, 0, 0,
            FrameBuffer::width, FrameBuffer::height, RGB(255, 102, 255));
    }
    state.SetBytesProcessed(state.iterations() * screen_bytes);
}
BENCHMARK(FullScreenTransparentImage);

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
