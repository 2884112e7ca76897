#include "RaruTsDemuxer.h"
#include "TsStreams.h"
#include "VendorFilters.h"
#include "VendorNullRenderer.h"
#include "ZezMp2AudioDecoder.h"
#include "ZezMpeg2VideoDecoder.h"
#include "ZezSplitter.h"
#include "ZezVideoRenderer.h"
#include "kernel/tests/TestDevice.h"

#include "ComApi.h"
#include "Filter.h"
#include "KernelApi.h"
#include "MediaClasses.h"
#include "SimMutex.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <mutex>
#include <set>

using namespace kivo;
using namespace kivo::test;

namespace {

inline constexpr CLSID CLSID_StandIn = kivo::guid("{8E3B2C71-5A4D-4F19-B0C2-7D6E5F4A3B21}");

// The tuner's stand-in, "Out": loops a transport stream at its rate on the device clock (10 ms of
// it at a time), with a discontinuity at each loop and each retune; a PID may be withheld.
class StandInTuner final : public Filter {
public:
    StandInTuner()
        : Filter(CLSID_StandIn, u"Tuner stand-in")
    {
        auto out = std::make_unique<Output>(*this);
        m_out = out.get();
        add_pin(std::move(out));
    }
    ~StandInTuner() override { stop_thread(); }

    void tune(const std::vector<uint8_t>& stream)
    {
        std::lock_guard guard(m_stream_lock);
        m_stream = &stream;
        m_at = 0;
        m_retuned = true;
    }
    void withhold(uint32_t pid) { m_withheld = pid; }
    void withhold_nothing() { m_withheld = 0xFFFF; }

private:
    class Output final : public OutputPin {
    public:
        explicit Output(Filter& owner)
            : OutputPin(owner, u"Out")
        {
        }
        HRESULT check_type(const MediaType& type) override { return type.major == MEDIATYPE_Stream ? S_OK : S_FALSE; }
        std::vector<MediaType> proposed_types() override { return { MediaType(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_TRANSPORT) }; }
    };

    void on_pause(FILTER_STATE from) override
    {
        if (from != State_Stopped)
            return;
        m_stopping = false;
        m_thread.start([this] {
            while (!m_stopping) {
                auto sample = std::make_shared<MediaSample>();
                {
                    std::lock_guard guard(m_stream_lock);
                    if (m_stream) {
                        sample->discontinuity = std::exchange(m_retuned, false);
                        for (size_t i = 0; i < m_packets_per_tick; ++i) {
                            if (m_at + 188 > m_stream->size()) {
                                m_at = 0;
                                sample->discontinuity = sample->discontinuity || sample->data.empty();
                                break;
                            }
                            const uint8_t* packet = m_stream->data() + m_at;
                            m_at += 188;
                            if ((uint32_t(packet[1] & 0x1F) << 8 | packet[2]) != m_withheld)
                                sample->data.insert(sample->data.end(), packet, packet + 188);
                        }
                    }
                }
                if (!sample->data.empty() && m_out->deliver(sample) == VFW_E_WRONG_STATE)
                    return;
                Sleep(10);
            }
        });
    }
    void on_stop() override { stop_thread(); }
    void stop_thread()
    {
        m_stopping = true;
        m_out->deliver_begin_flush();
        m_thread.join();
        m_out->deliver_end_flush();
    }

    OutputPin* m_out;
    SimMutex m_stream_lock;
    const std::vector<uint8_t>* m_stream = nullptr;
    static constexpr size_t m_packets_per_tick = mux_rate / 8 / 188 / 100;
    size_t m_at = 0;
    bool m_retuned = false;
    std::atomic<uint32_t> m_withheld = 0xFFFF;
    std::atomic<bool> m_stopping = false;
    StreamingThread m_thread;
};

// The other helpers' filters as the wirings see them (the PSI/SI parser, the teletext and subtitle
// decoders, the image renderer), and a sink for what a filter hands on: named pins that take any
// type; what comes in is kept per input pin.
class StandIn final : public Filter {
public:
    StandIn(std::vector<std::u16string> inputs, std::vector<std::u16string> outputs)
        : Filter(CLSID_StandIn, u"Stand-in")
    {
        for (auto& name : inputs)
            add_pin(std::make_unique<Input>(*this, name));
        for (auto& name : outputs)
            add_pin(std::make_unique<Output>(*this, name));
    }

