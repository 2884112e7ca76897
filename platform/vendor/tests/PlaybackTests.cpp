// Whole playbacks on the virtual clock: a program builds a graph for a clip made by the tests,
// paints the video key where its film goes and plays it; the test watches the screen, the sound
// blocks, the events and the graph's answers.

#include "kernel/tests/TestDevice.h"
#include "dshow/tests/TestClips.h"
#include "gdi/tests/ScreenshotPixels.h"

#include "AudioRenderer.h"
#include "ComClassTable.h"
#include "FrameBuffer.h"
#include "Gdi.h"
#include "MediaClasses.h"
#include "Screenshot.h"
#include "VendorFilters.h"
#include "VideoPlane.h"
#include "Volumes.h"
#include "WideText.h"
#include "ZezVideoRenderer.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

namespace kivo::test {
namespace {

constexpr UINT WM_GRAPH_NOTIFY = WM_APP + 1;
constexpr UINT WM_PLAYER_COMMAND = WM_APP + 2;
constexpr RECT button_rect { 190, 200, 290, 240 };

// What the test asks of the player program and what it saw.
struct Scenario {
    std::u16string path;
    RECT key_area { 0, 0, 480, 272 }; // where the page paints the key; white elsewhere
    VrenderModeFlag mode = ZezVideoRenderer::default_mode;
    std::optional<long> volume;
    bool run = true;

    HRESULT render_result = E_UNEXPECTED;
    bool video_renderer_found = false;
    LONGLONG duration = -1;
    std::vector<std::string> events; // "code@ms", as the window heard them, one message each
    std::vector<AudioRenderer::Block> blocks;
    size_t messages = 0;
    // Commands run on the program's thread, posted by the test; each answers a line for the test.
    std::function<std::string(IGraphBuilder&)> command;
    std::vector<std::string> answers;
    HWND page = nullptr;
    bool quit = false;
};

Scenario* g_scenario = nullptr;

LRESULT CALLBACK page_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT all { 0, 0, 480, 272 };
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        HBRUSH key = CreateSolidBrush(Gdi::video_key);
        FillRect(dc, &all, white);
        FillRect(dc, &g_scenario->key_area, key);
        DeleteObject(white);
        DeleteObject(key);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProc(window, message, wparam, lparam);
}

template<typename Interface>
ComRef<Interface> query(IUnknown* object, REFIID iid)
{
    ComRef<Interface> result;
    object->QueryInterface(iid, result.put());
    return result;
}

AudioRenderer* audio_renderer_of(IGraphBuilder& graph)
{
    ComRef<IBaseFilter> filter;
    if (FAILED(graph.FindFilterByName(u"Audio Renderer", reinterpret_cast<IBaseFilter**>(filter.put()))))
        return nullptr;
    return dynamic_cast<AudioRenderer*>(Filter::from(filter.get()));
}

// The player: a full-screen page with the key and a button over it, a graph for the clip with the
// vendor renderer in the mode asked for, events read one message at a time.
int player(std::u16string_view)
{
    Scenario& scenario = *g_scenario;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WNDCLASS page_class {};
    page_class.lpfnWndProc = page_procedure;
    page_class.lpszClassName = u"FilmPage";
    RegisterClass(&page_class);
    HWND page = CreateWindowEx(0, u"FilmPage", u"film", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr, nullptr, nullptr);
    CreateWindowEx(0, WC_BUTTON, u"OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, button_rect.left, button_rect.top,
        button_rect.right - button_rect.left, button_rect.bottom - button_rect.top, page, nullptr, nullptr, nullptr);
    UpdateWindow(page);
    scenario.page = page;

    ComRef<IGraphBuilder> graph;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, reinterpret_cast<void**>(graph.put())), S_OK);
    auto control = query<IMediaControl>(graph.get(), IID_IMediaControl);
    auto events = query<IMediaEventEx>(graph.get(), IID_IMediaEventEx);
    auto seeking = query<IMediaSeeking>(graph.get(), IID_IMediaSeeking);
    events->SetNotifyWindow(reinterpret_cast<OAHWND>(page), WM_GRAPH_NOTIFY, 0);
    scenario.render_result = graph->RenderFile(scenario.path.c_str(), nullptr);
    ComRef<IBaseFilter> renderer;
    if (SUCCEEDED(graph->FindFilterByName(u"ZEZ Video Renderer", reinterpret_cast<IBaseFilter**>(renderer.put())))) {
        scenario.video_renderer_found = true;
        query<IVideoRenderMode>(renderer.get(), IID_IVideoRenderMode)->SetRenderMode(scenario.mode);
    }
    seeking->GetDuration(&scenario.duration);
    if (scenario.volume)
        query<IBasicAudio>(graph.get(), IID_IBasicAudio)->put_Volume(*scenario.volume);
    if (scenario.run)
        control->Run();

    MSG message;
    while (!scenario.quit && GetMessage(&message, nullptr, 0, 0)) {
        if (message.message == WM_GRAPH_NOTIFY) {
            ++scenario.messages;
            long code = 0;
            LONG_PTR first = 0, second = 0;
            // One event per message: the television reads exactly one each time.
            if (events->GetEvent(&code, &first, &second, 0) == S_OK) {
                scenario.events.push_back(std::to_string(code) + "@" + std::to_string(Device::current().clock().now_ms()));
                events->FreeEventParams(code, first, second);
            }
        } else if (message.message == WM_PLAYER_COMMAND) {
            scenario.answers.push_back(scenario.command(*graph.get()));
        } else {
            DispatchMessage(&message);
        }
    }
    if (AudioRenderer* audio = audio_renderer_of(*graph.get()))
        scenario.blocks = audio->blocks();
    control->Stop();
    events->SetNotifyWindow(0, 0, 0);
    renderer = {};
    seeking = {};
    events = {};
    control = {};
    graph = {};
    DestroyWindow(page);
    CoUninitialize();
    return 0;
}

