// The simulator's media side: the songs of a fresh card, the card's free space, and the
// expectations on what plays and on the wave driver's messages, checked against a tiny player.

#include "AudioBookmark.h"
#include "CParmFileRW.h"
#include "Filter.h"
#include "ProgramImages.h"
#include "ScriptRunner.h"
#include "Simulator.h"
#include "WideText.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

using namespace kivo;

namespace kivo {
// The clock a test runs on, as ctest lists it.
void PrintTo(ClockMode clock, std::ostream* out)
{
    *out << (clock == ClockMode::Virtual ? "virtual" : "real");
}
} // namespace kivo

namespace {

constexpr const char16_t* tone_player_path = u"\\NAND\\App\\TonePlayer.exe";

// A player as small as can be: it plays the file of its command line at once and tells the wave
// driver the equaliser preset 3 and surround on (1044 and 1045), as the audio player does at its
// start. Its window "tone player" takes WM_APP+1 pause, +2 run, +3 stop, +4 the driver's message
// 1044 with wParam and lParam, +5 a debug line "card free N" with the card's free bytes, and
// WM_CLOSE, which ends it.
int tone_player(std::u16string_view file)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        ComRef<IGraphBuilder> graph;
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, graph.put());
        ComRef<IMediaControl> control;
        graph->QueryInterface(IID_IMediaControl, control.put());
        graph->RenderFile(std::u16string(file).c_str(), nullptr);
        control->Run();
        waveOutMessage(nullptr, 1044, 3, 0);
        waveOutMessage(nullptr, 1045, 0, 0);

        WNDCLASS window_class {};
        window_class.lpfnWndProc = DefWindowProc;
        window_class.lpszClassName = u"TonePlayer";
        RegisterClass(&window_class);
        CreateWindowEx(0, u"TonePlayer", u"tone player", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        MSG message;
        while (GetMessage(&message, nullptr, 0, 0) && message.message != WM_CLOSE) {
            switch (message.message) {
            case WM_APP + 1:
                control->Pause();
                break;
            case WM_APP + 2:
                control->Run();
                break;
            case WM_APP + 3:
                control->Stop();
                break;
            case WM_APP + 4:
                waveOutMessage(nullptr, 1044, message.wParam, static_cast<DWORD_PTR>(message.lParam));
                break;
            case WM_APP + 5: {
                ULARGE_INTEGER free {};
                GetDiskFreeSpaceEx(u"\\SDMMC\\", &free, nullptr, nullptr);
                OutputDebugString((u"card free " + to_utf16(std::to_string(free.QuadPart)) + u"\r\n").c_str());
                break;
            }
            default:
                DispatchMessage(&message);
            }
        }
    }
    CoUninitialize();
    return 0;
}

struct MediaFixture {
    std::filesystem::path root = std::filesystem::temp_directory_path() / ("kivo-sim-media-" + std::to_string(::getpid()));
    std::ostringstream errors;

    ~MediaFixture() { std::filesystem::remove_all(root); }

    Simulator::Options options(ClockMode clock, std::filesystem::path card_media = KIVO_SIM_CARD_MEDIA)
    {
        Simulator::Options options { root / "device", clock, false, root / "shots" };
        options.card_media = std::move(card_media);
        return options;
    }

    bool run(ScriptRunner& runner, const std::string& script)
    {
        std::istringstream in(script);
        return runner.run(in, "test.sim");
    }

    // Boots the device and installs the tone player on it.
    bool boot_with_player(Simulator& simulator, ScriptRunner& runner)
    {
        if (!run(runner, "boot\n"))
            return false;
        simulator.device().programs().add(tone_player_path, tone_player);
        simulator.device().component<ProgramImages>().install();
        return true;
    }
};

struct MediaScript : MediaFixture, ::testing::TestWithParam<ClockMode> { };

struct MediaCommands : MediaFixture, ::testing::Test { };

} // namespace

// The script drives the tone player with the songs the build put on the card, on both clocks.
TEST_P(MediaScript, FollowsAPlayerThroughItsStatesItsDriverMessagesAndTheCardsFreeSpace)
{
    Simulator simulator(options(GetParam()));
    ScriptRunner runner(simulator, errors);
    ASSERT_TRUE(boot_with_player(simulator, runner)) << errors.str();
    std::ifstream script(KIVO_SIM_TEST_SCRIPTS "/media-commands.sim");
    ASSERT_TRUE(script);
    EXPECT_TRUE(runner.run(script, "media-commands.sim")) << errors.str();
}

