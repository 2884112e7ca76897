#include "kernel/tests/TestDevice.h"

#include "ComApi.h"
#include "ComClassTable.h"
#include "Device.h"
#include "Errors.h"
#include "Filter.h"
#include "FilterCatalog.h"
#include "FilterGraph.h"
#include "FilterGraphs.h"
#include "GwesApi.h"
#include "KernelApi.h"
#include "MediaClasses.h"
#include "Process.h"
#include "RendererFilter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

inline constexpr CLSID CLSID_StubSource = kivo::guid("{5D1A7C20-3E4B-4F6A-9B8C-1D2E3F405101}");
inline constexpr CLSID CLSID_StubTransform = kivo::guid("{5D1A7C20-3E4B-4F6A-9B8C-1D2E3F405102}");
inline constexpr CLSID CLSID_StubRendererA = kivo::guid("{5D1A7C20-3E4B-4F6A-9B8C-1D2E3F405103}");
inline constexpr CLSID CLSID_StubRendererB = kivo::guid("{5D1A7C20-3E4B-4F6A-9B8C-1D2E3F405104}");
inline constexpr CLSID CLSID_StubSoundRenderer = kivo::guid("{5D1A7C20-3E4B-4F6A-9B8C-1D2E3F405105}");
inline constexpr GUID SUBTYPE_Packets = kivo::guid("{5D1A7C20-3E4B-4F6A-9B8C-1D2E3F405106}");

// Type A: packed pictures; type B: pictures the stub transform unpacks; sound; and data nothing
// renders.
const MediaType type_a(MEDIATYPE_Video, SUBTYPE_Packets);
const MediaType type_b(MEDIATYPE_Video, MEDIASUBTYPE_I420);
const MediaType type_sound(MEDIATYPE_Audio, MEDIASUBTYPE_PCM);
const MediaType type_data(MEDIATYPE_Stream, GUID {});

constexpr REFERENCE_TIME ms = 10'000;
constexpr REFERENCE_TIME frame_time = 40 * ms;
constexpr REFERENCE_TIME key_frame_interval = 400 * ms;

// What the stub file source finds at a path: its load result and its streams.
struct StubFile {
    HRESULT result = S_OK;
    std::vector<std::pair<std::u16string, MediaType>> streams;
};
std::map<std::u16string, StubFile>& stub_files()
{
    static std::map<std::u16string, StubFile> files;
    return files;
}

// What the renderers presented: "<renderer> <media time ms>@<device ms>".
std::vector<std::string>& presented()
{
    static std::vector<std::string> list;
    return list;
}

// The state changes the stub filters were told of, in order: "<filter> <state>".
std::vector<std::string>& state_changes()
{
    static std::vector<std::string> list;
    return list;
}

std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

#define LOG_STATE_CHANGES(Base)                                                 \
    HRESULT STDMETHODCALLTYPE Pause() override                                  \
    {                                                                           \
        state_changes().push_back(narrow(default_name()) + " pause");           \
        return Base::Pause();                                                   \
    }                                                                           \
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override                \
    {                                                                           \
        state_changes().push_back(narrow(default_name()) + " run");             \
        return Base::Run(start);                                                \
    }                                                                           \
    HRESULT STDMETHODCALLTYPE Stop() override                                   \
    {                                                                           \
        state_changes().push_back(narrow(default_name()) + " stop");            \
        return Base::Stop();                                                    \
    }

class StubOutput final : public OutputPin {
public:
    StubOutput(Filter& owner, std::u16string name, MediaType type)
        : OutputPin(owner, std::move(name))
        , m_type(std::move(type))
    {
    }
    HRESULT check_type(const MediaType& type) override { return type == m_type ? S_OK : S_FALSE; }
    std::vector<MediaType> proposed_types() override { return { m_type }; }

private:
    MediaType m_type;
};

// A source of one second of media, a sample every 40 ms on each connected stream, a key frame
// every 400 ms; it also opens the stub files.
class StubSource final : public Filter, public MediaSeeker, public FileSourceFilter {
public:
    StubSource()
        : Filter(CLSID_StubSource, u"Stub Source")
    {
    }
    ~StubSource() override { stop_thread(); }
    LOG_STATE_CHANGES(Filter)

    void add_stream(std::u16string name, const MediaType& type) { add_pin(std::make_unique<StubOutput>(*this, std::move(name), type)); }

    MediaSeeker* seeker() override { return this; }
    REFERENCE_TIME duration() override { return UNITS; }
    HRESULT seek(REFERENCE_TIME target, bool to_key_frame, REFERENCE_TIME& landing) override
    {
        landing = to_key_frame ? target - target % key_frame_interval : target;
        bool streaming = state() != State_Stopped;
        if (streaming)
            stop_thread();
        m_position = landing;
        if (streaming)
            start_thread();
        return S_OK;
    }

