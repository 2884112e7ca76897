#include "../../platform/kernel/tests/WindowProgram.h"
#include "BatteryDriver.h"
#include "Board.h"
#include "DebugLog.h"
#include "FrameBuffer.h"
#include "Gdi.h"
#include "KernelApi.h"
#include "KivoNotify.h"
#include "NavigationStandIn.h"
#include "ProgramImages.h"
#include "ScriptTest.h"
#include "SimulatedPhones.h"
#include "Simulator.h"
#include "VideoPlane.h"
#include "platform.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>

using namespace kivo;
using namespace std::string_literals;

namespace {

struct ScriptFixture : kivo::test::ScriptTest {
    // A program installed on the running device, its image file included.
    void add_program(std::u16string_view path, ProgramTable::Entry entry)
    {
        simulator.device().programs().add(path, std::move(entry));
        simulator.device().component<ProgramImages>().install();
    }
};

} // namespace

TEST(ScriptRunnerWords, QuotedWordsKeepTheirBlanksAndCommentsEndTheLine)
{
    EXPECT_EQ(ScriptRunner::split(R"(window "start warning of hubscreen" # note)"),
        (std::vector<std::string> { "window", "start warning of hubscreen" }));
    EXPECT_EQ(ScriptRunner::split("  tap   10\t20  "), (std::vector<std::string> { "tap", "10", "20" }));
    EXPECT_TRUE(ScriptRunner::split("# only a comment").empty());
    std::string error;
    ScriptRunner::split(R"(window "start warning)", &error);
    EXPECT_EQ(error, "a double quote is not closed");
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

TEST_F(ScriptFixture, AProcessIsExpectedWithTheCommandLineItWasStartedWith)
{
    ASSERT_TRUE(run("boot\n"));
    add_program(u"\\NAND\\App\\stay.exe", [](std::u16string_view) {
        Sleep(INFINITE);
        return 0;
    });
    EXPECT_TRUE(run("start \\NAND\\App\\stay.exe -type:2 \"two words\"\n"
                    "start \\NAND\\App\\stay.exe\n"
                    "expect process \\NAND\\App\\stay.exe running -type:2 two words\n"
                    "expect process \\nand\\app\\STAY.exe running\n"))
        << errors.str();
    EXPECT_FALSE(run("expect process \\NAND\\App\\stay.exe running -h\n"));
    EXPECT_EQ(errors.str(),
        "test.sim:1: expect process \\NAND\\App\\stay.exe running -h\n"
        "  expected process \\NAND\\App\\stay.exe running with the command line \"-h\", found running with the "
        "command line \"-type:2 two words\" \"\"\n");
    errors.str("");
    EXPECT_FALSE(run("expect process \\NAND\\App\\stay.exe absent -h\n"));
    EXPECT_NE(errors.str().find("usage: expect process"), std::string::npos) << errors.str();
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
    // The echo names the process and the device time, so lines of several programs read in order.
    auto last = simulator.device().debug_log().lines().back();
    EXPECT_EQ(DebugLog::echo_text(last), "[       0.000 talk.exe " + std::to_string(last.process_id) + "] second");
    EXPECT_FALSE(run("expect debug first\n")); // already consumed
    EXPECT_FALSE(run("expect nonsense\n"));
    EXPECT_FALSE(run("wait soon\n"));
    EXPECT_FALSE(run("time 2009-02-30 10:00:00\n"));
    EXPECT_TRUE(run("expect no-debug first\n")) << errors.str();
    EXPECT_FALSE(run("start \\talk.exe\nexpect no-debug second\n"));
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

TEST_F(ScriptFixture, ThePhonesKeepTheirWorldAcrossBoots)
{
    ASSERT_TRUE(run("boot\n")) << errors.str();
    auto& phones = simulator.device().component<SimulatedPhones>();
    auto dana = *phones.find_by_name(u"Dana's Lumo");
    ASSERT_EQ(phones.set_battery(dana, 1), PhoneError::None);
    ASSERT_EQ(phones.ring(dana, u"10086"), PhoneError::None);
    phones.set_radio_power(true);
    ASSERT_EQ(phones.connect(dana), PhoneError::None);
    ASSERT_TRUE(run("boot\n")) << errors.str();
    auto& again = simulator.device().component<SimulatedPhones>();
    EXPECT_EQ(again.world_of(dana)->battery, 1);
    EXPECT_EQ(again.world_of(dana)->call.state, CallState::Incoming);
    // The link and the radio are the device's, and start afresh.
    EXPECT_FALSE(again.radio_power());
    EXPECT_FALSE(again.connected_phone());
}

namespace {

// A window titled as the program asks that writes every message it gets above WM_USER to the
// debug output, so a script can see what the drivers and other programs sent it.
int listener_program(std::u16string_view title)
{
    auto listener = [](HWND window, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
        if (message >= WM_USER)
            NKDbgPrintfW(u"got %#x %d %d\r\n", message, static_cast<int>(wparam), static_cast<int>(lparam));
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProc(window, message, wparam, lparam);
    };
    return kivo::test::run_window_program(u"listener", listener, title, WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
}

} // namespace

TEST_F(ScriptFixture, DeviceEventsReachTheHomeScreenAndThePhoneLinkAsTheirDriversSendThem)
{
    // The home screen's page steps aside (its hidden command), so the listener is "hubscreen".
    ASSERT_TRUE(run("boot\npost hubscreen WM_COMMAND 1002 0\nwait 2000\nexpect window hubscreen absent\n")) << errors.str();
    add_program(u"\\listener.exe", listener_program);
    ASSERT_TRUE(run("start \\listener.exe hubscreen\nstart \\listener.exe ZOL_VOXLANE\n")) << errors.str();
    struct Case {
        const char* line;
        std::vector<const char*> debug; // what each listener logs, in order
    } cases[] = {
        { "event card-out", { "got 0x800c 0 0" } },
        { "event card-in", { "got 0x800b 0 0" } },
        { "event card-unsupported", { "got 0xbfb 22 0" } },
        { "event usb-on", { "got 0xbfb 29 0" } },
        { "event usb-busy", { "got 0x8015 0 0" } },
        { "event mains-on", { "got 0xbfb 27 1", "got 0xbfb 27 1" } },
        { "event battery 2", { "got 0xbfb 28 2", "got 0xbfb 28 2" } },
        // Off the mains the driver reports the battery's level right after the change.
        { "event mains-off", { "got 0xbfb 27 0", "got 0xbfb 28 2", "got 0xbfb 27 0", "got 0xbfb 28 2" } },
        { "event power-key", { "got 0xbfb 24 0" } },
        { "notify 13 1", { "got 0xbfb 13 1" } },
        { "notify 8 0 ZOL_VOXLANE", { "got 0xbfb 8 0" } },
        { "post hubscreen WM_APP+21 3 4", { "got 0x8015 3 4" } },
        { "send hubscreen WM_ZOLBT_INMSG_SHOWHIDE_PHONELINE 1", { "got 0xc" } },
        { "register WM_ZOLBT_INMSG_HANGUP\nsend hubscreen WM_ZOLBT_INMSG_HANGUP 1", { "got 0xc" } },
    };
    for (auto& c : cases) {
        std::string script = std::string(c.line) + "\n";
        for (auto* line : c.debug)
            script += std::string("expect debug ") + line + "\n";
        EXPECT_TRUE(run(script)) << c.line << "\n"
                                 << errors.str();
    }
    // The hardware changed with the events, and keeps the state across a boot.
    EXPECT_EQ(simulator.hardware().battery_state, 2u);
    EXPECT_FALSE(simulator.hardware().mains_connected);
    EXPECT_EQ(simulator.device().component<BatteryDriver>().state(), 2u);
    EXPECT_FALSE(run("event battery 9\n"));
    EXPECT_FALSE(run("event sneeze\n"));
    // Transfers are reported only over a connected cable.
    ASSERT_TRUE(run("event usb-off\n")) << errors.str();
    EXPECT_FALSE(run("event usb-busy\n"));
    EXPECT_FALSE(run("event usb-idle\n"));
    EXPECT_TRUE(run("expect no-debug got 0x8015\nexpect no-debug got 0x8016\n")) << errors.str();
}

TEST_F(ScriptFixture, OutsideWindowsMessageBoxesAndTheScreen)
{
    ASSERT_TRUE(run("boot\n"));
    add_program(u"\\asker.exe", [](std::u16string_view) {
        int first = MessageBox(nullptr, u"Format the card?", u"setting", MB_YESNO);
        int second = MessageBox(nullptr, u"Really?", u"setting", MB_OKCANCEL);
        NKDbgPrintfW(u"answers %d %d\r\n", first, second);
        return 0;
    });
    EXPECT_TRUE(run("window \"start warning of hubscreen\"\n"
                    "expect window \"start warning of hubscreen\" hidden\n"
                    "close-window \"start warning of hubscreen\"\n"
                    "expect window \"start warning of hubscreen\" absent\n"
                    "answer No\n"
                    "answer Cancel\n"
                    "start \\asker.exe\n"
                    "expect debug answers 7 2\n"
                    "expect window hubscreen visible\n"
                    "expect foreground hubscreen\n"
                    "expect pixel 46 11 183868\n"))
        << errors.str();
    EXPECT_FALSE(run("expect pixel 46 11 FFFFFF\n"));
    EXPECT_NE(errors.str().find("found 183868"), std::string::npos) << errors.str();
    EXPECT_FALSE(run("expect foreground \"start warning of hubscreen\"\n"));
    EXPECT_TRUE(run("shot first.png\n")) << errors.str();
    EXPECT_TRUE(std::filesystem::exists(root / "shots" / "first.png"));
}

// On the virtual clock a line finds the device done with all it could do, so an expectation is read
// once; on the real clock the device runs on, and an expectation waits a moment for what is still
// under way (a program in a timed wait counts as idle there).
TEST(ScriptRunnerClocks, OnTheRealClockAnExpectationWaitsForWhatIsUnderWay)
{
    for (ClockMode clock : { ClockMode::Virtual, ClockMode::Real }) {
        SCOPED_TRACE(clock == ClockMode::Virtual ? "virtual" : "real");
        auto root = std::filesystem::temp_directory_path() / ("kivo-sim-clock-" + std::to_string(::getpid()));
        {
            Simulator simulator({ root, clock, false, root / "shots" });
            std::ostringstream errors;
            ScriptRunner runner(simulator, errors);
            std::istringstream boot("boot\n");
            ASSERT_TRUE(runner.run(boot, "boot.sim")) << errors.str();
            simulator.device().programs().add(u"\\late.exe", [](std::u16string_view) {
                Sleep(300);
                OutputDebugString(u"late\r\n");
                return 0;
            });
            simulator.device().component<ProgramImages>().install();
            std::istringstream script("start \\late.exe\nexpect debug late\n");
            EXPECT_EQ(runner.run(script, "late.sim"), clock == ClockMode::Real) << errors.str();
            if (clock == ClockMode::Virtual) {
                std::istringstream later("wait 400\nexpect debug late\n");
                EXPECT_TRUE(runner.run(later, "later.sim")) << errors.str();
            }
        }
        std::filesystem::remove_all(root);
    }
}

// A program writes its command line on the screen, or off it: `expect text` finds each line shown,
// once and in order, whatever script it is in.
TEST_F(ScriptFixture, TextsOnTheScreenAreFoundOnceInOrder)
{
    ASSERT_TRUE(run("boot\n"));
    add_program(u"\\writer.exe", [](std::u16string_view line) {
        HDC screen = GetDC(nullptr);
        bool off_screen = line.starts_with(u"off ");
        RECT box = off_screen ? RECT { 500, 300, 700, 340 } : RECT { 10, 100, 300, 140 };
        DrawText(screen, line.data(), static_cast<int>(line.size()), &box, DT_SINGLELINE);
        ReleaseDC(nullptr, screen);
        return 0;
    });
    EXPECT_TRUE(run("start \\writer.exe 1/6\n"
                    "start \\writer.exe 播放列表為空\n"
                    "expect text 1/6\n"
                    "expect text 播放列表為空\n"
                    "start \\writer.exe \"Evening Bells\"\n"
                    "expect text \"Evening Bells\"\n"))
        << errors.str();
    struct Case {
        const char* line;
        const char* says;
    } cases[] = {
        { "expect text 1/6", "expected the text \"1/6\" drawn on the screen since the last 'expect text', found none" },
        { "expect text Evening", "expected the text \"Evening\"" },
        { "expect text", "usage: expect text TEXT" },
        { "expect text two words", "usage: expect text TEXT" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.line);
        errors.str("");
        EXPECT_FALSE(run(std::string(test.line) + "\n"));
        EXPECT_NE(errors.str().find(test.says), std::string::npos) << errors.str();
    }
    EXPECT_TRUE(run("start \\writer.exe off 2/6\n"));
    EXPECT_FALSE(run("expect text \"off 2/6\"\n")) << "nothing of it was shown";
}

// A program paints the video key over part of the home screen; a renderer's picture, presented
// by the test as the video renderer would, is what `expect pixel` and `shot` see there.
TEST_F(ScriptFixture, PixelsAndShotsShowTheVideoPlaneUnderTheKey)
{
    ASSERT_TRUE(run("boot\n"));
    add_program(u"\\keyer.exe", [](std::u16string_view) {
        HDC screen = GetDC(nullptr);
        RECT area { 100, 60, 380, 220 };
        HBRUSH key = CreateSolidBrush(Gdi::video_key);
        FillRect(screen, &area, key);
        DeleteObject(key);
        ReleaseDC(nullptr, screen);
        NKDbgPrintfW(u"keyed\r\n");
        return 0;
    });
    ASSERT_TRUE(run("start \\keyer.exe\n"
                    "expect debug keyed\n"
                    "expect pixel 200 100 000000\n"))
        << errors.str();

    // Bands of orange and teal across the screen; only the keyed part shows them.
    std::vector<uint16_t> picture(FrameBuffer::visible_pixels);
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = (i / FrameBuffer::width / 20) % 2 ? FrameBuffer::rgb565(0xF8, 0x80, 0x00) : FrameBuffer::rgb565(0x00, 0x80, 0x80);
    auto& plane = simulator.device().component<VideoPlane>();
    VideoPlane::Owner renderer = plane.new_owner();
    ASSERT_TRUE(plane.present(renderer, picture));
    EXPECT_TRUE(run("expect pixel 200 100 F88000\n"
                    "expect pixel 200 80 008080\n"
                    "expect pixel 46 11 183868\n"
                    "shot plane.png\n"))
        << errors.str();
    EXPECT_TRUE(std::filesystem::exists(root / "shots" / "plane.png"));
    EXPECT_FALSE(run("expect pixel 200 100 100010\n"));
    EXPECT_NE(errors.str().find("found F88000"), std::string::npos) << errors.str();

    ASSERT_TRUE(plane.clear(renderer));
    EXPECT_TRUE(run("expect pixel 200 100 000000\n")) << errors.str();
}

TEST_F(ScriptFixture, WhatIsDoneBeforeBootIsWhatTheDeviceStartsFrom)
{
    ASSERT_TRUE(run("time 2026-03-14 12:00:45\n"
                    "put \\NAND\\prepared.txt\n"
                    "delete \\NAND\\prepared.txt\n"
                    "put \\NAND\\kept.txt\n"
                    "event card-out\n"
                    "event tuner-out\n"
                    "event battery 3\n"
                    "expect power off\n"
                    "boot\n"
                    "expect file \\NAND\\kept.txt exists\n"
                    "expect file \\NAND\\prepared.txt absent\n"
                    "expect file \\SDMMC absent\n"))
        << errors.str();
    Device& device = simulator.device();
    EXPECT_FALSE(device.component<Board>().tuner_fitted());
    EXPECT_EQ(device.component<BatteryDriver>().state(), 3u);
    SYSTEMTIME now {};
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2026);
    EXPECT_EQ(now.wMonth, 3);
    EXPECT_EQ(now.wDay, 14);
    EXPECT_EQ(now.wHour, 12);
    EXPECT_EQ(now.wMinute, 0);
    // The board's clock runs on across a boot; events that only a running device has are refused
    // before one runs.
    ASSERT_TRUE(run("wait 60000\nboot\n")) << errors.str();
    GetLocalTime(&now);
    EXPECT_EQ(now.wMinute, 1);
    ASSERT_TRUE(run("event power-key\nwait 3000\nexpect power off\n")) << errors.str();
    EXPECT_FALSE(run("event hard-key\n"));
}

TEST_F(ScriptFixture, TheClockOnTheScreenShowsANewTimeAtOnce)
{
    ASSERT_TRUE(run("boot\n")) << errors.str();
    auto& draw_log = simulator.device().component<Gdi>().draw_log();
    draw_log.set_recording(true);
    ASSERT_TRUE(run("time 2026-03-14 12:00:45\n")) << errors.str();
    EXPECT_TRUE(draw_log.last_text(u"2026/03/14      12:00")) << "the home page's clock was not drawn again";
}

TEST_F(ScriptFixture, BadLinesAreRefusedWithTheirLine)
{
    ASSERT_TRUE(run("boot\n")) << errors.str();
    struct Case {
        const char* line;
        const char* error;
    } cases[] = {
        { "sneeze", "unknown command 'sneeze'" },
        { "post hubscreen MSG_SHUTDWN", "unknown message 'MSG_SHUTDWN'" },
        { "send hubscreen WM_ZOLBT_UNKNOWN", "unknown message 'WM_ZOLBT_UNKNOWN'" },
        { "post hubscreen WM_APP+x", "not a message: WM_APP+x" },
        { "tap 480 0", "is not on the screen" },
        { "tap 0 272", "is not on the screen" },
        { "tap -1 10", "is not on the screen" },
        { "tap 4294967396 10", "is not on the screen" },
        { "press 10 99999999999999999999", "usage: press X Y" },
        { "wait 2592000001", "usage: wait MS" },
        { "wait 99999999999999999999", "usage: wait MS" },
        { "notify 4294967296", "usage: notify CODE" },
        { "notify 13 4294967296", "not a 32-bit value: 4294967296" },
        { "post hubscreen WM_APP 0 0x100000000", "usage: post TITLE MSG" },
        { "post hubscreen 0x100000000", "a message number is 0 to 0xFFFFFFFF" },
        { "expect window hubscreen visble", "usage: expect window" },
        { "expect power onn", "usage: expect power" },
        { "expect process \\NAND\\x.exe runing", "usage: expect process" },
        { "expect weather sunny", "expect weather is not known" },
        { "expect sent nowhere WM_CLOSE", "no window \"nowhere\"" },
        { "expect backlight bright", "usage: expect backlight" },
        { "window \"start warning", "a double quote is not closed" },
        { "shot ../outside.png", "a shot goes inside the shots folder" },
        { "shot /tmp/outside.png", "a shot goes inside the shots folder" },
        { "register 12", "usage: register NAME" },
        { "time 2026-02-30 10:00:00", "not a valid date and time" },
    };
    for (auto& c : cases) {
        errors.str("");
        EXPECT_FALSE(run(std::string("idle\n") + c.line + "\n")) << c.line;
        EXPECT_EQ(errors.str().rfind(std::string("test.sim:2: ") + c.line + "\n  ", 0), 0u) << errors.str();
        EXPECT_NE(errors.str().find(c.error), std::string::npos) << c.line << ": " << errors.str();
    }
    EXPECT_FALSE(std::filesystem::exists(root / "outside.png"));
}

TEST_F(ScriptFixture, ABinaryScriptStopsAtItsFirstLineWithoutShowingIt)
{
    EXPECT_FALSE(run("boot\n\x7f"
                     "ELF\x02\x01\x01\0\0\xff\xfe\nexpect power off\n"s));
    EXPECT_EQ(errors.str(), "test.sim:2: not a line of text (is the script a binary file?)\n");
    errors.str("");
    EXPECT_FALSE(run("expect power on\nbad\xc3(\n"));
    EXPECT_EQ(errors.str(), "test.sim:2: not a line of text (is the script a binary file?)\n");
}

TEST_F(ScriptFixture, ALineWhileWhichAProgramCrashesFailsNamingIt)
{
    ASSERT_TRUE(run("boot\n")) << errors.str();
    add_program(u"\\NAND\\faulty.exe", [](std::u16string_view) -> int {
        Sleep(10);
        throw std::runtime_error("null pointer");
    });
    EXPECT_TRUE(run("start \\NAND\\faulty.exe\n")) << "the fault comes later: " << errors.str();
    EXPECT_FALSE(run("wait 20\nexpect power on\n"));
    EXPECT_EQ(errors.str(), "test.sim:1: wait 20\n  a program crashed while this line ran: faulty.exe: unhandled exception in thread: null pointer\n");
}

TEST_F(ScriptFixture, KillEndsAProgramWithoutItsCloseReport)
{
    ASSERT_TRUE(run("boot\npost hubscreen WM_COMMAND 1002 0\nwait 2000\n")) << errors.str();
    add_program(u"\\listener.exe", listener_program);
    ASSERT_TRUE(run("start \\listener.exe hubscreen\n"
                    "start \\SDMMC\\KivoNavi\\Corvane-RXM.exe\n"
                    "kill \\SDMMC\\KivoNavi\\Corvane-RXM.exe\n"
                    "expect process \\SDMMC\\KivoNavi\\Corvane-RXM.exe absent\n"
                    "expect window Corvane-RXM absent\n"
                    "expect no-debug got 0xbfb 35\n"
                    // Its own exit (the map's close corner) does report.
                    "start \\SDMMC\\KivoNavi\\Corvane-RXM.exe\n"
                    "tap 470 10\n"
                    "expect window Corvane-RXM absent\n"
                    "expect debug got 0xbfb 35 1\n"))
        << errors.str();
    EXPECT_FALSE(run("kill \\SDMMC\\KivoNavi\\Corvane-RXM.exe\n"));
}

TEST_F(ScriptFixture, OutsideWindowsNoteWhatTheyReceiveAndTheListenerTheBroadcasts)
{
    ASSERT_TRUE(run("boot\n")) << errors.str();
    add_program(u"\\poster.exe", [](std::u16string_view) {
        PostMessage(FindWindow(nullptr, u"Telvix"), WM_KIVO_NOTIFY, APP_MEDIA_PAUSE, 0);
        SendMessage(FindWindow(nullptr, u"audio"), WM_KIVO_NOTIFY, APP_CLOSE, 1);
        PostMessage(HWND_BROADCAST, MSG_BATT_CRITICAL, 0, 0);
        return 0;
    });
    EXPECT_TRUE(run("window Telvix\n"
                    "window audio\n"
                    "start \\poster.exe\n"
                    "expect sent Telvix WM_KIVO_NOTIFY APP_MEDIA_PAUSE 0\n"
                    "expect sent audio WM_KIVO_NOTIFY 34 1\n"
                    "expect broadcast MSG_BATT_CRITICAL\n"
                    "expect sent Telvix MSG_BATT_CRITICAL\n"))
        << errors.str();
    struct Case {
        const char* line;
        const char* error;
    } cases[] = {
        { "expect sent Telvix WM_KIVO_NOTIFY APP_MEDIA_PAUSE", "found none" }, // taken by the line above
        { "expect sent audio WM_KIVO_NOTIFY 34 0", "found none" },
        { "expect broadcast WM_KIVO_NOTIFY APP_MEDIA_PAUSE", "found none" }, // posted to one window only
        { "expect broadcast MSG_BATT_CRITICAL", "found none" },
    };
    for (auto& c : cases) {
        errors.str("");
        EXPECT_FALSE(run(c.line)) << c.line;
        EXPECT_NE(errors.str().find(c.error), std::string::npos) << errors.str();
    }
}
