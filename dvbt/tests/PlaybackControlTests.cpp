// Playback control on the play wiring of the default multiplex: run, stop and pause with their
// results, the volume table, the PID maps, the tuner's properties, the radio background, the
// subtitle display, full screen, recording and the thin wrappers, each read back on its filter.

#include "TsPlayerTest.h"

#include "gdi/tests/ScreenshotPixels.h"

#include "AudioRenderer.h"
#include "Gdi.h"
#include "KernelApi.h"
#include "RaruTsDemuxer.h"
#include "StreamwellInstall.h"
#include "TccDvbtTuneFilter.h"
#include "Volumes.h"
#include "ZezImageRenderer.h"
#include "ZezPsiParser.h"
#include "ZezSubtitleDecoder.h"
#include "ZezTeletextDecoder.h"
#include "ZezVideoRenderer.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <set>

using namespace kivo;
using namespace dvbt_test;

namespace {

// Tunes the default channel and maps "Mountain News" to the video and audio pins.
void tune_default_service(TestPlayer& player)
{
    DWORD channel = default_channel;
    ASSERT_EQ(player.SetChannel(&channel, 1), 1);
    ULONG video = video_pid, audio = audio_pid;
    ASSERT_EQ(player.MapPIDToDemuxer(u"Video", &video, 1, MEDIA_ELEMENTARY_STREAM, 1), 1);
    ASSERT_EQ(player.MapPIDToDemuxer(u"Audio", &audio, 1, MEDIA_ELEMENTARY_STREAM, 1), 1);
}

std::vector<TccDvbtTuneFilter::Call> calls_of(const TccDvbtTuneFilter& tuner, TccDvbtTuneFilter::Operation operation)
{
    std::vector<TccDvbtTuneFilter::Call> found;
    for (auto& call : tuner.calls()) {
        if (call.operation == operation)
            found.push_back(call);
    }
    return found;
}

long graph_volume(TestPlayer& player)
{
    IBasicAudio* audio = nullptr;
    long volume = 1;
    if (SUCCEEDED(player.m_pGraph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio)))) {
        audio->get_Volume(&volume);
        audio->Release();
    }
    return volume;
}

// The attenuation of each level as the device's audio path defines it: -(4 x (25 - level))^2
// hundredths of a decibel, but for level 2 (-8494), 23 (-16) and 24 (full).
long expected_attenuation(DWORD level)
{
    if (level >= 24)
        return 0;
    if (level == 23)
        return -16;
    if (level == 2)
        return -8494;
    long step = 4 * (25 - long(level));
    return -step * step;
}

// Whether an RGB565 pixel is the colour within one step of each component (YUV rounds).
bool near_565(uint16_t pixel, int red, int green, int blue)
{
    int r = pixel >> 11, g = (pixel >> 5) & 0x3F, b = pixel & 0x1F;
    return std::abs(r - (red >> 3)) <= 1 && std::abs(g - (green >> 2)) <= 1 && std::abs(b - (blue >> 3)) <= 1;
}

int tv_notifications(HWND window)
{
    int count = 0;
    MSG message;
    while (PeekMessage(&message, window, WM_DSHOW_GRAPH_NOTIFY, WM_DSHOW_GRAPH_NOTIFY, PM_REMOVE)) {
        EXPECT_EQ(message.lParam, 0);
        ++count;
    }
    return count;
}

} // namespace