    HRESULT load(std::u16string_view path) override
    {
        auto file = stub_files().find(std::u16string(path));
        if (file == stub_files().end())
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        if (FAILED(file->second.result))
            return file->second.result;
        for (auto& [name, type] : file->second.streams)
            add_stream(name, type);
        m_path = path;
        return S_OK;
    }
    std::u16string loaded_path() const override { return m_path; }

private:
    std::vector<OutputPin*> outputs() const
    {
        std::vector<OutputPin*> list;
        for (Pin* pin : pins()) {
            if (pin->connected())
                list.push_back(static_cast<OutputPin*>(pin));
        }
        return list;
    }
    void on_pause(FILTER_STATE from) override
    {
        if (from == State_Stopped)
            start_thread();
    }
    void on_stop() override { stop_thread(); }
    void start_thread()
    {
        m_stopping = false;
        REFERENCE_TIME from = m_position;
        m_thread.start([this, from] {
            for (REFERENCE_TIME at = from; at < UNITS && !m_stopping; at += frame_time) {
                for (OutputPin* out : outputs()) {
                    auto sample = std::make_shared<MediaSample>();
                    sample->has_time = true;
                    sample->start = at - from;
                    sample->stop = sample->start + frame_time;
                    sample->sync_point = at % key_frame_interval == 0;
                    sample->data.resize(sizeof at); // the media time it shows
                    std::memcpy(sample->data.data(), &at, sizeof at);
                    if (out->deliver(sample) != S_OK)
                        return;
                }
            }
            for (OutputPin* out : outputs())
                out->deliver_end_of_stream();
        });
    }
    void stop_thread()
    {
        m_stopping = true;
        for (OutputPin* out : outputs())
            out->deliver_begin_flush();
        m_thread.join();
        for (OutputPin* out : outputs())
            out->deliver_end_flush();
    }

    REFERENCE_TIME m_position = 0;
    std::atomic<bool> m_stopping = false;
    StreamingThread m_thread;
    std::u16string m_path;
};

// Unpacks type A into type B, sample for sample.
class StubTransform final : public TransformFilter {
public:
    StubTransform()
        : TransformFilter(CLSID_StubTransform, u"Stub Transform")
    {
    }
    LOG_STATE_CHANGES(TransformFilter)

private:
    HRESULT check_input_type(const MediaType& type) override { return type == type_a ? S_OK : S_FALSE; }
    std::vector<MediaType> output_types() override { return { type_b }; }
    HRESULT transform(const SamplePtr& sample) override { return deliver(std::make_shared<MediaSample>(*sample)); }
};

class StubRenderer : public RendererFilter {
public:
    StubRenderer(const CLSID& class_id, std::u16string name, MediaType type)
        : RendererFilter(class_id, std::move(name), u"In")
        , m_type(std::move(type))
    {
    }
    LOG_STATE_CHANGES(RendererFilter)

private:
    HRESULT check_input_type(const MediaType& type) override { return type == m_type ? S_OK : S_FALSE; }
    void present(const MediaSample& sample) override
    {
        REFERENCE_TIME media_time = 0;
        std::memcpy(&media_time, sample.data.data(), sizeof media_time);
        presented().push_back(narrow(default_name()) + " " + std::to_string(media_time / ms) + "@" + std::to_string(Device::current().clock().now_ms()));
    }

    MediaType m_type;
};

