#include "kernel/tests/TestDevice.h"

#include "AudioRenderer.h"
#include "ComApi.h"
#include "Device.h"
#include "FilterCatalog.h"
#include "KernelApi.h"
#include "MediaClasses.h"
#include "SoundDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

inline constexpr CLSID CLSID_PcmSource = kivo::guid("{3F1C7A52-8B0E-4D6A-9C21-5E7B0A4D1F01}");

constexpr uint32_t rate = 8000; // 8 frames a millisecond
constexpr int block_ms = 40;

// One frame of the test sound: the first frame of each block is (20000, -10000), the others
// smaller, so each channel's peak is known; the rest varies with the time so that a block out
// of place shows in the mix.
int16_t test_sample(int frame_in_block, long frame_in_stream, int channel, int pattern)
{
    if (frame_in_block == 0)
        return channel == 0 ? 20000 : -10000;
    long value = (frame_in_stream * (channel ? 104729 : 7919) + pattern * 31) % 18001;
    return static_cast<int16_t>(value - 9000);
}

// `block_ms` of PCM starting at `start_ms` of stream time.
SamplePtr pcm_block(int start_ms, uint16_t channels = 1, int pattern = 0)
{
    int frames = block_ms * static_cast<int>(rate) / 1000;
    std::vector<int16_t> samples;
    for (int frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < channels; ++channel)
            samples.push_back(test_sample(frame, start_ms * 8L + frame, channel, pattern));
    }
    auto sample = std::make_shared<MediaSample>();
    sample->has_time = true;
    sample->start = start_ms * 10'000LL;
    sample->stop = (start_ms + block_ms) * 10'000LL;
    sample->data.resize(samples.size() * 2);
    std::memcpy(sample->data.data(), samples.data(), sample->data.size());
    return sample;
}

std::vector<SamplePtr> blocks_at(std::vector<int> starts_ms, int pattern = 0)
{
    std::vector<SamplePtr> blocks;
    for (int start : starts_ms)
        blocks.push_back(pcm_block(start, 1, pattern));
    return blocks;
}

std::vector<SamplePtr> blocks_from_zero(int count, int pattern = 0)
{
    std::vector<int> starts;
    for (int i = 0; i < count; ++i)
        starts.push_back(i * block_ms);
    return blocks_at(starts, pattern);
}

// The mono sound of the blocks between two stream times, silence where no block is.
std::vector<int16_t> sound_of(const std::vector<SamplePtr>& blocks, int from_ms, int to_ms)
{
    std::vector<int16_t> sound(static_cast<size_t>(to_ms - from_ms) * 8);
    for (auto& block : blocks) {
        long first = block->start / 10'000 * 8 - from_ms * 8L;
        auto* samples = reinterpret_cast<const int16_t*>(block->data.data());
        for (size_t i = 0; i < block->data.size() / 2; ++i) {
            long at = first + static_cast<long>(i);
            if (at >= 0 && at < static_cast<long>(sound.size()))
                sound[at] = samples[i];
        }
    }
    return sound;
}

// A source whose thread sends the blocks it holds, then the end of the stream. A seek flushes
// downstream and sends another list.
class PcmSource final : public Filter {
public:
    PcmSource(MediaType type, std::vector<SamplePtr> blocks)
        : Filter(CLSID_PcmSource, u"PCM")
        , m_blocks(std::move(blocks))
    {
        auto out = std::make_unique<Output>(*this, std::move(type));
        m_out = out.get();
        add_pin(std::move(out));
    }
    ~PcmSource() override { stop_thread(); }

    OutputPin& output() const { return *m_out; }
    void seek(std::vector<SamplePtr> blocks)
    {
        stop_thread();
        m_blocks = std::move(blocks);
        start_thread();
    }

private:
    class Output final : public OutputPin {
    public:
        Output(Filter& owner, MediaType type)
            : OutputPin(owner, u"Out")
            , m_type(std::move(type))
        {
        }
        HRESULT check_type(const MediaType& type) override { return type == m_type ? S_OK : S_FALSE; }
        std::vector<MediaType> proposed_types() override { return { m_type }; }

    private:
        MediaType m_type;
    };