TEST_F(TsPlayerTest, PauseOnAStoppedGraphAnswers21AndTheAudioInfoEchoesIt)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        DWORD level = 7;
        EXPECT_EQ(player.SetAudioInfo(TS_AUDIO_VOLUME, &level), 0u);
        EXPECT_EQ(player.Pause(), 21u);
        DWORD read = 0;
        EXPECT_EQ(player.GetAudioInfo(TS_AUDIO_VOLUME, &read), 21u);
        EXPECT_EQ(read, 7u);
        EXPECT_EQ(player.SetAudioInfo(TS_AUDIO_VOLUME, &level), 21u);

        EXPECT_EQ(player.Run(), 0u);
        EXPECT_EQ(player.GetGraphState(), 1);
        EXPECT_EQ(player.GetAudioInfo(TS_AUDIO_VOLUME, &read), 0u);
        EXPECT_EQ(player.Pause(), 0u);
        EXPECT_EQ(player.GetGraphState(), 2);
        EXPECT_EQ(player.Pause(), 0u) << "a toggle";
        EXPECT_EQ(player.GetGraphState(), 1);
        EXPECT_EQ(player.Pause(), 0u);
        EXPECT_EQ(player.Run(), 0u) << "resumes a paused graph";
        EXPECT_EQ(player.GetGraphState(), 1);
        EXPECT_EQ(player.Stop(), 0u);
        EXPECT_EQ(player.GetGraphState(), 0);
        EXPECT_EQ(player.m_bRunning, 0u);
        EXPECT_EQ(player.Pause(), 21u);
        EXPECT_EQ(player.SetNotifyWindow(window), 0u);
        EXPECT_EQ(player.GetAudioInfo(TS_AUDIO_VOLUME, &read), 0u) << "cleared by setting a window";

        TestPlayer without_graph;
        EXPECT_EQ(without_graph.GetGraphState(), 4);
        EXPECT_EQ(without_graph.Pause(), 21u);

        player.DisconnectFilterForPlay();
        player.RemoveFilter();
        player.DestroyFilter();
    });
}

TEST_F(TsPlayerTest, TheVolumeTableReachesTheAudioRenderer)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        EXPECT_EQ(player.GetAudioVolumeLevelNum(), 25);
        for (DWORD level : { 0u, 1u, 2u, 3u, 12u, 22u, 23u, 24u, 25u, 1000u }) {
            SCOPED_TRACE(level);
            EXPECT_EQ(player.SetAudioInfo(TS_AUDIO_VOLUME, &level), 0u);
            EXPECT_EQ(graph_volume(player), expected_attenuation(level));
        }

        DWORD level = 16, on = 1, off = 0;
        player.SetAudioInfo(TS_AUDIO_VOLUME, &level);
        player.SetAudioInfo(TS_AUDIO_MUTE, &on);
        EXPECT_EQ(graph_volume(player), -10000);
        DWORD stored = 0;
        player.GetAudioInfo(TS_AUDIO_VOLUME, &stored);
        EXPECT_EQ(stored, 16u) << "mute keeps the level";
        player.SetAudioInfo(TS_AUDIO_MUTE, &off);
        EXPECT_EQ(graph_volume(player), expected_attenuation(16));

        // A level set while muted applies at once; the mute flag stays.
        player.SetAudioInfo(TS_AUDIO_MUTE, &on);
        level = 20;
        player.SetAudioInfo(TS_AUDIO_VOLUME, &level);
        EXPECT_EQ(graph_volume(player), expected_attenuation(20));
        EXPECT_EQ(player.m_bMute, 1u);

        player.DisconnectFilterForPlay();
        player.RemoveFilter();
        player.DestroyFilter();
    });
}

