#include "KernelApi.h"
#include "ScriptRunner.h"
#include "Simulator.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace kivo;

namespace {

struct ScriptFixture : ::testing::Test {
    std::filesystem::path root = std::filesystem::temp_directory_path() / ("kivo-sim-test-" + std::to_string(::getpid()));
    Simulator simulator { { root, ClockMode::Virtual, false, root / "shots" } };
    std::ostringstream errors;
    ScriptRunner runner { simulator, errors };

    ~ScriptFixture() override { std::filesystem::remove_all(root); }

    bool run(const std::string& script)
    {
        std::istringstream in(script);
        return runner.run(in, "test.sim");
    }
};

} // namespace

TEST(ScriptRunnerWords, QuotedWordsKeepTheirBlanksAndCommentsEndTheLine)
{
    EXPECT_EQ(ScriptRunner::split(R"(window "start warning of hubscreen" # note)"),
        (std::vector<std::string> { "window", "start warning of hubscreen" }));
    EXPECT_EQ(ScriptRunner::split("  tap   10\t20  "), (std::vector<std::string> { "tap", "10", "20" }));
    EXPECT_TRUE(ScriptRunner::split("# only a comment").empty());
}

TEST_F(ScriptFixture, FailedExpectationNamesTheLineAndWhatWasFound)
{
    EXPECT_FALSE(run("boot\n\nexpect power off\nexpect power on\n"));
    EXPECT_EQ(errors.str(), "test.sim:3: expect power off\n  expected power off, found on\n");
}

TEST_F(ScriptFixture, PowerOffStopsTheDeviceAndBootStartsItAgain)
{
    ASSERT_TRUE(run("boot\n"));
    simulator.device().programs().add(u"\\NAND\\App\\off.exe", [](std::u16string_view) {
        OutputDebugString(u"going down\r\n");
        Sleep(100);
        GwesPowerOffSystem();
        return 0;
    });
    EXPECT_TRUE(run("start \\NAND\\App\\off.exe\n"
                    "expect process \\nand\\app\\OFF.exe running\n"
                    "wait 100\n"
                    "expect power off\n"
                    "expect debug going down\n"
                    "expect process \\NAND\\App\\off.exe absent\n"
                    "boot\n"
                    "expect power on\n"))
        << errors.str();
}

TEST_F(ScriptFixture, DebugExpectationsConsumeLinesInOrder)
{
    ASSERT_TRUE(run("boot\n"));
    simulator.device().programs().add(u"\\talk.exe", [](std::u16string_view) {
        OutputDebugString(u"first\r\n");
        OutputDebugString(u"second\r\n");
        return 0;
    });
    EXPECT_TRUE(run("start \\talk.exe\nexpect debug first\nexpect debug second\n")) << errors.str();
    EXPECT_FALSE(run("expect debug first\n")); // already consumed
    EXPECT_FALSE(run("expect nonsense\n"));
    EXPECT_FALSE(run("wait soon\n"));
    EXPECT_FALSE(run("time 2009-02-30 10:00:00\n"));
}
