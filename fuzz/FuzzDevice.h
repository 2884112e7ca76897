#pragma once

#include "Device.h"

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

// A device for targets whose code reaches the platform (files, code pages): made once by the
// fuzzing thread, which becomes its controller.
inline kivo::Device& fuzz_device()
{
    static std::unique_ptr<kivo::Device> device = [] {
        auto root = std::filesystem::temp_directory_path() / ("kivo-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        return std::make_unique<kivo::Device>(kivo::Device::Options { root, {}, false });
    }();
    return *device;
}
