// The service information against the vendor's filters: hand-made parser records delivered into
// the static callback, the PID maps read back on the tuner and the demultiplexer, and the scan of
// the default multiplexes end to end.

#include "TsPlayerTest.h"

#include "KernelApi.h"
#include "RaruTsDemuxer.h"
#include "TccDvbtTuneFilter.h"
#include "cInformation.h"
#include "vendor/PsiRecords.h"
#include "broadcast/DefaultMultiplexes.h"

#include <set>

using namespace kivo;
using namespace dvbt_test;

namespace {

class TestInformation : public cInformation {
public:
    using cInformation::cInformation;
    using cInformation::MapPids;

    int deliver(DWORD code, void* record) { return ZEZInformationReceive(code, record, this); }

    void pat(DWORD channel, uint16_t tsid, std::vector<std::pair<uint16_t, uint16_t>> programs)
    {
        std::vector<PsiPatProgram> entries(programs.size());
        for (size_t i = 0; i < programs.size(); ++i)
            entries[i] = { i + 1 < programs.size() ? &entries[i + 1] : nullptr, programs[i].first, programs[i].second };
        PsiPat record { tsid, entries.empty() ? nullptr : entries.data(), 0 };
        m_dwTunerChannel = channel;
        deliver(PSI_RECORD_PAT, &record);
    }

    // Streams as (type, PID); a teletext or subtitle stream is type 6 with its record.
    int pmt(uint16_t program, std::vector<std::pair<uint8_t, uint16_t>> streams, uint16_t teletext = 0, uint16_t subtitle = 0)
    {
        static PsiTeletextRecord ttx {};
        static PsiTeletextHolder ttxHolder { 1, &ttx };
        static PsiSubtitleRecord sub {};
        static PsiSubtitleHolder subHolder { 1, &sub };
        if (teletext)
            streams.push_back({ 6, teletext });
        if (subtitle)
            streams.push_back({ 6, subtitle });
        std::vector<PsiPmtStream> entries(streams.size());
        for (size_t i = 0; i < streams.size(); ++i) {
            entries[i] = { i + 1 < streams.size() ? &entries[i + 1] : nullptr, streams[i].first, streams[i].second,
                nullptr, nullptr, nullptr, nullptr };
            if (streams[i].first == 6 && streams[i].second == teletext)
                entries[i].teletext = &ttxHolder;
            if (streams[i].first == 6 && streams[i].second == subtitle)
                entries[i].subtitles = &subHolder;
        }
        PsiPmt record { program, entries.empty() ? nullptr : entries.data(), 0, 0 };
        return deliver(PSI_RECORD_PMT, &record);
    }

    void sdt(uint16_t tsid, uint16_t id, uint8_t type, const char* name)
    {
        PsiServiceDescriptor descriptor { nullptr, type, 0, nullptr, uint8_t(strlen(name)), reinterpret_cast<const uint8_t*>(name) };
        PsiSdtService entry { nullptr, id, 0, 0, 0x80, &descriptor };
        PsiSdt record { tsid, &entry, 0, 0 };
        deliver(PSI_RECORD_SDT, &record);
    }

    cService* service(DWORD channel, uint16_t tsid, uint16_t id)
    {
        return m_pCurCountry->TransportStream(int(channel), tsid)->Service(id);
    }
};

// Stops the graph and lets the filters go before the information object it calls back goes.
struct FiltersReleased {
    TestPlayer& player;
    ~FiltersReleased()
    {
        player.Stop();
        player.DisconnectFilterForPlay();
        player.RemoveFilter();
        player.DestroyFilter();
    }
};

// Every pointer the object keeps leads into its current country's tree.
void expect_consistent(cInformation& info)
{
    cInformation::Lock lock(info);
    std::set<const cTransportStream*> streams;
    std::set<const cService*> services;
    for (auto const& stream : info.m_pCurCountry->m_TransportStreams) {
        streams.insert(stream.get());
        for (auto const& service : stream->m_Services) {
            EXPECT_EQ(service->m_pTransportStream, stream.get());
            services.insert(service.get());
        }
    }
    EXPECT_TRUE(!info.m_pCurTransportStream || streams.count(info.m_pCurTransportStream));
    EXPECT_TRUE(!info.m_pCurService || services.count(info.m_pCurService));
    for (cService* service : info.m_AvailableServices)
        EXPECT_TRUE(services.count(service));
}

SYSTEMTIME at(WORD year, WORD month, WORD day, WORD hour, WORD minute = 0)
{
    SYSTEMTIME time {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    return time;
}

std::vector<TccDvbtTuneFilter::Call> calls_of(const TccDvbtTuneFilter& tuner, TccDvbtTuneFilter::Operation operation)
{
    std::vector<TccDvbtTuneFilter::Call> found;
    for (auto& call : tuner.calls())
        if (call.operation == operation)
            found.push_back(call);
    return found;
}


} // namespace

TEST_F(TsPlayerTest, InformationRecordsBuildTheTree)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        TestInformation info(player);
        FiltersReleased released { player };