class PlaybackTest : public ::testing::Test {
protected:
    PlaybackTest()
    {
        install_media_classes(*device);
        install_vendor_filters(*device);
        device->programs().add(u"\\player.exe", player);
    }

    std::filesystem::path host_path(std::u16string_view device_path) const
    {
        return host_path_in(device->root(), device_path);
    }
    std::filesystem::path make(std::u16string_view device_path, Clip clip) const { return make_clip(host_path(device_path), clip); }

    // Starts the player on the scenario and lets it build and start its graph.
    void start(Scenario& scenario)
    {
        g_scenario = &scenario;
        DWORD error = 0;
        process = device->create_process(u"\\player.exe", u"", error);
        ASSERT_TRUE(process) << error;
        device->run_until_idle();
    }
    // Runs a command on the player's thread and answers its line.
    std::string ask(Scenario& scenario, std::function<std::string(IGraphBuilder&)> command)
    {
        scenario.command = std::move(command);
        size_t before = scenario.answers.size();
        PostMessage(scenario.page, WM_PLAYER_COMMAND, 0, 0);
        device->run_until_idle();
        return scenario.answers.size() > before ? scenario.answers.back() : std::string("(no answer)");
    }
    void finish(Scenario& scenario)
    {
        ask(scenario, [&](IGraphBuilder&) {
            scenario.quit = true;
            return std::string();
        });
        device->run_until_idle();
    }

    DecodedPng screenshot(const std::string& name) { return review_screenshot(*device, name); }

    std::unique_ptr<Device> device = make_test_device();
    std::shared_ptr<Process> process;
};


// How many pixels of the screenshot inside `area` are neither black nor white: the film's.
int film_pixels(const DecodedPng& shot, const RECT& area)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            uint16_t pixel = shot.pixel_565(x, y);
            if (pixel != 0 && pixel != 0xFFFF)
                ++count;
        }
    }
    return count;
}

} // namespace

