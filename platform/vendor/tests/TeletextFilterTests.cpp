#include "kernel/tests/TestDevice.h"

#include "ComApi.h"
#include "ComClassTable.h"
#include "Filter.h"
#include "KernelApi.h"
#include "MediaClasses.h"
#include "RendererFilter.h"
#include "TeletextTestStream.h"
#include "VendorFilters.h"
#include "ZezImageRenderer.h"
#include "ZezSubtitleDecoder.h"
#include "ZezTeletextDecoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

inline constexpr CLSID CLSID_StandInDemuxer = kivo::guid("{3F6B2A10-7C4D-4E8F-9A1B-2C3D4E5F6071}");
inline constexpr CLSID CLSID_StandInSink = kivo::guid("{3F6B2A10-7C4D-4E8F-9A1B-2C3D4E5F6072}");
inline constexpr GUID SUBTYPE_Payload = kivo::guid("{3F6B2A10-7C4D-4E8F-9A1B-2C3D4E5F6073}");

const MediaType payload_type(MEDIATYPE_Stream, SUBTYPE_Payload);

// The demultiplexer's two pins these filters hang on; the test's program hands samples on them.
class StandInDemuxer final : public Filter {
public:
    StandInDemuxer()
        : Filter(CLSID_StandInDemuxer, u"ZEZ RaruTsDemuxer")
    {
        add_pin(std::make_unique<Output>(*this, u"Ttx Out"));
        add_pin(std::make_unique<Output>(*this, u"Sub Out"));
    }
    HRESULT send(std::u16string_view pin_name, std::vector<uint8_t> bytes)
    {
        auto sample = std::make_shared<MediaSample>();
        sample->data = std::move(bytes);
        return static_cast<OutputPin*>(pin(pin_name))->deliver(sample);
    }

private:
    class Output final : public OutputPin {
    public:
        Output(Filter& owner, std::u16string name)
            : OutputPin(owner, std::move(name))
        {
        }
        HRESULT check_type(const MediaType& type) override { return type == payload_type ? S_OK : S_FALSE; }
        std::vector<MediaType> proposed_types() override { return { payload_type }; }
    };
};

// The vendor's null renderer as far as these filters see it: a sink that counts.
class StandInSink final : public RendererFilter {
public:
    StandInSink()
        : RendererFilter(CLSID_StandInSink, u"Null Renderer", u"Input")
    {
    }
    size_t taken() const { return m_taken.load(); }

private:
    HRESULT check_input_type(const MediaType&) override { return S_OK; }
    void present(const MediaSample&) override { ++m_taken; }
    std::atomic<size_t> m_taken = 0;
};

// What the teletext callback received: each record described, with the thread it came on.
struct Received {
    struct Record {
        DWORD thread;
        DWORD code;
        DWORD magazine;
        DWORD packet;
        DWORD page_units; // headers only
    };
    std::vector<Record> records;
};

int receive_packet(DWORD code, void* record, void* context)
{
    auto& received = *static_cast<Received*>(context);
    const auto& address = *static_cast<const TeletextPacketAddress*>(record);
    DWORD units = address.packet == 0 ? static_cast<const TeletextHeaderPacket*>(record)->page_units : 0;
    received.records.push_back({ GetCurrentThreadId(), code, address.magazine, address.packet, units });
    return 1;
}

template<typename Interface>
ComRef<Interface> make(const CLSID& class_id)
{
    ComRef<Interface> object;
    EXPECT_EQ(CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, InterfaceId<Interface>::value, object.put()), S_OK);
    return object;
}

template<typename Interface>
ComRef<Interface> query(IUnknown* object)
{
    ComRef<Interface> wanted;
    EXPECT_EQ(object->QueryInterface(InterfaceId<Interface>::value, wanted.put()), S_OK);
    return wanted;
}

IPin* find_pin(IBaseFilter* filter, const char16_t* name)
{
    ComRef<IPin> pin;
    EXPECT_EQ(filter->FindPin(name, reinterpret_cast<IPin**>(pin.put())), S_OK) << std::string(name, name + std::char_traits<char16_t>::length(name));
    return pin.get(); // the filter keeps its pins
}

struct TeletextFilterTest : ::testing::Test {
    std::unique_ptr<Device> device = make_test_device();