TEST_F(TsPlayerTest, DemultiplexerPidMapsAndUnmaps)
{
    struct Case {
        const char* what;
        std::vector<ULONG> mapped; // on "Video" before the call
        bool unmap;                // UnmapPIDToDemuxer, else MapPIDToDemuxer
        const WCHAR* pin;
        std::vector<ULONG> list;
        int unmap_first;
        int expected;
        std::vector<ULONG> after;
    } cases[] = {
        { "unmap first without a list clears the pin", { 513, 600 }, false, u"Video", {}, 1, 1, {} },
        { "no list, no unmap: nothing", { 513, 600 }, false, u"Video", {}, 0, 1, { 513, 600 } },
        { "unmap first, then the list", { 513, 600 }, false, u"Video", { 700 }, 1, 1, { 700 } },
        { "the list added to the maps", { 513 }, false, u"Video", { 700, 701 }, 0, 1, { 513, 700, 701 } },
        { "a pin name of another case is not found", { 513 }, false, u"video", { 700 }, 1, 0, { 513 } },
        { "an input pin is not an output", {}, false, u"MPEG-2 Stream", { 700 }, 0, 0, {} },
        { "unmap a mapped PID", { 513, 600 }, true, u"Video", { 513 }, 0, 1, { 600 } },
        { "unmap a PID not mapped", { 513, 600 }, true, u"Video", { 999 }, 0, 0, { 513, 600 } },
        { "unmap a partly mapped list", { 513, 600 }, true, u"Video", { 999, 600 }, 0, 1, { 513 } },
        { "unmap with no list", { 513 }, true, u"Video", {}, 0, 0, { 513 } },
    };
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        for (auto& c : cases) {
            SCOPED_TRACE(c.what);
            ASSERT_EQ(player.MapPIDToDemuxer(u"Video", nullptr, 0, MEDIA_ELEMENTARY_STREAM, 1), 1);
            std::vector<ULONG> mapped = c.mapped;
            if (!mapped.empty()) {
                ASSERT_EQ(player.MapPIDToDemuxer(u"Video", mapped.data(), int(mapped.size()), MEDIA_ELEMENTARY_STREAM, 0), 1);
            }
            std::vector<ULONG> list = c.list;
            ULONG* pids = list.empty() ? nullptr : list.data();
            int result = c.unmap ? player.UnmapPIDToDemuxer(c.pin, pids, int(list.size()))
                                 : player.MapPIDToDemuxer(c.pin, pids, int(list.size()), MEDIA_ELEMENTARY_STREAM, c.unmap_first);
            EXPECT_EQ(result, c.expected);
            EXPECT_EQ(maps_of(player.m_pDemux, u"Video"), c.after);
        }
        // A refused unmap stops the clearing and the mapping.
        auto* demux = player.layer<RaruTsDemuxer>(player.m_pDemux);
        ULONG mapped = 513, wanted = 700;
        player.MapPIDToDemuxer(u"Video", &mapped, 1, MEDIA_ELEMENTARY_STREAM, 0);
        demux->control().force_result(RaruTsDemuxer::Operation::UnmapPID, E_FAIL);
        EXPECT_EQ(player.MapPIDToDemuxer(u"Video", &wanted, 1, MEDIA_ELEMENTARY_STREAM, 1), 0);
        demux->control().clear_forced_results();
        EXPECT_EQ(maps_of(player.m_pDemux, u"Video"), std::vector<ULONG> { 513 });

        player.DisconnectFilterForPlay();
        player.RemoveFilter();
        player.DestroyFilter();
    });
}