TEST_F(PlaybackTest, RenderFileSaysWhatEachClipRenders)
{
    struct Case {
        const char* name;
        std::u16string path;
        std::optional<Clip> clip;
        size_t truncate_to; // 0: whole
        HRESULT result;
        bool video;
    };
    const Case cases[] = {
        { "film", u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac, 0, S_OK, true },
        { "windows media", u"\\SDMMC\\Video\\clip.wmv", Clip::WmvWma, 0, S_OK, true },
        { "song with its cover", u"\\SDMMC\\Music\\song.mp3", Clip::Mp3WithCover, 0, S_OK, false },
        { "undecodable video", u"\\SDMMC\\Video\\clip.mkv", Clip::MkvUndecodableVideo, 0, VFW_S_VIDEO_NOT_RENDERED, false },
        { "damaged", u"\\SDMMC\\Video\\cut.mp4", Clip::Mp4MpegAac, 300, VFW_E_INVALID_FILE_FORMAT, false },
        { "missing", u"\\SDMMC\\Video\\none.mp4", std::nullopt, 0, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.clip && c.truncate_to) {
            auto whole = make(u"\\SDMMC\\whole", *c.clip);
            ASSERT_FALSE(whole.empty());
            write_truncated_copy(whole, host_path(c.path), c.truncate_to);
        } else if (c.clip) {
            ASSERT_FALSE(make(c.path, *c.clip).empty());
        }
        Scenario scenario;
        scenario.path = c.path;
        scenario.run = false;
        start(scenario);
        EXPECT_EQ(scenario.render_result, c.result);
        EXPECT_EQ(scenario.video_renderer_found, c.video);
        finish(scenario);
        EXPECT_EQ(device->component<ComClassTable>().live_objects(CLSID_FilterGraph), 0);
        EXPECT_EQ(device->component<ComClassTable>().live_objects(CLSID_ZezVideoRenderer), 0);
    }
}

