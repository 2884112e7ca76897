// The tuner filter on the virtual clock: when it locks, its properties, the pace and the gaps of
// what it hands on, its PID filter, the loss at a weak signal and its recordings.

#include "TccDvbtTuneFilter.h"

#include "ComClassTable.h"
#include "Errors.h"
#include "FileSystem.h"
#include "KernelApi.h"
#include "RadioTestKit.h"
#include "TestDevice.h"
#include "VendorFilters.h"
#include "Volumes.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

using namespace kivo;
using namespace kivo::test;

namespace {

inline constexpr CLSID CLSID_TsSink = kivo::guid("{5A1C3E7B-2D4F-4B8A-9C6E-1F3A5B7D9E02}");

// 1250 packets a second, 12.5 each delivery.
constexpr uint64_t test_rate = 1'880'000;

// What a demultiplexer would see: every sample's packets by PID, and where the discontinuities fell.
class TsSink final : public Filter {
public:
    struct Sample {
        uint64_t time_ms;
        size_t packets;
        bool discontinuity;
    };

    TsSink()
        : Filter(CLSID_TsSink, u"Sink")
    {
        auto in = std::make_unique<Input>(*this);
        m_in = in.get();
        add_pin(std::move(in));
    }
    InputPin& input() const { return *m_in; }
    std::vector<Sample> samples;
    std::map<uint16_t, size_t> packets_of_pid;
    std::vector<uint32_t> payload_numbers; // each packet's number, as make_test_stream wrote it

    size_t packets() const
    {
        size_t total = 0;
        for (auto& sample : samples)
            total += sample.packets;
        return total;
    }
    size_t discontinuities() const
    {
        return size_t(std::count_if(samples.begin(), samples.end(), [](auto& s) { return s.discontinuity; }));
    }

private:
    class Input final : public InputPin {
    public:
        explicit Input(TsSink& owner)
            : InputPin(owner, u"MPEG-2 Stream")
            , m_sink(owner)
        {
        }
        HRESULT check_type(const MediaType& type) override { return type == transport_stream_type() ? S_OK : S_FALSE; }
        HRESULT receive(const SamplePtr& sample) override
        {
            EXPECT_EQ(sample->data.size() % ts_packet_size, 0u);
            m_sink.samples.push_back({ Device::current().clock().now_ms(), sample->data.size() / ts_packet_size, sample->discontinuity });
            for (size_t at = 0; at < sample->data.size(); at += ts_packet_size) {
                const uint8_t* packet = &sample->data[at];
                EXPECT_EQ(packet[0], 0x47);
                m_sink.packets_of_pid[uint16_t(((packet[1] & 0x1F) << 8) | packet[2])]++;
                const uint8_t* payload = (packet[3] & 0x20) ? packet + 5 + packet[4] : packet + 4;
                m_sink.payload_numbers.push_back(uint32_t(payload[0]) << 24 | uint32_t(payload[1]) << 16 | uint32_t(payload[2]) << 8 | payload[3]);
            }
            return S_OK;
        }
        void end_of_stream() override { }
        void begin_flush() override { }
        void end_flush() override { }

    private:
        TsSink& m_sink;
    };
    InputPin* m_in;
};

struct TunerTest : ::testing::Test {
    std::unique_ptr<Device> device = make_test_device();
    RadioTestKit kit { *device };