TEST_F(TsPlayerTest, TheTunersPropertiesAndPidFilter)
{
    kit.signal(default_channel, 80, 100);
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        auto* tuner = player.layer<TccDvbtTuneFilter>(player.m_pTuner);
        EXPECT_EQ(player.SetCountryCode(886), 1);
        DWORD lowest = 0, highest = 0, frequency = 0;
        EXPECT_EQ(player.GetMinChannel(&lowest), 1);
        EXPECT_EQ(player.GetMaxChannel(&highest), 1);
        EXPECT_LT(lowest, highest);
        tune_default_service(player);
        EXPECT_EQ(player.GetRFFreq(&frequency), 1);
        EXPECT_EQ(frequency, test::RadioTestKit::frequency_of(default_channel));
        std::array<DWORD, 4> signal {};
        EXPECT_EQ(player.GetSignalStrength(signal.data()), 1);
        EXPECT_EQ(signal[0], 20u * 65535 / 100);
        EXPECT_EQ(signal[0], signal[2]);
        EXPECT_EQ(signal[1], signal[3]);
        EXPECT_GT(signal[1], 0u);

        // A get or set that fails reports failure; a positive success code is no signal reading.
        struct Case {
            TccDvbtTuneFilter::Operation operation;
            HRESULT forced;
            int country, lowest, highest, frequency, signal;
        } cases[] = {
            { TccDvbtTuneFilter::Operation::GetProperty, E_FAIL, 1, 0, 0, 0, 0 },
            { TccDvbtTuneFilter::Operation::GetProperty, S_FALSE, 1, 1, 1, 1, 0 },
            { TccDvbtTuneFilter::Operation::SetProperty, E_FAIL, 0, 1, 1, 1, 1 },
        };
        for (auto& c : cases) {
            SCOPED_TRACE(c.forced);
            tuner->force_result(c.operation, c.forced);
            DWORD value = 0;
            EXPECT_EQ(player.SetCountryCode(886), c.country);
            EXPECT_EQ(player.GetMinChannel(&value), c.lowest);
            EXPECT_EQ(player.GetMaxChannel(&value), c.highest);
            EXPECT_EQ(player.GetRFFreq(&value), c.frequency);
            EXPECT_EQ(player.GetSignalStrength(signal.data()), c.signal);
            tuner->clear_forced_results();
        }

        // Stop leaves the tuner passing no PID.
        EXPECT_EQ(player.Run(), 0u);
        Sleep(200);
        EXPECT_EQ(player.Stop(), 0u);
        auto filters = calls_of(*tuner, TccDvbtTuneFilter::Operation::SetPidFilter);
        ASSERT_FALSE(filters.empty());
        EXPECT_EQ(filters.back().first, 1u);
        EXPECT_EQ(filters.back().second, 0u);
        EXPECT_TRUE(filters.back().pids.empty());
        VideoWindowRecord video = player.graph()->video_window();
        EXPECT_EQ(video.visible, OAFALSE);
        EXPECT_EQ(video.owner, 0);
        uint64_t delivered = tuner->packets_delivered();
        EXPECT_EQ(player.Run(), 0u);
        Sleep(500);
        EXPECT_EQ(tuner->packets_delivered(), delivered) << "nothing passes until the PIDs are mapped again";
        USHORT passing[] = { 0, USHORT(video_pid) };
        EXPECT_EQ(player.MapPIDToTuner(1, passing, 2), 1);
        Sleep(500);
        EXPECT_GT(tuner->packets_delivered(), delivered);
        player.Stop();

        player.DisconnectFilterForPlay();
        player.RemoveFilter();
        player.DestroyFilter();
    });
}

TEST_F(TsPlayerTest, TheRadioBackgroundLoadsOnlyAWholePictureForARadioService)
{
    std::vector<uint8_t> picture = make_radio_background();
    ASSERT_EQ(picture.size(), 195'840u);
    auto host_file = device->component<Volumes>().host_folder(VolumeId::ObjectStore) / "RadioBG.yuv";
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        auto* renderer = player.layer<ZezVideoRenderer>(player.m_pVideoRenderer);
        auto draws = [&] {
            int count = 0;
            for (auto& call : renderer->calls())
                count += call.operation == ZezVideoRenderer::Operation::DrawYuv420;
            return count;
        };

        player.CheckAndDrawRadioBGOnVideoLayer(2);
        EXPECT_TRUE(debug_written("radio background image doesn't exist \\RadioBG.yuv\r\n"));

        std::ofstream(host_file, std::ios::binary).write(reinterpret_cast<const char*>(picture.data()), std::streamsize(picture.size() - 1));
        player.CheckAndDrawRadioBGOnVideoLayer(2);
        EXPECT_EQ(player.m_pRadioBG, nullptr);
        EXPECT_TRUE(debug_written("radio background image should be 480X272(YUV420)\r\n"));

        std::ofstream(host_file, std::ios::binary).write(reinterpret_cast<const char*>(picture.data()), std::streamsize(picture.size()));
        player.CheckAndDrawRadioBGOnVideoLayer(1);
        EXPECT_EQ(player.m_pRadioBG, nullptr) << "a TV service never loads it";
        EXPECT_EQ(draws(), 0);
        player.CheckAndDrawRadioBGOnVideoLayer(2);
        ASSERT_NE(player.m_pRadioBG, nullptr) << "tried again after the short file";
        EXPECT_EQ(draws(), 1);
        // Kept once loaded: the file may go.
        std::filesystem::remove(host_file);
        player.CheckAndDrawRadioBGOnVideoLayer(2);
        EXPECT_EQ(draws(), 2);

        // What shows under the key: the radio colour around the emblem.
        Sleep(100);
        auto shot = test::review_screenshot(*device, "tv_player_radio_background");
        // The picture is fitted to the key's 480 x 240 with its aspect kept, so its top row is the
        // screen's and its middle lies at (240, 120).
        EXPECT_TRUE(near_565(shot.pixel_565(240, 10), 0, 17, 56)) << std::hex << shot.pixel_565(240, 10);
        EXPECT_FALSE(near_565(shot.pixel_565(240, 120), 0, 17, 56)) << "the emblem";

        player.DisconnectFilterForPlay();
        player.RemoveFilter();
        player.DestroyFilter();
    });
}

