#pragma once

// What the tests of the script commands share: a simulator on the virtual clock over a root of its
// own (removed afterwards), and a script runner that writes its errors into `errors`.

#include "ScriptRunner.h"
#include "Simulator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>

namespace kivo::test {

struct ScriptTest : ::testing::Test {
    std::filesystem::path root = std::filesystem::temp_directory_path() / ("kivo-sim-test-" + std::to_string(::getpid()));
    Simulator simulator { { root, ClockMode::Virtual, false, root / "shots" } };
    std::ostringstream errors;
    ScriptRunner runner { simulator, errors };

    ~ScriptTest() override { std::filesystem::remove_all(root); }

    bool run(const std::string& script)
    {
        std::istringstream in(script);
        return runner.run(in, "test.sim");
    }
};

} // namespace kivo::test
