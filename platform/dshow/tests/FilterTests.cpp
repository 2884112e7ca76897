#include "kernel/tests/TestDevice.h"

#include "ComApi.h"
#include "Device.h"
#include "Filter.h"
#include "KernelApi.h"
#include "RendererFilter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

inline constexpr CLSID CLSID_TickSource = kivo::guid("{0C6E2F5A-1B7D-4E39-A2C4-7D81F0B3E901}");
inline constexpr CLSID CLSID_TickRenderer = kivo::guid("{0C6E2F5A-1B7D-4E39-A2C4-7D81F0B3E902}");
inline constexpr GUID MEDIATYPE_Ticks = kivo::guid("{0C6E2F5A-1B7D-4E39-A2C4-7D81F0B3E903}");

// A source whose thread sends `count` samples 40 ms apart, then the end of the stream.
class TickSource final : public Filter {
public:
    explicit TickSource(int count)
        : Filter(CLSID_TickSource, u"Ticks")
        , m_count(count)
    {
        auto out = std::make_unique<Output>(*this);
        m_out = out.get();
        add_pin(std::move(out));
    }
    ~TickSource() override { stop_thread(); }

private:
    class Output final : public OutputPin {
    public:
        explicit Output(Filter& owner)
            : OutputPin(owner, u"Out")
        {
        }
        HRESULT check_type(const MediaType& type) override { return type.major == MEDIATYPE_Ticks ? S_OK : S_FALSE; }
        std::vector<MediaType> proposed_types() override { return { MediaType(MEDIATYPE_Ticks, GUID {}) }; }
    };

    void on_pause(FILTER_STATE from) override
    {
        if (from != State_Stopped)
            return;
        m_stopping = false;
        m_thread.start([this] {
            for (int i = 0; i < m_count && !m_stopping; ++i) {
                auto sample = std::make_shared<MediaSample>();
                sample->has_time = true;
                sample->start = i * 400'000LL;
                sample->stop = sample->start + 400'000;
                sample->data.push_back(static_cast<uint8_t>(i));
                if (m_out->deliver(sample) != S_OK)
                    return;
            }
            m_out->deliver_end_of_stream();
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

    int m_count;
    OutputPin* m_out;
    std::atomic<bool> m_stopping = false;
    StreamingThread m_thread;
};

// Records which sample it presented at which device time.
class TickRenderer final : public RendererFilter {
public:
    explicit TickRenderer(std::vector<std::string>& shown, bool still_when_paused = true)
        : RendererFilter(CLSID_TickRenderer, u"Tick Renderer", u"In")
        , m_shown(shown)
        , m_still_when_paused(still_when_paused)
    {
    }
    uint64_t run_base = 0;

private:
    HRESULT check_input_type(const MediaType& type) override { return type.major == MEDIATYPE_Ticks ? S_OK : S_FALSE; }
    bool shows_still_when_paused() const override { return m_still_when_paused; }
    void present(const MediaSample& sample) override
    {
        m_shown.push_back(std::to_string(sample.data[0]) + "@" + std::to_string(Device::current().clock().now_ms() - run_base));
    }

    std::vector<std::string>& m_shown;
    bool m_still_when_paused;
};

// The device's clock, which runs a step once, the first time it is read after being armed.
class HookedClock final : public ComObject<IReferenceClock> {
public:
    HookedClock(Device& device, std::function<void()> hook)
        : m_device_clock(ComRef<IReferenceClock>::adopt(new DeviceReferenceClock(device)))
        , m_hook(std::move(hook))
    {
    }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* time) override
    {
        if (armed.exchange(false))
            m_hook();
        return m_device_clock->GetTime(time);
    }
    std::atomic<bool> armed = false;

private:
    ComRef<IReferenceClock> m_device_clock;
    std::function<void()> m_hook;
};

} // namespace

TEST(RendererFilter, PresentsEachSampleAtItsTimeAndHoldsWhilePaused)
{
    auto device = make_test_device();
    std::vector<std::string> shown;
    device->programs().add(u"\\player.exe", [&](std::u16string_view) {
        ComRef<IBaseFilter> source = ComRef<IBaseFilter>::adopt(new TickSource(6));
        auto* renderer = new TickRenderer(shown);
        ComRef<IBaseFilter> sink = ComRef<IBaseFilter>::adopt(renderer);
        EXPECT_EQ(Pin::connect(*Filter::from(source.get())->pin(u"Out"), renderer->input(), nullptr), S_OK);
        EXPECT_EQ(Pin::connect(*Filter::from(source.get())->pin(u"Out"), renderer->input(), nullptr), VFW_E_ALREADY_CONNECTED);
        ComRef<IReferenceClock> clock = ComRef<IReferenceClock>::adopt(new DeviceReferenceClock(Device::current()));
        renderer->SetSyncSource(clock.get());
        renderer->run_base = Device::current().clock().now_ms();
        renderer->Pause();
        source->Pause();
        Sleep(100); // paused: the first sample shows as a still, nothing plays on
        REFERENCE_TIME now = 0;
        clock->GetTime(&now);
        renderer->run_base = Device::current().clock().now_ms();
        renderer->Run(now);
        source->Run(now);
        Sleep(100);
        renderer->Pause(); // holds for 200 ms
        Sleep(200);
        renderer->Run(now + 200 * 10'000);
        Sleep(500);
        renderer->Stop();
        source->Stop();
        renderer->input().disconnect();
        Filter::from(source.get())->pin(u"Out")->disconnect();
        return 0;
    });
    DWORD error;
    device->create_process(u"\\player.exe", u"", error);
    device->advance(2'000);
    // The still while paused, then each sample at its time from the run's start, the pause of
    // 200 ms added to the times after it.
    EXPECT_EQ(shown, (std::vector<std::string> { "0@0", "1@40", "2@80", "3@320", "4@360", "5@400" }));
}

TEST(RendererFilter, AFlushWhileTheThreadReadsTheClockPresentsNothingFlushed)
{
    auto device = make_test_device();
    std::vector<std::string> shown;
    device->programs().add(u"\\player.exe", [&](std::u16string_view) {
        ComRef<IBaseFilter> source = ComRef<IBaseFilter>::adopt(new TickSource(6));
        auto* renderer = new TickRenderer(shown, false);
        ComRef<IBaseFilter> sink = ComRef<IBaseFilter>::adopt(renderer);
        auto* source_out = static_cast<OutputPin*>(Filter::from(source.get())->pin(u"Out"));
        EXPECT_EQ(Pin::connect(*source_out, renderer->input(), nullptr), S_OK);
        // The renderer's thread reads the clock for the first sample's time without its lock; a
        // flush then empties the queue under it.
        auto* clock = new HookedClock(Device::current(), [&] { source_out->deliver_begin_flush(); });
        ComRef<IReferenceClock> clock_ref = ComRef<IReferenceClock>::adopt(clock);
        renderer->SetSyncSource(clock);
        renderer->Pause();
        source->Pause();
        Sleep(100);
        REFERENCE_TIME now = 0;
        clock->GetTime(&now);
        clock->armed = true;
        renderer->Run(now);
        source->Run(now);
        Sleep(300);
        EXPECT_FALSE(clock->armed) << "the renderer's thread read the clock";
        source_out->deliver_end_flush();
        renderer->Stop();
        source->Stop();
        renderer->input().disconnect();
        source_out->disconnect();
        return 0;
    });
    DWORD error;
    device->create_process(u"\\player.exe", u"", error);
    device->advance(2'000);
    EXPECT_EQ(shown, std::vector<std::string> {}) << "nothing that was flushed is presented";
}