TEST_F(TsPlayerTest, TheInstallerPutsTheRadioBackgroundOnAFreshRoot)
{
    std::string error;
    ASSERT_TRUE(install_streamwell(*device, &error)) << error;
    auto host_file = device->component<Volumes>().host_folder(VolumeId::Nand) / "App" / "RadioBG.yuv";
    ASSERT_EQ(std::filesystem::file_size(host_file), 195'840u);
    // A file a person put there is kept.
    std::ofstream(host_file, std::ios::binary | std::ios::trunc) << "mine";
    ASSERT_TRUE(install_streamwell(*device, &error)) << error;
    EXPECT_EQ(std::filesystem::file_size(host_file), 4u);
}

TEST_F(TsPlayerTest, TeletextInfoDrivesTheSubtitleDisplay)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        auto* decoder = player.layer<ZezSubtitleDecoder>(player.m_pSubtitle);
        auto* image = player.layer<ZezImageRenderer>(player.m_pImageRenderer);

        TsTeletextPage hide { 0, 0, 1, 23 };
        EXPECT_EQ(player.SetTeletextInfo(TS_TELETEXT_PAGE, &hide), 0u);
        auto calls = decoder->calls();
        ASSERT_EQ(calls.size(), 1u) << "hidden without a page selected";
        EXPECT_EQ(calls[0].operation, ZezSubtitleDecoder::Operation::ShowSubtitle);
        EXPECT_EQ(calls[0].first, 0u);

        TsTeletextPage show { 1, 0, 8, 88 };
        EXPECT_EQ(player.SetTeletextInfo(TS_TELETEXT_PAGE, &show), 0u);
        EXPECT_EQ(player.m_pSubtitler->m_dwPage, 888u);
        auto display = decoder->display();
        EXPECT_TRUE(display.shown);
        EXPECT_EQ(display.magazine, 8u);
        EXPECT_EQ(display.page, 88u);

        EXPECT_EQ(player.SetTeletextInfo(TS_TELETEXT_WINDOW, &window), 0u);
        EXPECT_EQ(image->window(), window);
        HWND not_a_window = reinterpret_cast<HWND>(uintptr_t(0x7FFF0));
        size_t image_calls = image->calls().size();
        EXPECT_EQ(player.SetTeletextInfo(TS_TELETEXT_WINDOW, &not_a_window), 0u);
        EXPECT_EQ(image->calls().size(), image_calls);

        player.DisconnectFilterForPlay();
        player.RemoveFilter();
        player.DestroyFilter();
        EXPECT_EQ(player.SetTeletextInfo(TS_TELETEXT_PAGE, &show), 0u) << "without a subtitler";
    });
}

