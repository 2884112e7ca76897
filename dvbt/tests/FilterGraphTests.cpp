// Creating, adding, wiring and tearing down the television graph against the vendor's filters.

#include "TsPlayerTest.h"

#include "TccDvbtTuneFilter.h"

#include <cstdio>
#include <sstream>
#include <type_traits>

using namespace kivo;
using namespace dvbt_test;

// A copy would share the references and the owned records and free them twice.
static_assert(!std::is_copy_constructible_v<CTsPlayer> && !std::is_copy_assignable_v<CTsPlayer>);

namespace {

// The class id's four 32-bit words in hexadecimal without leading zeros, read off its text
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as the words lie in memory (little-endian).
std::string words_of(const std::string& text)
{
    auto byte = [&](size_t at) { return std::stoul(text.substr(at, 2), nullptr, 16); };
    unsigned long data1 = std::stoul(text.substr(1, 8), nullptr, 16);
    unsigned long data2 = std::stoul(text.substr(10, 4), nullptr, 16), data3 = std::stoul(text.substr(15, 4), nullptr, 16);
    const size_t tail[8] = { 20, 22, 25, 27, 29, 31, 33, 35 };
    unsigned long word3 = byte(tail[0]) | byte(tail[1]) << 8 | byte(tail[2]) << 16 | byte(tail[3]) << 24;
    unsigned long word4 = byte(tail[4]) | byte(tail[5]) << 8 | byte(tail[6]) << 16 | byte(tail[7]) << 24;
    std::ostringstream out;
    out << std::hex << data1 << (data2 | data3 << 16) << word3 << word4;
    return out.str();
}

// "(0x%x=%d)" of a result.
std::string hr_text(HRESULT hr)
{
    char text[40];
    std::snprintf(text, sizeof(text), "(0x%x=%d)", unsigned(hr), int(hr));
    return text;
}

struct Pair {
    IBaseFilter* CTsPlayer::*out;
    const WCHAR* out_pin;
};

// The output side of each connection of the play wiring, in order.
const Pair play_outputs[] = {
    { &CTsPlayer::m_pTuner, u"Out" },
    { &CTsPlayer::m_pDemux, u"psi" },
    { &CTsPlayer::m_pDemux, u"Video" },
    { &CTsPlayer::m_pSplitter, u"XForm Out" },
    { &CTsPlayer::m_pVideoDecoder, u"XForm Out" },
    { &CTsPlayer::m_pDemux, u"Audio" },
    { &CTsPlayer::m_pAudioDecoder, u"XForm Out" },
    { &CTsPlayer::m_pDemux, u"Ttx Out" },
    { &CTsPlayer::m_pTeletext, u"Out" },
    { &CTsPlayer::m_pDemux, u"Sub Out" },
    { &CTsPlayer::m_pSubtitle, u"Out" },
};

std::vector<bool> links_of(const CTsPlayer& player)
{
    std::vector<bool> links;
    for (auto& pair : play_outputs)
        links.push_back(connected(player.*pair.out, pair.out_pin));
    return links;
}

} // namespace

