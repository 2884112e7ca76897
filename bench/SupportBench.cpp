// Reading and writing a parameter file of the settings' size on a simulated device, and drawing
// the battery icon.
#include "kernel/tests/TestDevice.h"

#include "CBatteryIcon.h"
#include "CParmFileRW.h"
#include "Gdi.h"
#include "SettingRecord.h"
#include "TestPictures.h"

#include <benchmark/benchmark.h>

namespace {

void BM_WriteSettingFile(benchmark::State& state)
{
    auto device = kivo::test::make_test_device();
    SettingRecord record = SettingRecord::defaults();
    for (auto _ : state) {
        CParmFileRW file;
        benchmark::DoNotOptimize(file.Write(SETTING_FILE_NAME, &record, sizeof(record)));
    }
}
BENCHMARK(BM_WriteSettingFile);

void BM_ReadSettingFile(benchmark::State& state)
{
    auto device = kivo::test::make_test_device();
    SettingRecord record = SettingRecord::defaults();
    CParmFileRW writer;
    writer.Write(SETTING_FILE_NAME, &record, sizeof(record));
    for (auto _ : state) {
        CParmFileRW file;
        benchmark::DoNotOptimize(file.Read(SETTING_FILE_NAME, &record, sizeof(record), sizeof(record)));
    }
}
BENCHMARK(BM_ReadSettingFile);

// The home screen's icon on a full-screen window: a state change that draws, and the blink's
// two phases.
void BM_DrawBatteryIcon(benchmark::State& state)
{
    auto device = kivo::test::make_test_device();
    kivo::test::TestPictures::add(device->component<kivo::Gdi>().resources(AfxGetResourceHandle()));
    CWnd window;
    window.CreateEx(0, nullptr, u"battery", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr);
    const UINT first = kivo::test::TestPictures::first_battery;
    CBatteryIcon icon(&window, 1, first, first + 1, first + 2, first + 3, first + 4, first + 5,
        kivo::test::TestPictures::background, 412, 7, 420, 15);
    int battery = 3;
    for (auto _ : state) {
        icon.SetState(battery, 1);
        icon.Draw(0);
        icon.Draw(1);
        battery = battery == 3 ? 7 : 3;
    }
    window.DestroyWindow();
}
BENCHMARK(BM_DrawBatteryIcon);

} // namespace