TEST_F(TsPlayerTest, FullScreenKeepsOneMessageDrainPerProcess)
{
    // Two programs, each with its own player, take full screen in turn and give it back in the
    // other order: each gets its own drain back.
    HANDLE first_on = CreateEvent(nullptr, TRUE, FALSE, u"dvbt-first-on");
    HANDLE second_done = CreateEvent(nullptr, TRUE, FALSE, u"dvbt-second-done");
    OAHWND restored[2] = { -1, -1 };
    int finished = 0;
    auto program = [&](int which) {
        return [&, which](std::u16string_view) {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            HANDLE on = CreateEvent(nullptr, TRUE, FALSE, u"dvbt-first-on");
            HANDLE done = CreateEvent(nullptr, TRUE, FALSE, u"dvbt-second-done");
            if (which == 1)
                WaitForSingleObject(on, INFINITE);
            TestPlayer player;
            EXPECT_EQ(player.CreateFilter(), 1);
            player.SetPreviewWindow(nullptr);
            IVideoWindow* window = nullptr;
            EXPECT_EQ(player.m_pVideoRenderer->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&window)), S_OK);
            window->put_MessageDrain(0x100 + which);
            EXPECT_EQ(player.SetFullScreen(1), 1);
            if (which == 0) {
                SetEvent(on);
                WaitForSingleObject(done, INFINITE);
            }
            EXPECT_EQ(player.SetFullScreen(0), 1);
            window->get_MessageDrain(&restored[which]);
            window->Release();
            if (which == 1)
                SetEvent(done);
            player.DestroyFilter();
            CloseHandle(on);
            CloseHandle(done);
            CoUninitialize();
            ++finished;
            return 0;
        };
    };
    device->programs().add(u"\\first.exe", program(0));
    device->programs().add(u"\\second.exe", program(1));
    DWORD error = 0;
    ASSERT_TRUE(device->create_process(u"\\first.exe", u"", error));
    ASSERT_TRUE(device->create_process(u"\\second.exe", u"", error));
    device->run_until([&] { return finished == 2; }, 60'000);
    ASSERT_EQ(finished, 2);
    EXPECT_EQ(restored[0], 0x100);
    EXPECT_EQ(restored[1], 0x101);
    CloseHandle(first_on);
    CloseHandle(second_done);
}