    void on_pause(FILTER_STATE from) override
    {
        if (from == State_Stopped)
            start_thread();
    }
    void on_stop() override { stop_thread(); }
    void start_thread()
    {
        m_stopping = false;
        m_thread.start([this] {
            for (auto& block : m_blocks) {
                if (m_stopping || m_out->deliver(block) != S_OK)
                    return;
            }
            m_out->deliver_end_of_stream();
        });
    }
    void stop_thread()
    {
        m_stopping = true;
        m_out->deliver_begin_flush();
        m_thread.join();
        m_out->deliver_end_flush();
    }

    std::vector<SamplePtr> m_blocks;
    OutputPin* m_out;
    std::atomic<bool> m_stopping = false;
    StreamingThread m_thread;
};

// Stands in for the graph: records the events its filters raise, with their device times.
class EventRecorder final : public ComObject<IFilterGraph, IMediaEventSink> {
public:
    struct Event {
        long code;
        uint64_t ms;
        bool operator==(const Event&) const = default;
    };
    std::vector<Event> events;

    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Disconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Notify(long code, LONG_PTR, LONG_PTR) override
    {
        events.push_back({ code, Device::current().clock().now_ms() });
        return S_OK;
    }
};

// A source and the renderer, connected, in a graph of their own that the renderer's clock drives.
// Made and used on a program's thread; times are device milliseconds.
class Rig {
public:
    explicit Rig(std::vector<SamplePtr> blocks, uint16_t channels = 1)
        : m_source(new PcmSource(pcm_type(rate, channels), std::move(blocks)))
        , m_renderer(new AudioRenderer)
        , m_graph(new EventRecorder)
    {
        EXPECT_EQ(Pin::connect(m_source->output(), m_renderer->input(), nullptr), S_OK);
        m_renderer->JoinFilterGraph(m_graph, u"Audio Renderer");
        ComRef<IReferenceClock> clock;
        EXPECT_EQ(m_renderer->QueryInterface(IID_IReferenceClock, clock.put()), S_OK);
        m_renderer->SetSyncSource(clock.get());
        m_source->SetSyncSource(clock.get());
    }
    ~Rig()
    {
        if (m_renderer) {
            stop();
            release_renderer();
        }
        m_source->Release();
        m_graph->Release();
    }

    AudioRenderer& renderer() const { return *m_renderer; }
    PcmSource& source() const { return *m_source; }
    const std::vector<EventRecorder::Event>& events() const { return m_graph->events; }