    TeletextFilterTest()
    {
        install_filter_graph(*device);
        install_vendor_filters(*device);
        auto& classes = device->component<ComClassTable>();
        classes.add(CLSID_StandInDemuxer, [] { return static_cast<ComObjectBase*>(new StandInDemuxer()); });
        classes.add(CLSID_StandInSink, [] { return static_cast<ComObjectBase*>(new StandInSink()); });
    }

    void run_program(const std::function<void()>& body)
    {
        ASSERT_TRUE(run_program_to_end(*device, u"\\tv.exe", [&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            body();
            CoUninitialize();
        }));
        auto& classes = device->component<ComClassTable>();
        for (const CLSID& class_id : { CLSID_TeletextDecoder, CLSID_DVBSubtitleDecoder, CLSID_TCCIMGRENDFILTER })
            EXPECT_EQ(classes.live_objects(class_id), 0);
    }

    bool logged(const std::string& text) const
    {
        for (const auto& line : debug_lines(*device)) {
            if (line == text)
                return true;
        }
        return false;
    }
};

std::vector<uint8_t> page_100_stream()
{
    return teletext_pes({ teletext_unit(header_packet(1, 0x00, 0, 0, "KIVO 100")), teletext_unit(row_packet(1, 1, "Row one")),
        teletext_unit(row_packet(1, 2, "Row two")) });
}

} // namespace

// The play wiring's teletext and subtitle connections by their pin names: the teletext arrives
// on the decoder's own thread, goes on to the null renderer, and the subtitles reach the image
// renderer; a stopped decoder takes nothing.
TEST_F(TeletextFilterTest, TheTeletextAndSubtitlePathsConnectByNameAndCarryTheStreams)
{
    Received received;
    size_t sink_taken = 0;
    uint64_t images_presented = 0;
    DWORD program_thread = 0;
    run_program([&] {
        program_thread = GetCurrentThreadId();
        auto graph = make<IGraphBuilder>(CLSID_FilterGraph);
        auto demuxer = make<IBaseFilter>(CLSID_StandInDemuxer);
        auto teletext = make<IBaseFilter>(CLSID_TeletextDecoder);
        auto subtitles = make<IBaseFilter>(CLSID_DVBSubtitleDecoder);
        auto sink = make<IBaseFilter>(CLSID_StandInSink);
        auto images = make<IBaseFilter>(CLSID_TCCIMGRENDFILTER);
        for (auto [filter, name] : { std::pair { demuxer.get(), u"ZEZ RaruTsDemuxer" }, { teletext.get(), u"Zez RaruTeletext" },
                 { subtitles.get(), u"Zez RaruSubtitle" }, { sink.get(), u"Null Renderer" }, { images.get(), u"Zez Image Renderer" } })
            EXPECT_EQ(graph->AddFilter(filter, name), S_OK);
        EXPECT_EQ(graph->Connect(find_pin(demuxer.get(), u"Ttx Out"), find_pin(teletext.get(), u"In")), S_OK);
        EXPECT_EQ(graph->Connect(find_pin(teletext.get(), u"Out"), find_pin(sink.get(), u"Input")), S_OK);
        EXPECT_EQ(graph->Connect(find_pin(demuxer.get(), u"Sub Out"), find_pin(subtitles.get(), u"In")), S_OK);
        EXPECT_EQ(graph->Connect(find_pin(subtitles.get(), u"Out"), find_pin(images.get(), u"In")), S_OK);
        EXPECT_EQ(query<IReceiveCallback>(teletext.get())->SetReceiveCallback(receive_packet, &received), S_OK);

        EXPECT_EQ(query<IMediaControl>(graph.get())->Run(), S_OK);
        auto* demux = static_cast<StandInDemuxer*>(Filter::from(demuxer.get()));
        auto damaged = address_packet(1, 3);
        damaged[1] ^= 0x11;
        const auto stream = concatenate({ page_100_stream(), teletext_pes({ teletext_unit(damaged) }) });
        const auto payloads = transport_payloads(stream);
        for (const auto& payload : payloads)
            EXPECT_EQ(demux->send(u"Ttx Out", payload), S_OK);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(demux->send(u"Sub Out", std::vector<uint8_t>(184, uint8_t(i))), S_OK);
        Sleep(50);
        sink_taken = static_cast<StandInSink*>(Filter::from(sink.get()))->taken();
        EXPECT_EQ(sink_taken, payloads.size());
        images_presented = static_cast<ZezImageRenderer*>(Filter::from(images.get()))->samples_presented();

        EXPECT_EQ(query<IMediaControl>(graph.get())->Stop(), S_OK);
        EXPECT_EQ(demux->send(u"Ttx Out", payloads.front()), VFW_E_WRONG_STATE);
        for (IBaseFilter* filter : { demuxer.get(), teletext.get(), subtitles.get(), sink.get(), images.get() })
            graph->RemoveFilter(filter);
    });
    ASSERT_EQ(received.records.size(), 3u);
    EXPECT_NE(received.records[0].thread, program_thread);
    for (const auto& record : received.records) {
        EXPECT_EQ(record.thread, received.records[0].thread) << "one thread of the decoder's own";
        EXPECT_EQ(record.code, record.packet);
        EXPECT_EQ(record.magazine, 1u);
    }
    EXPECT_EQ(received.records[0].packet, 0u);
    EXPECT_EQ(received.records[2].packet, 2u);
    EXPECT_EQ(images_presented, 3u);
    EXPECT_TRUE(logged("teletext: a packet whose address fails its Hamming code dropped"));
}