INSTANTIATE_TEST_SUITE_P(Clocks, MediaScript, ::testing::Values(ClockMode::Virtual, ClockMode::Real),
    [](const auto& info) { return info.param == ClockMode::Virtual ? "virtual" : "real_time"; });

// A failed expectation says what was wanted and what the device has; a bad line says how to write it.
TEST_F(MediaCommands, FailuresTellWhatWasFoundAndMistakesTheUsage)
{
    Simulator simulator(options(ClockMode::Virtual));
    ScriptRunner runner(simulator, errors);
    ASSERT_TRUE(boot_with_player(simulator, runner)) << errors.str();
    ASSERT_TRUE(run(runner, "start \\NAND\\App\\TonePlayer.exe \\SDMMC\\Music\\tone-untagged.mp3\n"
                            "post \"tone player\" WM_APP+4 1 2\n"
                            "expect wave-message 1044 1 2\n"))
        << errors.str();
    struct Case {
        const char* line;
        const char* says;
    } cases[] = {
        { "expect playback paused", "expected playback paused, found a graph running \\SDMMC\\Music\\tone-untagged.mp3" },
        { "expect playback running tone-vbr", "expected playback running of a file whose path holds \"tone-vbr\", found a graph running" },
        { "expect playback stopped UNTAGGED", "expected playback stopped of a file whose path holds \"UNTAGGED\"" },
        { "expect playback playing", "usage: expect playback running|paused|stopped [NAME]" },
        { "expect playback running a b", "usage: expect playback" },
        // Each message is found once, in order: those before the last one found are behind.
        { "expect wave-message 1044 3 0", "expected the wave driver to have received 1044 (3, 0) since the last 'expect wave-message', found none" },
        { "expect wave-message 1044 1", "usage: expect wave-message N P1 P2" },
        { "expect wave-message 1044 x 2", "usage: expect wave-message N P1 P2" },
        { "event card-free", "usage: event card-free BYTES" },
        { "event card-free -1", "usage: event card-free BYTES" },
        { "event card-free lots", "usage: event card-free BYTES (the card's free space, a number of bytes from 0) (not a number: lots)" },
        { "event card-in 5", "event card-in takes no value" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.line);
        errors.str("");
        EXPECT_FALSE(run(runner, std::string(test.line) + "\n"));
        EXPECT_NE(errors.str().find(test.says), std::string::npos) << errors.str();
    }
    // What came since the last one found is listed.
    ASSERT_TRUE(run(runner, "post \"tone player\" WM_APP+4 4 0\n")) << errors.str();
    errors.str("");
    EXPECT_FALSE(run(runner, "expect wave-message 1044 5 0\n"));
    EXPECT_NE(errors.str().find("found 1044 (4, 0)"), std::string::npos) << errors.str();
}

