// The playback class on the virtual clock: clips made by the tests play through the device's filter
// graph in a program that owns one player and a window for its events.

#include "dshow/tests/TestClips.h"
#include "kernel/tests/TestDevice.h"

#include "Cplayerc.h"

#include "AudioRenderer.h"
#include "ComClassTable.h"
#include "DecoderFilter.h"
#include "Filter.h"
#include "FilterGraph.h"
#include "MediaClasses.h"
#include "MediaFileSource.h"
#include "VendorFilters.h"
#include "WideText.h"
#include "ZezVideoRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace kivo::test {
namespace {

constexpr LONGLONG second = 10'000'000;

// A player whose graph the tests reach.
class TestPlayer : public Cplayerc {
public:
    IGraphBuilder* graph() const { return m_pGraph; }
    int name_as_title() const { return m_bNameAsTitle; }
    void set_duration(LONGLONG duration) { m_llDuration = duration; }
    LONGLONG position() const
    {
        LONGLONG at = -1;
        EXPECT_EQ(m_pMediaSeeking->GetCurrentPosition(&at), S_OK);
        return at;
    }
    ZezVideoRenderer* video_renderer() const
    {
        IBaseFilter* filter = nullptr;
        if (FAILED(m_pGraph->FindFilterByName(u"ZEZ Video Renderer", &filter)))
            return nullptr;
        auto* renderer = dynamic_cast<ZezVideoRenderer*>(Filter::from(filter));
        filter->Release(); // the graph keeps it
        return renderer;
    }
    VideoWindowRecord video_window() const { return FilterGraph::from(m_pGraph)->video_window(); }
    void raise(long code)
    {
        IMediaEventSink* sink = nullptr;
        ASSERT_EQ(m_pGraph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)), S_OK);
        sink->Notify(code, 0, 0);
        sink->Release();
    }
};

// A graph that cannot be controlled: it answers no interface beyond IGraphBuilder.
class GraphWithoutControl final : public ComObject<IGraphBuilder> {
public:
    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Disconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Connect(IPin*, IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Render(IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR, LPCWSTR) override { return E_NOTIMPL; }
};

// What a program has to drive a player: its window, where the player's events are posted.
struct Owner {
    HWND window = nullptr;

    // The WM_PLAYER_NOTIFY messages waiting, taken off the queue.
    int notifications() const
    {
        int count = 0;
        MSG message;
        while (PeekMessage(&message, window, WM_PLAYER_NOTIFY, WM_PLAYER_NOTIFY, PM_REMOVE))
            ++count;
        return count;
    }
};

constexpr const char16_t* film = u"\\SDMMC\\Video\\clip.mp4";
constexpr const char16_t* long_film = u"\\SDMMC\\Video\\long.mp4";
constexpr const char16_t* undecodable_film = u"\\SDMMC\\Video\\clip.mkv";
constexpr const char16_t* song = u"\\SDMMC\\Music\\song.mp3";

class PlayerTest : public ::testing::Test {
protected:
    PlayerTest()
    {
        install_media_classes(*device);
        install_vendor_filters(*device);
    }

    void make(std::u16string_view device_path, Clip clip) const { ASSERT_FALSE(make_clip(host_path(device_path), clip).empty()); }

    std::filesystem::path host_path(std::u16string_view device_path) const
    {
        return host_path_in(device->root(), device_path);
    }

