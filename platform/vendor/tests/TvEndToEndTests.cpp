// The twelve filters together on a default multiplex of a fresh device: the tuner receives the
// radio's channel 24 (made by the multiplex builder from its description and the build's streams),
// the demultiplexer hands it to the real parser, decoders and renderers, and what comes out is
// checked against the description itself.

#include "RadioTestKit.h"
#include "gdi/tests/ScreenshotPixels.h"
#include "kernel/tests/TestDevice.h"

#include "Clock.h"
#include "ComClassTable.h"
#include "Filter.h"
#include "Gdi.h"
#include "KernelApi.h"
#include "MediaClasses.h"
#include "SimMutex.h"
#include "VendorFilters.h"
#include "WideText.h"
#include "broadcast/DefaultMultiplexes.h"
#include "broadcast/MultiplexBuilder.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr DWORD test_channel = 24;

MultiplexDescription default_description(DWORD channel)
{
    auto path = DefaultMultiplexFolders::built_in().descriptions / ("channel-" + std::to_string(channel) + ".json");
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    auto description = parse_multiplex_description(text.str(), error);
    if (!description)
        throw std::runtime_error(path.string() + ": " + error);
    return *description;
}

std::vector<uint8_t> encoded(const DvbText& text)
{
    return encode_dvb_text(text).value_or(std::vector<uint8_t> { 0xEE });
}

int64_t seconds_of(const SYSTEMTIME& time)
{
    uint64_t filetime = 0;
    return system_time_to_filetime(time, filetime) ? int64_t(filetime / 10'000'000) : -1;
}

int64_t seconds_now()
{
    SYSTEMTIME now {};
    GetSystemTime(&now);
    return seconds_of(now);
}

template<typename Interface>
ComRef<Interface> query(IUnknown* object)
{
    ComRef<Interface> found;
    EXPECT_EQ(object->QueryInterface(InterfaceId<Interface>::value, found.put()), S_OK);
    return found;
}

struct Connection {
    const char16_t* out_filter;
    const char16_t* out_pin;
    const char16_t* in_filter;
    const char16_t* in_pin;
};

const std::vector<Connection> play_wiring {
    { u"TCCDVBTTuneFilter", u"Out", u"ZEZ RaruTsDemuxer", u"MPEG-2 Stream" },
    { u"ZEZ RaruTsDemuxer", u"psi", u"ZEZ PSI Parser3", u"Input" },
    { u"ZEZ RaruTsDemuxer", u"Video", u"ZEZ SPLITTER", u"XForm In" },
    { u"ZEZ SPLITTER", u"XForm Out", u"ZEZ MPG2Dec Filter", u"XForm In" },
    { u"ZEZ MPG2Dec Filter", u"XForm Out", u"ZEZ Video Renderer", u"Input" },
    { u"ZEZ RaruTsDemuxer", u"Audio", u"ZEZ MP2Dec Filter", u"XForm In" },
    { u"ZEZ MP2Dec Filter", u"XForm Out", u"Audio Renderer", u"Audio Input pin (rendered)" },
    { u"ZEZ RaruTsDemuxer", u"Ttx Out", u"Zez RaruTeletext", u"In" },
    { u"Zez RaruTeletext", u"Out", u"Null Renderer", u"Input" },
    { u"ZEZ RaruTsDemuxer", u"Sub Out", u"Zez RaruSubtitle", u"In" },
    { u"Zez RaruSubtitle", u"Out", u"Zez Image Renderer", u"In" },
};
const std::vector<Connection> scan_wiring(play_wiring.begin(), play_wiring.begin() + 2);
const std::vector<Connection> preview_wiring(play_wiring.begin(), play_wiring.begin() + 5);

// What the parser and the teletext decoder delivered, copied on their threads.
struct Received {
    SimMutex lock;
    std::map<unsigned long, size_t> records; // per code
    uint16_t pat_transport_stream = 0;
    std::map<uint16_t, uint16_t> pmt_pid_of; // program → PMT PID
    std::map<uint16_t, std::set<uint16_t>> stream_pids_of; // program → elementary PIDs
    uint16_t sdt_transport_stream = 0, sdt_original_network = 0;
    std::map<uint16_t, std::vector<uint8_t>> service_name_of;
    struct Event {
        int64_t start, seconds;
        std::vector<uint8_t> name;
    };
    std::map<uint16_t, std::vector<Event>> present_following_of, schedule_of; // per service
    std::vector<int64_t> tdt_drift, tot_drift; // broadcast time minus the device's, seconds
    std::vector<std::pair<std::string, int32_t>> offsets;
    // Teletext: the rows of each page (magazine × 100 + tens × 10 + units), parity stripped.
    std::map<int, int> page_of_magazine;
    std::map<int, std::map<int, std::string>> teletext_rows;

