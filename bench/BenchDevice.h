#pragma once

#include "Device.h"

#include <filesystem>
#include <memory>
#include <string_view>

namespace kivo {

// A device for a benchmark, rooted in a folder of the host's temporary folder; with `fresh`, the
// folder is emptied first, so that nothing a previous run stored changes what is measured.
inline std::unique_ptr<Device> make_bench_device(std::string_view folder = "kivo-bench", bool fresh = false)
{
    auto root = std::filesystem::temp_directory_path() / folder;
    if (fresh)
        std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    return std::make_unique<Device>(Device::Options { root, {}, false });
}

} // namespace kivo