// The sound renderer gives the graph its clock and takes the volume.
class StubSoundRenderer final : public StubRenderer, public IReferenceClock, public IBasicAudio {
public:
    StubSoundRenderer()
        : StubRenderer(CLSID_StubSoundRenderer, u"Stub Sound", type_sound)
    {
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID iid) override
    {
        if (iid == IID_IReferenceClock)
            return static_cast<IReferenceClock*>(this);
        if (iid == IID_IBasicAudio)
            return static_cast<IBasicAudio*>(this);
        return StubRenderer::find_interface(iid);
    }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* time) override
    {
        *time = static_cast<REFERENCE_TIME>(Device::current().clock().now_ms()) * ms;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Volume(long volume) override
    {
        m_volume = volume;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Volume(long* volume) override
    {
        *volume = m_volume;
        return S_OK;
    }

private:
    long m_volume = AM_VOLUME_FULL;
};

struct Catalog {
    bool transform = true;
    bool renderer_b = true;
    bool sound_renderer = true;
};

// A device with the graph and the stub classes, the catalog holding those asked for.
std::unique_ptr<Device> make_media_device(Catalog catalog = {})
{
    auto device = make_test_device();
    install_filter_graph(*device);
    auto& classes = device->component<ComClassTable>();
    classes.add(CLSID_StubSource, [] { return new StubSource(); });
    classes.add(CLSID_StubTransform, [] { return new StubTransform(); });
    classes.add(CLSID_StubRendererA, [] { return new StubRenderer(CLSID_StubRendererA, u"Renderer A", type_a); });
    classes.add(CLSID_StubRendererB, [] { return new StubRenderer(CLSID_StubRendererB, u"Renderer B", type_b); });
    classes.add(CLSID_StubSoundRenderer, [] { return new StubSoundRenderer(); });
    auto& roles = device->component<FilterCatalog>();
    roles.add(CLSID_StubSource, FilterCatalog::Role::FileSource);
    if (catalog.transform)
        roles.add(CLSID_StubTransform, FilterCatalog::Role::Transform);
    if (catalog.renderer_b)
        roles.add(CLSID_StubRendererB, FilterCatalog::Role::Renderer);
    if (catalog.sound_renderer)
        roles.add(CLSID_StubSoundRenderer, FilterCatalog::Role::Renderer);
    presented().clear();
    stub_files().clear();
    state_changes().clear();
    return device;
}

// Runs `body` as a program with COM initialised, until it has returned or `limit_ms` passed.
void run_program(Device& device, const std::function<void()>& body, uint64_t limit_ms = 10'000)
{
    bool finished = false;
    device.programs().add(u"\\player.exe", [&](std::u16string_view) {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        body();
        CoUninitialize();
        finished = true;
        return 0;
    });
    DWORD error = 0;
    ASSERT_TRUE(device.create_process(u"\\player.exe", u"", error));
    device.run_until([&] { return finished; }, limit_ms);
    EXPECT_TRUE(finished);
}

// For the calls that hand out an interface by a typed out pointer.
template<typename Interface>
Interface** out(ComRef<Interface>& ref)
{
    return reinterpret_cast<Interface**>(ref.put());
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

// Finds a pin by direction and name the way the programs do: through the pin enumeration and
// each pin's information, whose filter reference is released.
ComRef<IPin> find_pin(IBaseFilter* filter, PIN_DIRECTION direction, std::u16string_view name)
{
    ComRef<IEnumPins> pins;
    if (FAILED(filter->EnumPins(out(pins))))
        return {};
    pins->Reset();
    ComRef<IPin> pin;
    ULONG fetched = 0;
    while (pins->Next(1, out(pin), &fetched) == S_OK) {
        PIN_INFO info {};
        PIN_DIRECTION pin_direction;
        if (SUCCEEDED(pin->QueryDirection(&pin_direction)) && pin_direction == direction && SUCCEEDED(pin->QueryPinInfo(&info))) {
            info.pFilter->Release();
            if (name == info.achName)
                return pin;
        }
    }
    return {};
}

std::u16string name_in_graph(IBaseFilter* filter)
{
    FILTER_INFO info {};
    filter->QueryFilterInfo(&info);
    if (info.pGraph)
        info.pGraph->Release();
    return info.achName;
}

// Counts the graph's filters by skipping one at a time until a skip fails, then takes them one at
// a time, as a player tears its graph down.
std::vector<ComRef<IBaseFilter>> all_filters(IGraphBuilder* graph)
{
    ComRef<IEnumFilters> filters;
    EXPECT_EQ(graph->EnumFilters(out(filters)), S_OK);
    size_t count = 0;
    while (filters->Skip(1) == S_OK)
        ++count;
    filters->Reset();
    std::vector<ComRef<IBaseFilter>> list(count);
    for (auto& filter : list)
        EXPECT_EQ(filters->Next(1, out(filter), nullptr), S_OK);
    ComRef<IBaseFilter> past_end;
    EXPECT_EQ(filters->Next(1, out(past_end), nullptr), S_FALSE);
    return list;
}

std::vector<std::u16string> filter_names(IGraphBuilder* graph)
{
    std::vector<std::u16string> names;
    for (auto& filter : all_filters(graph))
        names.push_back(name_in_graph(filter.get()));
    return names;
}

void expect_no_live_objects(Device& device)
{
    auto& classes = device.component<ComClassTable>();
    for (const CLSID& class_id : { CLSID_FilterGraph, CLSID_StubSource, CLSID_StubTransform, CLSID_StubRendererA, CLSID_StubRendererB, CLSID_StubSoundRenderer })
        EXPECT_EQ(classes.live_objects(class_id), 0);
}

long next_event(IMediaEventEx* events, long timeout_ms = 0)
{
    long code = -1;
    LONG_PTR first = 0;
    LONG_PTR second = 0;
    if (FAILED(events->GetEvent(&code, &first, &second, timeout_ms)))
        return -1;
    events->FreeEventParams(code, first, second);
    return code;
}

} // namespace

TEST(FilterGraph, NamesConnectsThroughTransformsAndLetsEverythingGo)
{
    auto device = make_media_device();
    run_program(*device, [&] {
        auto graph = make<IGraphBuilder>(CLSID_FilterGraph);
        ASSERT_TRUE(graph);
        auto source = make<IBaseFilter>(CLSID_StubSource);
        auto* stub_source = static_cast<StubSource*>(Filter::from(source.get()));
        stub_source->add_stream(u"Video", type_a);
        stub_source->add_stream(u"Video 2", type_a);
        auto renderer_a = make<IBaseFilter>(CLSID_StubRendererA);
        auto second_a = make<IBaseFilter>(CLSID_StubRendererA);
        auto renderer_b = make<IBaseFilter>(CLSID_StubRendererB);
        auto outsider = make<IBaseFilter>(CLSID_StubRendererB);

        // Names: given, the filter's own, and a second one numbered.
        EXPECT_EQ(graph->AddFilter(source.get(), u"Source"), S_OK);
        EXPECT_EQ(graph->AddFilter(renderer_a.get(), nullptr), S_OK);
        EXPECT_EQ(graph->AddFilter(second_a.get(), u"Renderer A"), VFW_S_DUPLICATE_NAME);
        EXPECT_EQ(graph->AddFilter(renderer_b.get(), u"Renderer B"), S_OK);
        EXPECT_EQ(name_in_graph(second_a.get()), u"Renderer A 0001");
        ComRef<IBaseFilter> found;
        EXPECT_EQ(graph->FindFilterByName(u"Renderer A 0001", out(found)), S_OK);
        EXPECT_EQ(found.get(), second_a.get());
        EXPECT_EQ(graph->FindFilterByName(u"renderer a", out(found)), VFW_E_NOT_FOUND);
        EXPECT_EQ(found.get(), nullptr);

        auto video = find_pin(source.get(), PINDIR_OUTPUT, u"Video");
        auto video_2 = find_pin(source.get(), PINDIR_OUTPUT, u"Video 2");
        auto a_in = find_pin(renderer_a.get(), PINDIR_INPUT, u"In");
        auto b_in = find_pin(renderer_b.get(), PINDIR_INPUT, u"In");
        ASSERT_TRUE(video && video_2 && a_in && b_in);
        EXPECT_FALSE(find_pin(source.get(), PINDIR_INPUT, u"Video"));

        // Directly where the types agree; a connected pin is refused.
        EXPECT_EQ(graph->Connect(video.get(), a_in.get()), S_OK);
        ComRef<IPin> peer;
        EXPECT_EQ(a_in->ConnectedTo(out(peer)), S_OK);
        EXPECT_EQ(peer.get(), video.get());
        EXPECT_EQ(graph->Connect(video.get(), b_in.get()), VFW_E_ALREADY_CONNECTED);
        EXPECT_EQ(graph->Connect(video_2.get(), a_in.get()), VFW_E_ALREADY_CONNECTED);

        // Disconnect takes one side only.
        EXPECT_EQ(graph->Disconnect(video.get()), S_OK);
        EXPECT_EQ(a_in->ConnectedTo(out(peer)), S_OK);
        EXPECT_EQ(graph->Disconnect(a_in.get()), S_OK);
        EXPECT_EQ(graph->Disconnect(a_in.get()), S_FALSE);

        // Type A reaches the type B renderer through a transform the graph adds.
        EXPECT_EQ(graph->Connect(video.get(), b_in.get()), S_OK);
        ComRef<IBaseFilter> transform;
        ASSERT_EQ(graph->FindFilterByName(u"Stub Transform", out(transform)), S_OK);
        EXPECT_EQ(video->ConnectedTo(out(peer)), S_OK);
        EXPECT_EQ(peer.get(), find_pin(transform.get(), PINDIR_INPUT, u"XForm In").get());
        EXPECT_EQ(b_in->ConnectedTo(out(peer)), S_OK);
        EXPECT_EQ(peer.get(), find_pin(transform.get(), PINDIR_OUTPUT, u"XForm Out").get());

        // A filter outside the graph; a transform that cannot be made leaves nothing behind.
        auto outsider_in = find_pin(outsider.get(), PINDIR_INPUT, u"In");
        EXPECT_EQ(graph->Connect(video_2.get(), outsider_in.get()), VFW_E_NOT_IN_GRAPH);
        EXPECT_EQ(graph->AddFilter(outsider.get(), nullptr), VFW_S_DUPLICATE_NAME);
        device->component<ComClassTable>().fail(CLSID_StubTransform, E_OUTOFMEMORY);
        ComRef<IBaseFilter> refused;
        EXPECT_EQ(CoCreateInstance(CLSID_StubTransform, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, refused.put()), E_OUTOFMEMORY);
        EXPECT_EQ(graph->Connect(video_2.get(), outsider_in.get()), VFW_E_CANNOT_CONNECT);
        device->component<ComClassTable>().clear_failure(CLSID_StubTransform);
        EXPECT_EQ(filter_names(graph.get()),
            (std::vector<std::u16string> { u"Source", u"Renderer A", u"Renderer A 0001", u"Renderer B", u"Stub Transform", u"Renderer B 0001" }));

        // Render takes a free renderer of the graph before it makes one.
        EXPECT_EQ(graph->Render(video_2.get()), S_OK);
        EXPECT_EQ(a_in->ConnectedTo(out(peer)), S_OK);
        EXPECT_EQ(peer.get(), video_2.get());
        EXPECT_EQ(all_filters(graph.get()).size(), 6u);

        // Removing a filter breaks both sides of its connections and leaves the graph.
        EXPECT_EQ(graph->RemoveFilter(transform.get()), S_OK);
        EXPECT_EQ(video->ConnectedTo(out(peer)), VFW_E_NOT_CONNECTED);
        EXPECT_EQ(b_in->ConnectedTo(out(peer)), VFW_E_NOT_CONNECTED);
        FILTER_INFO info {};
        transform->QueryFilterInfo(&info);
        EXPECT_EQ(info.pGraph, nullptr);
        EXPECT_EQ(graph->RemoveFilter(transform.get()), VFW_E_NOT_FOUND);

        // Connected again, then everything goes as a player lets it go.
        EXPECT_EQ(graph->Connect(video.get(), b_in.get()), S_OK);
        for (auto& filter : all_filters(graph.get()))
            EXPECT_EQ(graph->RemoveFilter(filter.get()), S_OK);
        EXPECT_TRUE(all_filters(graph.get()).empty());
    });
    expect_no_live_objects(*device);
}

TEST(FilterGraph, PlaysOnTheClockSeeksAndTellsTheEnd)
{
    auto device = make_media_device();
    run_program(*device, [&] {
        auto graph = make<IGraphBuilder>(CLSID_FilterGraph);
        auto control = query<IMediaControl>(graph.get());
        auto seeking = query<IMediaSeeking>(control.get());
        auto events = query<IMediaEventEx>(control.get());
        auto source = make<IBaseFilter>(CLSID_StubSource);
        static_cast<StubSource*>(Filter::from(source.get()))->add_stream(u"Video", type_a);
        graph->AddFilter(source.get(), u"Source");
        auto video = find_pin(source.get(), PINDIR_OUTPUT, u"Video");
        ASSERT_EQ(graph->Render(video.get()), S_OK); // through the transform to renderer B
        EXPECT_EQ(filter_names(graph.get()), (std::vector<std::u16string> { u"Source", u"Renderer B", u"Stub Transform" }));

        LONGLONG duration = 0;
        LONGLONG position = -1;
        OAFilterState state = -1;
        EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
        EXPECT_EQ(duration, UNITS);
        EXPECT_EQ(seeking->GetStopPosition(&position), S_OK);
        EXPECT_EQ(position, UNITS);
        auto position_now = [&] {
            LONGLONG at = -1;
            EXPECT_EQ(seeking->GetCurrentPosition(&at), S_OK);
            return at;
        };
        EXPECT_EQ(position_now(), 0);

        uint64_t started = device->clock().now_ms();
        EXPECT_EQ(control->Run(), S_OK);
        // Downstream first: a source's thread may be waiting in a renderer.
        EXPECT_EQ(state_changes(),
            (std::vector<std::string> { "Renderer B pause", "Stub Transform pause", "Stub Source pause", "Renderer B run", "Stub Transform run",
                "Stub Source run" }));
        EXPECT_EQ(control->GetState(1000, &state), S_OK);
        EXPECT_EQ(state, State_Running);
        EXPECT_EQ(control->Run(), S_OK); // running already: no clock change
        Sleep(200);
        EXPECT_EQ(position_now(), 200 * ms);
        EXPECT_EQ(control->Pause(), S_OK);
        EXPECT_EQ(control->GetState(1000, &state), S_OK);
        EXPECT_EQ(state, State_Paused);
        EXPECT_EQ(graph->Disconnect(video.get()), VFW_E_NOT_STOPPED);
        Sleep(100);
        EXPECT_EQ(position_now(), 200 * ms);
        EXPECT_EQ(control->Run(), S_OK); // on from where it paused
        Sleep(100);
        EXPECT_EQ(position_now(), 300 * ms);

        // A clock change at each run, then the end once, when the last sample has played.
        EXPECT_EQ(next_event(events.get()), EC_CLOCK_CHANGED);
        EXPECT_EQ(next_event(events.get()), EC_CLOCK_CHANGED);
        EXPECT_EQ(next_event(events.get(), 2000), EC_COMPLETE);
        EXPECT_EQ(device->clock().now_ms() - started, 1100u);
        EXPECT_EQ(next_event(events.get(), 100), -1);
        EXPECT_EQ(position_now(), UNITS);
        ASSERT_EQ(presented().size(), 25u);
        EXPECT_EQ(presented().front(), "Renderer B 0@" + std::to_string(started));
        EXPECT_EQ(presented().back(), "Renderer B 960@" + std::to_string(started + 1060));
        EXPECT_EQ(control->GetState(1000, &state), S_OK);
        EXPECT_EQ(state, State_Running);

        // A seek to the end while running ends the stream again.
        LONGLONG target = UNITS;
        EXPECT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
        EXPECT_EQ(next_event(events.get(), 500), EC_COMPLETE);

        // Key-frame and exact landings, read at once.
        EXPECT_EQ(control->Pause(), S_OK);
        target = 650 * ms;
        EXPECT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr, AM_SEEKING_NoPositioning), S_OK);
        EXPECT_EQ(position_now(), 400 * ms);
        EXPECT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
        EXPECT_EQ(position_now(), 650 * ms);
        presented().clear();
        uint64_t resumed = device->clock().now_ms();
        EXPECT_EQ(control->Run(), S_OK);
        Sleep(100);
        ASSERT_FALSE(presented().empty());
        EXPECT_EQ(presented().front(), "Renderer B 650@" + std::to_string(resumed)); // the landing's sample first
        EXPECT_EQ(position_now(), 750 * ms);

        // Stopped, the position holds, and a run goes on from there.
        EXPECT_EQ(control->Stop(), S_OK);
        EXPECT_EQ(control->GetState(1000, &state), S_OK);
        EXPECT_EQ(state, State_Stopped);
        Sleep(50);
        EXPECT_EQ(position_now(), 750 * ms);
        presented().clear();
        resumed = device->clock().now_ms();
        EXPECT_EQ(control->Run(), S_OK);
        Sleep(100);
        ASSERT_FALSE(presented().empty());
        EXPECT_EQ(presented().front(), "Renderer B 750@" + std::to_string(resumed));
        EXPECT_EQ(position_now(), 850 * ms);

        // StopWhenReady stops; the player's rewind brings the position to 0.
        EXPECT_EQ(control->StopWhenReady(), S_OK);
        EXPECT_EQ(control->GetState(1000, &state), S_OK);
        EXPECT_EQ(state, State_Stopped);
        EXPECT_EQ(position_now(), 850 * ms);
        target = 0;
        EXPECT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr, AM_SEEKING_NoPositioning), S_OK);
        EXPECT_EQ(position_now(), 0);
    });
    expect_no_live_objects(*device);
}