    std::vector<SamplePtr> taken(std::u16string_view pin) const
    {
        std::lock_guard guard(m_lock);
        auto found = m_taken.find(std::u16string(pin));
        return found == m_taken.end() ? std::vector<SamplePtr> {} : found->second;
    }
    void forget()
    {
        std::lock_guard guard(m_lock);
        m_taken.clear();
    }

private:
    class Input final : public InputPin {
    public:
        Input(StandIn& owner, std::u16string name)
            : InputPin(owner, std::move(name))
            , m_owner(owner)
        {
        }
        HRESULT check_type(const MediaType&) override { return S_OK; }
        HRESULT receive(const SamplePtr& sample) override
        {
            std::lock_guard guard(m_owner.m_lock);
            m_owner.m_taken[name()].push_back(sample);
            return S_OK;
        }
        void end_of_stream() override { }
        void begin_flush() override { }
        void end_flush() override { }

    private:
        StandIn& m_owner;
    };
    class Output final : public OutputPin {
    public:
        Output(Filter& owner, std::u16string name)
            : OutputPin(owner, std::move(name))
        {
        }
        HRESULT check_type(const MediaType&) override { return S_OK; }
        std::vector<MediaType> proposed_types() override { return { MediaType(MEDIATYPE_Stream, GUID {}) }; }
    };

    std::map<std::u16string, std::vector<SamplePtr>> m_taken;
};

template<typename Interface>
ComRef<Interface> query(IUnknown* object)
{
    ComRef<Interface> found;
    EXPECT_EQ(object->QueryInterface(InterfaceId<Interface>::value, found.put()), S_OK);
    return found;
}

ComRef<IBaseFilter> create(const CLSID& class_id)
{
    ComRef<IBaseFilter> filter;
    EXPECT_EQ(CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put()), S_OK);
    return filter;
}

// The twelve filters under their names in the graph; the other helpers' filters are stand-ins.
struct Graph {
    ComRef<IGraphBuilder> builder;
    std::map<std::u16string, ComRef<IBaseFilter>> filters;
    StandInTuner* tuner = nullptr;
    StandIn* parser = nullptr;
    StandIn* teletext = nullptr;
    StandIn* subtitle = nullptr;
    StandIn* image = nullptr;