    // Pauses and runs with stream time 0 `delay_ms` from now; answers that device time.
    uint64_t run(uint64_t delay_ms = 0)
    {
        pause();
        return resume(now_ms() + delay_ms);
    }
    void pause()
    {
        m_renderer->Pause();
        m_source->Pause();
    }
    // Runs with stream time 0 at a device time.
    uint64_t resume(uint64_t start_ms)
    {
        m_renderer->Run(start_ms * 10'000);
        m_source->Run(start_ms * 10'000);
        return start_ms;
    }
    void stop()
    {
        m_renderer->Stop();
        m_source->Stop();
    }
    // Lets the renderer go as it stands, streaming or not.
    void release_renderer()
    {
        m_renderer->input().disconnect();
        m_source->output().disconnect();
        m_renderer->JoinFilterGraph(nullptr, nullptr);
        std::exchange(m_renderer, nullptr)->Release();
    }

    static uint64_t now_ms() { return Device::current().clock().now_ms(); }

private:
    PcmSource* m_source;
    AudioRenderer* m_renderer;
    EventRecorder* m_graph;
};

// A stream's run, in device milliseconds from a start.
struct Play {
    uint64_t start;
    uint64_t stop;
    uint64_t bytes;
    bool operator==(const Play&) const = default;
};

std::vector<Play> plays_from(Device& device, uint64_t origin)
{
    std::vector<Play> plays;
    for (auto& play : device.component<SoundDevice>().stream_plays())
        plays.push_back({ play.start_ms - origin, play.stop_ms.value_or(0) - origin, play.bytes });
    return plays;
}

std::vector<uint64_t> write_times_from(const std::vector<AudioRenderer::Block>& blocks, uint64_t origin)
{
    std::vector<uint64_t> times;
    for (auto& block : blocks)
        times.push_back(block.written_ms - origin);
    return times;
}

// The test's program on the device, run for `ms` of device time.
template<typename Body>
void run_program(Device& device, uint64_t ms, Body body)
{
    device.programs().add(u"\\player.exe", [&](std::u16string_view) {
        body();
        return 0;
    });
    DWORD error = 0;
    ASSERT_TRUE(device.create_process(u"\\player.exe", u"", error));
    device.advance(ms);
}

// Hears the device's mix as 8 kHz mono from now on.
class MixListener {
public:
    explicit MixListener(Device& device)
        : m_sound(device.component<SoundDevice>())
        , m_origin(device.clock().now_ms())
    {
        m_sound.set_output({ rate, 1 }, [this](std::span<const int16_t> samples) { m_mix.insert(m_mix.end(), samples.begin(), samples.end()); });
    }
    // The mix between two device times.
    std::vector<int16_t> between(uint64_t from_ms, uint64_t to_ms)
    {
        m_sound.render();
        auto first = std::min(m_mix.size(), static_cast<size_t>(from_ms - m_origin) * 8);
        auto last = std::min(m_mix.size(), static_cast<size_t>(to_ms - m_origin) * 8);
        return std::vector<int16_t>(m_mix.begin() + static_cast<long>(first), m_mix.begin() + static_cast<long>(last));
    }

private:
    SoundDevice& m_sound;
    uint64_t m_origin;
    std::vector<int16_t> m_mix;
};

std::vector<int16_t> silence(int ms)
{
    return std::vector<int16_t>(static_cast<size_t>(ms) * 8);
}

} // namespace

TEST(AudioRenderer, TakesSixteenBitPcmThatTheWaveOutPlays)
{
    auto device = make_test_device();
    run_program(*device, 100, [] {
        ComRef<IBaseFilter> filter = ComRef<IBaseFilter>::adopt(new AudioRenderer);
        auto* renderer = static_cast<AudioRenderer*>(Filter::from(filter.get()));
        EXPECT_EQ(renderer->default_name(), u"Audio Renderer");
        IPin* pin = nullptr;
        EXPECT_EQ(filter->FindPin(u"Audio Input pin (rendered)", &pin), S_OK);
        EXPECT_EQ(Pin::from(pin), &renderer->input());
        if (pin)
            pin->Release();

        auto eight_bit = pcm_type(8000, 1);
        reinterpret_cast<WAVEFORMATEX*>(eight_bit.format.data())->wBitsPerSample = 8;
        reinterpret_cast<WAVEFORMATEX*>(eight_bit.format.data())->nBlockAlign = 1;
        reinterpret_cast<WAVEFORMATEX*>(eight_bit.format.data())->nAvgBytesPerSec = 8000;
        auto wrong_block_size = pcm_type(8000, 2);
        reinterpret_cast<WAVEFORMATEX*>(wrong_block_size.format.data())->nBlockAlign = 2;
        auto no_format = pcm_type(8000, 1);
        no_format.format.clear();
        struct Case {
            const char* name;
            MediaType type;
            HRESULT expected;
        } cases[] = {
            { "8 kHz mono", pcm_type(8000, 1), S_OK },
            { "44.1 kHz stereo", pcm_type(44100, 2), S_OK },
            { "192 kHz stereo", pcm_type(192000, 2), S_OK },
            { "a rate the wave-out refuses", pcm_type(500, 1), S_FALSE },
            { "three channels", pcm_type(44100, 3), S_FALSE },
            { "8-bit", eight_bit, S_FALSE },
            { "a block size that does not fit", wrong_block_size, S_FALSE },
            { "no format block", no_format, S_FALSE },
            { "video", MediaType(MEDIATYPE_Video, MEDIASUBTYPE_PCM), S_FALSE },
        };
        for (auto& test : cases)
            EXPECT_EQ(renderer->input().check_type(test.type), test.expected) << test.name;
    });
}

TEST(AudioRenderer, IsADeviceClassWithVolumeAndTheDeviceClock)
{
    auto device = make_test_device();
    install_media_classes(*device);
    run_program(*device, 100, [] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            ComRef<IBaseFilter> filter;
            ASSERT_EQ(CoCreateInstance(CLSID_AudioRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put()), S_OK);
            auto renderers = Device::current().component<FilterCatalog>().classes(FilterCatalog::Role::Renderer);
            EXPECT_NE(std::find(renderers.begin(), renderers.end(), CLSID_AudioRender), renderers.end());

            ComRef<IBasicAudio> audio;
            ASSERT_EQ(filter->QueryInterface(IID_IBasicAudio, audio.put()), S_OK);
            long volume = 1;
            EXPECT_EQ(audio->get_Volume(&volume), S_OK);
            EXPECT_EQ(volume, 0);
            EXPECT_EQ(audio->get_Volume(nullptr), E_POINTER);
            struct Case {
                long volume;
                HRESULT expected;
                long kept;
            } cases[] = { { -2500, S_OK, -2500 }, { 1, E_INVALIDARG, -2500 }, { -10000, S_OK, -10000 }, { -10001, E_INVALIDARG, -10000 }, { 0, S_OK, 0 } };
            for (auto& test : cases) {
                EXPECT_EQ(audio->put_Volume(test.volume), test.expected) << test.volume;
                audio->get_Volume(&volume);
                EXPECT_EQ(volume, test.kept) << test.volume;
            }

            ComRef<IReferenceClock> clock;
            ASSERT_EQ(filter->QueryInterface(IID_IReferenceClock, clock.put()), S_OK);
            Sleep(25);
            REFERENCE_TIME now = 0;
            EXPECT_EQ(clock->GetTime(&now), S_OK);
            EXPECT_EQ(now, static_cast<REFERENCE_TIME>(Device::current().clock().now_ms()) * 10'000);
        }
        CoUninitialize();
    });
}