        // A PMT before any PAT is refused and adds nothing.
        EXPECT_EQ(info.pmt(1, { { 3, 100 } }), 0);
        EXPECT_TRUE(info.m_pCurCountry->m_TransportStreams.empty());

        info.pat(24, 1, { { 5, 0x100 }, { 9, 0x101 } });
        ASSERT_NE(info.m_pCurTransportStream, nullptr);
        EXPECT_EQ(info.m_pCurTransportStream->m_wTsid, 1);
        EXPECT_EQ(info.pmt(5, { { 2, 200 }, { 3, 201 } }), 1);
        cService* five = info.service(24, 1, 5);
        EXPECT_EQ(five->m_wPmtPid, 0x100);
        EXPECT_EQ(five->m_Streams.size(), 2u);
        info.sdt(1, 5, 1, "\x15" "Five");
        EXPECT_EQ(std::u16string(five->m_szName), u"Five");
        EXPECT_TRUE(five->m_bDescribed);

        // An event id already held is replaced; the events stay sorted by start.
        auto eit = [&](uint16_t id, SYSTEMTIME start, const char* name) {
            PsiShortEvent brief { nullptr, {}, uint8_t(strlen(name)), reinterpret_cast<const uint8_t*>(name), 0, nullptr };
            PsiEitEvent event { nullptr, id, start, {}, 0, 4, &brief, nullptr, nullptr };
            PsiEit record { 5, 1, 0, 0x4E, 0, &event, 0, 0, 0 };
            info.deliver(PSI_RECORD_EIT, &record);
        };
        eit(1, at(2026, 5, 1, 10), "Ten");
        eit(2, at(2026, 5, 1, 12), "Twelve");
        eit(1, at(2026, 5, 1, 14), "Fourteen");
        ASSERT_EQ(five->m_Events.size(), 2u);
        EXPECT_EQ(five->m_Events.front().m_pEvent->m_wEventId, 2);
        EXPECT_EQ(std::u16string(five->m_Events.back().m_pEvent->m_pszName), u"Fourteen");

        // TDT sets the broadcast time and calls the application back; TOT sets the offset only.
        int called = 0;
        player.SetAppCallback([](DWORD, void*, void* context) { ++*static_cast<int*>(context); return 1; }, &called);
        PsiTdt tdt { at(2026, 1, 31, 23, 30) };
        info.deliver(PSI_RECORD_TDT, &tdt);
        EXPECT_EQ(called, 1);
        EXPECT_EQ(info.m_stBroadcastTime.wDay, 31);
        PsiLocalTimeOffset offset { nullptr, {}, 0, 60, {}, 60 };
        PsiLocalTimeOffsetHolder holder { 1, &offset };
        PsiTot tot { at(2026, 1, 31, 23, 45), &holder };
        info.deliver(PSI_RECORD_TOT, &tot);
        EXPECT_EQ(called, 1);
        EXPECT_EQ(info.m_nLocalOffset, 60);
        SYSTEMTIME local {};
        info.LocalTime(local);
        EXPECT_EQ(local.wMonth, 2);
        EXPECT_EQ(local.wDay, 1);
        EXPECT_EQ(local.wHour, 0);
        EXPECT_EQ(local.wMinute, 45);
        EXPECT_EQ(local.wDayOfWeek, 0) << "1 February 2026 is a Sunday";