// The receive callback is kept and read back; a forced result changes nothing; a decoder without
// a callback or stopped delivers nothing; a flush forgets the PES half assembled.
TEST_F(TeletextFilterTest, TheCallbackIsKeptAndAFlushForgetsHalfAPes)
{
    Received received;
    Received unwanted;
    run_program([&] {
        auto filter = make<IBaseFilter>(CLSID_TeletextDecoder);
        auto* decoder = static_cast<ZezTeletextDecoder*>(Filter::from(filter.get()));
        auto callbacks = query<IReceiveCallback>(filter.get());
        ReceiveCallback callback = nullptr;
        void* context = nullptr;
        EXPECT_EQ(callbacks->GetReceiveCallback(&callback, &context), S_OK);
        EXPECT_EQ(callback, nullptr);
        EXPECT_EQ(callbacks->SetReceiveCallback(receive_packet, &received), S_OK);
        decoder->force_result(ZezTeletextDecoder::Operation::SetReceiveCallback, E_FAIL);
        EXPECT_EQ(callbacks->SetReceiveCallback(receive_packet, &unwanted), E_FAIL);
        decoder->clear_forced_results();
        EXPECT_EQ(callbacks->GetReceiveCallback(&callback, &context), S_OK);
        EXPECT_EQ(callback, &receive_packet);
        EXPECT_EQ(context, &received);
        EXPECT_EQ(callbacks->GetReceiveCallback(nullptr, &context), E_POINTER);

        using Op = ZezTeletextDecoder::Operation;
        std::vector<std::tuple<Op, uint64_t, HRESULT>> calls;
        for (const auto& call : decoder->calls())
            calls.emplace_back(call.operation, call.operation == Op::SetReceiveCallback ? call.second : 0, call.result);
        EXPECT_EQ(calls, (std::vector<std::tuple<Op, uint64_t, HRESULT>> { { Op::GetReceiveCallback, 0, S_OK }, { Op::SetReceiveCallback, reinterpret_cast<uintptr_t>(&received), S_OK }, { Op::SetReceiveCallback, reinterpret_cast<uintptr_t>(&unwanted), E_FAIL }, { Op::GetReceiveCallback, 0, S_OK }, { Op::GetReceiveCallback, 0, E_POINTER } }));

        auto sample = [](std::vector<uint8_t> bytes) {
            auto made = std::make_shared<MediaSample>();
            made->data = std::move(bytes);
            return made;
        };
        const auto page = page_100_stream();
        EXPECT_EQ(decoder->inject(sample(page)), VFW_E_WRONG_STATE) << "stopped";
        decoder->Pause();
        // Half of a PES of two transport packets, a flush, the other half: nothing to decode.
        const auto payloads = transport_payloads(teletext_pes(std::vector<DataUnit>(5, teletext_unit(row_packet(1, 9, "NINE")))));
        ASSERT_EQ(payloads.size(), 2u);
        EXPECT_EQ(decoder->inject(sample(payloads[0])), S_OK);
        Sleep(10);
        decoder->input().begin_flush();
        EXPECT_EQ(decoder->inject(sample(page)), S_FALSE) << "flushing";
        decoder->input().end_flush();
        EXPECT_EQ(decoder->inject(sample(payloads[1])), S_OK);
        EXPECT_EQ(decoder->inject(sample(page)), S_OK);
        Sleep(10);
        EXPECT_EQ(callbacks->SetReceiveCallback(nullptr, nullptr), S_OK);
        EXPECT_EQ(decoder->inject(sample(page)), S_OK);
        Sleep(10);
        decoder->Stop();
    });
    // Only the page after the flush, once.
    ASSERT_EQ(received.records.size(), 3u);
    EXPECT_EQ(received.records[0].packet, 0u);
    EXPECT_EQ(received.records[0].page_units, 0u);
    EXPECT_TRUE(unwanted.records.empty());
    EXPECT_TRUE(logged("teletext: bytes outside a PES skipped"));
}