TEST_F(TsPlayerTest, PlayWiringAttachesTheWindowsTheNotifyAndTheAudioClock)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        EXPECT_EQ(player.m_nConnectMode, 3);
        EXPECT_EQ(links_of(player), std::vector<bool>(11, true));

        // The graph's names for the twelve filters.
        for (const WCHAR* name : { u"TCCDVBTTuneFilter", u"ZEZ RaruTsDemuxer", u"ZEZ MPG2Dec Filter", u"ZEZ SPLITTER", u"ZEZ Video Renderer",
                 u"ZEZ MP2Dec Filter", u"Audio Renderer", u"ZEZ PSI Parser3", u"Zez RaruTeletext", u"Zez RaruSubtitle", u"Null Renderer",
                 u"Zez Image Renderer" }) {
            IBaseFilter* found = nullptr;
            EXPECT_EQ(player.m_pGraph->FindFilterByName(name, &found), S_OK) << to_utf8(name);
            if (found)
                found->Release();
        }

        VideoWindowRecord video = player.graph()->video_window();
        RECT client {};
        GetClientRect(window, &client);
        EXPECT_EQ(video.owner, reinterpret_cast<OAHWND>(window));
        EXPECT_EQ(video.drain, reinterpret_cast<OAHWND>(window));
        EXPECT_EQ(video.style, long(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
        EXPECT_EQ(std::vector<long>({ video.left, video.top, video.width, video.height }),
            std::vector<long>({ 0, 0, client.right, client.bottom }));

        // The audio renderer's clock drives the graph.
        IMediaFilter* graph_filter = nullptr;
        ASSERT_EQ(player.m_pGraph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&graph_filter)), S_OK);
        IReferenceClock *sync = nullptr, *audio_clock = nullptr;
        EXPECT_EQ(graph_filter->GetSyncSource(&sync), S_OK);
        ASSERT_EQ(player.m_pAudioRenderer->QueryInterface(IID_IReferenceClock, reinterpret_cast<void**>(&audio_clock)), S_OK);
        EXPECT_NE(sync, nullptr);
        EXPECT_EQ(sync, audio_clock);
        for (IUnknown* held : std::initializer_list<IUnknown*> { sync, audio_clock, graph_filter }) {
            if (held)
                held->Release();
        }

        // The demultiplexer's clock instead, and none.
        auto sync_source = [&] {
            IMediaFilter* filter = nullptr;
            IReferenceClock* clock = nullptr;
            player.m_pGraph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter));
            filter->GetSyncSource(&clock);
            filter->Release();
            if (clock)
                clock->Release(); // the graph keeps it
            return static_cast<void*>(clock);
        };
        IReferenceClock* demux_clock = nullptr;
        ASSERT_EQ(player.m_pDemux->QueryInterface(IID_IReferenceClock, reinterpret_cast<void**>(&demux_clock)), S_OK);
        EXPECT_EQ(player.SetSync2Audio(0, 1), 1);
        EXPECT_EQ(sync_source(), demux_clock);
        demux_clock->Release();
        EXPECT_EQ(player.SetSync2Audio(0, 0), 1);
        EXPECT_EQ(sync_source(), nullptr);
        EXPECT_EQ(player.SetSync2Audio(1, 1), 1);

        // The library's own notifications.
        player.PostNotifyMessage(TSN_PIDS_MAPPED, 5);
        MSG notice {};
        ASSERT_TRUE(PeekMessage(&notice, window, WM_TSPLAYER_NOTIFY, WM_TSPLAYER_NOTIFY, PM_REMOVE));
        EXPECT_EQ(notice.wParam, WPARAM(TSN_PIDS_MAPPED));
        EXPECT_EQ(notice.lParam, 5);

        // Each event of the graph posts one notify message with lParam 0.
        DWORD channel = default_channel;
        ASSERT_EQ(player.SetChannel(&channel, 1), 1);
        EXPECT_EQ(player.Run(), 0u);
        Sleep(100);
        MSG message {};
        ASSERT_TRUE(PeekMessage(&message, window, WM_DSHOW_GRAPH_NOTIFY, WM_DSHOW_GRAPH_NOTIFY, PM_REMOVE));
        EXPECT_EQ(message.lParam, 0);
        TsGraphEvent event { 0, 0, 0 };
        EXPECT_EQ(player.GetEventCode(&event), 1u);
        EXPECT_EQ(event.code, EC_CLOCK_CHANGED);
        EXPECT_EQ(player.GetEventCode(&event), 0u) << "one event per call";
        EXPECT_EQ(event.code, -1);

        player.Stop();
        EXPECT_EQ(player.DisconnectFilterForPlay(), 1);
        EXPECT_EQ(links_of(player), std::vector<bool>(11, false));
        EXPECT_EQ(player.RemoveFilter(), 1);
        EXPECT_EQ(player.DestroyFilter(), 1);
    });
    EXPECT_EQ(live_filters(), 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(TsPlayerTest, AFailedCreationShowsItsBoxAndLeavesNothingAlive)
{
    struct Case {
        const CLSID* clsid;
        const char* id_text;
        const char* failure;
    } cases[] = {
        { &CLSID_FilterGraph, "{E436EBB3-524F-11CE-9F53-0020AF0BA770}", "CLSID_FilterGraph fail" },
        { &CLSID_TCCDVBTTuneFilter, "{C5784265-C9D0-4009-9671-F3C897DBF045}", "CLSID_TCCDVBTTuneFilter fail" },
        { &CLSID_RaruTsDemuxer, "{DD3AD1F6-E8CD-4536-9D2A-A2B319838AC3}", "CLSID_RaruTsDemuxer fail" },
        { &CLSID_MPG2DEC, "{46A7CB23-2578-407D-ABA0-5E0B5745093F}", "CLSID_MPG2DEC fail" },
        { &CLSID_TCCSPLITTER, "{B3DB1703-4009-4114-A0C1-FB29C09E6E88}", "CLSID_TCCSPLITTER fail" },
        { &CLSID_ZezVideoRenderer, "{CD0FB4F0-69F3-4FA5-B42A-08DC41516B3A}", "CLSID_TCCVREND fail" },
        { &CLSID_TCCMP2DEC, "{7003B1E2-09E9-400D-BAEA-0E580414D6EF}", "CLSID_TCCMP2DEC fail" },
        { &CLSID_AudioRender, "{E30629D1-27E5-11CE-875D-00608CB78066}", "CLSID_AudioRender fail" },
        { &CLSID_Zez_PsiParser3, "{01C00293-B361-4BE0-9A45-C9D7010F8E6E}", "CLSID_Zez_PsiParser3 fail" },
        { &CLSID_TeletextDecoder, "{97B86203-A4A1-47EB-9991-8FF9C2E304BC}", "CLSID_TeletextDecoder fail" },
        { &CLSID_DVBSubtitleDecoder, "{93BAA857-22A4-4F08-A12F-BA13AF08379C}", "CLSID_DVBSubtitleDecoder fail" },
        { &CLSID_NullRenderer, "{0D906462-D3CD-4D83-A5F9-1B48A0DCAE8F}", "CLSID_NullRenderer fail" },
        { &CLSID_TCCIMGRENDFILTER, "{7E818B71-A29B-4B4D-9D91-313096B44B69}", "CLSID_TCCIMGRENDFILTER fail" },
    };
    auto& classes = device->component<ComClassTable>();
    for (auto& c : cases) {
        SCOPED_TRACE(c.failure);
        classes.fail(*c.clsid, E_OUTOFMEMORY);
        size_t boxes_before = boxes().size();
        run([&](HWND) {
            TestPlayer player;
            EXPECT_EQ(player.CreateFilter(), 0);
            EXPECT_EQ(player.m_pGraph, nullptr);
            EXPECT_EQ(player.m_pTuner, nullptr);
            EXPECT_EQ(player.m_pImageRenderer, nullptr);
            EXPECT_EQ(player.m_pSubtitler, nullptr);
        });
        classes.clear_failure(*c.clsid);
        EXPECT_EQ(live_filters(), 0);
        auto shown = boxes();
        ASSERT_EQ(shown.size(), boxes_before + 1) << "one box: the later creations are skipped";
        EXPECT_EQ(shown.back().caption, u"DVBTFilterGraph");
        EXPECT_EQ(shown.back().owner, nullptr);
        std::string words = words_of(c.id_text);
        EXPECT_EQ(to_utf8(shown.back().text), "[FAIL]CoCreateInstance(" + words + "), " + c.failure);
        char hr[16];
        std::snprintf(hr, sizeof(hr), "%x", unsigned(E_OUTOFMEMORY));
        EXPECT_TRUE(debug_written("[FAIL]CoCreateInstance(" + words + ") hr=" + hr + "\r\n"));
    }
}

TEST_F(TsPlayerTest, ARefusedTunerModeKeepsTheFilters)
{
    kit.set_tuner(false, true); // no tuner fitted: the mode is refused
    run([&](HWND) {
        TestPlayer player;
        EXPECT_EQ(player.CreateFilter(), 0);
        EXPECT_NE(player.m_pTuner, nullptr);
        EXPECT_NE(player.m_pImageRenderer, nullptr);
        EXPECT_NE(player.m_pSubtitler, nullptr);
        EXPECT_EQ(live_filters(), 13);
        player.DestroyFilter();
    });
    EXPECT_TRUE(debug_written("fail to set tuner\r\n"));
    EXPECT_EQ(live_filters(), 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(TsPlayerTest, ARefusedConnectionUndoesTheWholeWiring)
{
    // A pin that cannot be found (the parser gone), and a pair the graph refuses (the audio
    // renderer taken out of the graph).
    struct Case {
        const char* what;
        std::function<void(TestPlayer&, IBaseFilter*& put_aside)> spoil;
        std::vector<std::string> boxes;
    } cases[] = {
        { "pin not found",
            [](TestPlayer& player, IBaseFilter*& aside) {
                aside = player.m_pPsiParser;
                player.m_pPsiParser = nullptr;
            },
            { "FindPin Input fail", "FindPin Input fail" } },
        { "connection refused",
            [](TestPlayer& player, IBaseFilter*&) { player.m_pGraph->RemoveFilter(player.m_pAudioRenderer); },
            { "Failed to connect audio decoder and audio renderer.\r\n" + hr_text(VFW_E_NOT_IN_GRAPH) } },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        size_t boxes_before = boxes().size();
        run([&](HWND window) {
            TestPlayer player;
            ASSERT_EQ(player.CreateFilter(), 1);
            ASSERT_EQ(player.AddFilter(), 1);
            player.SetNotifyWindow(window);
            player.SetPreviewWindow(window);
            IBaseFilter* aside = nullptr;
            c.spoil(player, aside);
            EXPECT_EQ(player.ConnectFilterForPlay(), 0);
            EXPECT_EQ(player.m_nConnectMode, -1);
            EXPECT_EQ(links_of(player), std::vector<bool>(11, false));
            EXPECT_EQ(player.graph()->video_window().owner, 0) << "no window attached";
            if (aside)
                player.m_pPsiParser = aside;
            player.RemoveFilter();
            player.DestroyFilter();
        });
        auto shown = boxes();
        ASSERT_EQ(shown.size(), boxes_before + c.boxes.size());
        for (size_t i = 0; i < c.boxes.size(); ++i) {
            EXPECT_EQ(shown[boxes_before + i].caption, u"DVBTFilterGraph");
            EXPECT_EQ(to_utf8(shown[boxes_before + i].text).substr(0, c.boxes[i].size()), c.boxes[i]);
        }
    }
    EXPECT_TRUE(debug_written("FindPin fail hr=80004005\r\n")) << "the undo's disconnect of the missing pin";
    EXPECT_EQ(live_filters(), 0);
}

TEST_F(TsPlayerTest, ConnectionModesAndWhatEachDisconnectTouches)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        auto* tuner = player.layer<TccDvbtTuneFilter>(player.m_pTuner);
        size_t tuner_calls = tuner->calls().size();
        // Connecting while connected changes nothing.
        EXPECT_EQ(player.ConnectFilterForScan(), 1);
        EXPECT_EQ(player.ConnectFilterForPreview(), 1);
        EXPECT_EQ(player.ConnectFilterForPlay(), 1);
        EXPECT_EQ(player.m_nConnectMode, 3);
        EXPECT_EQ(tuner->calls().size(), tuner_calls) << "the scan mode was not set";

        // Disconnecting for scan after play breaks the scan's two links only.
        EXPECT_EQ(player.DisconnectFilterForScan(), 1);
        EXPECT_EQ(player.m_nConnectMode, -1);
        std::vector<bool> play_links_left(11, true);
        play_links_left[0] = play_links_left[1] = false;
        EXPECT_EQ(links_of(player), play_links_left);
        EXPECT_EQ(player.DisconnectFilterForScan(), 1) << "nothing connected";

        // The scan wiring turns the tuner's scan mode on, and off again.
        player.DisconnectFilterForPlay(); // mode -1: does nothing
        EXPECT_EQ(links_of(player), play_links_left);
        player.m_nConnectMode = 3;
        player.DisconnectFilterForPlay();
        EXPECT_EQ(player.ConnectFilterForScan(), 1);
        EXPECT_EQ(player.m_nConnectMode, 7);
        DWORD scan = 0;
        EXPECT_EQ(tuner->GetProperty(7, &scan), S_OK);
        EXPECT_EQ(scan, 1u);
        EXPECT_EQ(player.DisconnectFilterForScan(), 1);
        EXPECT_EQ(tuner->GetProperty(7, &scan), S_OK);
        EXPECT_EQ(scan, 0u);

        // Preview: the first five links, no window attached by it.
        EXPECT_EQ(player.ConnectFilterForPreview(), 1);
        std::vector<bool> preview(11, false);
        std::fill(preview.begin(), preview.begin() + 5, true);
        EXPECT_EQ(links_of(player), preview);
        EXPECT_EQ(player.DisconnectFilterForPreview(), 1);
        EXPECT_EQ(links_of(player), std::vector<bool>(11, false));

        player.RemoveFilter();
        player.DestroyFilter();
    });
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(live_filters(), 0);
}