TEST_F(TsPlayerTest, TheThinWrappersReachTheirFilters)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);

        // Renderer flag: the default record after the wiring, the caller's own read back.
        VrenderModeFlag flag {};
        EXPECT_EQ(player.GetVideoRendererFlag(flag), 1);
        EXPECT_EQ(std::vector<DWORD>({ flag.mode, flag.left, flag.top, flag.width, flag.height }), std::vector<DWORD>({ 1, 0, 0, 480, 272 }));
        VrenderModeFlag mine { 1, 10, 20, 200, 100, { 1, 2, 3, 4, 5 } };
        EXPECT_EQ(player.SetVideoRendererFlag(&mine), 1);
        EXPECT_EQ(player.GetVideoRendererFlag(flag), 1);
        EXPECT_EQ(std::memcmp(&flag, &mine, sizeof(flag)), 0);
        EXPECT_EQ(player.SetVideoRendererFlag(nullptr), 1);
        EXPECT_EQ(player.GetVideoRendererFlag(flag), 1);
        EXPECT_EQ(flag.width, 480u);

        // Receive callbacks, clear, channel mode, select by name.
        auto callback = [](DWORD, void*, void*) { return 0; };
        int context = 0;
        EXPECT_EQ(player.SetInformationReceiveCallback(callback, &context), 1);
        ReceiveCallback read_callback = nullptr;
        void* read_context = nullptr;
        EXPECT_EQ(player.GetInformationReceiveCallback(&read_callback, &read_context), 1);
        EXPECT_EQ(read_callback, static_cast<ReceiveCallback>(callback));
        EXPECT_EQ(read_context, &context);
        EXPECT_EQ(player.SetTeletextReceiveCallback(callback, &context), 1);
        auto teletext_calls = player.layer<ZezTeletextDecoder>(player.m_pTeletext)->calls();
        ASSERT_FALSE(teletext_calls.empty());
        EXPECT_EQ(teletext_calls.back().operation, ZezTeletextDecoder::Operation::SetReceiveCallback);
        EXPECT_EQ(player.ClearPSIParser(255), 1);
        EXPECT_EQ(player.ClearPSIParser(7), 0) << "the parser refuses another selector";
        auto parser_calls = player.layer<ZezPsiParser>(player.m_pPsiParser)->calls();
        ASSERT_GE(parser_calls.size(), 2u);
        EXPECT_EQ(parser_calls.back().operation, ZezPsiParser::Operation::ClearTables);
        EXPECT_EQ(parser_calls.back().result, E_INVALIDARG);
        EXPECT_EQ(player.SetAudioChannelMode(1), 1);
        EXPECT_EQ(player.SetAudioChannelMode(7), 0) << "the decoder refuses another mode";
        EXPECT_EQ(player.ChannelSelect(u"channel-24.json"), 1);
        auto by_name = calls_of(*player.layer<TccDvbtTuneFilter>(player.m_pTuner), TccDvbtTuneFilter::Operation::SelectChannelByName);
        ASSERT_EQ(by_name.size(), 1u);
        EXPECT_EQ(by_name[0].text, u"channel-24.json");

        // Playing: tick counts, the resolution event, capture and a preview frame.
        tune_default_service(player);
        EXPECT_EQ(player.InitForResolutionMsg(), 1);
        EXPECT_EQ(player.Run(), 0u);
        Sleep(2'000);
        DWORD video_tick = 0, audio_tick = 0;
        EXPECT_EQ(player.GetLastReceiveTickCount(&video_tick), 1);
        EXPECT_EQ(player.GetLastAudioReceiveTickCount(&audio_tick), 1);
        EXPECT_GT(video_tick, GetTickCount() - 500);
        EXPECT_GT(audio_tick, GetTickCount() - 500);
        std::set<long> events;
        TsGraphEvent event {};
        while (player.GetEventCode(&event))
            events.insert(event.code);
        EXPECT_TRUE(events.count(EC_VIDEO_RESOLUTION)) << "the re-armed resolution event";

        std::vector<BYTE> frame(720 * 480 * 3 / 2);
        int width = 0, height = 0, bytes = 0;
        EXPECT_EQ(player.CaptureCurrentSampleBufferYuv420(frame.data(), &width, &height, &bytes, DWORD(frame.size())), 1);
        EXPECT_EQ(width, 720);
        EXPECT_EQ(height, 480);
        EXPECT_EQ(player.CaptureCurrentSampleBufferYuv420(frame.data(), &width, &height, &bytes, 10), 0);

        struct Preview {
            int calls = 0;
            unsigned long bytes = 0;
        } preview;
        std::vector<BYTE> thumbnail(112 * 64 * 2);
        auto on_preview = [](DWORD value, unsigned char*, void* context) {
            auto& seen = *static_cast<Preview*>(context);
            ++seen.calls;
            seen.bytes = value;
            return 0;
        };
        EXPECT_EQ(player.SetPreview(thumbnail.data(), 112, 64, on_preview, &preview), 1);
        Sleep(500);
        EXPECT_EQ(preview.calls, 1);
        EXPECT_EQ(preview.bytes, 112u * 64 * 3 / 2);
        EXPECT_EQ(player.SetPreview(nullptr, 0, 0, nullptr, nullptr), 1);

        player.Stop();
        player.DisconnectFilterForPlay();
        player.RemoveFilter();
        player.DestroyFilter();

        // Without filters every wrapper answers 0.
        TestPlayer empty;
        DWORD value = 0;
        EXPECT_EQ(empty.SetVideoRendererFlag(nullptr), 0);
        EXPECT_EQ(empty.GetLastReceiveTickCount(&value), 0);
        EXPECT_EQ(empty.SetChannel(&value, 1), 0);
        EXPECT_EQ(empty.ClearPSIParser(0), 0);
        EXPECT_EQ(empty.EnableRecord(1, u"\\NAND\\x.ts", 0), 0);
        EXPECT_EQ(empty.SetFullScreen(1), 0);
        EXPECT_EQ(empty.GetEventCode(&event), 0u);
    });
}