TEST(FilterGraph, PostsOneMessagePerEventFromAnyThread)
{
    constexpr UINT graph_notify = 3024;
    auto device = make_media_device();
    run_program(*device, [&] {
        WNDCLASS window_class {};
        window_class.lpfnWndProc = DefWindowProc;
        window_class.lpszClassName = u"GraphTest";
        RegisterClass(&window_class);
        HWND window = CreateWindow(u"GraphTest", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        auto graph = make<IGraphBuilder>(CLSID_FilterGraph);
        auto events = query<IMediaEventEx>(graph.get());
        auto sink = query<IMediaEventSink>(graph.get());
        auto messages = [&] {
            std::vector<LPARAM> seen;
            MSG message;
            while (PeekMessage(&message, window, graph_notify, graph_notify, PM_REMOVE)) {
                EXPECT_EQ(message.wParam, 0u);
                seen.push_back(message.lParam);
            }
            return seen;
        };

        // An event queued before the window is set is posted when it is.
        EXPECT_EQ(sink->Notify(EC_USER + 1001, 1, 2), S_OK);
        EXPECT_EQ(events->SetNotifyWindow(reinterpret_cast<OAHWND>(window), graph_notify, 7), S_OK);
        EXPECT_EQ(messages(), (std::vector<LPARAM> { 7 }));
        EXPECT_EQ(next_event(events.get()), EC_USER + 1001);

        // A streaming thread's events, one message each, read one per message.
        struct Raiser {
            IMediaEventSink* sink;
            static DWORD STDMETHODCALLTYPE body(void* self)
            {
                auto* sink = static_cast<Raiser*>(self)->sink;
                sink->Notify(EC_ERRORABORT, E_FAIL, 0);
                Sleep(50);
                sink->Notify(EC_USERABORT, 0, 0);
                sink->Notify(EC_QUALITY_CHANGE, 0, 0);
                return 0;
            }
        } raiser { sink.get() };
        HANDLE thread = CreateThread(nullptr, 0, &Raiser::body, &raiser, 0, nullptr);
        std::vector<long> codes;
        MSG message;
        for (int i = 0; i < 3 && GetMessage(&message, window, graph_notify, graph_notify) > 0; ++i) {
            EXPECT_EQ(message.lParam, 7);
            codes.push_back(next_event(events.get()));
        }
        EXPECT_EQ(codes, (std::vector<long> { EC_ERRORABORT, EC_USERABORT, EC_QUALITY_CHANGE }));
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        EXPECT_TRUE(messages().empty());

        // GetEvent waits on the device clock, for an event or for its time-out.
        uint64_t asked = device->clock().now_ms();
        EXPECT_EQ(next_event(events.get(), 30), -1);
        EXPECT_EQ(device->clock().now_ms() - asked, 30u);
        struct LateRaiser {
            static DWORD STDMETHODCALLTYPE body(void* sink)
            {
                Sleep(50);
                static_cast<IMediaEventSink*>(sink)->Notify(EC_USER, 5, 6);
                return 0;
            }
        };
        thread = CreateThread(nullptr, 0, &LateRaiser::body, sink.get(), 0, nullptr);
        asked = device->clock().now_ms();
        long code = 0;
        LONG_PTR first = 0;
        LONG_PTR second = 0;
        EXPECT_EQ(events->GetEvent(&code, &first, &second, 1000), S_OK);
        EXPECT_EQ(device->clock().now_ms() - asked, 50u);
        EXPECT_EQ(std::tuple(code, first, second), std::tuple(EC_USER, LONG_PTR { 5 }, LONG_PTR { 6 }));
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        messages();

        // No window, no messages; the events still queue.
        EXPECT_EQ(events->SetNotifyWindow(0, 0, 0), S_OK);
        sink->Notify(EC_USER, 0, 0);
        EXPECT_TRUE(messages().empty());
        EXPECT_EQ(next_event(events.get()), EC_USER);
        DestroyWindow(window);
    });
    expect_no_live_objects(*device);
}

// RenderFile's result tells which streams found no renderer; the graph stays as far as it got.
TEST(FilterGraph, RenderFileSaysWhatRendered)
{
    const std::u16string both = u"\\Storage Card\\both.avi";
    const std::u16string three = u"\\Storage Card\\three.avi";
    const std::u16string damaged = u"\\Storage Card\\damaged.avi";
    struct Case {
        const char* what;
        Catalog catalog;
        std::u16string file;
        HRESULT expected;
        size_t filters;
    } cases[] = {
        { "everything renders", {}, both, S_OK, 4 },
        { "no sound renderer", { true, true, false }, both, VFW_S_AUDIO_NOT_RENDERED, 3 },
        { "no picture renderer", { true, false, true }, both, VFW_S_VIDEO_NOT_RENDERED, 2 },
        { "no transform", { false, true, true }, both, VFW_S_VIDEO_NOT_RENDERED, 2 },
        { "a data stream too", {}, three, VFW_S_PARTIAL_RENDER, 4 },
        { "no renderer at all", { true, false, false }, both, VFW_E_UNSUPPORTED_STREAM, 1 },
        { "no such file", {}, u"\\Storage Card\\none.avi", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), 0 },
        { "damaged file", {}, damaged, VFW_E_INVALID_FILE_FORMAT, 0 },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        auto device = make_media_device(test.catalog);
        stub_files()[both] = { S_OK, { { u"Video", type_a }, { u"Audio", type_sound } } };
        stub_files()[three] = { S_OK, { { u"Video", type_a }, { u"Audio", type_sound }, { u"Data", type_data } } };
        stub_files()[damaged] = { VFW_E_INVALID_FILE_FORMAT, {} };
        run_program(*device, [&] {
            auto graph = make<IGraphBuilder>(CLSID_FilterGraph);
            EXPECT_EQ(graph->RenderFile(test.file.c_str(), nullptr), test.expected);
            EXPECT_EQ(all_filters(graph.get()).size(), test.filters);
            ComRef<IBaseFilter> source;
            EXPECT_EQ(SUCCEEDED(graph->FindFilterByName(test.file.c_str(), out(source))), test.filters > 0);
        });
        expect_no_live_objects(*device);
    }
}