// A new root gets the card media once, on the card whether it is in the slot or not; a file
// deleted later does not come back at the next boot.
TEST_F(MediaCommands, AFreshRootGetsTheCardMediaOnce)
{
    auto media = root / "media";
    std::filesystem::create_directories(media / "Music" / "Old");
    std::ofstream(media / "Music" / "a.mp3") << "first";
    std::ofstream(media / "Music" / "Old" / "b.wma") << "second song";
    Simulator simulator(options(ClockMode::Virtual, media));
    simulator.hardware().card_present = false;
    ScriptRunner runner(simulator, errors);
    EXPECT_TRUE(run(runner, "boot\n"
                            "expect file \\SDMMC\\Music\\a.mp3 absent\n"
                            "event card-in\n"
                            "expect file \\SDMMC\\Music\\a.mp3 exists\n"
                            "expect file \\SDMMC\\Music\\a.mp3.part absent\n"
                            "expect file \\SDMMC\\Music\\Old\\b.wma exists\n"
                            "delete \\SDMMC\\Music\\a.mp3\n"
                            "boot\n"
                            "expect file \\SDMMC\\Music\\a.mp3 absent\n"
                            "expect file \\SDMMC\\Music\\Old\\b.wma exists\n"))
        << errors.str();
    HANDLE file = CreateFile(u"\\SDMMC\\Music\\Old\\b.wma", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char bytes[32] = {};
    DWORD done = 0;
    EXPECT_TRUE(ReadFile(file, bytes, sizeof bytes, &done, nullptr));
    CloseHandle(file);
    EXPECT_EQ(std::string(bytes, done), "second song");
}

// The build's card holds the audio player's play list of the six songs as the player itself would
// have written it: its records read back through its own reader, every song there, the first one
// current, and both files with the attributes the player's writer gives a file it writes.
TEST_F(MediaCommands, AFreshCardHoldsThePlayListAsThePlayerWritesIt)
{
    Simulator simulator(options(ClockMode::Virtual));
    ScriptRunner runner(simulator, errors);
    ASSERT_TRUE(run(runner, "boot\n")) << errors.str();
    const std::vector<std::u16string> songs {
        u"\\SDMMC\\Music\\tone-id3v23-chinese.mp3",
        u"\\SDMMC\\Music\\tone-id3v24.mp3",
        u"\\SDMMC\\Music\\tone-id3v1.mp3",
        u"\\SDMMC\\Music\\tone-untagged.mp3",
        u"\\SDMMC\\Music\\tone-vbr.mp3",
        u"\\SDMMC\\Music\\tone-wma2.wma",
    };
    CParmFileRW file;
    std::array<uint8_t, bookmark_bytes> record {};
    ASSERT_EQ(file.Read(u"\\SDMMC\\bmkAud.rom", record.data(), int(record.size()), int(record.size())), 0);
    AudioBookmark expected;
    expected.list_count = 6;
    expected.list_bytes = 6 * int32_t(list_slot_bytes);
    expected.current_path = songs.front();
    EXPECT_EQ(decode_bookmark(std::span<const uint8_t, bookmark_bytes>(record)), expected);
    std::vector<uint8_t> slots(6 * list_slot_bytes);
    ASSERT_EQ(file.Read(u"\\SDMMC\\listAud.lst", slots.data(), int(slots.size()), int(slots.size())), 0);
    EXPECT_EQ(decode_list(slots, 6), songs);
    for (auto& song : songs)
        EXPECT_NE(GetFileAttributes(song.c_str()), INVALID_FILE_ATTRIBUTES) << to_utf8(song);

    ASSERT_EQ(file.Write(u"\\SDMMC\\written.rom", record.data(), int(record.size())), 0);
    DWORD written = GetFileAttributes(u"\\SDMMC\\written.rom");
    ASSERT_NE(written, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(written & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributes(u"\\SDMMC\\bmkAud.rom"), written);
    EXPECT_EQ(GetFileAttributes(u"\\SDMMC\\listAud.lst"), written);
    // The attribute records themselves are the volume's own, never a file on the card.
    WIN32_FIND_DATA found {};
    EXPECT_EQ(FindFirstFile(u"\\SDMMC\\.kivo-attributes", &found), INVALID_HANDLE_VALUE);
}

// The free space set before the boot is there at the boot; the card keeps its size across boots,
// so a file written since takes its bytes from the free space.
TEST_F(MediaCommands, TheCardsFreeSpaceIsSetAndItsSizeOutlivesABoot)
{
    Simulator simulator(options(ClockMode::Virtual));
    ScriptRunner runner(simulator, errors);
    auto free_bytes = [] {
        ULARGE_INTEGER free {};
        EXPECT_TRUE(GetDiskFreeSpaceEx(u"\\SDMMC\\", &free, nullptr, nullptr));
        return free.QuadPart;
    };
    ASSERT_TRUE(run(runner, "event card-free 5000\nboot\n")) << errors.str();
    EXPECT_EQ(free_bytes(), 5000u);
    auto host_file = root / "thousand.bin";
    std::ofstream(host_file) << std::string(1000, 'x');
    ASSERT_TRUE(run(runner, "put \\SDMMC\\thousand.bin " + host_file.string() + "\n")) << errors.str();
    EXPECT_EQ(free_bytes(), 4000u);
    ASSERT_TRUE(run(runner, "boot\n")) << errors.str();
    EXPECT_EQ(free_bytes(), 4000u);
    ASSERT_TRUE(run(runner, "event card-free 0\n")) << errors.str();
    EXPECT_EQ(free_bytes(), 0u);
    EXPECT_FALSE(run(runner, "put \\SDMMC\\more.bin " + host_file.string() + "\n")) << "a full card takes no file";
}
