// Reading and writing a parameter file of the settings' size on a simulated device.
#include "kernel/tests/TestDevice.h"

#include "CParmFileRW.h"
#include "SettingRecord.h"

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

} // namespace