TEST(FilterGraph, SharesItsClockAndVolumeAndRecordsTheVideoWindow)
{
    auto device = make_media_device();
    stub_files()[u"\\clip.avi"] = { S_OK, { { u"Video", type_a }, { u"Audio", type_sound } } };
    run_program(*device, [&] {
        auto graph = make<IGraphBuilder>(CLSID_FilterGraph);
        auto control = query<IMediaControl>(graph.get());
        auto audio = query<IBasicAudio>(graph.get());
        auto media_filter = query<IMediaFilter>(graph.get());
        long volume = 0;
        EXPECT_EQ(audio->put_Volume(-500), E_NOTIMPL);
        EXPECT_EQ(audio->get_Volume(&volume), E_NOTIMPL);
        auto events = query<IMediaEventEx>(graph.get());
        ASSERT_EQ(graph->RenderFile(u"\\clip.avi", nullptr), S_OK);
        ComRef<IBaseFilter> sound;
        ASSERT_EQ(graph->FindFilterByName(u"Stub Sound", out(sound)), S_OK);
        ComRef<IBaseFilter> source;
        ASSERT_EQ(graph->FindFilterByName(u"\\clip.avi", out(source)), S_OK);

        // The volume set before a renderer came reaches it; the sound renderer's clock is everyone's.
        EXPECT_EQ(audio->get_Volume(&volume), S_OK);
        EXPECT_EQ(volume, -500);
        EXPECT_EQ(audio->put_Volume(-700), S_OK);
        EXPECT_EQ(audio->put_Volume(1), E_INVALIDARG);
        EXPECT_EQ(control->Run(), S_OK);
        auto sound_clock = query<IReferenceClock>(sound.get());
        for (IBaseFilter* filter : { sound.get(), source.get() }) {
            ComRef<IReferenceClock> clock;
            EXPECT_EQ(filter->GetSyncSource(out(clock)), S_OK);
            EXPECT_EQ(clock.get(), sound_clock.get());
        }
        EXPECT_EQ(media_filter->SetSyncSource(nullptr), VFW_E_NOT_STOPPED);

        // Both renderers end their streams at the same time; the application hears of it once.
        EXPECT_EQ(next_event(events.get()), EC_CLOCK_CHANGED);
        long code = 0;
        LONG_PTR first = -1;
        LONG_PTR second = -1;
        ASSERT_EQ(events->GetEvent(&code, &first, &second, 2000), S_OK);
        EXPECT_EQ(std::tuple(code, first, second), std::tuple(EC_COMPLETE, LONG_PTR { S_OK }, LONG_PTR { 0 }));
        EXPECT_EQ(next_event(events.get(), 500), -1);

        auto late = make<IBaseFilter>(CLSID_StubSoundRenderer);
        EXPECT_EQ(graph->AddFilter(late.get(), u"Late"), S_OK);
        EXPECT_EQ(query<IBasicAudio>(late.get())->get_Volume(&volume), S_OK);
        EXPECT_EQ(volume, -700);
        ComRef<IReferenceClock> late_clock;
        late->GetSyncSource(out(late_clock));
        EXPECT_EQ(late_clock.get(), sound_clock.get());

        // No clock: the filters are told so.
        EXPECT_EQ(control->Stop(), S_OK);
        EXPECT_EQ(media_filter->SetSyncSource(nullptr), S_OK);
        ComRef<IReferenceClock> none;
        sound->GetSyncSource(out(none));
        EXPECT_EQ(none.get(), nullptr);

        // The video window keeps what it is told and answers the drain.
        auto window = query<IVideoWindow>(graph.get());
        window->put_Owner(0x1234);
        window->put_WindowStyle(0x44000000);
        window->put_MessageDrain(0x1234);
        window->SetWindowPosition(0, 0, 480, 272);
        window->put_Visible(OAFALSE);
        window->put_FullScreenMode(OATRUE);
        window->SetWindowForeground(OATRUE);
        OAHWND drain = 0;
        EXPECT_EQ(window->get_MessageDrain(&drain), S_OK);
        EXPECT_EQ(drain, 0x1234);
        VideoWindowRecord record = FilterGraph::from(graph.get())->video_window();
        EXPECT_EQ(record.owner, 0x1234);
        EXPECT_EQ(record.style, 0x44000000);
        EXPECT_EQ(std::tuple(record.left, record.top, record.width, record.height), std::tuple(0L, 0L, 480L, 272L));
        EXPECT_EQ(record.full_screen, OATRUE);
        EXPECT_EQ(record.calls,
            (std::vector<std::string> { "put_Owner(0x1234)", "put_WindowStyle(0x44000000)", "put_MessageDrain(0x1234)", "SetWindowPosition(0, 0, 480, 272)",
                "put_Visible(0)", "put_FullScreenMode(-1)", "SetWindowForeground(-1)" }));

        // Let go while running: the graph stops and releases every filter.
        EXPECT_EQ(control->Run(), S_OK);
        Sleep(100);
    });
    expect_no_live_objects(*device);
}

