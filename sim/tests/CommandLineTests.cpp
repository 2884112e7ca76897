// kivo-sim's own arguments and script files, run as a person runs it: bad ones end with a clear
// message and exit status, never with an abort.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct SimRun {
    int status;
    std::string errors;
};

struct CommandLine : ::testing::Test {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("kivo-sim-args-" + std::to_string(::getpid()));

    CommandLine()
    {
        std::filesystem::create_directories(folder / "shots");
        std::ofstream(folder / "a-file") << "not a folder";
        std::ofstream(folder / "shots" / "taken") << "not a folder";
        std::ofstream(folder / "ok.sim") << "boot\nexpect power on\n";
        std::ofstream(folder / "shot-in-file.sim") << "boot\nshot taken/home.png\n";
        std::ofstream(folder / "binary.sim", std::ios::binary) << std::string("\x7f" "ELF\x02\x01\x01\0\0\xff\n", 11);
        std::filesystem::create_directories(folder / "a-folder.sim");
    }
    ~CommandLine() override { std::filesystem::remove_all(folder); }

    // Runs kivo-sim with the arguments (in the test's folder) and without any display.
    SimRun run(const std::string& arguments)
    {
        auto errors = folder / "stderr.txt";
        std::string command = "cd '" + folder.string() + "' && timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER '" KIVO_SIM_PATH
                              "' "
            + arguments + " >/dev/null 2>'" + errors.string() + "' </dev/null";
        int status = std::system(command.c_str());
        std::ifstream in(errors);
        std::stringstream text;
        text << in.rdbuf();
        return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str() };
    }
};

TEST_F(CommandLine, BadArgumentsAndScriptsEndWithAClearMessage)
{
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    } cases[] = {
        { "--root a-file --script ok.sim", 2, "kivo-sim: cannot use a-file as the device root" },
        { "--root a-file/root --script ok.sim", 2, "kivo-sim: cannot use a-file/root as the device root" },
        { "--root /proc/kivo-root --script ok.sim", 2, "kivo-sim: cannot use /proc/kivo-root as the device root" },
        { "--root root --shots a-file --script ok.sim", 2, "kivo-sim: cannot use a-file as the shots folder" },
        { "--root root --shots a-file/shots --script ok.sim", 2, "kivo-sim: cannot use a-file/shots as the shots folder" },
        { "--root root --script a-folder.sim", 2, "kivo-sim: the script a-folder.sim is a folder, not a file" },
        { "--root root --script missing.sim", 2, "kivo-sim: cannot read the script missing.sim" },
        { "--root root --battery 8 --script ok.sim", 2, "kivo-sim: --battery takes a state from 0 to 7, not '8'" },
        { "--root root --battery 99999999999999999999 --script ok.sim", 2, "kivo-sim: --battery takes a state from 0 to 7" },
        { "--root root --shots shots --script shot-in-file.sim", 1, "shot-in-file.sim:2: shot taken/home.png\n  cannot make the folder" },
        { "--root root --script binary.sim", 1, "binary.sim:1: not a line of text (is the script a binary file?)\n" },
        // The window mode on a machine without a display points to the headless mode.
        { "--root root", 1, "--headless" },
        { "--root root --script ok.sim --no-card --no-tuner --battery 2 --usb --mains", 0, "" },
    };
    for (auto& c : cases) {
        auto result = run(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments << "\n" << result.errors;
        EXPECT_NE(result.errors.find(c.message), std::string::npos) << c.arguments << "\n" << result.errors;
        EXPECT_EQ(result.errors.find("terminate called"), std::string::npos) << c.arguments << "\n" << result.errors;
    }
}

TEST_F(CommandLine, TheHardwareOptionsSetWhatTheDeviceStartsWith)
{
    std::ofstream(folder / "no-card.sim") << "boot\nexpect file \\SDMMC absent\n";
    EXPECT_EQ(run("--root root --script no-card.sim").status, 1);
    auto result = run("--root root --no-card --script no-card.sim");
    EXPECT_EQ(result.status, 0) << result.errors;
}

} // namespace