TEST(AudioRenderer, WritesEachBlockSoTheStreamPlaysItAtItsTimeWithoutRunningDry)
{
    // Blocks of 40 ms at 8 kHz mono (640 bytes). The first block of a run is written at its time;
    // those that follow on, 200 ms ahead. After a gap, even one shorter than that, the stream runs
    // dry and the next block is written at its own time.
    std::vector<int> continuous;
    for (int i = 0; i < 15; ++i)
        continuous.push_back(i * 40);
    struct Case {
        const char* name;
        std::vector<int> starts;
        std::vector<uint64_t> write_times;
        std::vector<Play> plays;
    } cases[] = {
        { "continuous", continuous, { 0, 0, 0, 0, 0, 0, 40, 80, 120, 160, 200, 240, 280, 320, 360 }, { { 0, 600, 9600 } } },
        { "a gap of 200 ms", { 0, 40, 80, 120, 160, 400, 440, 480, 520, 560 }, { 0, 0, 0, 0, 0, 400, 400, 400, 400, 400 },
            { { 0, 200, 3200 }, { 400, 600, 3200 } } },
        { "a gap of 80 ms", { 0, 40, 80, 120, 160, 280, 320, 360 }, { 0, 0, 0, 0, 0, 280, 280, 280 },
            { { 0, 200, 3200 }, { 280, 400, 1920 } } },
    };
    for (auto& test : cases) {
        SCOPED_TRACE(test.name);
        auto device = make_test_device();
        MixListener mix(*device);
        auto blocks = blocks_at(test.starts);
        uint64_t run_ms = 0;
        std::vector<uint64_t> write_times;
        std::vector<EventRecorder::Event> events;
        size_t buffers_held_at_stop = 1;
        size_t streams_at_stop = 1;
        run_program(*device, 2000, [&] {
            Rig rig(blocks);
            run_ms = rig.run(30); // the run's stream time 0 comes 30 ms after the call
            Sleep(1000);
            write_times = write_times_from(rig.renderer().blocks(), run_ms);
            events = rig.events();
            rig.stop();
            buffers_held_at_stop = rig.renderer().buffers_held();
            streams_at_stop = Device::current().component<SoundDevice>().open_stream_count();
        });

        uint64_t end_ms = static_cast<uint64_t>(test.starts.back() + block_ms);
        EXPECT_EQ(write_times, test.write_times);
        EXPECT_EQ(plays_from(*device, run_ms), test.plays);
        // EC_COMPLETE as the last block has played.
        EXPECT_EQ(events, (std::vector<EventRecorder::Event> { { EC_COMPLETE, run_ms + end_ms } }));
        // At full volumes the mix is the blocks' sound exactly, each at its time.
        EXPECT_EQ(mix.between(run_ms - 30, run_ms + end_ms + 100), sound_of(blocks, -30, static_cast<int>(end_ms) + 100));
        EXPECT_EQ(buffers_held_at_stop, 0u);
        EXPECT_EQ(streams_at_stop, 0u);
    }
}