    Graph()
    {
        EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, builder.put()), S_OK);
        tuner = new StandInTuner();
        parser = new StandIn({ u"Input" }, {});
        teletext = new StandIn({ u"In" }, { u"Out" });
        subtitle = new StandIn({ u"In" }, { u"Out" });
        image = new StandIn({ u"In" }, {});
        add(u"TCCDVBTTuneFilter", ComRef<IBaseFilter>::adopt(tuner));
        add(u"ZEZ RaruTsDemuxer", create(CLSID_RaruTsDemuxer));
        add(u"ZEZ MPG2Dec Filter", create(CLSID_MPG2DEC));
        add(u"ZEZ SPLITTER", create(CLSID_TCCSPLITTER));
        add(u"ZEZ Video Renderer", create(CLSID_ZezVideoRenderer));
        add(u"ZEZ MP2Dec Filter", create(CLSID_TCCMP2DEC));
        add(u"Audio Renderer", create(CLSID_AudioRender));
        add(u"ZEZ PSI Parser3", ComRef<IBaseFilter>::adopt(parser));
        add(u"Zez RaruTeletext", ComRef<IBaseFilter>::adopt(teletext));
        add(u"Zez RaruSubtitle", ComRef<IBaseFilter>::adopt(subtitle));
        add(u"Null Renderer", create(CLSID_NullRenderer));
        add(u"Zez Image Renderer", ComRef<IBaseFilter>::adopt(image));
    }
    ~Graph()
    {
        if (auto control = query<IMediaControl>(builder.get()))
            control->Stop();
        for (auto& [name, filter] : filters)
            builder->RemoveFilter(filter.get());
    }

    void add(std::u16string name, ComRef<IBaseFilter> filter)
    {
        EXPECT_EQ(builder->AddFilter(filter.get(), name.c_str()), S_OK) << to_utf8(name);
        filters[name] = std::move(filter);
    }
    ComRef<IPin> pin(std::u16string_view filter, std::u16string_view name)
    {
        ComRef<IPin> found;
        filters.at(std::u16string(filter))->FindPin(std::u16string(name).c_str(), reinterpret_cast<IPin**>(found.put()));
        return found;
    }
    HRESULT connect(std::u16string_view out_filter, std::u16string_view out_pin, std::u16string_view in_filter, std::u16string_view in_pin)
    {
        auto out = pin(out_filter, out_pin);
        auto in = pin(in_filter, in_pin);
        if (!out || !in)
            return VFW_E_NOT_FOUND;
        return builder->Connect(out.get(), in.get());
    }
    template<typename Layer>
    Layer& layer(std::u16string_view name)
    {
        return *static_cast<Layer*>(Filter::from(filters.at(std::u16string(name)).get()));
    }
    RaruTsDemuxer& demuxer() { return layer<RaruTsDemuxer>(u"ZEZ RaruTsDemuxer"); }
    ComRef<IMPEG2PIDMap> pid_map(std::u16string_view pin_name) { return query<IMPEG2PIDMap>(pin(u"ZEZ RaruTsDemuxer", pin_name).get()); }
    HRESULT map(std::u16string_view pin_name, std::vector<ULONG> pids, MEDIA_SAMPLE_CONTENT content)
    {
        return pid_map(pin_name)->MapPID(ULONG(pids.size()), pids.data(), content);
    }
    void run() { EXPECT_TRUE(SUCCEEDED(query<IMediaControl>(builder.get())->Run())); }
    void stop() { query<IMediaControl>(builder.get())->Stop(); }
    // The graph's events so far.
    std::vector<std::tuple<long, LONG_PTR, LONG_PTR>> events()
    {
        std::vector<std::tuple<long, LONG_PTR, LONG_PTR>> list;
        auto events = query<IMediaEventEx>(builder.get());
        long code = 0;
        LONG_PTR first = 0, second = 0;
        while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
            list.emplace_back(code, first, second);
            events->FreeEventParams(code, first, second);
        }
        return list;
    }
};

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

class TvFilterTest : public ::testing::Test {
protected:
    TvFilterTest()
    {
        install_media_classes(*device);
        install_vendor_filters(*device);
    }

    // Runs the body in a program of its own with a graph of the twelve filters.
    void run(std::function<void(Graph&)> body, uint64_t run_ms = 60'000)
    {
        device->programs().add(u"\\tv.exe", [body](std::u16string_view) {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            {
                Graph graph;
                body(graph);
            }
            CoUninitialize();
            return 0;
        });
        DWORD error = 0;
        ASSERT_TRUE(device->create_process(u"\\tv.exe", u"", error));
        device->advance(run_ms);
    }

    std::unique_ptr<Device> device = make_test_device();
};

void wire(Graph& graph, const std::vector<Connection>& wiring)
{
    for (auto& c : wiring)
        ASSERT_EQ(graph.connect(c.out_filter, c.out_pin, c.in_filter, c.in_pin), S_OK) << to_utf8(c.out_pin) << " to " << to_utf8(c.in_pin);
}

double rms(const std::vector<SamplePtr>& samples, int channel, size_t skip)
{
    double sum = 0;
    size_t count = 0;
    for (size_t i = skip; i < samples.size(); ++i) {
        const auto* pcm = reinterpret_cast<const int16_t*>(samples[i]->data.data());
        for (size_t at = size_t(channel); at < samples[i]->data.size() / 2; at += 2, ++count)
            sum += double(pcm[at]) * pcm[at];
    }
    return count ? std::sqrt(sum / double(count)) : -1;
}

} // namespace