    static int on_psi(DWORD code, void* record, void* context);
    static int on_teletext(DWORD code, void* record, void* context);
};

std::vector<uint8_t> bytes_of(const uint8_t* text, size_t length)
{
    return text ? std::vector<uint8_t>(text, text + length) : std::vector<uint8_t> {};
}

int Received::on_psi(DWORD code, void* record, void* context)
{
    auto& self = *static_cast<Received*>(context);
    std::lock_guard guard(self.lock);
    ++self.records[code];
    if (code == PSI_RECORD_PAT) {
        auto& pat = *static_cast<PsiPat*>(record);
        self.pat_transport_stream = pat.transport_stream_id;
        for (auto* program = pat.programs; program; program = program->next) {
            if (program->program_number)
                self.pmt_pid_of[program->program_number] = program->pmt_pid;
        }
    } else if (code == PSI_RECORD_PMT) {
        auto& pmt = *static_cast<PsiPmt*>(record);
        auto& pids = self.stream_pids_of[pmt.program_number];
        for (auto* stream = pmt.streams; stream; stream = stream->next)
            pids.insert(stream->elementary_pid);
    } else if (code == PSI_RECORD_SDT) {
        auto& sdt = *static_cast<PsiSdt*>(record);
        self.sdt_transport_stream = sdt.transport_stream_id;
        self.sdt_original_network = sdt.original_network_id;
        for (auto* service = sdt.services; service; service = service->next) {
            auto* descriptor = service->service_descriptor;
            self.service_name_of[service->service_id] = descriptor ? bytes_of(descriptor->service_name, descriptor->service_name_length)
                                                                   : std::vector<uint8_t> { 0xEE };
        }
    } else if (code == PSI_RECORD_EIT) {
        auto& eit = *static_cast<PsiEit*>(record);
        auto& events = eit.table_id == 0x4E ? self.present_following_of[eit.service_id] : self.schedule_of[eit.service_id];
        for (auto* event = eit.events; event; event = event->next) {
            auto* name = event->short_event;
            events.push_back({ seconds_of(event->start),
                event->duration.wHour * 3600 + event->duration.wMinute * 60 + event->duration.wSecond,
                name ? bytes_of(name->name, name->name_length) : std::vector<uint8_t> {} });
        }
    } else if (code == PSI_RECORD_TDT) {
        self.tdt_drift.push_back(seconds_of(static_cast<PsiTdt*>(record)->utc) - seconds_now());
    } else if (code == PSI_RECORD_TOT) {
        auto& tot = *static_cast<PsiTot*>(record);
        self.tot_drift.push_back(seconds_of(tot.utc) - seconds_now());
        if (tot.offsets) {
            for (auto* offset = tot.offsets->first; offset; offset = offset->next)
                self.offsets.emplace_back(std::string(offset->country_code, 3), offset->offset_minutes);
        }
    }
    return 0;
}

int Received::on_teletext(DWORD code, void* record, void* context)
{
    auto& self = *static_cast<Received*>(context);
    std::lock_guard guard(self.lock);
    if (code == 0) {
        auto& header = *static_cast<TeletextHeaderPacket*>(record);
        int magazine = header.magazine ? int(header.magazine) : 8;
        self.page_of_magazine[magazine] = magazine * 100 + int(header.page_tens) * 10 + int(header.page_units);
    } else if (code >= 1 && code <= 25) {
        auto& row = *static_cast<TeletextRowPacket*>(record);
        int magazine = row.magazine ? int(row.magazine) : 8;
        auto page = self.page_of_magazine.find(magazine);
        if (page == self.page_of_magazine.end())
            return 0;
        std::string text;
        for (BYTE character : row.text)
            text.push_back(char(character & 0x7F));
        self.teletext_rows[page->second][int(row.packet)] = text;
    }
    return 0;
}

