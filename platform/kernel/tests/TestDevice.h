#pragma once

#include "Device.h"

#include <filesystem>
#include <memory>
#include <string>

namespace kivo::test {

// A device on the virtual clock with a fresh root folder, made and destroyed by each test.
inline std::unique_ptr<Device> make_test_device(Clock::Options clock = {})
{
    auto root = std::filesystem::temp_directory_path() / ("kivo-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    return std::make_unique<Device>(Device::Options { root, clock, false });
}

// The debug lines written so far, each without its line end, in order.
inline std::vector<std::string> debug_lines(Device& device)
{
    std::vector<std::string> result;
    for (auto& line : device.debug_log().lines()) {
        std::string text = line.text;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        result.push_back(text);
    }
    return result;
}

} // namespace kivo::test
