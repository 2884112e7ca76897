#pragma once

#include "Device.h"
#include "KernelApi.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

namespace kivo::test {

// The root folder of this test process's devices. Each test runs in a process of its own, so the
// folder goes when the process ends; one left by a process that died on the way goes at the next
// start, so that runs leave nothing behind in the temporary folder.
inline const std::filesystem::path& test_root()
{
    struct Root {
        pid_t owner = ::getpid();
        std::filesystem::path path = std::filesystem::temp_directory_path() / ("kivo-test-" + std::to_string(owner));

        Root()
        {
            std::error_code error;
            for (auto it = std::filesystem::directory_iterator(path.parent_path(), error); !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
                auto name = it->path().filename().string();
                if (name.rfind("kivo-test-", 0) != 0)
                    continue;
                char* end = nullptr;
                long pid = std::strtol(name.c_str() + 10, &end, 10);
                if (pid > 0 && *end == 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
                    std::error_code ignored;
                    std::filesystem::remove_all(it->path(), ignored);
                }
            }
        }
        ~Root()
        {
            // A child made by fork() leaves its parent's folder alone.
            std::error_code ignored;
            if (::getpid() == owner)
                std::filesystem::remove_all(path, ignored);
        }
    };
    static Root root;
    return root.path;
}

// A device on the virtual clock with a fresh root folder, made and destroyed by each test.
inline std::unique_ptr<Device> make_test_device(Clock::Options clock = {})
{
    const auto& root = test_root();
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

// Runs the body as a program of its own process and waits, on the calling simulated thread, until
// that process has ended; false when it could not be started or did not end.
inline bool run_program_to_end(Device& device, const std::u16string& image, std::function<void()> body)
{
    device.programs().add(image, [body](std::u16string_view) {
        body();
        return 0;
    });
    PROCESS_INFORMATION process {};
    if (!CreateProcess(image.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &process))
        return false;
    bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return ended;
}

} // namespace kivo::test