// The twelve filters made by class id under their names in the graph.
struct Graph {
    ComRef<IGraphBuilder> builder;
    std::map<std::u16string, ComRef<IBaseFilter>> filters;

    Graph()
    {
        EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, builder.put()), S_OK);
        const std::pair<const char16_t*, CLSID> twelve[] = {
            { u"TCCDVBTTuneFilter", CLSID_TCCDVBTTuneFilter },
            { u"ZEZ RaruTsDemuxer", CLSID_RaruTsDemuxer },
            { u"ZEZ MPG2Dec Filter", CLSID_MPG2DEC },
            { u"ZEZ SPLITTER", CLSID_TCCSPLITTER },
            { u"ZEZ Video Renderer", CLSID_ZezVideoRenderer },
            { u"ZEZ MP2Dec Filter", CLSID_TCCMP2DEC },
            { u"Audio Renderer", CLSID_AudioRender },
            { u"ZEZ PSI Parser3", CLSID_Zez_PsiParser3 },
            { u"Zez RaruTeletext", CLSID_TeletextDecoder },
            { u"Zez RaruSubtitle", CLSID_DVBSubtitleDecoder },
            { u"Null Renderer", CLSID_NullRenderer },
            { u"Zez Image Renderer", CLSID_TCCIMGRENDFILTER },
        };
        for (auto& [name, class_id] : twelve) {
            ComRef<IBaseFilter> filter;
            EXPECT_EQ(CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put()), S_OK) << to_utf8(name);
            EXPECT_EQ(builder->AddFilter(filter.get(), name), S_OK) << to_utf8(name);
            filters[name] = std::move(filter);
        }
    }
    ~Graph()
    {
        query<IMediaControl>(builder.get())->Stop();
        for (auto& [name, filter] : filters)
            builder->RemoveFilter(filter.get());
    }

    IBaseFilter* filter(std::u16string_view name) { return filters.at(std::u16string(name)).get(); }
    ComRef<IPin> pin(std::u16string_view filter_name, std::u16string_view name)
    {
        ComRef<IPin> found;
        filter(filter_name)->FindPin(std::u16string(name).c_str(), reinterpret_cast<IPin**>(found.put()));
        return found;
    }
    void wire(const std::vector<Connection>& wiring)
    {
        for (auto& c : wiring) {
            auto out = pin(c.out_filter, c.out_pin);
            auto in = pin(c.in_filter, c.in_pin);
            ASSERT_TRUE(out && in) << to_utf8(c.out_pin) << " to " << to_utf8(c.in_pin);
            ASSERT_EQ(builder->Connect(out.get(), in.get()), S_OK) << to_utf8(c.out_pin) << " to " << to_utf8(c.in_pin);
        }
    }
    HRESULT map(std::u16string_view pin_name, std::vector<ULONG> pids, MEDIA_SAMPLE_CONTENT content)
    {
        auto map = query<IMPEG2PIDMap>(pin(u"ZEZ RaruTsDemuxer", pin_name).get());
        return map->MapPID(ULONG(pids.size()), pids.data(), content);
    }
    ComRef<ITsTuner> tuner() { return query<ITsTuner>(filter(u"TCCDVBTTuneFilter")); }
    void listen(Received& received)
    {
        EXPECT_EQ(query<IReceiveCallback>(filter(u"ZEZ PSI Parser3"))->SetReceiveCallback(&Received::on_psi, &received), S_OK);
        EXPECT_EQ(query<IReceiveCallback>(filter(u"Zez RaruTeletext"))->SetReceiveCallback(&Received::on_teletext, &received), S_OK);
    }
    void run() { EXPECT_TRUE(SUCCEEDED(query<IMediaControl>(builder.get())->Run())); }
    DWORD video_tick()
    {
        DWORD tick = 0;
        query<IVideoReceiveTick>(filter(u"ZEZ Video Renderer"))->GetLastReceiveTick(&tick);
        return tick;
    }
    DWORD audio_tick()
    {
        DWORD tick = 0;
        query<IAudioReceiveTick>(filter(u"ZEZ MP2Dec Filter"))->GetLastReceiveTick(&tick);
        return tick;
    }
};

// A fresh device whose radio carries the default multiplexes, the tuner fitted and powered.
class TvEndToEndTest : public ::testing::Test {
protected:
    TvEndToEndTest()
    {
        install_media_classes(*device);
        install_vendor_filters(*device);
    }