        // Clear drops the current country's streams only.
        info.Country(61);
        info.pat(30, 7, { { 70, 0x200 } });
        info.Country(86);
        info.Clear();
        EXPECT_TRUE(info.m_pCurCountry->m_TransportStreams.empty());
        EXPECT_EQ(info.m_Countries[2]->m_TransportStreams.size(), 1u);

        // A code of several rows selects the first; the tuner gets the code.
        auto* tuner = player.layer<TccDvbtTuneFilter>(player.m_pTuner);
        EXPECT_EQ(info.Country(9999), 1);
        EXPECT_EQ(std::u16string(info.m_pCurCountry->m_pszName), u"Belgium");
        auto sets = calls_of(*tuner, TccDvbtTuneFilter::Operation::SetProperty);
        ASSERT_FALSE(sets.empty());
        EXPECT_EQ(sets.back().first, DWORD(TccDvbtTuneFilter::PropertyCountry));
        EXPECT_EQ(sets.back().second, 9999u);
        info.Country(12345);
        EXPECT_EQ(std::u16string(info.m_pCurCountry->m_pszName), u"Belgium");
    });
}

TEST_F(TsPlayerTest, InformationAvailableServicesSortAndStep)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        TestInformation info(player);
        FiltersReleased released { player };

        struct Case {
            const char* what;
            uint16_t id;
            uint8_t described_type; // 0 undescribed
            uint8_t audio_type;
            int accepted;
        } cases[] = {
            { "undescribed with MPEG audio", 11, 0, 3, 1 },
            { "TV with MPEG-2 audio", 12, 1, 4, 1 },
            { "only audio of type 15", 13, 1, 15, 0 },
            { "data service", 14, 12, 3, 0 },
            { "network entry", 0, 0, 3, 0 },
        };
        info.pat(24, 3, {});
        for (auto& c : cases) {
            SCOPED_TRACE(c.what);
            info.pat(24, 3, { { c.id, 0x300 } });
            info.pmt(c.id, { { c.audio_type, 400 } });
            if (c.described_type)
                info.sdt(3, c.id, c.described_type, "x");
            EXPECT_EQ(info.IsAvailableService(info.service(24, 3, c.id)), c.accepted);
        }
        EXPECT_EQ(info.m_AvailableServices.size(), 2u);

        // Ids 9 (TSID 1), 5 (TSID 1), 7 (TSID 2): one stream change between neighbours each time.
        info.Clear();
        for (auto [tsid, id, type] : { std::tuple<uint16_t, uint16_t, uint8_t> { 1, 9, 1 }, { 1, 5, 2 }, { 2, 7, 1 } }) {
            info.pat(24 + tsid, tsid, { { id, 0x100 } });
            info.pmt(id, { { 3, 200 } });
            info.sdt(tsid, id, type, "s");
            info.IsAvailableService(info.service(24 + tsid, tsid, id));
        }
        info.SortAvailableServices();
        std::vector<std::tuple<int, int, int>> numbered;
        for (cService* s : info.m_AvailableServices)
            numbered.emplace_back(s->m_wServiceId, s->m_dwChannelNumber, s->m_wIndex);
        EXPECT_EQ(numbered, (std::vector<std::tuple<int, int, int>> { { 5, 1, 1 }, { 7, 2, 1 }, { 9, 3, 1 } }));
        EXPECT_EQ(info.GetCurService(), info.m_AvailableServices.front());

        cService* radio = info.m_AvailableServices.front();
        cService* seven = *std::next(info.m_AvailableServices.begin());
        cService* nine = info.m_AvailableServices.back();
        EXPECT_EQ(info.NextAvailableServiceByTpye(radio, 2), radio) << "the only radio service";
        EXPECT_EQ(info.NextAvailableServiceByTpye(nine, 1), seven) << "wraps to the first";
        EXPECT_EQ(info.PrevAvailableServiceByTpye(seven, 1), nine) << "wraps to the last";
        EXPECT_EQ(info.NextAvailableServiceByTpye(radio, 25), nullptr);
        EXPECT_EQ(info.NextAvailableService(nine), radio);
        EXPECT_EQ(info.PrevAvailableService(radio), nine);
        EXPECT_EQ(info.NextAvailableService(nullptr), nullptr);
        EXPECT_EQ(info.PlayServiceId(0), -1);
        EXPECT_EQ(info.PlayServiceId(2), 0);
        EXPECT_EQ(info.GetCurServiceId(), 2);
    });
}

