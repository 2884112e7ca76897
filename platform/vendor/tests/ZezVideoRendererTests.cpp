#include "ZezVideoRenderer.h"

#include "ComClassTable.h"
#include "FrameBuffer.h"
#include "KernelApi.h"
#include "VendorFilters.h"
#include "gdi/tests/GdiTest.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kivo;
using namespace kivo::test;

namespace {

inline constexpr CLSID CLSID_FrameSource = kivo::guid("{5A1C3E7B-2D4F-4B8A-9C6E-1F3A5B7D9E01}");

struct Yuv {
    uint8_t y, u, v;
};

constexpr int frame_width = 64;
constexpr int frame_height = 36;

std::vector<uint8_t> flat_i420(int width, int height, Yuv colour)
{
    const size_t luma = size_t(width) * height;
    const size_t chroma = size_t((width + 1) / 2) * ((height + 1) / 2);
    std::vector<uint8_t> bytes(luma + 2 * chroma, colour.y);
    std::fill_n(bytes.begin() + luma, chroma, colour.u);
    std::fill_n(bytes.begin() + luma + chroma, chroma, colour.v);
    return bytes;
}

// A decoder's output as the renderer sees it: flat 64 × 36 pictures 40 ms apart, each in the
// colour `colour_of(index)`, then the end of the stream.
class FrameSource final : public Filter {
public:
    FrameSource(int count, std::function<Yuv(int)> colour_of)
        : Filter(CLSID_FrameSource, u"Frames")
        , m_count(count)
        , m_colour_of(std::move(colour_of))
    {
        auto out = std::make_unique<Output>(*this);
        m_out = out.get();
        add_pin(std::move(out));
    }
    ~FrameSource() override { stop_thread(); }
    OutputPin& output() const { return *m_out; }

private:
    class Output final : public OutputPin {
    public:
        explicit Output(Filter& owner)
            : OutputPin(owner, u"Out")
        {
        }
        HRESULT check_type(const MediaType& type) override { return type == proposed_types()[0] ? S_OK : S_FALSE; }
        std::vector<MediaType> proposed_types() override { return { video_frame_type({ frame_width, frame_height, 1, 1, 400'000 }) }; }
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
                sample->data = flat_i420(frame_width, frame_height, m_colour_of(i));
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
    std::function<Yuv(int)> m_colour_of;
    OutputPin* m_out;
    std::atomic<bool> m_stopping = false;
    StreamingThread m_thread;
};

// The luma a flat colour shows as, in the plane's picture: grey frames make it easy to tell which
// frame is on the screen (Y 16 + 20 × index).
Yuv grey(int index) { return { uint8_t(16 + 20 * index), 128, 128 }; }
// Whether a pixel shows grey(index), within one RGB565 step.
bool shows_grey(uint16_t pixel, int index)
{
    const double level = 20.0 * index / 219.0;
    const double channels[] = { double(pixel >> 11) / 31, double((pixel >> 5) & 63) / 63, double(pixel & 31) / 31 };
    const double steps[] = { 1.0 / 31, 1.0 / 63, 1.0 / 31 };
    for (int i = 0; i < 3; ++i) {
        if (std::abs(channels[i] - level) > steps[i])
            return false;
    }
    return true;
}

// A device whose program builds a frame source and the renderer (from the class table) and runs
// `body` with them; the screen is white with the key over (40, 30)-(360, 230).
struct ZezVideoRendererTest : GdiTest {
    static constexpr RECT key_window { 40, 30, 360, 230 };

    using Body = std::function<void(FrameSource&, ZezVideoRenderer&, IBaseFilter*)>;

    void run(int frames, const Body& body, uint64_t run_ms = 5'000)
    {
        install_vendor_filters(*device);
        fill_screen(RGB(255, 255, 255));
        for (int y = key_window.top; y < key_window.bottom; ++y)
            std::fill_n(frame_buffer.pixels() + size_t(y) * FrameBuffer::width + key_window.left, key_window.right - key_window.left,
                Gdi::video_key_565);
        device->programs().add(u"\\tv.exe", [&, frames](std::u16string_view) {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            ComRef<IBaseFilter> renderer;
            HRESULT made = CoCreateInstance(CLSID_ZezVideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer.put());
            EXPECT_EQ(made, S_OK);
            if (FAILED(made))
                return 1;
            auto* zez = static_cast<ZezVideoRenderer*>(Filter::from(renderer.get()));
            auto* source = new FrameSource(frames, grey);
            ComRef<IBaseFilter> source_ref = ComRef<IBaseFilter>::adopt(source);
            EXPECT_EQ(Pin::connect(source->output(), zez->input(), nullptr), S_OK);
            ComRef<IReferenceClock> clock = ComRef<IReferenceClock>::adopt(new DeviceReferenceClock(Device::current()));
            zez->SetSyncSource(clock.get());
            body(*source, *zez, renderer.get());
            zez->Stop();
            source->Stop();
            zez->input().disconnect();
            source->output().disconnect();
            source_ref = {};
            renderer = {};
            CoUninitialize();
            return 0;
        });
        DWORD error = 0;
        ASSERT_TRUE(device->create_process(u"\\tv.exe", u"", error));
        device->advance(run_ms);
    }

    static void play(FrameSource& source, ZezVideoRenderer& renderer)
    {
        renderer.Pause();
        source.Pause();
        REFERENCE_TIME now = 0;
        ComRef<IReferenceClock> clock;
        renderer.GetSyncSource(reinterpret_cast<IReferenceClock**>(clock.put()));
        clock->GetTime(&now);
        renderer.Run(now);
        source.Run(now);
    }

    std::optional<VideoPlane::Picture> plane_picture() { return device->component<VideoPlane>().picture(); }
    static uint16_t at(const VideoPlane::Picture& picture, int x, int y) { return picture.pixels[size_t(y) * FrameBuffer::width + x]; }
};

} // namespace

TEST_F(ZezVideoRendererTest, ModeAndWindowAreKeptAndTheControlSideRecordsAndForces)
{
    run(0, [&](FrameSource&, ZezVideoRenderer& renderer, IBaseFilter* filter) {
        for (const IID* iid : { &IID_IVideoRenderMode, &IID_IVideoRenderOverlay, &IID_IVideoCapture, &IID_IVideoReceiveTick, &IID_IVideoWindow }) {
            ComRef<IUnknown> found;
            EXPECT_EQ(filter->QueryInterface(*iid, found.put()), S_OK);
        }
        VrenderModeFlag mode {};
        EXPECT_EQ(renderer.GetRenderMode(&mode), S_OK);
        EXPECT_EQ(std::memcmp(&mode, &ZezVideoRenderer::default_mode, sizeof mode), 0);
        const VrenderModeFlag small { 1, 221, 54, 161, 92, { 7, 8, 9, 10, 11 } };
        EXPECT_EQ(renderer.SetRenderMode(small), S_OK);
        renderer.force_result(ZezVideoRenderer::Operation::SetRenderMode, E_FAIL);
        EXPECT_EQ(renderer.SetRenderMode(ZezVideoRenderer::default_mode), E_FAIL);
        renderer.clear_forced_results();
        EXPECT_EQ(renderer.GetRenderMode(&mode), S_OK);
        EXPECT_EQ(std::memcmp(&mode, &small, sizeof mode), 0) << "a forced failure changed the mode";
        EXPECT_EQ(renderer.GetRenderMode(nullptr), E_POINTER);

        EXPECT_EQ(renderer.put_MessageDrain(0x1234), S_OK);
        EXPECT_EQ(renderer.put_Visible(OAFALSE), S_OK);
        EXPECT_EQ(renderer.SetWindowPosition(10, 20, 100, 50), S_OK);
        OAHWND drain = 0;
        EXPECT_EQ(renderer.get_MessageDrain(&drain), S_OK);
        EXPECT_EQ(drain, 0x1234);
        auto window = renderer.window();
        EXPECT_EQ(window.visible, OAFALSE);
        EXPECT_EQ(window.position.left, 10);
        EXPECT_EQ(window.position.height, 50);

        using Op = ZezVideoRenderer::Operation;
        std::vector<std::pair<Op, HRESULT>> calls;
        for (auto call : renderer.calls())
            calls.emplace_back(call.operation, call.result);
        EXPECT_EQ(calls, (std::vector<std::pair<Op, HRESULT>> { { Op::GetRenderMode, S_OK }, { Op::SetRenderMode, S_OK },
                             { Op::SetRenderMode, E_FAIL }, { Op::GetRenderMode, S_OK }, { Op::GetRenderMode, E_POINTER },
                             { Op::PutMessageDrain, S_OK }, { Op::PutVisible, S_OK }, { Op::SetWindowPosition, S_OK },
                             { Op::GetMessageDrain, S_OK } }));
    });
}

// Frames show in the key inside the mode's rectangle; mode 0 takes them off, a hidden video
// window does not; Pause keeps the picture, Stop takes it off; capture and the tick follow.
TEST_F(ZezVideoRendererTest, FramesShowAsTheModeSaysUntilStop)
{
    run(5, [&](FrameSource& source, ZezVideoRenderer& renderer, IBaseFilter*) {
        DWORD before = GetTickCount();
        play(source, renderer);
        Sleep(300);
        auto shown = plane_picture();
        ASSERT_TRUE(shown);
        // 64 × 36 (16:9) fitted in the 320 × 200 key: 320 × 180 from row 40.
        EXPECT_TRUE(shows_grey(at(*shown, 200, 100), 4));
        EXPECT_EQ(at(*shown, 200, 35), 0) << "the letter box";
        EXPECT_EQ(at(*shown, 20, 20), 0) << "outside the key";

        DWORD tick = 0;
        EXPECT_EQ(renderer.GetLastReceiveTick(&tick), S_OK);
        EXPECT_GE(tick, before);
        EXPECT_LE(tick, before + 170);

        std::vector<uint8_t> frame(3456, 0);
        int width = 0, height = 0, bytes = 0;
        EXPECT_EQ(renderer.CaptureCurrentFrame(frame.data(), &width, &height, &bytes, 3455), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(bytes, 3456);
        EXPECT_EQ(frame[0], 0) << "a refused capture wrote";
        EXPECT_EQ(renderer.CaptureCurrentFrame(frame.data(), &width, &height, &bytes, 3456), S_OK);
        EXPECT_EQ(width, frame_width);
        EXPECT_EQ(height, frame_height);
        EXPECT_EQ(frame, flat_i420(frame_width, frame_height, grey(4)));

        renderer.put_Visible(OAFALSE);
        EXPECT_TRUE(plane_picture()) << "the video window's visibility moved the picture";
        renderer.SetRenderMode({ 0, 0, 0, 480, 272, {} });
        EXPECT_FALSE(plane_picture());
        renderer.SetRenderMode(ZezVideoRenderer::default_mode);
        ASSERT_TRUE(plane_picture());
        renderer.Pause();
        EXPECT_TRUE(plane_picture());
        renderer.Stop();
        EXPECT_FALSE(plane_picture());
    });
}

// A renderer stopping late never blanks the picture of another that presented since.
TEST_F(ZezVideoRendererTest, StopLeavesAnotherRenderersPictureAlone)
{
    run(2, [&](FrameSource& source, ZezVideoRenderer& renderer, IBaseFilter*) {
        play(source, renderer);
        Sleep(200);
        ComRef<IBaseFilter> other;
        ASSERT_EQ(CoCreateInstance(CLSID_ZezVideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, other.put()), S_OK);
        ComRef<IVideoRenderOverlay> overlay;
        ASSERT_EQ(other->QueryInterface(IID_IVideoRenderOverlay, reinterpret_cast<void**>(overlay.put())), S_OK);
        auto background = flat_i420(480, 272, grey(10));
        EXPECT_EQ(overlay->DrawYuv420(background.data(), 480, 272), S_OK);
        renderer.Stop();
        auto shown = plane_picture();
        ASSERT_TRUE(shown);
        EXPECT_TRUE(shows_grey(at(*shown, 200, 100), 10));
        EXPECT_EQ(overlay->DrawYuv420(nullptr, 480, 272), E_POINTER);
        EXPECT_EQ(overlay->DrawYuv420(background.data(), 0, 272), E_INVALIDARG);
    });
}

namespace {

struct PreviewLog {
    std::vector<unsigned long> values;
    std::vector<DWORD> threads;
    std::vector<std::vector<uint8_t>> pictures;
    bool callback_running = false;
    bool waited_for_callback = false;
    DWORD hold_ms = 0; // how long each callback takes
};

int record_preview(DWORD value, unsigned char* buffer, void* context)
{
    auto* log = static_cast<PreviewLog*>(context);
    log->callback_running = true;
    log->values.push_back(value);
    log->threads.push_back(GetCurrentThreadId());
    log->pictures.emplace_back(buffer, buffer + value);
    if (log->hold_ms)
        Sleep(log->hold_ms);
    log->callback_running = false;
    return 1;
}

} // namespace

// One frame per arming, scaled into the caller's buffer, the callback on the renderer's thread.
TEST_F(ZezVideoRendererTest, ThePreviewTakesOneFramePerArming)
{
    PreviewLog log;
    run(12, [&](FrameSource& source, ZezVideoRenderer& renderer, IBaseFilter*) {
        std::vector<uint8_t> buffer(112 * 64 * 2, 0xEE);
        EXPECT_EQ(renderer.SetPreview(buffer.data(), 1, 1, record_preview, &log), E_INVALIDARG) << "1 × 1 needs 3 bytes, the buffer has 2";
        EXPECT_EQ(renderer.SetPreview(buffer.data(), 0, 64, record_preview, &log), E_INVALIDARG);
        EXPECT_EQ(renderer.SetPreview(buffer.data(), 112, 64, record_preview, &log), S_OK);
        play(source, renderer);
        Sleep(100);
        ASSERT_EQ(log.values.size(), 1u);
        EXPECT_EQ(log.values[0], 10752u);
        EXPECT_NE(log.threads[0], GetCurrentThreadId());
        EXPECT_EQ(log.pictures[0], flat_i420(112, 64, grey(0)));
        EXPECT_EQ(buffer[10752], 0xEE) << "written past the preview";

        EXPECT_EQ(renderer.SetPreview(buffer.data(), 112, 64, record_preview, &log), S_OK);
        Sleep(100);
        ASSERT_EQ(log.values.size(), 2u);
        EXPECT_NE(log.pictures[1], log.pictures[0]) << "the second arming took a later frame";

        // Armed, then disarmed before a frame came: nothing more.
        EXPECT_EQ(renderer.SetPreview(buffer.data(), 112, 64, record_preview, &log), S_OK);
        EXPECT_EQ(renderer.SetPreview(nullptr, 0, 0, nullptr, nullptr), S_OK);
        Sleep(200);
        EXPECT_EQ(log.values.size(), 2u);
    });
}

// A disarm made while the callback runs returns only after it.
TEST_F(ZezVideoRendererTest, ADisarmWaitsForTheRunningCallback)
{
    PreviewLog log;
    log.hold_ms = 30;
    run(6, [&](FrameSource& source, ZezVideoRenderer& renderer, IBaseFilter*) {
        std::vector<uint8_t> buffer(112 * 64 * 2);
        renderer.SetPreview(buffer.data(), 112, 64, record_preview, &log);
        play(source, renderer);
        for (int i = 0; i < 100 && !log.callback_running; ++i)
            Sleep(1);
        ASSERT_TRUE(log.callback_running);
        EXPECT_EQ(renderer.SetPreview(nullptr, 0, 0, nullptr, nullptr), S_OK);
        EXPECT_FALSE(log.callback_running) << "the disarm returned while the callback ran";
        EXPECT_EQ(log.values.size(), 1u);
    });
}