// Outside the programs, the device sees each graph's state and the files its sources read, until
// the graph goes.
TEST(FilterGraph, TheDeviceSeesEachGraphsStateAndFilesUntilItGoes)
{
    auto device = make_media_device();
    const std::u16string song = u"\\SDMMC\\Music\\song.mp3";
    stub_files()[song] = { S_OK, { { u"Audio", type_sound } } };
    using Seen = std::vector<std::pair<FILTER_STATE, std::vector<std::u16string>>>;
    auto seen = [&] {
        Seen list;
        for (auto& graph : device->component<FilterGraphs>().graphs())
            list.emplace_back(graph.state, graph.files);
        return list;
    };
    run_program(*device, [&] {
        auto graph = make<IGraphBuilder>(CLSID_FilterGraph);
        auto other = make<IGraphBuilder>(CLSID_FilterGraph);
        ASSERT_EQ(graph->RenderFile(song.c_str(), nullptr), S_OK);
        EXPECT_EQ(seen(), (Seen { { State_Stopped, { song } }, { State_Stopped, {} } }));
        auto control = query<IMediaControl>(graph.get());
        for (auto [change, state] : { std::pair { &IMediaControl::Run, State_Running }, { &IMediaControl::Pause, State_Paused },
                 { &IMediaControl::Run, State_Running }, { &IMediaControl::Stop, State_Stopped } }) {
            EXPECT_EQ((control.get()->*change)(), S_OK);
            EXPECT_EQ(seen().front().first, state);
        }
        // The file goes with its source.
        ComRef<IBaseFilter> source;
        ASSERT_EQ(graph->FindFilterByName(song.c_str(), out(source)), S_OK);
        EXPECT_EQ(graph->RemoveFilter(source.get()), S_OK);
        EXPECT_EQ(seen().front().second, std::vector<std::u16string> {});
        other = {};
        EXPECT_EQ(seen().size(), 1u);
    });
    EXPECT_EQ(seen(), Seen {});
    expect_no_live_objects(*device);
}