TEST_F(TsPlayerTest, InformationMapsThePidsOfTheServiceAndTheScan)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        TestInformation info(player);
        FiltersReleased released { player };
        auto* tuner = player.layer<TccDvbtTuneFilter>(player.m_pTuner);
        auto last_filter = [&] { return calls_of(*tuner, TccDvbtTuneFilter::Operation::SetPidFilter).back(); };

        // Scanning: the section PIDs and every PMT PID of the stream.
        info.pat(24, 1, { { 5, 0x100 }, { 6, 0x110 } });
        EXPECT_EQ(last_filter().pids, (std::vector<USHORT> { 0, 16, 17, 18, 20, 0x100, 0x110 }));
        EXPECT_EQ(maps_of(player.m_pDemux, u"psi"), (std::vector<ULONG> { 0, 16, 17, 18, 20, 0x100, 0x110 }));

        info.pmt(5, { { 2, 200 }, { 3, 201 } }, 202, 203);
        info.m_pCurService = info.service(24, 1, 5);
        struct Case {
            DWORD mask;
            std::vector<USHORT> pids;
        } cases[] = {
            { 0xF, { 0, 16, 17, 18, 20, 0x100, 201, 200, 202, 203 } },
            { 0x1, { 0, 16, 17, 18, 20, 0x100, 201 } },
            { 0x2, { 0, 16, 17, 18, 20, 0x100, 200 } },
            { 0x4, { 0, 16, 17, 18, 20, 0x100, 202 } },
            { 0x8, { 0, 16, 17, 18, 20, 0x100, 203 } },
        };
        for (auto& c : cases) {
            SCOPED_TRACE(c.mask);
            info.m_dwStreamMask = c.mask;
            info.MapPids();
            auto filter = last_filter();
            EXPECT_EQ(filter.first, 1u);
            EXPECT_EQ(filter.pids, c.pids);
            // The pins do not look at the mask.
            EXPECT_EQ(maps_of(player.m_pDemux, u"Video"), std::vector<ULONG> { 200 });
            EXPECT_EQ(maps_of(player.m_pDemux, u"Audio"), std::vector<ULONG> { 201 });
            EXPECT_EQ(maps_of(player.m_pDemux, u"Ttx Out"), std::vector<ULONG> { 202 });
            EXPECT_EQ(maps_of(player.m_pDemux, u"psi"), (std::vector<ULONG> { 0, 16, 17, 18, 20, 0x100 }));
        }

        // An unchanged service talks to the filters once.
        size_t before = tuner->calls().size();
        info.MapPids();
        EXPECT_EQ(tuner->calls().size(), before);

        // Without a video stream EnableVideo only clears the pin; off clears it too.
        info.pmt(5, { { 3, 201 } });
        EXPECT_EQ(maps_of(player.m_pDemux, u"Video"), std::vector<ULONG> {});
        EXPECT_EQ(info.EnableVideo(1), 1);
        EXPECT_EQ(maps_of(player.m_pDemux, u"Video"), std::vector<ULONG> {});
        info.pmt(5, { { 2, 200 }, { 3, 201 } });
        info.EnableVideo(0);
        EXPECT_EQ(maps_of(player.m_pDemux, u"Video"), std::vector<ULONG> {});
        info.EnableVideo(1);
        EXPECT_EQ(maps_of(player.m_pDemux, u"Video"), std::vector<ULONG> { 200 });
        info.EnableEPG(1);
        EXPECT_EQ(maps_of(player.m_pDemux, u"EPG"), std::vector<ULONG> { 18 });
        info.EnableEPG(0);
        EXPECT_EQ(maps_of(player.m_pDemux, u"EPG"), std::vector<ULONG> {});

        // Pause passes nothing, and the list again when it ends.
        info.Pause(1);
        EXPECT_EQ(last_filter().second, 0u);
        info.Pause(0);
        EXPECT_EQ(last_filter().second, DWORD(info.m_nMappedPids));
    });
}