TEST(AudioRenderer, PauseHoldsTheStreamAndRunResumesItWhereItStood)
{
    auto device = make_test_device();
    MixListener mix(*device);
    auto blocks = blocks_from_zero(20); // 800 ms
    uint64_t run_ms = 0;
    std::vector<uint64_t> write_times;
    std::vector<EventRecorder::Event> events;
    run_program(*device, 2000, [&] {
        Rig rig(blocks);
        run_ms = rig.run();
        Sleep(300);
        rig.pause();
        Sleep(200);
        rig.resume(run_ms + 200);
        Sleep(1000);
        write_times = write_times_from(rig.renderer().blocks(), run_ms);
        events = rig.events();
    });

    EXPECT_EQ(plays_from(*device, run_ms), (std::vector<Play> { { 0, 300, 4800 }, { 500, 1000, 8000 } }));
    EXPECT_EQ(events, (std::vector<EventRecorder::Event> { { EC_COMPLETE, run_ms + 1000 } }));
    ASSERT_EQ(write_times.size(), 20u);
    EXPECT_TRUE(std::none_of(write_times.begin(), write_times.end(), [](uint64_t at) { return at > 300 && at < 500; }));
    EXPECT_EQ(mix.between(run_ms, run_ms + 300), sound_of(blocks, 0, 300));
    EXPECT_EQ(mix.between(run_ms + 300, run_ms + 500), silence(200));
    EXPECT_EQ(mix.between(run_ms + 500, run_ms + 1000), sound_of(blocks, 300, 800));
}

TEST(AudioRenderer, AFlushResetsTheStreamAndTheNextBlockStartsAtItsTime)
{
    auto device = make_test_device();
    MixListener mix(*device);
    auto before = blocks_from_zero(25);  // 1 s
    auto after = blocks_from_zero(5, 1); // 200 ms of another sound
    uint64_t run_ms = 0;
    uint64_t second_run_ms = 0;
    size_t buffers_held_after_flush = 1;
    std::vector<EventRecorder::Event> events;
    run_program(*device, 2000, [&] {
        Rig rig(before);
        run_ms = rig.run();
        Sleep(300);
        rig.pause();
        rig.source().seek(after);
        buffers_held_after_flush = rig.renderer().buffers_held();
        Sleep(50);
        second_run_ms = rig.run();
        Sleep(1000);
        events = rig.events();
    });

    EXPECT_EQ(buffers_held_after_flush, 0u);
    EXPECT_EQ(plays_from(*device, run_ms), (std::vector<Play> { { 0, 300, 4800 }, { 350, 550, 3200 } }));
    EXPECT_EQ(events, (std::vector<EventRecorder::Event> { { EC_COMPLETE, second_run_ms + 200 } }));
    // What was queued before the flush is never heard.
    EXPECT_EQ(mix.between(run_ms + 300, second_run_ms), silence(50));
    EXPECT_EQ(mix.between(second_run_ms, second_run_ms + 400), sound_of(after, 0, 400));
}

TEST(AudioRenderer, VolumeAttenuatesTheBlocksInHundredthsOfADecibel)
{
    // Each channel's peak (20000 and 10000 at full volume) scaled by 10^(volume / 2000).
    struct Case {
        long volume;
        std::array<int32_t, 2> peaks;
    } cases[] = {
        { 0, { 20000, 10000 } },
        { -1, { 19977, 9988 } },
        { -600, { 10024, 5012 } },
        { -2000, { 2000, 1000 } },
        { -4000, { 200, 100 } },
        { -9999, { 0, 0 } },
        { -10000, { 0, 0 } },
    };
    auto device = make_test_device();
    std::vector<AudioRenderer::Block> written;
    run_program(*device, 2000, [&] {
        Rig rig({ pcm_block(0, 2) }, 2);
        for (auto& test : cases) {
            EXPECT_EQ(rig.renderer().put_Volume(test.volume), S_OK);
            rig.run();
            Sleep(100);
            rig.stop();
        }
        written = rig.renderer().blocks();
    });

    ASSERT_EQ(written.size(), std::size(cases));
    for (size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(written[i].volume, cases[i].volume);
        EXPECT_EQ(written[i].peaks, cases[i].peaks) << cases[i].volume;
        EXPECT_EQ(written[i].channels, 2);
        EXPECT_EQ(written[i].frames, 320u);
    }
}