    // Runs `body` as a program that has made a window (COM is the player's to initialise), until
    // it has returned.
    void run(const std::function<void(Owner&)>& body)
    {
        bool finished = false;
        device->programs().add(u"\\media.exe", [&](std::u16string_view) {
            WNDCLASS window_class {};
            window_class.lpfnWndProc = DefWindowProc;
            window_class.lpszClassName = u"MediaOwner";
            RegisterClass(&window_class);
            Owner owner;
            owner.window = CreateWindow(u"MediaOwner", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
            EXPECT_NE(owner.window, nullptr);
            body(owner);
            DestroyWindow(owner.window);
            finished = true;
            return 0;
        });
        DWORD error = 0;
        ASSERT_TRUE(device->create_process(u"\\media.exe", u"", error)) << error;
        device->run_until([&] { return finished; }, 60'000);
        ASSERT_TRUE(finished);
    }

    // The graph and every filter it held are gone.
    void expect_nothing_lives() const
    {
        auto& classes = device->component<ComClassTable>();
        for (const CLSID& id : { CLSID_FilterGraph, CLSID_ZezVideoRenderer, CLSID_AudioRender, CLSID_FileSource, CLSID_VideoDecoder, CLSID_AudioDecoder })
            EXPECT_EQ(classes.live_objects(id), 0);
    }

    // The player's traces, in order.
    std::vector<std::string> traces() const
    {
        std::vector<std::string> result;
        for (const auto& line : device->debug_log().lines()) {
            if (line.text.rfind("--", 0) == 0 || line.text.rfind("Stop ok", 0) == 0)
                result.push_back(line.text);
        }
        return result;
    }

    std::unique_ptr<Device> device = make_test_device();
};

} // namespace

TEST_F(PlayerTest, PlaysPausesAndStopsRewoundWithItsTraces)
{
    make(film, Clip::Mp4MpegAac);
    run([&](Owner&) {
        TestPlayer player;
        int seconds = -1;
        LONGLONG position = -1;
        ASSERT_EQ(player.LoadFile(film), 0);
        EXPECT_EQ(player.Getsts(), State_Stopped);
        EXPECT_EQ(player.Play(), 0);
        EXPECT_EQ(player.Getsts(), State_Running);
        Sleep(2'500);
        EXPECT_EQ(player.GetCurTime(&seconds), 0);
        EXPECT_EQ(seconds, 2) << "2.5 s played are 2 whole seconds";
        EXPECT_EQ(player.Pause(), 0);
        EXPECT_EQ(player.Getsts(), State_Paused);
        Sleep(1'000);
        EXPECT_EQ(player.GetCurTime(&seconds), 0);
        EXPECT_EQ(seconds, 2) << "held while paused";
        EXPECT_EQ(player.GetTimPos(&position), 0);
        EXPECT_EQ(position, 25 * second / 10);

        EXPECT_EQ(player.Stop(), 0);
        EXPECT_EQ(player.Getsts(), State_Stopped);
        EXPECT_EQ(player.GetTimPos(&position), 0);
        EXPECT_EQ(position, 0) << "rewound";
        // A seek moves a stopped graph, but the seconds shown stay 0 until it plays.
        LONGLONG target = 2 * second;
        EXPECT_EQ(player.ReviseTim(&target), 0);
        EXPECT_EQ(target, 1'920 * 10'000) << "the key frame before 2 s (one every 480 ms)";
        EXPECT_EQ(player.position(), target);
        seconds = -1;
        EXPECT_EQ(player.GetCurTime(&seconds), 0);
        EXPECT_EQ(seconds, 0);
        player.deleteFilters();
    });
    EXPECT_EQ(traces(), (std::vector<std::string> { "--LoadFile\r\n", "--Run\r\n", "--Pause\r\n", "--Stop\r\n", "Stop ok\r\n" }));
    expect_nothing_lives();
}

TEST_F(PlayerTest, WithoutAGraphNothingRunsAndAFailedGraphHoldsNothing)
{
    make(film, Clip::Mp4MpegAac);
    make(song, Clip::Mp3WithCover);
    auto& classes = device->component<ComClassTable>();
    struct Case {
        const char* name;
        std::function<void()> break_graph;
        HRESULT failure;
    };
    const Case cases[] = {
        { "no graph", [&] { classes.fail(CLSID_FilterGraph, E_OUTOFMEMORY); }, E_OUTOFMEMORY },
        { "no control",
            [&] {
                classes.clear_failure(CLSID_FilterGraph);
                classes.add(CLSID_FilterGraph, [] { return new GraphWithoutControl; });
            },
            E_NOINTERFACE },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.break_graph();
        run([&](Owner&) {
            TestPlayer player;
            _tag_AUDIO_INFO info {};
            EXPECT_EQ(player.LoadFile(film), -1);
            EXPECT_EQ(player.LoadFile(film, RECT { 0, 0, 480, 272 }), -1);
            EXPECT_EQ(player.mp3LoadFile(song, &info), c.failure);
            EXPECT_EQ(player.graph(), nullptr);
            EXPECT_EQ(classes.live_objects(CLSID_FilterGraph), 0) << "what was made is let go";
        });
    }
    run([&](Owner&) {
        {
            TestPlayer player;

            int seconds = 7;
            LONGLONG position = 7;
            long event = 7;
            EXPECT_EQ(player.Play(), -1);
            EXPECT_EQ(player.Pause(), 0);
            EXPECT_EQ(player.Stop(), 0);
            EXPECT_EQ(player.Getsts(), State_Stopped);
            EXPECT_EQ(player.GetCurTime(&seconds), 0);
            EXPECT_EQ(seconds, 0);
            EXPECT_EQ(player.GetTolTime(&seconds), -1);
            EXPECT_EQ(player.GetTimPos(&position), -1);
            EXPECT_EQ(position, 0);
            EXPECT_EQ(player.SetTimPos(second), -1);
            EXPECT_EQ(player.mp3SetPos(500), -1);
            EXPECT_EQ(player.SetPos(500), -1);
            EXPECT_EQ(player.GetEvent(&event), 0);
            EXPECT_EQ(event, 7);
        }
        // The player took the thread's COM with it.
        IUnknown* object = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_AudioRender, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)), CO_E_NOTINITIALIZED);
    });
    expect_nothing_lives();
}

TEST_F(PlayerTest, LoadFileShowsTheFilmFullScreenAndFailsOnAPartialRender)
{
    make(film, Clip::Mp4MpegAac);
    make(undecodable_film, Clip::MkvUndecodableVideo);
    run([&](Owner&) {
        TestPlayer player;
        ASSERT_EQ(player.LoadFile(film), 0);
        ZezVideoRenderer* renderer = player.video_renderer();
        ASSERT_TRUE(renderer);
        auto calls = renderer->calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].operation, ZezVideoRenderer::Operation::SetRenderMode);
        VrenderModeFlag mode {};
        renderer->GetRenderMode(&mode);
        EXPECT_EQ(std::vector<DWORD>({ mode.mode, mode.left, mode.top, mode.width, mode.height }), std::vector<DWORD>({ 1, 0, 0, 480, 272 }));
        EXPECT_EQ(player.video_window().style, 0x44000000);

        // The rectangle's far corner gives the width and the height.
        ASSERT_EQ(player.LoadFile(film, RECT { 40, 20, 360, 260 }), 0);
        renderer = player.video_renderer();
        ASSERT_TRUE(renderer);
        renderer->GetRenderMode(&mode);
        EXPECT_EQ(std::vector<DWORD>({ mode.mode, mode.left, mode.top, mode.width, mode.height }), std::vector<DWORD>({ 1, 40, 20, 320, 240 }));
        EXPECT_EQ(player.video_window().style, 0x44000000);
        long event = 7;
        EXPECT_EQ(player.GetEvent(&event), 0) << "no events without their interface";

        // The sound renders, the picture does not: a failure, with the graph built and playable.
        EXPECT_EQ(player.LoadFile(undecodable_film), -1);
        ASSERT_NE(player.graph(), nullptr);
        EXPECT_EQ(player.video_renderer(), nullptr);
        int seconds = -1;
        EXPECT_EQ(player.GetTolTime(&seconds), 0);
        EXPECT_EQ(seconds, 3);
        EXPECT_EQ(player.Play(), 0);
        player.deleteFilters();
        EXPECT_EQ(player.graph(), nullptr);
    });
    expect_nothing_lives();
}

