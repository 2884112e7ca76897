#pragma once

#include "broadcast/Radio.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kivo {

// Where a fresh device's multiplexes come from: the descriptions channel-NN.json, and the
// elementary streams they name, encoded at build time.
struct DefaultMultiplexFolders {
    std::filesystem::path descriptions;
    std::filesystem::path streams;

    // The folders the build names.
    static DefaultMultiplexFolders built_in();
};

// The default multiplexes: channels 24, 26, 28, 30 and 34 of the 6 MHz plan, strength 80 and
// quality 100.
inline constexpr uint32_t default_multiplex_channels[] = { 24, 26, 28, 30, 34 };

// Copies the five descriptions and every stream file into the radio folder and answers their
// stations; what could not be copied is named in `problems` (its station is left out when its
// description is missing).
std::vector<RadioStation> install_default_multiplexes(const std::filesystem::path& radio_folder, const DefaultMultiplexFolders&,
    std::vector<std::string>& problems);

} // namespace kivo