TEST(AudioRenderer, TheOutputVolumeIsAppliedOnceInTheMix)
{
    auto device = make_test_device();
    MixListener mix(*device);
    uint64_t run_ms = 0;
    std::vector<AudioRenderer::Block> written;
    run_program(*device, 1000, [&] {
        Rig rig({ pcm_block(0) });
        rig.renderer().put_Volume(-600);
        waveOutSetVolume(nullptr, 0x40004000); // a quarter
        run_ms = rig.run();
        Sleep(100);
        written = rig.renderer().blocks();
    });

    // The renderer attenuates 20000 to 10024 and leaves the output's volume to the mix:
    // 10024 * 0x4000 / 0xFFFF.
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].peaks[0], 10024);
    auto heard = mix.between(run_ms, run_ms + block_ms);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard[0], 2506);
    EXPECT_EQ(*std::max_element(heard.begin(), heard.end(), [](int16_t a, int16_t b) { return std::abs(a) < std::abs(b); }), 2506);
}

TEST(AudioRenderer, StopClosesTheStreamAndFreesItsBuffers)
{
    auto device = make_test_device();
    auto& sound = device->component<SoundDevice>();
    uint64_t run_ms = 0;
    size_t held_while_playing = 0;
    size_t held_after_stop = 1;
    std::vector<size_t> streams;
    run_program(*device, 2000, [&] {
        Rig rig(blocks_from_zero(25));
        run_ms = rig.run();
        Sleep(300);
        streams.push_back(sound.open_stream_count());
        held_while_playing = rig.renderer().buffers_held();
        rig.stop();
        streams.push_back(sound.open_stream_count());
        held_after_stop = rig.renderer().buffers_held();

        // Let go of while it streams, outside a graph: it stops and closes its stream itself.
        rig.run();
        Sleep(100);
        streams.push_back(sound.open_stream_count());
        rig.source().Stop();
        rig.release_renderer();
        streams.push_back(sound.open_stream_count());
    });

    // Of the 13 blocks written by 300 ms (the last at 280 ms) only those the stream still played
    // then are held: six, or seven when the stream gives the one ending at 280 ms back after the
    // write of that same millisecond.
    EXPECT_GE(held_while_playing, 6u);
    EXPECT_LE(held_while_playing, 7u);
    EXPECT_EQ(held_after_stop, 0u);
    EXPECT_EQ(streams, (std::vector<size_t> { 1, 0, 1, 0 }));
    auto plays = plays_from(*device, run_ms);
    ASSERT_EQ(plays.size(), 2u);
    EXPECT_EQ(plays[0], (Play { 0, 300, 4800 }));
}

TEST(AudioRenderer, TwoRunsOfTheSameInputWriteTheSameBlocks)
{
    auto device = make_test_device();
    std::vector<AudioRenderer::Block> first;
    std::vector<AudioRenderer::Block> second;
    run_program(*device, 2000, [&] {
        Rig rig(blocks_from_zero(10));
        auto relative = [](std::vector<AudioRenderer::Block> blocks, uint64_t origin) {
            for (auto& block : blocks)
                block.written_ms -= origin;
            return blocks;
        };
        uint64_t run_ms = rig.run();
        Sleep(500);
        rig.stop();
        first = relative(rig.renderer().blocks(), run_ms);
        Sleep(70);
        run_ms = rig.run(10);
        Sleep(500);
        rig.stop();
        auto all = relative(rig.renderer().blocks(), run_ms);
        second.assign(all.begin() + static_cast<long>(first.size()), all.end());
    });

    ASSERT_EQ(first.size(), 10u);
    EXPECT_EQ(first, second);
}