// The subtitle decoder and the image renderer keep what they are told and take their streams
// without drawing; forced results are answered and change nothing.
TEST_F(TeletextFilterTest, TheSubtitleDisplayAndWindowAreRecorded)
{
    ZezSubtitleDecoder::Display display;
    HWND window = nullptr;
    std::vector<ZezSubtitleDecoder::Call> display_calls;
    std::vector<ZezImageRenderer::Call> window_calls;
    uint64_t taken = 0;
    uint64_t presented = 0;
    const HWND video_window = reinterpret_cast<HWND>(uintptr_t(0x2A0));
    run_program([&] {
        auto subtitles = make<IBaseFilter>(CLSID_DVBSubtitleDecoder);
        auto images = make<IBaseFilter>(CLSID_TCCIMGRENDFILTER);
        auto* decoder = static_cast<ZezSubtitleDecoder*>(Filter::from(subtitles.get()));
        auto* renderer = static_cast<ZezImageRenderer*>(Filter::from(images.get()));
        auto shown = query<ISubtitleDisplay>(subtitles.get());
        auto placed = query<ISubtitleWindow>(images.get());

        EXPECT_EQ(shown->SelectPage(8, 88), S_OK);
        EXPECT_EQ(shown->ShowSubtitle(TRUE), S_OK);
        decoder->force_result(ZezSubtitleDecoder::Operation::SelectPage, E_FAIL);
        EXPECT_EQ(shown->SelectPage(1, 0), E_FAIL);
        decoder->clear_forced_results();
        HWND given = video_window;
        EXPECT_EQ(placed->SetSubtitleWindow(0, &given), S_OK);
        EXPECT_EQ(placed->SetSubtitleWindow(0, nullptr), E_POINTER);
        renderer->force_result(ZezImageRenderer::Operation::SetSubtitleWindow, E_UNEXPECTED);
        HWND other = reinterpret_cast<HWND>(uintptr_t(0x2A4));
        EXPECT_EQ(placed->SetSubtitleWindow(0, &other), E_UNEXPECTED);

        // Unconnected, the decoder takes its stream; the renderer takes its own while running.
        decoder->Pause();
        renderer->Pause();
        renderer->Run(0);
        for (int i = 0; i < 4; ++i) {
            auto sample = std::make_shared<MediaSample>();
            sample->data.assign(184, uint8_t(i));
            EXPECT_EQ(decoder->inject(sample), S_OK);
            EXPECT_EQ(renderer->inject(sample), S_OK);
        }
        Sleep(10);
        taken = decoder->samples_taken();
        presented = renderer->samples_presented();
        decoder->Stop();
        renderer->Stop();
        display = decoder->display();
        window = renderer->window();
        display_calls = decoder->calls();
        window_calls = renderer->calls();
    });
    EXPECT_TRUE(display.shown);
    EXPECT_EQ(display.magazine, 8u);
    EXPECT_EQ(display.page, 88u);
    EXPECT_EQ(window, video_window);
    EXPECT_EQ(taken, 4u);
    EXPECT_EQ(presented, 4u);

    using Show = ZezSubtitleDecoder::Operation;
    std::vector<std::tuple<Show, uint64_t, uint64_t, HRESULT>> shows;
    for (const auto& call : display_calls)
        shows.emplace_back(call.operation, call.first, call.second, call.result);
    EXPECT_EQ(shows, (std::vector<std::tuple<Show, uint64_t, uint64_t, HRESULT>> { { Show::SelectPage, 8, 88, S_OK }, { Show::ShowSubtitle, 1, 0, S_OK }, { Show::SelectPage, 1, 0, E_FAIL } }));
    std::vector<std::pair<uint64_t, HRESULT>> windows;
    for (const auto& call : window_calls)
        windows.emplace_back(call.second, call.result);
    EXPECT_EQ(windows, (std::vector<std::pair<uint64_t, HRESULT>> { { 0x2A0, S_OK }, { 0, E_POINTER }, { 0x2A4, E_UNEXPECTED } }));
}