TEST_F(TvFilterTest, ThePlayScanAndPreviewWiringsConnectByPinNames)
{
    const std::pair<const char*, const std::vector<Connection>*> wirings[] = { { "play", &play_wiring }, { "scan", &scan_wiring }, { "preview", &preview_wiring } };
    run([&](Graph&) {
        for (auto [name, wiring] : wirings) {
            SCOPED_TRACE(name);
            Graph graph;
            wire(graph, *wiring);
            for (auto& c : *wiring) {
                ComRef<IPin> peer;
                EXPECT_EQ(graph.pin(c.out_filter, c.out_pin)->ConnectedTo(reinterpret_cast<IPin**>(peer.put())), S_OK);
                EXPECT_EQ(peer.get(), graph.pin(c.in_filter, c.in_pin).get());
            }
            ComRef<IPin> none;
            EXPECT_EQ(graph.pin(u"ZEZ RaruTsDemuxer", u"EPG")->ConnectedTo(reinterpret_cast<IPin**>(none.put())), VFW_E_NOT_CONNECTED);
            // A pin already connected refuses a second connection.
            EXPECT_EQ(graph.connect(u"TCCDVBTTuneFilter", u"Out", u"ZEZ RaruTsDemuxer", u"MPEG-2 Stream"), VFW_E_ALREADY_CONNECTED);
            for (auto& c : *wiring) {
                EXPECT_EQ(graph.builder->Disconnect(graph.pin(c.out_filter, c.out_pin).get()), S_OK);
                EXPECT_EQ(graph.builder->Disconnect(graph.pin(c.in_filter, c.in_pin).get()), S_OK);
            }
        }
    });
}

