#include "KernelApi.h"
#include "ProgramImages.h"
#include "ScriptRunner.h"
#include "Simulator.h"
#include "platform.h"

#include <filesystem>
#include <fstream>
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

    // A program installed on the running device, its image file included.
    void add_program(std::u16string_view path, ProgramTable::Entry entry)
    {
        simulator.device().programs().add(path, std::move(entry));
        simulator.device().component<ProgramImages>().install();
    }

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
    add_program(u"\\NAND\\App\\off.exe", [](std::u16string_view) {
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
    add_program(u"\\talk.exe", [](std::u16string_view) {
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

TEST_F(ScriptFixture, FilesRegistryAndSoundsOfTheDevice)
{
    auto host_file = root.parent_path() / ("kivo-sim-host-" + std::to_string(::getpid()) + ".txt");
    std::ofstream(host_file) << "twelve bytes";
    ASSERT_TRUE(run("boot\n"
                    "put \\NAND\\note.txt "
        + host_file.string() + "\n"
                               "expect file \\nand\\NOTE.TXT exists\n"
                               "put \\SDMMC\\empty.bin\n"
                               "expect file \\SDMMC\\empty.bin exists\n"
                               "delete \\SDMMC\\empty.bin\n"
                               "expect file \\SDMMC\\empty.bin absent\n"))
        << errors.str();
    std::filesystem::remove(host_file);
    HANDLE file = CreateFile(u"\\NAND\\note.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(GetFileSize(file, nullptr), 12u);
    CloseHandle(file);

    HKEY key;
    DWORD disposition;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\ZOLSOFT\\Voxlane", 0, nullptr, 0, 0, nullptr, &key, &disposition), ERROR_SUCCESS);
    RegSetValueEx(key, u"Show", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"1"), 4);
    DWORD volume = 0x10002;
    RegSetValueEx(key, u"Screen", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&volume), 4);
    RegCloseKey(key);
    EXPECT_TRUE(run("expect reg HKLM\\Software\\ZOLSOFT\\Voxlane Show 1\n"
                    "expect reg HKEY_LOCAL_MACHINE\\software\\zolsoft\\voxlane Screen 0x10002\n"))
        << errors.str();
    EXPECT_FALSE(run("expect reg HKLM\\Software\\ZOLSOFT\\Voxlane Show 0\n"));
    EXPECT_NE(errors.str().find("found 1"), std::string::npos) << errors.str();

    add_program(u"\\click.exe", [](std::u16string_view) {
        PlaySound(u"\\NAND\\app\\Sound.wav", nullptr, SND_FILENAME | SND_SYNC);
        return 0;
    });
    EXPECT_FALSE(run("expect sound Sound.wav\n"));
    EXPECT_TRUE(run("start \\click.exe\nexpect sound Sound.wav\n")) << errors.str();
}

TEST_F(ScriptFixture, TheCardFollowsTheHardwareAcrossBoots)
{
    ASSERT_TRUE(run("boot\nexpect file \\SDMMC exists\n")) << errors.str();
    simulator.hardware().card_present = false;
    ASSERT_TRUE(run("boot\nexpect file \\SDMMC absent\n")) << errors.str();
}