TEST(RecordingName, KeepsTheNameInsideItsFolder)
{
    struct Case {
        std::u16string name, expected;
    } cases[] = {
        { u"News 24", u"News 24" },
        { u"..\\a/b:c*d?e\"f<g>h|i", u".._a_b_c_d_e_f_g_h_i" },
        { u"", u"TV" },
        { std::u16string(u"tab\there"), u"tab_here" },
        { std::u16string(100, u'x'), std::u16string(64, u'x') },
    };
    for (auto& c : cases) {
        WCHAR out[128];
        RecordingName(c.name.c_str(), out, 128);
        EXPECT_EQ(std::u16string(out), c.expected);
    }
}

TEST_F(TsPlayerTest, InformationScansTheDefaultMultiplexesAndSelectsServices)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        TestInformation info(player);
        FiltersReleased released { player };
        info.SetCallback();
        ASSERT_EQ(info.Country(886), 1);
        auto* tuner = player.layer<TccDvbtTuneFilter>(player.m_pTuner);

        // As the scan screen does: tune, poll once a second at most eleven times, take what it found.
        for (DWORD channel : default_multiplex_channels) {
            SCOPED_TRACE(channel);
            info.ChannelSelect(int(channel));
            int polls = 0;
            while (polls < 11 && !info.IsScanned()) {
                Sleep(1000);
                ++polls;
            }
            ASSERT_EQ(info.IsScanned(), 1);
            std::vector<cService*> found;
            {
                cInformation::Lock lock(info);
                for (auto const& service : info.m_pCurTransportStream->m_Services)
                    found.push_back(service.get());
            }
            for (cService* service : found)
                info.IsAvailableService(service);
        }
        info.SortAvailableServices();

        std::vector<std::pair<int, std::u16string>> listed;
        {
            cInformation::Lock lock(info);
            for (cService* service : info.m_AvailableServices)
                listed.emplace_back(service->m_wServiceId, service->m_szName);
        }
        const std::vector<std::pair<int, std::u16string>> expected {
            { 2401, u"海洋台" }, { 2402, u"Mountain News" }, { 2403, u"城市體育台" }, { 2404, u"" },
            { 2601, u"兒童花園" }, { 2602, u"Family Drama" }, { 2603, u"港都廣播電台" },
            { 2801, u"Music Wave" }, { 2802, u"東方旅遊台" }, { 2803, u"Radio Café" },
            { 3001, u"財經日報台" }, { 3002, u"台北古典音樂台" }, { 3401, u"Film Classic" },
        };
        EXPECT_EQ(listed, expected);
        ASSERT_EQ(info.m_AvailableServices.size(), 13u);

        auto nth = [&](int index) { return *std::next(info.m_AvailableServices.begin(), index); };
        auto tunings = [&] { return calls_of(*tuner, TccDvbtTuneFilter::Operation::SetChannel).size(); };

        // A service of another transport stream retunes; one of the same stream does not.
        size_t before = tunings();
        EXPECT_EQ(info.ChannelSelect(nth(0)), 1);
        EXPECT_EQ(tunings(), before + 1);
        EXPECT_EQ(calls_of(*tuner, TccDvbtTuneFilter::Operation::SetChannel).back().first, 24u);
        Sleep(1000); // the PAT names the stream
        ASSERT_EQ(info.m_pCurTransportStream, nth(0)->m_pTransportStream);
        EXPECT_EQ(info.ChannelSelect(nth(1)), 1);
        EXPECT_EQ(tunings(), before + 1);
        EXPECT_EQ(info.GetCurServiceId(), 2);
        EXPECT_EQ(info.ChannelSelectNext(), 1);
        EXPECT_EQ(tunings(), before + 1);
        EXPECT_EQ(info.ChannelSelect(nth(4)), 1);
        EXPECT_EQ(tunings(), before + 2);
        EXPECT_EQ(calls_of(*tuner, TccDvbtTuneFilter::Operation::SetChannel).back().first, 26u);

        // The parser keeps delivering while services change back and forth; the tree holds.
        for (int step = 0; step < 13; ++step) {
            SCOPED_TRACE(step);
            EXPECT_EQ(info.ChannelSelect(nth(12 - step)), 1);
            Sleep(step * 40);
            expect_consistent(info);
        }

        // Stepping by type wraps around the list.
        EXPECT_EQ(info.NextAvailableServiceByTpye(nth(11), 2), nth(6));
        EXPECT_EQ(info.PrevAvailableServiceByTpye(nth(6), 2), nth(11));
        EXPECT_EQ(info.NextAvailableServiceByTpye(nth(12), 1), nth(0));
        info.Clear();
    });
}