TEST_F(TvFilterTest, PidMapsGateWhatEachPinSees)
{
    run([&](Graph& graph) {
        wire(graph, play_wiring);
        graph.tuner->tune(mpeg2_stream(720, 480, 1));
        EXPECT_EQ(graph.map(u"psi", { 0, pmt_pid }, MEDIA_MPEG2_PSI), S_OK);
        EXPECT_EQ(graph.map(u"Video", { video_pid }, MEDIA_ELEMENTARY_STREAM), S_OK);
        EXPECT_EQ(graph.map(u"Audio", { audio_pid }, MEDIA_ELEMENTARY_STREAM), S_OK);
        // "EPG" is never connected and still keeps its maps.
        EXPECT_EQ(graph.map(u"EPG", { 0x12, 0x11 }, MEDIA_MPEG2_PSI), S_OK);
        graph.run();
        Sleep(2'000);

        std::set<int> tables;
        for (auto& section : graph.parser->taken(u"Input"))
            tables.insert(section->data.at(0));
        EXPECT_EQ(tables, (std::set<int> { 0x00, 0x02 }));
        EXPECT_TRUE(graph.teletext->taken(u"In").empty());
        EXPECT_TRUE(graph.subtitle->taken(u"In").empty());
        EXPECT_GT(graph.layer<ZezSplitter>(u"ZEZ SPLITTER").received(), 40u);
        DWORD video_tick = 0, audio_tick = 0;
        EXPECT_EQ(query<IVideoReceiveTick>(graph.filters[u"ZEZ Video Renderer"].get())->GetLastReceiveTick(&video_tick), S_OK);
        EXPECT_EQ(query<IAudioReceiveTick>(graph.filters[u"ZEZ MP2Dec Filter"].get())->GetLastReceiveTick(&audio_tick), S_OK);
        EXPECT_GT(video_tick, GetTickCount() - 1'000) << "no picture reached the renderer";
        EXPECT_GT(audio_tick, GetTickCount() - 1'000) << "no sound reached the decoder";

        // Audio packets as they are to the teletext pin; the PMT off the parser's pin.
        ULONG pmt = pmt_pid;
        EXPECT_EQ(graph.pid_map(u"psi")->UnmapPID(1, &pmt), S_OK);
        EXPECT_EQ(graph.map(u"Ttx Out", { audio_pid }, MEDIA_TRANSPORT_PACKET), S_OK);
        Sleep(200);
        graph.parser->forget();
        Sleep(1'000);
        for (auto& section : graph.parser->taken(u"Input"))
            EXPECT_EQ(section->data.at(0), 0x00) << "the unmapped PMT still came";
        auto packets = graph.teletext->taken(u"In");
        EXPECT_GT(packets.size(), 10u);
        for (auto& packet : packets) {
            ASSERT_EQ(packet->data.size(), 188u);
            EXPECT_EQ((uint32_t(packet->data[1] & 0x1F) << 8) | packet->data[2], audio_pid);
        }

        // The maps as the pin lists them; unmapping what is not mapped fails and changes nothing.
        ULONG not_mapped[] = { 0x11, 0x13 };
        EXPECT_EQ(graph.pid_map(u"EPG")->UnmapPID(2, not_mapped), E_INVALIDARG);
        ComRef<IEnumPIDMap> maps;
        ASSERT_EQ(graph.pid_map(u"EPG")->EnumPIDMap(reinterpret_cast<IEnumPIDMap**>(maps.put())), S_OK);
        PID_MAP listed[3] {};
        ULONG count = 0;
        EXPECT_EQ(maps->Next(3, listed, &count), S_FALSE);
        ASSERT_EQ(count, 2u);
        EXPECT_EQ(listed[0].ulPID, 0x11u);
        EXPECT_EQ(listed[1].ulPID, 0x12u);
        EXPECT_EQ(listed[1].MediaSampleContent, MEDIA_MPEG2_PSI);
        EXPECT_EQ(maps->Reset(), S_OK);
        EXPECT_EQ(maps->Next(1, listed, nullptr), S_OK);
        graph.stop();
    });
}

TEST_F(TvFilterTest, ResolutionEventAfterEachReArmGivesTheNextSequenceHeadersSize)
{
    run([&](Graph& graph) {
        wire(graph, preview_wiring);
        auto& decoder = graph.layer<ZezMpeg2VideoDecoder>(u"ZEZ MPG2Dec Filter");
        auto resolution = query<IVideoResolution>(graph.filters[u"ZEZ MPG2Dec Filter"].get());
        auto resolution_events = [&] {
            std::vector<LONG_PTR> sizes;
            for (auto [code, first, second] : graph.events()) {
                if (code == EC_VIDEO_RESOLUTION)
                    sizes.push_back(first);
            }
            return sizes;
        };
        graph.tuner->tune(mpeg2_stream(720, 480, 1));
        EXPECT_EQ(graph.map(u"Video", { video_pid }, MEDIA_ELEMENTARY_STREAM), S_OK);
        graph.run();
        Sleep(1'500);
        EXPECT_TRUE(resolution_events().empty()) << "an event before any re-arm";

        EXPECT_EQ(resolution->ArmResolutionEvent(), S_OK);
        Sleep(1'500);
        EXPECT_EQ(resolution_events(), (std::vector<LONG_PTR> { 720 | 480 << 16 })) << "one event for several sequence headers";

        graph.tuner->tune(mpeg2_stream(1280, 720, 1));
        EXPECT_EQ(resolution->ArmResolutionEvent(), S_OK);
        Sleep(1'500);
        EXPECT_EQ(resolution_events(), (std::vector<LONG_PTR> { 1280 | 720 << 16 }));
        DWORD tick = 0;
        EXPECT_EQ(query<IVideoReceiveTick>(graph.filters[u"ZEZ Video Renderer"].get())->GetLastReceiveTick(&tick), S_OK);
        EXPECT_GT(tick, GetTickCount() - 500) << "the larger pictures did not reach the renderer";

        decoder.control().force_result(ZezMpeg2VideoDecoder::Operation::ArmResolutionEvent, E_FAIL);
        EXPECT_EQ(resolution->ArmResolutionEvent(), E_FAIL);
        Sleep(1'500);
        EXPECT_TRUE(resolution_events().empty()) << "a forced failure armed the event";
        EXPECT_EQ(decoder.control().calls_of(ZezMpeg2VideoDecoder::Operation::ArmResolutionEvent).size(), 3u);
        graph.stop();
    });
}

TEST_F(TvFilterTest, TheAudioChannelSettingPicksTheChannelsAndTheTickStopsWithThePid)
{
    run([&](Graph& graph) {
        // The decoder's sound goes to a sink here, where it can be measured.
        auto* sink = new StandIn({ u"In" }, {});
        graph.add(u"Sink", ComRef<IBaseFilter>::adopt(sink));
        ASSERT_EQ(graph.connect(u"TCCDVBTTuneFilter", u"Out", u"ZEZ RaruTsDemuxer", u"MPEG-2 Stream"), S_OK);
        ASSERT_EQ(graph.connect(u"ZEZ RaruTsDemuxer", u"Audio", u"ZEZ MP2Dec Filter", u"XForm In"), S_OK);
        ASSERT_EQ(graph.connect(u"ZEZ MP2Dec Filter", u"XForm Out", u"Sink", u"In"), S_OK);
        auto info = query<IMp2AudioInfo>(graph.filters[u"ZEZ MP2Dec Filter"].get());
        auto tick = query<IAudioReceiveTick>(graph.filters[u"ZEZ MP2Dec Filter"].get());
        graph.tuner->tune(mpeg2_stream(720, 480, 1));
        EXPECT_EQ(graph.map(u"Audio", { audio_pid }, MEDIA_ELEMENTARY_STREAM), S_OK);
        graph.run();

        struct Case {
            DWORD setting;
            bool left_loud, right_loud;
        };
        // The stream has a tone on the left and silence on the right.
        for (auto [setting, left_loud, right_loud] : { Case { 1, true, true }, Case { 2, false, false }, Case { 0, true, false } }) {
            EXPECT_EQ(info->SetAudioSetting(2, setting), S_OK);
            Sleep(100);
            sink->forget();
            Sleep(1'000);
            auto sound = sink->taken(u"In");
            ASSERT_GT(sound.size(), 10u);
            EXPECT_EQ(rms(sound, 0, 0) > 1'000, left_loud) << "setting " << setting << ": left " << rms(sound, 0, 0);
            EXPECT_EQ(rms(sound, 1, 0) > 1'000, right_loud) << "setting " << setting << ": right " << rms(sound, 1, 0);
        }
        EXPECT_EQ(info->SetAudioSetting(2, 3), E_INVALIDARG);
        EXPECT_EQ(info->SetAudioSetting(1, 0), E_INVALIDARG);

        // The tick follows the packets: still while the PID is withheld, moving again after.
        DWORD before = 0, during = 0, later = 0, after = 0;
        tick->GetLastReceiveTick(&before);
        EXPECT_GE(before, GetTickCount() - 200);
        graph.tuner->withhold(audio_pid);
        Sleep(300);
        tick->GetLastReceiveTick(&during);
        Sleep(2'000);
        tick->GetLastReceiveTick(&later);
        EXPECT_EQ(later, during) << "the tick moved without packets";
        EXPECT_GE(GetTickCount() - later, 2'000u);
        graph.tuner->withhold_nothing();
        Sleep(500);
        tick->GetLastReceiveTick(&after);
        EXPECT_GT(after, later);
        graph.stop();
    });
}

TEST_F(TvFilterTest, SoundAt44kHzComesOutResampledTo48kHz)
{
    run([&](Graph& graph) {
        auto* sink = new StandIn({ u"In" }, {});
        graph.add(u"Sink", ComRef<IBaseFilter>::adopt(sink));
        ASSERT_EQ(graph.connect(u"TCCDVBTTuneFilter", u"Out", u"ZEZ RaruTsDemuxer", u"MPEG-2 Stream"), S_OK);
        ASSERT_EQ(graph.connect(u"ZEZ RaruTsDemuxer", u"Audio", u"ZEZ MP2Dec Filter", u"XForm In"), S_OK);
        ASSERT_EQ(graph.connect(u"ZEZ MP2Dec Filter", u"XForm Out", u"Sink", u"In"), S_OK);
        EXPECT_EQ(graph.map(u"Audio", { audio_pid }, MEDIA_ELEMENTARY_STREAM), S_OK);
        graph.run();
        // The same seconds of a stream with its sound at 48 kHz and at 44.1 kHz give as much sound.
        auto measure = [&](int rate) {
            graph.tuner->tune(mpeg2_stream(720, 480, 1, rate));
            Sleep(500);
            sink->forget();
            Sleep(3'000);
            auto sound = sink->taken(u"In");
            size_t frames = 0;
            for (auto& sample : sound)
                frames += sample->data.size() / 4;
            EXPECT_GT(rms(sound, 0, 0), 1'000) << rate;
            EXPECT_LT(rms(sound, 1, 0), 100) << rate;
            return double(frames);
        };
        const double at_48k = measure(48'000);
        const double at_44k = measure(44'100);
        EXPECT_GT(at_48k, 2.5 * 48'000);
        EXPECT_NEAR(at_44k, at_48k, 0.02 * at_48k);
        graph.stop();
    });
}

TEST_F(TvFilterTest, TheDemultiplexerIsAClockOnThePcrThatNeverGoesBack)
{
    run([&](Graph& graph) {
        wire(graph, scan_wiring);
        auto clock = query<IReferenceClock>(graph.filters[u"ZEZ RaruTsDemuxer"].get());
        ASSERT_EQ(query<IMediaFilter>(graph.builder.get())->SetSyncSource(clock.get()), S_OK);
        graph.tuner->tune(mpeg2_stream(720, 480, 1));
        graph.run();
        std::vector<std::pair<DWORD, REFERENCE_TIME>> readings;
        for (int i = 0; i < 30; ++i) {
            REFERENCE_TIME now = 0;
            EXPECT_EQ(clock->GetTime(&now), S_OK);
            readings.emplace_back(GetTickCount(), now);
            if (i == 15)
                graph.tuner->tune(mpeg2_stream(1280, 720, 1)); // a PCR far from the last
            Sleep(97);
        }
        EXPECT_GT(graph.demuxer().pcr_count(), 20u);
        for (size_t i = 1; i < readings.size(); ++i) {
            const REFERENCE_TIME ran = readings[i].second - readings[i - 1].second;
            const REFERENCE_TIME device_ran = REFERENCE_TIME(readings[i].first - readings[i - 1].first) * 10'000;
            EXPECT_GE(ran, 0) << "the clock went back at reading " << i;
            EXPECT_NEAR(double(ran), double(device_ran), 400'000.0) << "reading " << i;
        }
        graph.demuxer().control().force_result(RaruTsDemuxer::Operation::GetTime, E_FAIL);
        REFERENCE_TIME ignored = 0;
        EXPECT_EQ(clock->GetTime(&ignored), E_FAIL);
        graph.demuxer().control().clear_forced_results();
        graph.stop();
    });
}

TEST_F(TvFilterTest, TheControlSideRecordsMapCallsAndForcesTheirResults)
{
    run([&](Graph& graph) {
        auto& control = graph.demuxer().control();
        control.force_result(RaruTsDemuxer::Operation::MapPID, E_FAIL);
        EXPECT_EQ(graph.map(u"Video", { 0x100 }, MEDIA_ELEMENTARY_STREAM), E_FAIL);
        control.clear_forced_results();
        ULONG pid = 0x100;
        EXPECT_EQ(graph.pid_map(u"Video")->UnmapPID(1, &pid), E_INVALIDARG) << "the forced failure mapped the PID";
        EXPECT_EQ(graph.map(u"Video", { 0x2000 }, MEDIA_ELEMENTARY_STREAM), E_INVALIDARG);
        EXPECT_EQ(graph.map(u"Video", { 0x100 }, MEDIA_SAMPLE_CONTENT(4)), E_INVALIDARG);
        EXPECT_EQ(graph.map(u"Audio", { 0x101 }, MEDIA_ELEMENTARY_STREAM), S_OK);

        auto calls = control.calls();
        ASSERT_EQ(calls.size(), 5u);
        EXPECT_EQ(calls[0].operation, RaruTsDemuxer::Operation::MapPID);
        EXPECT_EQ(calls[0].result, E_FAIL);
        EXPECT_EQ(calls[1].operation, RaruTsDemuxer::Operation::UnmapPID);
        EXPECT_EQ(calls[1].target, u"Video");
        EXPECT_EQ(calls[4].target, u"Audio");
        EXPECT_EQ(calls[4].result, S_OK);

        // A sample handed straight to the input: the null renderer and the splitter take anything.
        auto sample = std::make_shared<MediaSample>();
        sample->data.assign(7, 1);
        auto& null_renderer = graph.layer<VendorNullRenderer>(u"Null Renderer");
        EXPECT_EQ(inject(null_renderer, u"Input", sample), VFW_E_WRONG_STATE) << "a stopped sink took a sample";
        null_renderer.Pause();
        EXPECT_EQ(inject(null_renderer, u"Input", sample), S_OK);
        EXPECT_EQ(inject(null_renderer, u"Output", sample), VFW_E_NOT_FOUND);
        EXPECT_EQ(null_renderer.received_bytes(), 7u);
        null_renderer.Stop();
    });
}