TEST_F(PlaybackTest, AFilmPlaysUnderTheKeyWithAButtonOverItAndEndsOnce)
{
    ASSERT_FALSE(make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac).empty());
    Scenario scenario;
    scenario.path = u"\\SDMMC\\Video\\clip.mp4";
    uint64_t started = device->clock().now_ms();
    start(scenario);
    ASSERT_EQ(scenario.render_result, S_OK);
    device->advance(500);

    DecodedPng shot = screenshot("film_full_screen");
    RECT above_button { 0, 0, 480, button_rect.top };
    EXPECT_GT(film_pixels(shot, above_button), 480 * 100) << "the film shows through the key";
    // The button is drawn over the film, and the frame buffer keeps the key the page painted.
    EXPECT_NE(shot.pixel_565(button_rect.left + 5, button_rect.top + 5), device->component<FrameBuffer>().pixel(0, 0));
    EXPECT_EQ(device->component<FrameBuffer>().pixel(10, 10), Gdi::video_key_565);

    device->advance(3'000);
    // The graph ran once (EC_CLOCK_CHANGED) and ended once, at the end of the film's time.
    ASSERT_EQ(scenario.events.size(), 2u) << testing::PrintToString(scenario.events);
    EXPECT_EQ(scenario.events[0], "13@" + std::to_string(started));
    uint64_t end_ms = started + uint64_t(scenario.duration / 10'000);
    long code = std::stol(scenario.events[1]);
    uint64_t at = std::stoull(scenario.events[1].substr(scenario.events[1].find('@') + 1));
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_NEAR(double(at), double(end_ms), 40.0) << "within a frame of the film's end";
    EXPECT_EQ(scenario.messages, scenario.events.size()) << "one message per event";
    finish(scenario);
}

TEST_F(PlaybackTest, ASongWithItsCoverPlaysToItsEndWithoutAPicture)
{
    ASSERT_FALSE(make(u"\\SDMMC\\Music\\song.mp3", Clip::Mp3WithCover).empty());
    Scenario scenario;
    scenario.path = u"\\SDMMC\\Music\\song.mp3";
    uint64_t started = device->clock().now_ms();
    start(scenario);
    ASSERT_EQ(scenario.render_result, S_OK);
    EXPECT_FALSE(scenario.video_renderer_found) << "the cover is no stream";
    device->advance(4'000);
    ASSERT_EQ(scenario.events.size(), 2u) << testing::PrintToString(scenario.events);
    EXPECT_EQ(std::stol(scenario.events[1]), EC_COMPLETE);
    uint64_t at = std::stoull(scenario.events[1].substr(scenario.events[1].find('@') + 1));
    EXPECT_NEAR(double(at), double(started + uint64_t(scenario.duration / 10'000)), 30.0);
    EXPECT_FALSE(device->component<VideoPlane>().picture());
    finish(scenario);
    ASSERT_FALSE(scenario.blocks.empty());
    // The blocks cover the song without a gap: their frames add up to its length.
    uint64_t frames = 0;
    for (const auto& block : scenario.blocks)
        frames += block.frames;
    EXPECT_NEAR(double(frames) / scenario.blocks.front().rate * 1e7, double(scenario.duration), 0.03 * 1e7);
}

TEST_F(PlaybackTest, TheFilmShowsInAKeyRectangleSmallerThanTheScreenAndModeZeroShowsNothing)
{
    ASSERT_FALSE(make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac).empty());
    Scenario window;
    window.path = u"\\SDMMC\\Video\\clip.mp4";
    window.key_area = { 60, 40, 300, 200 };
    start(window);
    device->advance(400);
    DecodedPng shot = screenshot("film_in_key_rectangle");
    EXPECT_GT(film_pixels(shot, window.key_area), 240 * 100);
    EXPECT_EQ(film_pixels(shot, { 0, 0, 480, 40 }), 0) << "nothing outside the key rectangle";
    EXPECT_EQ(film_pixels(shot, { 300, 40, 480, 200 }), 0);
    finish(window);

    Scenario hidden;
    hidden.path = u"\\SDMMC\\Video\\clip.mp4";
    hidden.mode.mode = 0;
    start(hidden);
    device->advance(400);
    DecodedPng dark = screenshot("film_mode_zero");
    EXPECT_EQ(film_pixels(dark, { 0, 0, 480, button_rect.top }), 0) << "mode 0 shows no video: the key is black";
    EXPECT_FALSE(device->component<VideoPlane>().picture());
    finish(hidden);
}

TEST_F(PlaybackTest, ARadioBackgroundDrawnThroughDrawYuvShowsUntilTheNextFrame)
{
    // A 480 x 272 picture in I420: a ramp of blues left to right under a band of orange.
    std::vector<uint8_t> picture(i420_size(480, 272));
    uint8_t* y_plane = picture.data();
    uint8_t* u_plane = y_plane + 480 * 272;
    uint8_t* v_plane = u_plane + 240 * 136;
    for (int y = 0; y < 272; ++y) {
        for (int x = 0; x < 480; ++x)
            y_plane[y * 480 + x] = uint8_t(y < 60 ? 150 : 40 + x * 150 / 480);
    }
    for (int y = 0; y < 136; ++y) {
        for (int x = 0; x < 240; ++x) {
            u_plane[y * 240 + x] = uint8_t(y < 30 ? 60 : 200);
            v_plane[y * 240 + x] = uint8_t(y < 30 ? 190 : 110);
        }
    }
    Scenario radio;
    radio.run = false;
    radio.path = u"\\SDMMC\\none.mp4";
    start(radio);
    ComRef<IBaseFilter> renderer;
    std::string answer = ask(radio, [&](IGraphBuilder&) {
        CoCreateInstance(CLSID_ZezVideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(renderer.put()));
        HRESULT result = query<IVideoRenderOverlay>(renderer.get(), IID_IVideoRenderOverlay)->DrawYuv420(picture.data(), 480, 272);
        return std::to_string(result);
    });
    EXPECT_EQ(answer, "0");
    DecodedPng shot = screenshot("radio_background");
    EXPECT_GT(film_pixels(shot, { 0, 0, 480, 190 }), 480 * 150);
    ask(radio, [&](IGraphBuilder&) {
        renderer = {};
        return std::string();
    });
    finish(radio);
}

// Plays the film with its sound and answers everything observable: the events, the sound blocks
// and a screenshot at each of a few times.
struct PlaybackRecord {
    std::vector<std::string> events;
    std::vector<AudioRenderer::Block> blocks;
    std::vector<std::vector<uint8_t>> shots;
    bool operator==(const PlaybackRecord&) const = default;
};

PlaybackRecord play_once(Clip clip)
{
    auto device = make_test_device();
    install_media_classes(*device);
    install_vendor_filters(*device);
    device->programs().add(u"\\player.exe", player);
    std::string path = (device->root() / "SDMMC/Video/clip").string();
    make_clip(path, clip);
    Scenario scenario;
    scenario.path = u"\\SDMMC\\Video\\clip";
    g_scenario = &scenario;
    DWORD error = 0;
    device->create_process(u"\\player.exe", u"", error);
    PlaybackRecord record;
    for (int i = 0; i < 4; ++i) {
        device->advance(330);
        record.shots.push_back(screenshot_png(*device));
    }
    device->advance(3'000);
    PostMessage(scenario.page, WM_PLAYER_COMMAND, 0, 0);
    scenario.command = [&](IGraphBuilder&) {
        scenario.quit = true;
        return std::string();
    };
    device->run_until_idle();
    record.events = scenario.events;
    record.blocks = scenario.blocks;
    return record;
}

TEST(Playback, TwoRunsOfOnePlaybackAreIdentical)
{
    for (Clip clip : { Clip::Mp4MpegAac, Clip::WmvWma }) {
        PlaybackRecord first = play_once(clip);
        PlaybackRecord second = play_once(clip);
        ASSERT_FALSE(first.blocks.empty());
        ASSERT_FALSE(first.events.empty());
        EXPECT_EQ(first.events, second.events);
        EXPECT_EQ(first.blocks, second.blocks);
        EXPECT_EQ(first.shots, second.shots);
    }
}

TEST_F(PlaybackTest, TheSoundStartsWithThePictureAndSilenceIsExact)
{
    ASSERT_FALSE(make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac).empty());
    for (std::optional<long> volume : { std::optional<long>(), std::optional<long>(-10000) }) {
        SCOPED_TRACE(volume ? "silenced" : "full");
        Scenario scenario;
        scenario.path = u"\\SDMMC\\Video\\clip.mp4";
        scenario.volume = volume;
        uint64_t started = device->clock().now_ms();
        start(scenario);
        // The first picture: the plane gets it as the graph starts.
        uint64_t first_picture = 0;
        for (int step = 0; step < 200 && !device->component<VideoPlane>().picture(); ++step)
            device->advance(1);
        first_picture = device->clock().now_ms();
        device->advance(2'000);
        finish(scenario);
        ASSERT_FALSE(scenario.blocks.empty());
        EXPECT_NEAR(double(scenario.blocks.front().written_ms), double(first_picture), 40.0) << "within a frame";
        EXPECT_GE(scenario.blocks.front().written_ms, started);
        int32_t loudest = 0;
        for (const auto& block : scenario.blocks)
            loudest = std::max({ loudest, block.peaks[0], block.peaks[1] });
        if (volume)
            EXPECT_EQ(loudest, 0);
        else
            EXPECT_GT(loudest, 1000);
    }
}

TEST_F(PlaybackTest, SeekingLandsOnKeyFramesAndThePositionFollowsTheClock)
{
    ASSERT_FALSE(make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac).empty());
    Scenario scenario;
    scenario.path = u"\\SDMMC\\Video\\clip.mp4";
    start(scenario);
    device->advance(300);
    auto position = [&] {
        return ask(scenario, [](IGraphBuilder& graph) {
            LONGLONG now = -1;
            query<IMediaSeeking>(&graph, IID_IMediaSeeking)->GetCurrentPosition(&now);
            return std::to_string(now);
        });
    };
    EXPECT_EQ(position(), "3000000");
    ask(scenario, [](IGraphBuilder& graph) {
        query<IMediaControl>(&graph, IID_IMediaControl)->Pause();
        return std::string();
    });
    device->advance(500);
    EXPECT_EQ(position(), "3000000") << "the position holds while paused";

    // Cplayerc's rewind: stop, then to 0 on a key frame.
    ask(scenario, [](IGraphBuilder& graph) {
        query<IMediaControl>(&graph, IID_IMediaControl)->Stop();
        LONGLONG zero = 0;
        query<IMediaSeeking>(&graph, IID_IMediaSeeking)->SetPositions(&zero, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr, AM_SEEKING_NoPositioning);
        return std::string();
    });
    EXPECT_EQ(position(), "0");

    // A key-frame seek lands at or before the target, on a key frame (the clip has one every 12
    // frames of 40 ms); an exact one on the target itself.
    std::string key_landing = ask(scenario, [](IGraphBuilder& graph) {
        LONGLONG target = 7'000'000;
        query<IMediaSeeking>(&graph, IID_IMediaSeeking)->SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr, AM_SEEKING_NoPositioning);
        LONGLONG now = -1;
        query<IMediaSeeking>(&graph, IID_IMediaSeeking)->GetCurrentPosition(&now);
        return std::to_string(now);
    });
    LONGLONG landing = std::stoll(key_landing);
    EXPECT_LE(landing, 7'000'000);
    EXPECT_EQ(landing % 4'800'000, 0) << landing;
    std::string exact = ask(scenario, [](IGraphBuilder& graph) {
        LONGLONG target = 7'000'000;
        query<IMediaSeeking>(&graph, IID_IMediaSeeking)->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        LONGLONG now = -1;
        query<IMediaSeeking>(&graph, IID_IMediaSeeking)->GetCurrentPosition(&now);
        return std::to_string(now);
    });
    EXPECT_EQ(exact, "7000000");
    finish(scenario);
}

TEST_F(PlaybackTest, ACardPulledWhilePlayingAbortsTheStreamAndTheGraphStillGoes)
{
    ASSERT_FALSE(make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac).empty());
    Scenario scenario;
    scenario.path = u"\\SDMMC\\Video\\clip.mp4";
    start(scenario);
    device->advance(200);
    device->component<Volumes>().set_card_present(false);
    device->advance(3'000);
    bool aborted = std::any_of(scenario.events.begin(), scenario.events.end(), [](const std::string& event) { return std::stol(event) == EC_ERRORABORT; });
    EXPECT_TRUE(aborted) << testing::PrintToString(scenario.events);
    finish(scenario);
    EXPECT_EQ(device->component<ComClassTable>().live_objects(CLSID_FilterGraph), 0);
}

TEST_F(PlaybackTest, ThePreviewFillsASmallBufferWithTheFrameScaled)
{
    ASSERT_FALSE(make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac).empty());
    Scenario scenario;
    scenario.path = u"\\SDMMC\\Video\\clip.mp4";
    start(scenario);
    device->advance(200);

    struct Preview {
        std::vector<uint8_t> buffer = std::vector<uint8_t>(112 * 64 * 2);
        std::vector<uint8_t> frame; // the frame the renderer had when it called back
        int width = 0, height = 0;
        int calls = 0;
        unsigned long written = 0;
        ComRef<IBaseFilter> renderer;
    } preview;
    ask(scenario, [&](IGraphBuilder& graph) {
        graph.FindFilterByName(u"ZEZ Video Renderer", reinterpret_cast<IBaseFilter**>(preview.renderer.put()));
        auto overlay = query<IVideoRenderOverlay>(preview.renderer.get(), IID_IVideoRenderOverlay);
        HRESULT result = overlay->SetPreview(preview.buffer.data(), 112, 64, [](DWORD written, unsigned char*, void* context) -> int {
            auto& seen = *static_cast<Preview*>(context);
            ++seen.calls;
            seen.written = written;
            seen.frame.resize(1 << 20);
            int bytes = 0;
            query<IVideoCapture>(seen.renderer.get(), IID_IVideoCapture)->CaptureCurrentFrame(seen.frame.data(), &seen.width, &seen.height, &bytes, DWORD(seen.frame.size()));
            seen.frame.resize(size_t(bytes));
            return 1;
        }, &preview);
        return std::to_string(result);
    });
    device->advance(200);
    ask(scenario, [&](IGraphBuilder&) {
        query<IVideoRenderOverlay>(preview.renderer.get(), IID_IVideoRenderOverlay)->SetPreview(nullptr, 0, 0, nullptr, nullptr);
        preview.renderer = {};
        return std::string();
    });
    finish(scenario);
    ASSERT_EQ(preview.calls, 1) << "one frame per arming";
    EXPECT_EQ(preview.written, 112u * 64 * 3 / 2);
    ASSERT_GT(preview.width, 0);

    // The same frame scaled here with libswscale.
    SwsContext* scaler = sws_getContext(preview.width, preview.height, AV_PIX_FMT_YUV420P, 112, 64, AV_PIX_FMT_YUV420P,
        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr);
    ASSERT_TRUE(scaler);
    const uint8_t* source[3] = { preview.frame.data(), preview.frame.data() + preview.width * preview.height,
        preview.frame.data() + preview.width * preview.height + (preview.width / 2) * (preview.height / 2) };
    int source_strides[3] = { preview.width, preview.width / 2, preview.width / 2 };
    std::vector<uint8_t> expected(112 * 64 * 3 / 2);
    uint8_t* target[3] = { expected.data(), expected.data() + 112 * 64, expected.data() + 112 * 64 + 56 * 32 };
    int target_strides[3] = { 112, 56, 56 };
    sws_scale(scaler, source, source_strides, 0, preview.height, target, target_strides);
    sws_freeContext(scaler);
    int differing = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        differing += std::abs(int(expected[i]) - int(preview.buffer[i])) > 2;
    EXPECT_LE(differing, int(expected.size() / 100)) << "the preview is the frame scaled to 112 x 64";
}

} // namespace kivo::test