TEST_F(TsPlayerTest, InformationOperationUnderAHeldLockIsCaught)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEBUG_DEATH(run([&](HWND) {
        TestPlayer player;
        TestInformation info(player);
        cInformation::Lock lock(info);
        info.GetCurService();
    }),
        "an engine operation under a held Lock");
}

TEST_F(TsPlayerTest, InformationNoticesAudioAndRecording)
{
    run([&](HWND window) {
        TestPlayer player;
        set_up_for_play(player, window);
        auto* tuner = player.layer<TccDvbtTuneFilter>(player.m_pTuner);
        auto notices = [&](DWORD code) {
            int count = 0;
            MSG msg {};
            while (PeekMessage(&msg, window, WM_TSPLAYER_NOTIFY, WM_TSPLAYER_NOTIFY, PM_REMOVE))
                count += msg.wParam == code;
            return count;
        };
        auto eit = [](TestInformation& info) {
            PsiEit record { 5, 1, 0, 0x4E, 0, nullptr, 0, 0, 0 };
            info.deliver(PSI_RECORD_EIT, &record);
        };

        // The first programme-guide record of the process is announced once, across objects.
        {
            TestInformation first(player);
            TestInformation second(player);
            eit(first);
            eit(second);
            eit(first);
            EXPECT_EQ(notices(TSN_EPG_RECEIVED), 1);
        }

        TestInformation info(player);
        FiltersReleased released { player };
        info.pat(24, 1, { { 5, 0x100 } });
        info.m_pCurService = info.service(24, 1, 5);
        info.MapPids();
        EXPECT_EQ(notices(TSN_PIDS_MAPPED), 0) << "a service without streams";
        info.pmt(5, { { 2, 200 }, { 3, 201 }, { 4, 202 } });
        EXPECT_EQ(notices(TSN_PIDS_MAPPED), 1);
        info.pmt(5, { { 2, 200 }, { 3, 201 }, { 4, 202 } });
        EXPECT_EQ(notices(TSN_PIDS_MAPPED), 0) << "the same PIDs are not mapped again";

        // The second audio stream, then back round to the first.
        EXPECT_EQ(info.SelectAudio(1), 1);
        EXPECT_EQ(maps_of(player.m_pDemux, u"Audio"), std::vector<ULONG> { 202 });
        EXPECT_EQ(notices(TSN_PIDS_MAPPED), 1);
        EXPECT_EQ(info.SelectAudio(-1), 0);
        EXPECT_EQ(maps_of(player.m_pDemux, u"Audio"), std::vector<ULONG> { 201 });

        // Recording opens the PID filter and names the file after the service and the local time.
        info.sdt(1, 5, 1, "News/24: \"late\"");
        info.SetLocalTimeOffset(480);
        PsiTdt tdt { at(2026, 12, 31, 20, 5) };
        info.deliver(PSI_RECORD_TDT, &tdt);
        info.Record(1);
        auto filter = calls_of(*tuner, TccDvbtTuneFilter::Operation::SetPidFilter).back();
        EXPECT_EQ(filter.first, 0u);
        auto record = calls_of(*tuner, TccDvbtTuneFilter::Operation::Record).back();
        EXPECT_EQ(record.text, u"\\nand\\News_24_ _late__20270101040500.ts");
        info.Record(0);
        filter = calls_of(*tuner, TccDvbtTuneFilter::Operation::SetPidFilter).back();
        EXPECT_EQ(filter.first, 1u);
        EXPECT_EQ(filter.second, DWORD(info.m_nMappedPids));

        // Without a current service these do nothing.
        info.m_pCurService = nullptr;
        EXPECT_EQ(info.GetCurServiceId(), 0);
        EXPECT_EQ(info.EnableVideo(1), 0);
        EXPECT_EQ(info.Pause(0), 0);
        EXPECT_EQ(info.Record(1), 0);
        EXPECT_EQ(info.SelectAudio(1), 0);
    });
}