TEST_F(TsPlayerTest, ARecordingIsATransportStreamFfprobeReads)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        tune_default_service(player);
        EXPECT_EQ(player.MapPIDToTuner(0, nullptr, 0), 1);
        EXPECT_EQ(player.EnableRecord(1, u"\\NAND\\Mountain News_20261211120000.ts", 0), 1);
        player.Run();
        Sleep(3'000);
        EXPECT_EQ(player.EnableRecord(0, u"\\NAND\\ignored.ts", 0), 1);
        player.Stop();
        player.DisconnectFilterForPlay();
        player.RemoveFilter();
        player.DestroyFilter();
    });
    auto folder = device->component<Volumes>().host_folder(VolumeId::Nand);
    EXPECT_FALSE(std::filesystem::exists(folder / "ignored.ts")) << "off records nothing";
    auto file = folder / "Mountain News_20261211120000.ts";
    ASSERT_TRUE(std::filesystem::exists(file));
    std::string command = "ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + file.string() + "' 2>&1";
    FILE* probe = popen(command.c_str(), "r");
    ASSERT_NE(probe, nullptr);
    std::string output;
    char buffer[256];
    while (fgets(buffer, sizeof(buffer), probe))
        output += buffer;
    EXPECT_EQ(pclose(probe), 0) << output;
    EXPECT_NE(output.find("mpeg2video"), std::string::npos) << output;
    EXPECT_NE(output.find("mp2"), std::string::npos) << output;
}

// The default multiplex connected for play and run: the picture on the video plane under the
// key, the sound in the audio renderer's stream, and event 13 queued by each run. The screenshot
// is kept for a person to look at.
TEST_F(TsPlayerTest, ADefaultMultiplexPlaysPictureAndSound)
{
    test::DecodedPng shot;
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        tune_default_service(player);
        for (int run = 0; run < 2; ++run) {
            SCOPED_TRACE(run);
            EXPECT_EQ(player.Run(), 0u);
            Sleep(2'000);
            std::vector<long> codes;
            for (int i = tv_notifications(window); i > 0; --i) {
                TsGraphEvent event {};
                EXPECT_EQ(player.GetEventCode(&event), 1u);
                codes.push_back(event.code);
            }
            EXPECT_EQ(std::count(codes.begin(), codes.end(), EC_CLOCK_CHANGED), 1);
            if (run == 0)
                shot = test::review_screenshot(*device, "tv_player_default_multiplex");
            player.Stop();
            ULONG video = video_pid, audio = audio_pid;
            USHORT passing[] = { 0, USHORT(video_pid), USHORT(audio_pid) };
            player.MapPIDToTuner(1, passing, 3);
            player.MapPIDToDemuxer(u"Video", &video, 1, MEDIA_ELEMENTARY_STREAM, 1);
            player.MapPIDToDemuxer(u"Audio", &audio, 1, MEDIA_ELEMENTARY_STREAM, 1);
        }
        auto* audio = player.layer<AudioRenderer>(player.m_pAudioRenderer);
        int loud = 0;
        for (auto& block : audio->blocks())
            loud += block.peaks[0] > 1000 || block.peaks[1] > 1000;
        EXPECT_GT(loud, 10) << "no sound in the PCM stream";
        player.DisconnectFilterForPlay();
        player.RemoveFilter();
        player.DestroyFilter();
    });
    ASSERT_EQ(shot.width, 480u);
    int picture = 0;
    std::set<uint16_t> colours;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 480; ++x) {
            uint16_t pixel = shot.pixel_565(x, y);
            colours.insert(pixel);
            picture += pixel != 0 && pixel != Gdi::video_key_565;
        }
    }
    EXPECT_GT(picture, 360 * 240 / 2);
    EXPECT_GT(colours.size(), 8u);
    EXPECT_EQ(shot.pixel_565(240, 260), 0xFFFF) << "the page under the picture";
}