// A killed player's threads all end where they stand, the program's thread first (the kill wakes
// them in order), and it lets go of the graph as it unwinds while the renderer's thread is still
// inside the renderer: the graph waits for that thread before the renderer goes, whether the kill
// found the program waiting or already stopping the graph (waiting for that same thread).
TEST(FilterGraph, AKilledPlayersGraphOutlivesItsRenderersThread)
{
    // What happened, in order; kept outside the filters, which go during the test.
    std::vector<std::string> happened;
    bool presenting = false;
    class HoldingRenderer final : public RendererFilter {
    public:
        HoldingRenderer(std::vector<std::string>& happened, bool& presenting)
            : RendererFilter(CLSID_StubRendererA, u"Holding Renderer", u"In")
            , m_happened(happened)
            , m_presenting(presenting)
        {
        }
        ~HoldingRenderer() override { m_happened.push_back("renderer freed"); }

    private:
        HRESULT check_input_type(const MediaType& type) override { return type == type_sound ? S_OK : S_FALSE; }
        // Holds its thread inside the renderer until the kill ends it.
        void present(const MediaSample&) override
        {
            struct Leaving {
                std::vector<std::string>& happened;
                ~Leaving() { happened.push_back("renderer's thread left the renderer"); }
            } leaving { m_happened };
            m_presenting = true;
            HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
            WaitForSingleObject(never, INFINITE);
        }

        std::vector<std::string>& m_happened;
        bool& m_presenting;
    };

    for (bool stopping : { false, true }) {
        SCOPED_TRACE(stopping ? "killed while stopping the graph" : "killed while waiting");
        happened.clear();
        presenting = false;
        bool stop_called = false;
        auto device = make_media_device();
        device->programs().add(u"\\player.exe", [&](std::u16string_view) {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            auto graph = make<IGraphBuilder>(CLSID_FilterGraph);
            auto* source = new StubSource();
            source->add_stream(u"Out", type_sound);
            auto source_filter = ComRef<IBaseFilter>::adopt(source);
            auto renderer = ComRef<IBaseFilter>::adopt(new HoldingRenderer(happened, presenting));
            EXPECT_EQ(graph->AddFilter(source_filter.get(), nullptr), S_OK);
            EXPECT_EQ(graph->AddFilter(renderer.get(), nullptr), S_OK);
            EXPECT_EQ(graph->Connect(source->pin(u"Out"), Filter::from(renderer.get())->pin(u"In")), S_OK);
            auto control = query<IMediaControl>(graph.get());
            EXPECT_EQ(control->Run(), S_OK);
            if (stopping) {
                while (!presenting)
                    Sleep(1);
                stop_called = true;
                control->Stop();
            }
            HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
            WaitForSingleObject(never, INFINITE);
            return 0;
        });
        DWORD error = 0;
        auto player = device->create_process(u"\\player.exe", u"", error);
        ASSERT_TRUE(player);
        ASSERT_TRUE(device->run_until([&] { return presenting && stop_called == stopping; }, 1000));

        {
            auto guard = device->scheduler().lock();
            player->terminate(1);
        }
        ASSERT_TRUE(device->run_until([&] { return player->ended(); }, 1000));
        EXPECT_EQ(happened, (std::vector<std::string> { "renderer's thread left the renderer", "renderer freed" }));
        expect_no_live_objects(*device);
    }
}