TEST_F(PlayerTest, Mp3LoadFileAnswersWhatRenderingSaid)
{
    make(song, Clip::Mp3WithCover);
    std::ofstream(host_path(u"\\SDMMC\\Music\\notes.mp3")) << "not a song at all, only a few words of text\n";
    run([&](Owner&) {
        TestPlayer player;
        _tag_AUDIO_INFO info {};
        EXPECT_EQ(player.mp3LoadFile(u"\\SDMMC\\Music\\notes.mp3", &info), VFW_E_INVALID_FILE_FORMAT);
        EXPECT_EQ(player.mp3LoadFile(u"\\SDMMC\\Music\\none.mp3", &info), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

        EXPECT_EQ(player.mp3LoadFile(song, &info), S_OK);
        EXPECT_TRUE(player.video_window().calls.empty()) << "an audio graph has no video window";
        int seconds = -1;
        EXPECT_EQ(player.GetTolTime(&seconds), 0);
        EXPECT_EQ(seconds, 3);
        EXPECT_EQ(player.Play(), 0);
        Sleep(1'200);
        EXPECT_EQ(player.GetCurTime(&seconds), 0);
        EXPECT_EQ(seconds, 1);
        EXPECT_EQ(player.mp3Release(), 0);
        EXPECT_EQ(player.graph(), nullptr);
        EXPECT_EQ(player.Play(), -1);
    });
    expect_nothing_lives();
}

// Four frames of MPEG-1 layer III at 128 kbit/s and 44.1 kHz (417 bytes each, silent), after an
// ID3v2.3 tag with the title `title` when one is given.
std::string byte_built_song(const std::string& title)
{
    std::string bytes;
    if (!title.empty()) {
        std::string frame = "TIT2";
        uint32_t size = uint32_t(title.size() + 1);
        frame += { char(size >> 24), char(size >> 16), char(size >> 8), char(size), 0, 0, 0 };
        frame += title;
        bytes = std::string("ID3\x03\x00\x00", 6);
        uint32_t tag = uint32_t(frame.size());
        bytes += { char((tag >> 21) & 0x7F), char((tag >> 14) & 0x7F), char((tag >> 7) & 0x7F), char(tag & 0x7F) };
        bytes += frame;
    }
    for (int i = 0; i < 4; ++i)
        bytes += std::string("\xFF\xFB\x90\x00", 4) + std::string(413, '\0');
    return bytes;
}

TEST_F(PlayerTest, Mp3LoadFileReadsTheTagsAgainAfterTheNameStoodInForTheTitle)
{
    make(song, Clip::Mp3WithCover);
    const auto plain = host_path(u"\\SDMMC\\Music\\plain.mp3");
    std::ofstream(plain, std::ios::binary) << byte_built_song("");
    run([&](Owner&) {
        TestPlayer player;
        _tag_AUDIO_INFO info {};
        std::u16string path = u"\\SDMMC\\Music\\plain.mp3";
        std::copy(path.begin(), path.end(), info.path);
        EXPECT_EQ(player.GetAudioInfo(&info), 0);
        EXPECT_EQ(std::u16string(info.title), u"plain");
        EXPECT_EQ(player.name_as_title(), 1);

        // The file gets its tag; loading another file re-reads the record's own path.
        std::ofstream(plain, std::ios::binary | std::ios::trunc) << byte_built_song("Tagged");
        EXPECT_EQ(player.mp3LoadFile(song, &info), S_OK);
        EXPECT_EQ(std::u16string(info.title), u"Tagged");
        EXPECT_NE(info.title_valid, 0);
        EXPECT_EQ(player.name_as_title(), 0);
        EXPECT_EQ(player.mp3Release(), 0);
    });
    expect_nothing_lives();
}

TEST_F(PlayerTest, APlayerGoneWithItsGraphLoadedLetsItGo)
{
    make(film, Clip::Mp4MpegAac);
    run([&](Owner&) {
        TestPlayer player;
        ASSERT_EQ(player.LoadFile(film), 0);
        EXPECT_EQ(player.Play(), 0);
        Sleep(300);
    });
    expect_nothing_lives();
}

TEST_F(PlayerTest, TheEndIsPostedAndEventsAreDrainedAsPlayerCodes)
{
    make(film, Clip::Mp4MpegAac);
    run([&](Owner& owner) {
        TestPlayer player;
        player.SetNotify(owner.window, WM_PLAYER_NOTIFY);
        ASSERT_EQ(player.LoadFile(film), 0);
        EXPECT_EQ(player.Play(), 0);
        Sleep(3'500);
        // The run's clock change is no player event: taken, the output left alone; then the end.
        EXPECT_EQ(owner.notifications(), 2);
        long event = 7;
        EXPECT_EQ(player.GetEvent(&event), 1);
        EXPECT_EQ(event, 7);
        EXPECT_EQ(player.GetEvent(&event), 1);
        EXPECT_EQ(event, PLAYER_COMPLETE);
        EXPECT_EQ(player.GetEvent(&event), 0);

        struct Case {
            long code;
            long event; // 7: left as it was
        };
        const Case cases[] = {
            { EC_ERRORABORT, PLAYER_ERROR_ABORT },
            { EC_USERABORT, PLAYER_USER_ABORT },
            { 0x83E9, PLAYER_VENDOR_EVENT },
            { EC_USER, 7 },
            { EC_USER + 1000, 7 },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.code);
            player.raise(c.code);
            EXPECT_EQ(owner.notifications(), 1);
            event = 7;
            EXPECT_EQ(player.GetEvent(&event), 1);
            EXPECT_EQ(event, c.event);
            EXPECT_EQ(player.GetEvent(&event), 0);
        }
        player.deleteFilters();
    });
}

TEST_F(PlayerTest, SetPosMovesPastAKeyFrameTooFarBackAndNotPastTheEnd)
{
    make(long_film, Clip::Mp4SparseKeyFrames); // 10 s, a key frame at 0, 4 and 8 s
    run([&](Owner&) {
        TestPlayer player;
        ASSERT_EQ(player.LoadFile(long_film), 0);
        int seconds = -1;
        EXPECT_EQ(player.GetTolTime(&seconds), 0);
        EXPECT_EQ(seconds, 10);

        struct Case {
            LONGLONG request;
            int result;
            LONGLONG target;   // what ReviseTim leaves
            LONGLONG position; // where the graph is
        };
        const Case cases[] = {
            { 5 * second, 0, 4 * second, 4 * second },           // a second short: taken
            { 5 * second + 1, 0, 8 * second + 1, 8 * second },   // a unit more: 3 s on
            { 8 * second, 0, 8 * second, 8 * second },           // on the key frame
            { 9 * second + 5, -1, 12 * second + 5, 8 * second }, // 3 s on passes the end
            { 7 * second, 0, 10 * second, 8 * second },          // 3 s on is the end itself
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.request);
            LONGLONG target = c.request;
            EXPECT_EQ(player.ReviseTim(&target), c.result);
            EXPECT_EQ(target, c.target);
            EXPECT_EQ(player.position(), c.position);
        }

        ASSERT_EQ(player.Play(), 0);
        EXPECT_EQ(player.SetPos(1000), -1);
        EXPECT_EQ(player.Getsts(), State_Paused);
        EXPECT_EQ(player.position(), 8 * second);
        EXPECT_EQ(player.SetPos(500), 0);
        EXPECT_EQ(player.position(), 4 * second);
        EXPECT_EQ(player.mp3SetPos(700), 0);
        EXPECT_EQ(player.position(), 4 * second) << "the key frame before 7 s, uncorrected";
        EXPECT_EQ(player.SetTimPos(7 * second + 3), 0);
        EXPECT_EQ(player.position(), 7 * second + 3) << "exactly";
        player.deleteFilters();
    });
}

TEST_F(PlayerTest, WholeSecondsGoThroughSinglePrecision)
{
    make(film, Clip::Mp4MpegAac);
    run([&](Owner&) {
        TestPlayer player;
        ASSERT_EQ(player.LoadFile(film), 0);
        struct Case {
            LONGLONG duration;
            int seconds;
        };
        const Case cases[] = {
            { 0, 0 },
            { second - 1, 0 }, // 999.9999 ms
            { second, 1 },
            { 3 * second - 1, 3 }, // single precision rounds it up to 3 s
            { 2 * second - 1, 2 }, // likewise
            { 2 * second - 3, 1 }, // rounded down to 1999.9996 ms
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.duration);
            player.set_duration(c.duration);
            int seconds = -1;
            EXPECT_EQ(player.GetTolTime(&seconds), 0);
            EXPECT_EQ(seconds, c.seconds);
        }
        player.deleteFilters();
    });
}

TEST_F(PlayerTest, SetVolumeTakesTheLevelFromTheTableAndClampsIt)
{
    run([&](Owner&) {
        Cplayerc player;
        struct Case {
            int level;
            DWORD volume;
        };
        const Case cases[] = {
            { 12, 0x404D404D },
            { 0, 0 },
            { 25, 0xFFFFFFFF },
            { 1, 0x01FF01FF },
            { 26, 0xFFFFFFFF },
            { -3, 0 },
            { 24, 0xF1ADF1AD },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.level);
            EXPECT_EQ(player.SetVolume(c.level), 0);
            DWORD volume = 0x12345678;
            EXPECT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
            EXPECT_EQ(volume, c.volume);
        }
    });
}

} // namespace kivo::test