    void run(const std::function<void(Graph&)>& body)
    {
        bool ran = run_program_to_end(*device, u"\\tv.exe", [&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            {
                Graph graph;
                body(graph);
            }
            CoUninitialize();
        });
        ASSERT_TRUE(ran);
    }

    std::unique_ptr<Device> device = make_test_device();
    Radio& radio = device->component<Radio>(); // a fresh root: the default multiplexes
    RadioTestKit kit { *device };
    const MultiplexDescription description = default_description(test_channel);
};

const ServiceDescription& service_with_teletext(const MultiplexDescription& description)
{
    for (auto& service : description.services) {
        for (auto& stream : service.streams) {
            if (stream.kind == StreamKind::teletext)
                return service;
        }
    }
    throw std::runtime_error("no teletext service on the channel");
}

const ServiceDescription& service_named(const MultiplexDescription& description, const std::string& name)
{
    for (auto& service : description.services) {
        if (service.name.text == name)
            return service;
    }
    throw std::runtime_error("no service " + name + " on the channel");
}

// The page the television shows its picture in: the video key where the picture goes, a white
// band under it.
constexpr RECT key_area { 0, 0, 480, 240 };

LRESULT CALLBACK key_page_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT all { 0, 0, 480, 272 };
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        HBRUSH key = CreateSolidBrush(Gdi::video_key);
        FillRect(dc, &all, white);
        FillRect(dc, &key_area, key);
        DeleteObject(white);
        DeleteObject(key);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProc(window, message, wparam, lparam);
}

uint16_t pid_of(const ServiceDescription& service, StreamKind kind)
{
    for (auto& stream : service.streams) {
        if (stream.kind == kind)
            return stream.pid;
    }
    return 0;
}

} // namespace

TEST_F(TvEndToEndTest, ThePlayScanAndPreviewWiringsConnectTheRealFiltersByPinNames)
{
    const std::pair<const char*, const std::vector<Connection>*> wirings[] = { { "play", &play_wiring }, { "scan", &scan_wiring }, { "preview", &preview_wiring } };
    run([&](Graph&) {
        for (auto [name, wiring] : wirings) {
            SCOPED_TRACE(name);
            Graph graph;
            graph.wire(*wiring);
            for (auto& c : *wiring) {
                ComRef<IPin> peer;
                EXPECT_EQ(graph.pin(c.out_filter, c.out_pin)->ConnectedTo(reinterpret_cast<IPin**>(peer.put())), S_OK);
                EXPECT_EQ(peer.get(), graph.pin(c.in_filter, c.in_pin).get());
            }
        }
    });
}

