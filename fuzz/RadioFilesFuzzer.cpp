// The radio's files come from people and from the air: its table (radio.json, edited by hand) and
// the recorded transport streams put on a channel. Any bytes must load without harm; a table that
// loads writes out to one that loads back to the same air, and a recording plays in a loop.

#include "broadcast/Radio.h"
#include "broadcast/TsFileSource.h"
#include "kernel/Device.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

const std::filesystem::path& fuzz_root()
{
    static const std::filesystem::path root = std::filesystem::temp_directory_path() / ("kivo-fuzz-radio-" + std::to_string(::getpid()));
    return root;
}

void table(const uint8_t* data, size_t size)
{
    const auto& root = fuzz_root();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / kivo::Radio::folder_name);
    std::ofstream(root / kivo::Radio::folder_name / kivo::Radio::table_name, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::vector<kivo::RadioStation> stations;
    bool on = false;
    {
        kivo::Device device(kivo::Device::Options { root, {}, false });
        auto& radio = device.component<kivo::Radio>();
        stations = radio.stations();
        on = radio.on();
        if (radio.set_on(on))
            std::abort();
    }
    kivo::Device device(kivo::Device::Options { root, {}, false });
    auto& radio = device.component<kivo::Radio>();
    if (radio.stations() != stations || radio.on() != on)
        std::abort();
}

void recording(const uint8_t* data, size_t size)
{
    std::string error;
    auto source = kivo::TsFileSource::from_bytes(std::vector<uint8_t>(data, data + size), error);
    if (!source) {
        if (error.empty())
            std::abort();
        return;
    }
    if (source->bits_per_second() == 0)
        std::abort();
    std::vector<uint8_t> out;
    SYSTEMTIME now {};
    size_t packets = source->packet_count();
    bool looped = source->read(packets, now, out);
    looped = source->read(1, now, out) || looped;
    if (!looped || out.size() != (packets + 1) * kivo::ts_packet_size || out[out.size() - kivo::ts_packet_size] != 0x47)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte says which file the rest is.
    if (size == 0)
        return 0;
    if (data[0] & 1)
        table(data + 1, size - 1);
    else
        recording(data + 1, size - 1);
    return 0;
}