    using Body = std::function<void(TccDvbtTuneFilter&, TsSink&)>;
    // Runs the body in a program with the tuner (from the class table) feeding a sink, the two
    // running on the device clock.
    void run(const Body& body)
    {
        install_vendor_filters(*device);
        bool ran = run_program_to_end(*device, u"\\tv.exe", [&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            ComRef<IBaseFilter> tuner;
            ASSERT_EQ(CoCreateInstance(CLSID_TCCDVBTTuneFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, tuner.put()), S_OK);
            auto* filter = static_cast<TccDvbtTuneFilter*>(Filter::from(tuner.get()));
            auto sink = ComRef<IBaseFilter>::adopt(new TsSink);
            auto* ts_sink = static_cast<TsSink*>(sink.get());
            ASSERT_EQ(Pin::connect(*filter->pin(u"Out"), ts_sink->input(), nullptr), S_OK);
            body(*filter, *ts_sink);
            filter->Stop();
            ts_sink->Stop();
            ts_sink->input().disconnect();
            filter->pin(u"Out")->disconnect();
            CoUninitialize();
        });
        ASSERT_TRUE(ran);
    }
    static void play(TccDvbtTuneFilter& tuner, TsSink& sink)
    {
        sink.Pause();
        tuner.Pause();
        sink.Run(0);
        tuner.Run(0);
    }
};

TEST_F(TunerTest, LocksOnlyWithTunerRadioMultiplexAndSignal)
{
    kit.put(24, "a.ts", make_test_stream({ 0x100 }, 100, test_rate));
    kit.put(26, "noise.ts", std::vector<uint8_t>(100 * ts_packet_size, 0x55));
    kit.put(30, "c.ts", make_test_stream({ 0x100 }, 100, test_rate), 0, 50);
    kit.put(34, "d.ts", make_test_stream({ 0x100 }, 100, test_rate), 50, 0);
    kit.signal(28, 80, 100); // a signal, no multiplex
    run([&](TccDvbtTuneFilter& tuner, TsSink&) {
        struct Case {
            const char* what;
            DWORD channel;
            bool fitted, powered, radio_on;
            HRESULT expected;
        } cases[] = {
            { "a multiplex, all well", 24, true, true, true, S_OK },
            { "no tuner", 24, false, true, true, E_FAIL },
            { "tuner unpowered", 24, true, false, true, E_FAIL },
            { "radio off", 24, true, true, false, E_FAIL },
            { "no sync bytes", 26, true, true, true, E_FAIL },
            { "no multiplex", 28, true, true, true, E_FAIL },
            { "strength 0", 30, true, true, true, E_FAIL },
            { "quality 0", 34, true, true, true, E_FAIL },
            { "empty channel", 40, true, true, true, E_FAIL },
            { "outside the plan", 13, true, true, true, E_FAIL },
        };
        for (auto& c : cases) {
            kit.set_tuner(c.fitted, c.powered);
            kit.set_radio_on(c.radio_on);
            EXPECT_EQ(tuner.SetChannel(c.channel, 1), c.expected) << c.what;
        }
        kit.set_tuner(false, false);
        EXPECT_EQ(tuner.SetMode(4, 0), E_FAIL);
        kit.set_tuner(true, false);
        EXPECT_EQ(tuner.SetMode(4, 0), S_OK);
        // The control side: calls with their arguments and results; a forced result does nothing.
        tuner.force_result(TccDvbtTuneFilter::Operation::SetMode, E_ACCESSDENIED);
        EXPECT_EQ(tuner.SetMode(4, 0), E_ACCESSDENIED);
        tuner.clear_forced_results();
        auto calls = tuner.calls();
        ASSERT_EQ(calls.size(), std::size(cases) + 3);
        EXPECT_EQ(calls[0].operation, TccDvbtTuneFilter::Operation::SetChannel);
        EXPECT_EQ(calls[0].first, 24u);
        EXPECT_EQ(calls[0].second, 1u);
        EXPECT_EQ(calls.back().result, E_ACCESSDENIED);
    });
    // A multiplex that does not open says why.
    bool said = false;
    for (auto& line : debug_lines(*device))
        said = said || line.find("TCCDVBTTuneFilter: no lock on noise.ts: ") != std::string::npos;
    EXPECT_TRUE(said);
}

TEST_F(TunerTest, PropertiesFollowTheCountryAndTheSignal)
{
    kit.put(24, "a.ts", make_test_stream({ 0x100 }, 100, test_rate), 80, 100);
    run([&](TccDvbtTuneFilter& tuner, TsSink&) {
        DWORD value = 0;
        struct Case {
            DWORD country, lowest, highest, channel, frequency;
        } plans[] = { { 886, 14, 69, 24, 533'000 }, { 61, 6, 69, 28, 529'500 }, { 49, 21, 69, 21, 474'000 }, { DWORD(-1), 0, 0, 24, 0 } };
        for (auto& plan : plans) {
            DWORD country = plan.country;
            EXPECT_EQ(tuner.SetProperty(0, &country), S_OK);
            EXPECT_EQ(tuner.GetProperty(0, &value), S_OK);
            EXPECT_EQ(value, plan.country);
            tuner.GetProperty(3, &value);
            EXPECT_EQ(value, plan.lowest) << plan.country;
            tuner.GetProperty(4, &value);
            EXPECT_EQ(value, plan.highest) << plan.country;
            tuner.SetChannel(plan.channel, 0);
            tuner.GetProperty(6, &value);
            EXPECT_EQ(value, plan.frequency) << plan.country;
        }
        DWORD taiwan = 886;
        tuner.SetProperty(0, &taiwan);
        // The frequency of a channel that does not lock is still the channel's.
        tuner.SetChannel(26, 0);
        tuner.GetProperty(6, &value);
        EXPECT_EQ(value, 545'000u);

        ASSERT_EQ(tuner.SetChannel(24, 0), S_OK);
        DWORD signal[4] = {};
        EXPECT_EQ(tuner.GetProperty(5, signal), S_OK);
        EXPECT_EQ(signal[0], 13'107u);
        EXPECT_EQ(signal[2], 13'107u);
        EXPECT_EQ(signal[1], 30u);
        EXPECT_EQ(signal[3], 30u);
        kit.signal(24, 1, 19);
        tuner.GetProperty(5, signal);
        EXPECT_EQ(signal[0], 64'879u);
        EXPECT_EQ(signal[1], 12u);
        kit.set_radio_on(false);
        tuner.GetProperty(5, signal);
        EXPECT_EQ(signal[0], 65'535u);
        EXPECT_EQ(signal[1], 0u);

        DWORD on = 1;
        EXPECT_EQ(tuner.SetProperty(7, &on), S_OK);
        EXPECT_EQ(tuner.GetProperty(7, &value), S_OK);
        EXPECT_EQ(value, 1u);
        EXPECT_EQ(tuner.GetProperty(1, &value), E_INVALIDARG);
        EXPECT_EQ(tuner.SetProperty(6, &value), E_INVALIDARG);
        EXPECT_EQ(tuner.GetProperty(5, nullptr), E_POINTER);
    });
}

TEST(TunerSignalTests, CarrierToNoiseReadsBackAsTheQuality)
{
    // The programme information's reading: q ≤ 11 gives q × 20 / 12, 12 to 30 give
    // (q × 80 − 960) / 18 + 20, above that 100.
    struct Case {
        int quality;
        DWORD cn;
    } cases[] = { { 0, 0 }, { 1, 1 }, { 18, 11 }, { 19, 12 }, { 20, 12 }, { 21, 13 }, { 99, 30 }, { 100, 30 } };
    for (auto& c : cases)
        EXPECT_EQ(TccDvbtTuneFilter::carrier_to_noise_for(c.quality), c.cn) << c.quality;
}

TEST_F(TunerTest, PacketsComeAtTheRateWithDiscontinuitiesAtRetuneAndLoop)
{
    kit.put(24, "a.ts", make_test_stream({ 0x100, 0x101 }, 500, test_rate));
    kit.put(26, "b.ts", make_test_stream({ 0x200 }, 100, test_rate));
    run([&](TccDvbtTuneFilter& tuner, TsSink& sink) {
        ASSERT_EQ(tuner.SetChannel(24, 1), S_OK);
        play(tuner, sink);
        Sleep(200);
        // 250 packets are due after 200 ms; the last delivery may be one period behind.
        EXPECT_GE(sink.packets(), 237u);
        EXPECT_LE(sink.packets(), 250u);
        EXPECT_EQ(sink.discontinuities(), 1u);
        EXPECT_TRUE(sink.samples.front().discontinuity);
        // The 500-packet recording starts again every 400 ms; the pace holds over seconds.
        Sleep(1800);
        EXPECT_GE(sink.packets(), 2487u);
        EXPECT_LE(sink.packets(), 2500u);
        EXPECT_EQ(sink.discontinuities(), 5u);
        EXPECT_EQ(tuner.packets_delivered(), sink.packets());
        size_t before = sink.samples.size();
        ASSERT_EQ(tuner.SetChannel(26, 1), S_OK);
        Sleep(50);
        ASSERT_GT(sink.samples.size(), before);
        EXPECT_TRUE(sink.samples[before].discontinuity);
        EXPECT_GT(sink.packets_of_pid[0x200], 0u);
        // A failed tune stops the packets.
        EXPECT_EQ(tuner.SetChannel(40, 1), E_FAIL);
        size_t packets = sink.packets();
        Sleep(100);
        EXPECT_EQ(sink.packets(), packets);
    });
}

TEST_F(TunerTest, ReceptionFollowsTheRadio)
{
    kit.put(24, "a.ts", make_test_stream({ 0x100 }, 1000, test_rate));
    run([&](TccDvbtTuneFilter& tuner, TsSink& sink) {
        ASSERT_EQ(tuner.SetChannel(24, 1), S_OK);
        play(tuner, sink);
        Sleep(100);
        for (auto lose : std::vector<std::function<void(bool)>> {
                 [&](bool lost) { kit.set_radio_on(!lost); },
                 [&](bool lost) { kit.set_tuner(!lost, true); },
                 [&](bool lost) { kit.signal(24, lost ? 0 : 80, 100); },
             }) {
            lose(true);
            Sleep(20);
            size_t packets = sink.packets();
            size_t discontinuities = sink.discontinuities();
            Sleep(200);
            EXPECT_EQ(sink.packets(), packets);
            lose(false);
            Sleep(100);
            EXPECT_GT(sink.packets(), packets);
            EXPECT_EQ(sink.discontinuities(), discontinuities + 1);
        }
    });
}

TEST_F(TunerTest, PidFilterAndWithheldPids)
{
    kit.put(24, "a.ts", make_test_stream({ 0x100, 0x101, 0x102 }, 3000, test_rate));
    run([&](TccDvbtTuneFilter& tuner, TsSink& sink) {
        ASSERT_EQ(tuner.SetChannel(24, 1), S_OK);
        play(tuner, sink);
        const USHORT two[] = { 0x100, 0x102 };
        struct Step {
            DWORD enable;
            const USHORT* pids;
            DWORD count;
            std::set<uint16_t> passing;
        } steps[] = {
            { 1, two, 2, { 0x100, 0x102 } },
            { 1, nullptr, 0, {} },
            { 0, nullptr, 0, { 0x100, 0x101, 0x102 } },
        };
        for (auto& step : steps) {
            EXPECT_EQ(tuner.SetPidFilter(step.enable, step.pids, step.count), S_OK);
            Sleep(20);
            sink.packets_of_pid.clear();
            Sleep(200);
            std::set<uint16_t> seen;
            for (auto& [pid, count] : sink.packets_of_pid)
                seen.insert(pid);
            EXPECT_EQ(seen, step.passing) << step.enable << " " << step.count;
        }
        kit.withhold(24, 0x101);
        Sleep(20);
        sink.packets_of_pid.clear();
        Sleep(200);
        EXPECT_EQ(sink.packets_of_pid.count(0x101), 0u);
        EXPECT_GT(sink.packets_of_pid[0x102], 0u);
        kit.withhold(24, 0x101, false);
        Sleep(100);
        EXPECT_GT(sink.packets_of_pid[0x101], 0u);
    });
}

TEST_F(TunerTest, WeakQualityLosesItsShareOfPackets)
{
    for (int quality : { 19, 10, 1 }) {
        uint64_t lost = 0;
        for (uint64_t n = 0; n < 2000; ++n)
            lost += TccDvbtTuneFilter::packet_lost(n, quality);
        EXPECT_EQ(lost, uint64_t(2000 * (20 - quality) / 20)) << quality;
    }
    EXPECT_FALSE(TccDvbtTuneFilter::packet_lost(7, 20));
    kit.put(24, "a.ts", make_test_stream({ 0x100 }, 5000, test_rate), 80, 10);
    run([&](TccDvbtTuneFilter& tuner, TsSink& sink) {
        ASSERT_EQ(tuner.SetChannel(24, 1), S_OK);
        play(tuner, sink);
        Sleep(400);
        // Half of the packets came, and exactly those the share spares.
        ASSERT_GT(sink.payload_numbers.size(), 200u);
        uint32_t last = sink.payload_numbers.back();
        size_t spared = 0;
        for (uint32_t n = 0; n <= last; ++n)
            spared += !TccDvbtTuneFilter::packet_lost(n, 10);
        EXPECT_EQ(sink.payload_numbers.size(), spared);
        for (uint32_t n : sink.payload_numbers)
            EXPECT_FALSE(TccDvbtTuneFilter::packet_lost(n, 10)) << n;
    });
}

TEST_F(TunerTest, RecordsThePassingPacketsUntilTheVolumeIsFull)
{
    kit.put(24, "a.ts", make_test_stream({ 0x100, 0x101 }, 5000, test_rate));
    run([&](TccDvbtTuneFilter& tuner, TsSink& sink) {
        ASSERT_EQ(tuner.SetChannel(24, 1), S_OK);
        const USHORT one[] = { 0x101 };
        tuner.SetPidFilter(1, one, 1);
        play(tuner, sink);
        EXPECT_EQ(tuner.Record(u"\\NAND\\rec.ts", 7), S_OK);
        Sleep(200);
        EXPECT_EQ(tuner.Record(nullptr, 0), S_OK);
        size_t passed = sink.packets();
        Sleep(100);
        EXPECT_EQ(tuner.Record(u"\\NoSuchVolume\\rec.ts", 0), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
        // The recording holds what passed the filter while it ran.
        HANDLE file = CreateFile(u"\\NAND\\rec.ts", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD size = GetFileSize(file, nullptr);
        std::vector<uint8_t> bytes(size);
        DWORD done = 0;
        ReadFile(file, bytes.data(), size, &done, nullptr);
        CloseHandle(file);
        EXPECT_EQ(size, passed * ts_packet_size);
        for (size_t at = 0; at < bytes.size(); at += ts_packet_size)
            EXPECT_EQ(bytes[at + 2], 0x01);

        // A full volume: the recording stops with whole packets and a debug line.
        device->component<Volumes>().set_free_bytes(VolumeId::Nand, 50 * ts_packet_size + 100);
        EXPECT_EQ(tuner.Record(u"\\NAND\\full.ts", 0), S_OK);
        Sleep(300);
        file = CreateFile(u"\\NAND\\full.ts", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetFileSize(file, nullptr), 50 * ts_packet_size);
        CloseHandle(file);
        // Packets still come after the recording stopped.
        size_t now = sink.packets();
        Sleep(50);
        EXPECT_GT(sink.packets(), now);
        auto calls = tuner.calls();
        EXPECT_EQ(calls[2].operation, TccDvbtTuneFilter::Operation::Record);
        EXPECT_EQ(calls[2].first, 7u);
        EXPECT_EQ(calls[2].text, u"\\NAND\\rec.ts");
    });
    bool said = false;
    for (auto& line : debug_lines(*device))
        said = said || line == "TCCDVBTTuneFilter: recording to \\NAND\\full.ts stopped: the volume is full";
    EXPECT_TRUE(said);
}

// What a command prints, or nothing when it failed.
std::optional<std::string> output_of(const std::string& command)
{
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        text += buffer;
    if (::pclose(pipe) != 0)
        return std::nullopt;
    return text;
}

TEST_F(TunerTest, RecordingOfAnEncodedMultiplexPlaysInFfprobe)
{
    auto host = test_root() / "encoded.ts";
    if (!output_of("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=440 -t 2 "
                   "-c:v mpeg2video -c:a mp2 -f mpegts '"
            + host.string() + "'"))
        GTEST_SKIP() << "ffmpeg is not installed (setup.sh installs it)";
    kit.put_file(24, host);
    run([&](TccDvbtTuneFilter& tuner, TsSink& sink) {
        ASSERT_EQ(tuner.SetChannel(24, 1), S_OK);
        EXPECT_EQ(tuner.Record(u"\\NAND\\encoded.ts", 0), S_OK);
        play(tuner, sink);
        Sleep(1500);
        tuner.Record(nullptr, 0);
    });
    auto streams = output_of("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + (device->root() / "NAND" / "encoded.ts").string() + "'");
    ASSERT_TRUE(streams);
    EXPECT_NE(streams->find("mpeg2video"), std::string::npos) << *streams;
    EXPECT_NE(streams->find("mp2"), std::string::npos) << *streams;
}

TEST_F(TunerTest, SelectsByNameInTheRadioFolder)
{
    kit.put(30, "Named.ts", make_test_stream({ 0x300 }, 100, test_rate), 80, 100);
    auto loose = make_test_stream({ 0x301 }, 100, test_rate);
    std::ofstream(kit.radio().folder() / "loose.ts", std::ios::binary).write(reinterpret_cast<const char*>(loose.data()), std::streamsize(loose.size()));
    run([&](TccDvbtTuneFilter& tuner, TsSink& sink) {
        DWORD none = DWORD(-1);
        tuner.SetProperty(0, &none);
        play(tuner, sink);
        EXPECT_EQ(tuner.SelectChannelByName(u"named.ts"), S_OK);
        DWORD value = 0;
        tuner.GetProperty(6, &value);
        EXPECT_EQ(value, 569'000u);
        Sleep(100);
        EXPECT_GT(sink.packets_of_pid[0x300], 0u);
        // What the station withholds is withheld however it was tuned.
        kit.withhold(30, 0x300);
        Sleep(20);
        size_t before = sink.packets_of_pid[0x300];
        Sleep(100);
        EXPECT_EQ(sink.packets_of_pid[0x300], before);
        // A file no station carries has a full signal.
        EXPECT_EQ(tuner.SelectChannelByName(u"loose.ts"), S_OK);
        Sleep(100);
        EXPECT_GT(sink.packets_of_pid[0x301], 0u);
        for (auto name : { u"missing.ts", u"../radio/loose.ts", u"" })
            EXPECT_EQ(tuner.SelectChannelByName(name), E_FAIL);
        EXPECT_EQ(tuner.SelectChannelByName(nullptr), E_POINTER);
        kit.set_radio_on(false);
        EXPECT_EQ(tuner.SelectChannelByName(u"loose.ts"), E_FAIL);
    });
}

} // namespace