TEST_F(TvEndToEndTest, ATunedMultiplexDeliversTheSixRecordKindsWithItsDescriptionsValues)
{
    Received received;
    run([&](Graph& graph) {
        graph.wire(play_wiring);
        graph.listen(received);
        ASSERT_EQ(graph.tuner()->SetChannel(test_channel, 1), S_OK);
        // Only the PAT is mapped at first: the parser sees nothing else.
        EXPECT_EQ(graph.map(u"psi", { 0 }, MEDIA_MPEG2_PSI), S_OK);
        graph.run();
        Sleep(1'500);
        {
            std::lock_guard guard(received.lock);
            EXPECT_EQ(received.records, (std::map<unsigned long, size_t> { { PSI_RECORD_PAT, 1 } }));
        }
        std::vector<ULONG> tables { 0x11, 0x12, 0x14 };
        for (auto& service : description.services)
            tables.push_back(service.pmt_pid);
        EXPECT_EQ(graph.map(u"psi", tables, MEDIA_TRANSPORT_PACKET), S_OK);
        Sleep(11'000); // the schedule comes every 10 s
    });

    std::lock_guard guard(received.lock);
    for (auto code : { PSI_RECORD_PAT, PSI_RECORD_PMT, PSI_RECORD_SDT, PSI_RECORD_EIT, PSI_RECORD_TDT, PSI_RECORD_TOT })
        EXPECT_GT(received.records[code], 0u) << "code " << code;
    EXPECT_EQ(received.records.size(), 6u) << "no other kind (the NIT is not delivered)";
    EXPECT_EQ(received.pat_transport_stream, description.transport_stream_id);
    EXPECT_EQ(received.sdt_transport_stream, description.transport_stream_id);
    EXPECT_EQ(received.sdt_original_network, description.original_network_id);

    int64_t now = seconds_now();
    std::map<uint16_t, uint16_t> pmt_pids;
    for (auto& service : description.services) {
        SCOPED_TRACE(service.service_id);
        pmt_pids[service.service_id] = service.pmt_pid;
        std::set<uint16_t> pids;
        for (auto& stream : service.streams)
            pids.insert(stream.pid);
        EXPECT_EQ(received.stream_pids_of[service.service_id], pids);
        EXPECT_EQ(received.service_name_of[service.service_id], encoded(service.name));

        // The present event is running now and is one of the service's rota; the schedule lies
        // ahead over the coming days.
        std::set<std::vector<uint8_t>> titles;
        for (auto& entry : service.rota) {
            for (auto& texts : entry.texts)
                titles.insert(encoded(texts.name));
        }
        auto& present_following = received.present_following_of[service.service_id];
        ASSERT_FALSE(present_following.empty());
        auto& present = present_following.front();
        EXPECT_LE(present.start, now);
        EXPECT_GT(present.start + present.seconds, now - 15);
        EXPECT_TRUE(titles.count(present.name)) << "an event title not in the description";
        auto& schedule = received.schedule_of[service.service_id];
        ASSERT_FALSE(schedule.empty());
        int64_t latest = 0;
        for (auto& event : schedule) {
            EXPECT_TRUE(titles.count(event.name));
            latest = std::max(latest, event.start);
        }
        EXPECT_GT(latest, now + 6 * 86'400) << "the schedule does not reach a week ahead";
    }
    EXPECT_EQ(received.pmt_pid_of, pmt_pids);
    for (auto drift : received.tdt_drift)
        EXPECT_LE(std::abs(drift), 2) << "the TDT is not the device's UTC";
    for (auto drift : received.tot_drift)
        EXPECT_LE(std::abs(drift), 2) << "the TOT is not the device's UTC";
    ASSERT_FALSE(received.offsets.empty());
    for (auto& [country, minutes] : received.offsets) {
        EXPECT_EQ(country, description.country);
        EXPECT_EQ(minutes, description.local_time_offset_minutes);
    }
}

TEST_F(TvEndToEndTest, PidMapsGateThePinsTeletextComesAndTheAudioTickStopsWithItsPid)
{
    const ServiceDescription& service = service_with_teletext(description);
    uint16_t video = pid_of(service, StreamKind::video), audio = pid_of(service, StreamKind::audio);
    uint16_t teletext = pid_of(service, StreamKind::teletext);
    Received received;
    run([&](Graph& graph) {
        graph.wire(play_wiring);
        graph.listen(received);
        ASSERT_EQ(graph.tuner()->SetChannel(test_channel, 1), S_OK);
        EXPECT_EQ(graph.map(u"Audio", { audio }, MEDIA_ELEMENTARY_STREAM), S_OK);
        graph.run();
        Sleep(1'500);
        // Nothing mapped on "Video" and "Ttx Out": no picture, no teletext.
        EXPECT_EQ(graph.video_tick(), 0u);
        EXPECT_GT(graph.audio_tick(), GetTickCount() - 200);
        {
            std::lock_guard guard(received.lock);
            EXPECT_TRUE(received.teletext_rows.empty());
        }

        EXPECT_EQ(graph.map(u"Video", { video }, MEDIA_ELEMENTARY_STREAM), S_OK);
        EXPECT_EQ(graph.map(u"Ttx Out", { teletext }, MEDIA_TRANSPORT_PAYLOAD), S_OK);
        Sleep(2'500);
        EXPECT_GT(graph.video_tick(), GetTickCount() - 500) << "no picture reached the renderer";

        // The tuner's PID filter leaves the audio out: the audio tick stands still, the picture goes on.
        USHORT passing[] = { 0, video, teletext };
        EXPECT_EQ(graph.tuner()->SetPidFilter(1, passing, DWORD(std::size(passing))), S_OK);
        Sleep(300);
        DWORD still = graph.audio_tick();
        Sleep(2'000);
        EXPECT_EQ(graph.audio_tick(), still) << "the tick moved without the audio's packets";
        EXPECT_GT(graph.video_tick(), GetTickCount() - 500);
        EXPECT_EQ(graph.tuner()->SetPidFilter(0, nullptr, 0), S_OK);
        Sleep(500);
        EXPECT_GT(graph.audio_tick(), still);
    });

    std::lock_guard guard(received.lock);
    for (auto& stream : service.streams) {
        for (auto& page : stream.pages) {
            SCOPED_TRACE(page.number);
            auto& rows = received.teletext_rows[page.number];
            ASSERT_EQ(rows.size(), page.rows.size());
            for (size_t row = 0; row < page.rows.size(); ++row) {
                auto& characters = page.rows[row].characters;
                EXPECT_EQ(rows[int(row) + 1], std::string(characters.begin(), characters.end())) << "row " << row + 1;
            }
        }
    }
    EXPECT_TRUE(received.teletext_rows.count(100) && received.teletext_rows.count(101) && received.teletext_rows.count(102));
}

TEST_F(TvEndToEndTest, NoLockWithoutAFittedPoweredTunerASignalAndTheRadioOn)
{
    struct Case {
        const char* what;
        bool fitted, powered, radio_on;
        int strength;
        HRESULT expected;
    } cases[] = {
        { "no tuner fitted", false, true, true, 80, E_FAIL },
        { "tuner unpowered", true, false, true, 80, E_FAIL },
        { "signal 0", true, true, true, 0, E_FAIL },
        { "radio off", true, true, false, 80, E_FAIL },
        { "all well", true, true, true, 80, S_OK },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        kit.set_tuner(c.fitted, c.powered);
        kit.set_radio_on(c.radio_on);
        kit.signal(test_channel, c.strength, 100);
        Received received;
        run([&](Graph& graph) {
            graph.wire(scan_wiring);
            graph.listen(received);
            EXPECT_EQ(graph.tuner()->SetChannel(test_channel, 1), c.expected);
            EXPECT_EQ(graph.map(u"psi", { 0 }, MEDIA_MPEG2_PSI), S_OK);
            graph.run();
            Sleep(1'000);
        });
        std::lock_guard guard(received.lock);
        EXPECT_EQ(received.records[PSI_RECORD_PAT] > 0, c.expected == S_OK) << "what the parser heard does not follow the lock";
    }
}

// A default 720 × 480 service through the tuner, the demultiplexer, the MPEG-2 decoder and the
// vendor's renderer under a key-coloured page; the screenshot is kept for a person to look at.
TEST_F(TvEndToEndTest, ADefaultServicePlaysUnderTheKeyColouredPage)
{
    const ServiceDescription& service = service_named(description, "Mountain News");
    DecodedPng shot;
    run([&](Graph& graph) {
        WNDCLASS page_class {};
        page_class.lpfnWndProc = key_page_procedure;
        page_class.lpszClassName = u"TvPage";
        RegisterClass(&page_class);
        HWND page = CreateWindowEx(0, u"TvPage", u"tv", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr, nullptr, nullptr);
        UpdateWindow(page);
        graph.wire(preview_wiring);
        ASSERT_EQ(graph.tuner()->SetChannel(test_channel, 1), S_OK);
        EXPECT_EQ(graph.map(u"Video", { pid_of(service, StreamKind::video) }, MEDIA_ELEMENTARY_STREAM), S_OK);
        graph.run();
        Sleep(2'000);
        shot = review_screenshot(*device, "tv_default_service");
        query<IMediaControl>(graph.builder.get())->Stop();
        DestroyWindow(page);
    });
    ASSERT_EQ(shot.width, 480u);
    // The 3:2 picture is fitted to the key (360 × 240, black boxes beside it), in several colours
    // (neither black nor the key); the band under it stays white.
    std::set<uint16_t> colours;
    int picture = 0;
    for (int y = key_area.top; y < key_area.bottom; ++y) {
        for (int x = key_area.left; x < key_area.right; ++x) {
            uint16_t pixel = shot.pixel_565(x, y);
            colours.insert(pixel);
            picture += pixel != 0 && pixel != Gdi::video_key_565;
        }
    }
    EXPECT_GT(picture, 360 * 240 / 2);
    EXPECT_EQ(shot.pixel_565(20, 100), 0);
    EXPECT_GT(colours.size(), 8u);
    EXPECT_EQ(shot.pixel_565(240, 260), 0xFFFF);
}
