// What a write that grows a file costs on a card that holds many files, against an empty card,
// and what creating many files in one folder costs.
#include "kernel/tests/TestDevice.h"

#include "FileApi.h"
#include "KernelApi.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::u16string wide(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

bool create_file(const std::u16string& path, const char* bytes, DWORD size)
{
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes, size, &written, nullptr);
    CloseHandle(file);
    return ok;
}

// The card holds range(0) files, a hundred to a folder; each round cuts a file and grows it again.
void BM_GrowingWriteOnTheCard(benchmark::State& state)
{
    auto device = kivo::test::make_test_device();
    auto files = static_cast<int>(state.range(0));
    for (int i = 0; i < files; ++i) {
        auto folder = u"\\SDMMC\\F" + wide(std::to_string(i / 100));
        if (i % 100 == 0)
            CreateDirectory(folder.c_str(), nullptr);
        if (!create_file(folder + u"\\f" + wide(std::to_string(i)), "tile", 4))
            state.SkipWithError("the card could not be filled");
    }
    const std::string block(64, 'b');
    HANDLE file = CreateFile(u"\\SDMMC\\growing.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    for (auto _ : state) {
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        DWORD written = 0;
        if (!WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr))
            state.SkipWithError("the write failed");
    }
    CloseHandle(file);
}
BENCHMARK(BM_GrowingWriteOnTheCard)->Arg(0)->Arg(5000)->Unit(benchmark::kMicrosecond);

// range(0) new files in a fresh folder of the flash disk, each with a few bytes.
void BM_CreateFilesInOneFolder(benchmark::State& state)
{
    auto device = kivo::test::make_test_device();
    auto files = static_cast<int>(state.range(0));
    int round = 0;
    for (auto _ : state) {
        auto folder = u"\\NAND\\Round" + wide(std::to_string(round++));
        CreateDirectory(folder.c_str(), nullptr);
        for (int i = 0; i < files; ++i) {
            if (!create_file(folder + u"\\file" + wide(std::to_string(i)) + u".dat", "data", 4))
                state.SkipWithError("a file could not be created");
        }
    }
}
BENCHMARK(BM_CreateFilesInOneFolder)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
