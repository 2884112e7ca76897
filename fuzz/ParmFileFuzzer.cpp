// Feeds arbitrary bytes to CParmFileRW::Read as a parameter file on a simulated device.
#include "CParmFileRW.h"
#include "Device.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

kivo::Device& fuzz_device()
{
    static std::unique_ptr<kivo::Device> device = [] {
        auto root = std::filesystem::temp_directory_path() / ("kivo-fuzz-parm-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root);
        return std::make_unique<kivo::Device>(kivo::Device::Options { root, {}, false });
    }();
    return *device;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_device();
    HANDLE file = CreateFile(u"\\NAND\\FUZZ.PAR", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);

    // The wanted length comes from the first byte, so that short, exact and long records are tried.
    int want = size > 0 ? data[0] : 28;
    std::string buffer(256, '\0');
    CParmFileRW reader;
    reader.Read(u"\\NAND\\FUZZ.PAR", buffer.data(), 256, want);
    return 0;
}