TEST_F(TsPlayerTest, TeardownOnAFreshObjectAndBrolmInit)
{
    run([&](HWND window) {
        TestPlayer fresh;
        EXPECT_EQ(fresh.RemoveFilter(), 1);
        EXPECT_EQ(fresh.DestroyFilter(), 1);
        EXPECT_EQ(fresh.m_pGraph, nullptr);
        EXPECT_EQ(fresh.m_nConnectMode, -1);
        EXPECT_EQ(fresh.m_bDestinationFlag, 1u);

        // BrolmInit forgets the set-up's references without releasing them, and resets the state
        // the Part lists; windows, destinations, volume and callback stay.
        TestPlayer player;
        ASSERT_EQ(player.CreateFilter(), 1);
        IGraphBuilder* graph = player.m_pGraph;
        graph->AddRef();
        int live_before = live_filters();
        auto callback = [](DWORD, void*, void*) { return 0; };
        int context = 0;
        player.SetAppCallback(callback, &context);
        player.SetNotifyWindow(window);
        player.SetPreviewWindow(window);
        player.SetDestination(1);
        player.SetDestination(6);
        player.m_nVolumeLevel = 9;
        player.m_nConnectMode = 7;
        player.m_bRunning = 1;
        player.m_bMute = 1;
        player.m_dwLastResult = 21;
        player.m_pRadioBG = new BYTE[RADIO_BG_BYTES];
        std::vector<IBaseFilter*> filters { player.m_pTuner, player.m_pDemux, player.m_pVideoDecoder, player.m_pSplitter,
            player.m_pVideoRenderer, player.m_pAudioDecoder, player.m_pAudioRenderer, player.m_pPsiParser, player.m_pTeletext,
            player.m_pSubtitle, player.m_pNullRenderer, player.m_pImageRenderer };
        player.BrolmInit();

        EXPECT_EQ(live_filters(), live_before) << "nothing released";
        EXPECT_EQ(player.m_pGraph, nullptr);
        EXPECT_EQ(player.m_pTuner, nullptr);
        EXPECT_EQ(player.m_pImageRenderer, nullptr);
        EXPECT_EQ(player.m_pSubtitler, nullptr);
        EXPECT_EQ(player.m_pRadioBG, nullptr);
        EXPECT_EQ(player.m_nConnectMode, -1);
        EXPECT_EQ(player.m_bDestinationFlag, 1u);
        EXPECT_EQ(player.m_bRunning, 0u);
        EXPECT_EQ(player.m_bMute, 0u);
        EXPECT_EQ(player.m_dwLastResult, 0u);
        EXPECT_EQ(player.m_hNotifyWnd, window);
        EXPECT_EQ(player.m_hPreviewWnd, window);
        EXPECT_EQ(player.m_dwDestination, 6u);
        EXPECT_EQ(player.m_dwPrevDestination, 1u);
        EXPECT_EQ(player.m_nVolumeLevel, 9u);
        EXPECT_EQ(player.m_pAppContext, &context);
        EXPECT_NE(player.m_pAppCallback, nullptr);

        // What the set-up made is still the caller's to let go.
        for (IBaseFilter* filter : filters)
            filter->Release();
        graph->Release();
        graph->Release();
    });
    EXPECT_EQ(live_filters(), 0);
}
