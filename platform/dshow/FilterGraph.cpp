#include "FilterGraph.h"

#include "ComClassTable.h"
#include "Device.h"
#include "GwesApi.h"
#include "ListEnumerator.h"
#include "ThreadTermination.h"
#include "WideText.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>

namespace kivo {

namespace {

std::string hex(LONG_PTR value)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

bool is_free_input(const Pin* pin) { return pin->direction() == PINDIR_INPUT && !pin->connected(); }

// What a stream carries, as RenderFile tells its results apart.
GUID major_type_of(Pin& pin)
{
    if (pin.connected())
        return pin.type().major;
    auto types = pin.proposed_types();
    return types.empty() ? GUID {} : types.front().major;
}

} // namespace

FilterGraph::FilterGraph(Device& device)
    : m_device(device)
    , m_published(device.component<FilterGraphs>())
    , m_published_key(m_published.add())
    , m_video_calls(device.trace_limit())
{
}

FilterGraph::~FilterGraph()
{
    DeferredTermination deferred; // the last Release must not throw; a kill lets waits fail
    {
        std::lock_guard guard(m_lock);
        m_closing = true;
        m_posting = {};
    }
    std::lock_guard control(m_control);
    stop_filters();
    for (const Member& member : members())
        remove_member(*member.layer);
    m_published.remove(m_published_key);
}

void* FilterGraph::find_interface(REFIID iid)
{
    if (iid == IID_IFilterGraph || iid == IID_LayerFilterGraph)
        return static_cast<IGraphBuilder*>(this);
    if (iid == IID_IMediaEvent)
        return static_cast<IMediaEventEx*>(this);
    return ComObject::find_interface(iid);
}

FilterGraph* FilterGraph::from(IUnknown* object)
{
    if (!object)
        return nullptr;
    void* graph = nullptr;
    if (FAILED(object->QueryInterface(IID_LayerFilterGraph, &graph)))
        return nullptr;
    object->Release(); // the caller holds the graph
    return static_cast<FilterGraph*>(static_cast<IGraphBuilder*>(graph));
}

// Members.

std::vector<FilterGraph::Member> FilterGraph::members() const
{
    std::lock_guard guard(m_lock);
    return m_members;
}

const FilterGraph::Member* FilterGraph::member_locked(const Filter* filter) const
{
    for (const Member& member : m_members) {
        if (member.layer == filter)
            return &member;
    }
    return nullptr;
}

HRESULT FilterGraph::add_member(ComRef<IBaseFilter> filter, LPCWSTR name)
{
    Filter* layer = Filter::from(filter.get());
    if (!layer)
        return E_NOINTERFACE; // the graph drives its filters through the layer's side
    std::u16string wanted = name ? std::u16string(name) : layer->default_name();
    wanted.resize(std::min<size_t>(wanted.size(), MAX_FILTER_NAME - 1));
    ComRef<IReferenceClock> clock;
    bool hand_clock = false;
    std::optional<long> volume;
    std::u16string given = wanted;
    HRESULT result = S_OK;
    {
        std::lock_guard guard(m_lock);
        if (member_locked(layer))
            return E_INVALIDARG;
        auto taken = [&](const std::u16string& candidate) {
            return std::any_of(m_members.begin(), m_members.end(), [&](const Member& member) { return member.name == candidate; });
        };
        // A name taken already gets a number, as the platform gives it: "Name 0001".
        for (int number = 1; taken(given); ++number) {
            if (number > 9999)
                return VFW_E_DUPLICATE_NAME;
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, " %04d", number);
            given = wanted.substr(0, MAX_FILTER_NAME - 1 - 5) + to_utf16(suffix);
            result = VFW_S_DUPLICATE_NAME;
        }
        m_members.push_back({ filter, layer, given });
        clock = m_clock;
        hand_clock = m_clock_given || m_clock_picked;
        volume = m_volume;
    }
    layer->JoinFilterGraph(static_cast<IGraphBuilder*>(this), given.c_str());
    publish_files();
    if (hand_clock)
        layer->SetSyncSource(clock.get());
    if (volume) {
        ComRef<IBasicAudio> audio;
        if (SUCCEEDED(layer->QueryInterface(IID_IBasicAudio, audio.put())))
            audio->put_Volume(*volume);
    }
    return result;
}

void FilterGraph::remove_member(Filter& filter)
{
    filter.Stop();
    for (Pin* pin : filter.pins()) {
        if (Pin* peer = pin->peer())
            peer->disconnect();
        pin->disconnect();
    }
    // A renderer that is the clock holds itself through it: let it go.
    filter.SetSyncSource(nullptr);
    filter.JoinFilterGraph(nullptr, nullptr);
    ComRef<IReferenceClock> own_clock;
    filter.QueryInterface(IID_IReferenceClock, own_clock.put());
    Member gone;
    {
        std::lock_guard guard(m_lock);
        auto it = std::find_if(m_members.begin(), m_members.end(), [&](const Member& member) { return member.layer == &filter; });
        if (it == m_members.end())
            return;
        gone = std::move(*it);
        m_members.erase(it);
        std::erase(m_awaited_renderers, static_cast<IBaseFilter*>(&filter));
        if (m_clock_picked && own_clock && own_clock.get() == m_clock.get()) {
            // The clock it gave goes with it; the next start picks again.
            m_clock = ComRef<IReferenceClock>();
            m_clock_picked = false;
        }
    }
    publish_files();
    // `gone` releases the graph's reference here, without the lock.
}

void FilterGraph::publish_files()
{
    std::vector<std::u16string> files;
    for (const Member& member : members()) {
        if (auto* source = dynamic_cast<FileSourceFilter*>(member.layer); source && !source->loaded_path().empty())
            files.push_back(source->loaded_path());
    }
    m_published.set_files(m_published_key, std::move(files));
}

Filter* FilterGraph::make_member(const CLSID& class_id)
{
    ComRef<IBaseFilter> made;
    if (FAILED(m_device.component<ComClassTable>().create(class_id, nullptr, IID_IBaseFilter, made.put())))
        return nullptr;
    Filter* layer = Filter::from(made.get());
    if (!layer || FAILED(add_member(made, nullptr)))
        return nullptr;
    return layer;
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name)
{
    if (!filter)
        return E_POINTER;
    std::lock_guard control(m_control);
    return add_member(ComRef<IBaseFilter>(filter), name);
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter)
{
    Filter* layer = Filter::from(filter);
    std::lock_guard control(m_control);
    {
        std::lock_guard guard(m_lock);
        if (!layer || !member_locked(layer))
            return VFW_E_NOT_FOUND;
    }
    ComRef<IBaseFilter> keep(filter); // the caller's reference may be the graph's own
    remove_member(*layer);
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** out)
{
    if (!out)
        return E_POINTER;
    std::vector<IBaseFilter*> list;
    std::lock_guard guard(m_lock);
    for (const Member& member : m_members)
        list.push_back(member.filter.get());
    *out = new ListEnumerator<IEnumFilters, IBaseFilter>(std::move(list));
    return S_OK;
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** out)
{
    if (!name || !out)
        return E_POINTER;
    *out = nullptr;
    std::lock_guard guard(m_lock);
    for (const Member& member : m_members) {
        if (member.name == name) {
            *out = ComRef<IBaseFilter>(member.filter).detach();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

// Connections.

HRESULT FilterGraph::check_pin(IPin* pin, Pin*& layer)
{
    if (!pin)
        return E_POINTER;
    layer = Pin::from(pin);
    if (!layer)
        return E_NOINTERFACE;
    std::lock_guard guard(m_lock);
    if (!member_locked(&layer->filter()))
        return VFW_E_NOT_IN_GRAPH;
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    return S_OK;
}

HRESULT FilterGraph::connect_pins(Pin& out, Pin& in, int depth)
{
    HRESULT direct = Pin::connect(out, in, nullptr);
    if (SUCCEEDED(direct) || direct == VFW_E_ALREADY_CONNECTED || direct == VFW_E_INVALID_DIRECTION)
        return direct;
    if (depth < most_transforms) {
        for (const CLSID& class_id : m_device.component<FilterCatalog>().classes(FilterCatalog::Role::Transform)) {
            Filter* transform = make_member(class_id);
            if (!transform)
                continue;
            if (connect_through(*transform, out, in, depth))
                return S_OK;
            remove_member(*transform);
        }
    }
    return VFW_E_CANNOT_CONNECT;
}

bool FilterGraph::connect_through(Filter& transform, Pin& out, Pin& in, int depth)
{
    for (Pin* transform_in : transform.pins()) {
        if (!is_free_input(transform_in) || FAILED(Pin::connect(out, *transform_in, nullptr)))
            continue;
        for (Pin* transform_out : transform.pins()) {
            if (transform_out->direction() == PINDIR_OUTPUT && !transform_out->connected()
                && SUCCEEDED(connect_pins(*transform_out, in, depth + 1)))
                return true;
        }
        transform_in->disconnect();
        out.disconnect();
    }
    return false;
}

HRESULT FilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type)
{
    std::lock_guard control(m_control);
    Pin* layer_out = nullptr;
    Pin* layer_in = nullptr;
    HRESULT checked = check_pin(out, layer_out);
    if (SUCCEEDED(checked))
        checked = check_pin(in, layer_in);
    if (FAILED(checked))
        return checked;
    if (!type)
        return Pin::connect(*layer_out, *layer_in, nullptr);
    MediaType wanted = MediaType::from(*type);
    return Pin::connect(*layer_out, *layer_in, &wanted);
}

HRESULT FilterGraph::Connect(IPin* out, IPin* in)
{
    std::lock_guard control(m_control);
    Pin* layer_out = nullptr;
    Pin* layer_in = nullptr;
    HRESULT checked = check_pin(out, layer_out);
    if (SUCCEEDED(checked))
        checked = check_pin(in, layer_in);
    if (FAILED(checked))
        return checked;
    return connect_pins(*layer_out, *layer_in, 0);
}

HRESULT FilterGraph::Disconnect(IPin* pin)
{
    std::lock_guard control(m_control);
    Pin* layer = nullptr;
    HRESULT checked = check_pin(pin, layer);
    return FAILED(checked) ? checked : layer->disconnect();
}

HRESULT FilterGraph::render_pin(Pin& out)
{
    if (out.direction() != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    if (out.connected())
        return VFW_E_ALREADY_CONNECTED;
    // Renderers already in the graph with a free input first, then new ones from the catalog.
    for (const Member& member : members()) {
        if (!member.layer->is_renderer())
            continue;
        for (Pin* input : member.layer->pins()) {
            if (is_free_input(input) && SUCCEEDED(connect_pins(out, *input, 0)))
                return S_OK;
        }
    }
    for (const CLSID& class_id : m_device.component<FilterCatalog>().classes(FilterCatalog::Role::Renderer)) {
        Filter* renderer = make_member(class_id);
        if (!renderer)
            continue;
        for (Pin* input : renderer->pins()) {
            if (is_free_input(input) && SUCCEEDED(connect_pins(out, *input, 0)))
                return S_OK;
        }
        remove_member(*renderer);
    }
    return VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::Render(IPin* out)
{
    std::lock_guard control(m_control);
    Pin* layer = nullptr;
    HRESULT checked = check_pin(out, layer);
    return FAILED(checked) ? checked : render_pin(*layer);
}

HRESULT FilterGraph::RenderFile(LPCWSTR file, LPCWSTR play_list)
{
    if (!file)
        return E_POINTER;
    if (play_list && *play_list)
        return E_INVALIDARG; // the device's graph takes no play lists
    std::lock_guard control(m_control);
    {
        std::lock_guard guard(m_lock);
        if (m_state != State_Stopped)
            return VFW_E_NOT_STOPPED;
    }
    auto sources = m_device.component<FilterCatalog>().classes(FilterCatalog::Role::FileSource);
    if (sources.empty())
        return REGDB_E_CLASSNOTREG;
    ComRef<IBaseFilter> made;
    HRESULT created = m_device.component<ComClassTable>().create(sources.front(), nullptr, IID_IBaseFilter, made.put());
    if (FAILED(created))
        return created;
    Filter* source = Filter::from(made.get());
    auto* file_source = dynamic_cast<FileSourceFilter*>(source);
    if (!file_source)
        return E_NOINTERFACE;
    HRESULT loaded = file_source->load(file);
    if (FAILED(loaded))
        return loaded;
    // The source is named by its file, as the platform names it.
    HRESULT added = add_member(made, file);
    if (FAILED(added))
        return added;

    int streams = 0;
    int audio = 0;
    int video = 0;
    int failed = 0;
    int failed_audio = 0;
    int failed_video = 0;
    for (Pin* out : source->pins()) {
        if (out->direction() != PINDIR_OUTPUT)
            continue;
        GUID major = major_type_of(*out);
        bool is_audio = major == MEDIATYPE_Audio;
        bool is_video = major == MEDIATYPE_Video;
        ++streams;
        audio += is_audio;
        video += is_video;
        if (SUCCEEDED(render_pin(*out)))
            continue;
        ++failed;
        failed_audio += is_audio;
        failed_video += is_video;
    }
    if (failed == streams)
        return VFW_E_UNSUPPORTED_STREAM; // also when the file gave no stream at all
    if (failed == 0)
        return S_OK;
    if (failed == failed_audio && failed_audio == audio)
        return VFW_S_AUDIO_NOT_RENDERED;
    if (failed == failed_video && failed_video == video)
        return VFW_S_VIDEO_NOT_RENDERED;
    return VFW_S_PARTIAL_RENDER;
}

// States.

std::vector<ComRef<IBaseFilter>> FilterGraph::downstream_first() const
{
    // A filter's distance from the end of its streams: renderers 0, what feeds them 1, and so on.
    std::vector<Member> list = members();
    std::map<const Filter*, int> distance;
    auto distance_of = [&](auto& self, const Filter& filter, int hops) -> int {
        if (auto known = distance.find(&filter); known != distance.end())
            return known->second;
        int longest = 0;
        if (hops <= static_cast<int>(list.size())) { // a loop of connections ends here
            for (Pin* pin : filter.pins()) {
                if (pin->direction() == PINDIR_OUTPUT && pin->peer())
                    longest = std::max(longest, 1 + self(self, pin->peer()->filter(), hops + 1));
            }
        }
        distance[&filter] = longest;
        return longest;
    };
    for (const Member& member : list)
        distance_of(distance_of, *member.layer, 0);
    std::stable_sort(list.begin(), list.end(), [&](const Member& a, const Member& b) { return distance[a.layer] < distance[b.layer]; });
    std::vector<ComRef<IBaseFilter>> order;
    for (Member& member : list)
        order.push_back(std::move(member.filter));
    return order;
}

REFERENCE_TIME FilterGraph::now() const
{
    ComRef<IReferenceClock> clock;
    {
        std::lock_guard guard(m_lock);
        clock = m_clock;
    }
    REFERENCE_TIME time = 0;
    if (clock && SUCCEEDED(clock->GetTime(&time)))
        return time;
    // Without a clock the stream's time still passes with the device's.
    return static_cast<REFERENCE_TIME>(m_device.clock().now_ms()) * 10'000;
}

void FilterGraph::leave_stopped()
{
    std::vector<Member> list = members();
    ComRef<IReferenceClock> clock;
    bool hand_out = false;
    {
        std::lock_guard guard(m_lock);
        clock = m_clock;
        hand_out = !m_clock_given && !m_clock_picked;
    }
    if (hand_out) {
        // The sound renderer's clock keeps the pictures on the sound; else the device's.
        for (const Member& member : list) {
            if (member.layer->is_renderer() && SUCCEEDED(member.filter->QueryInterface(IID_IReferenceClock, clock.put())))
                break;
        }
        if (!clock)
            clock = ComRef<IReferenceClock>::adopt(new DeviceReferenceClock(m_device));
        {
            std::lock_guard guard(m_lock);
            m_clock = clock;
            m_clock_picked = true;
        }
        for (const Member& member : list)
            member.filter->SetSyncSource(clock.get());
    }

    bool reseek = false;
    REFERENCE_TIME landing = 0;
    {
        std::lock_guard guard(m_lock);
        reseek = std::exchange(m_reseek, false);
        landing = m_landing;
    }
    if (reseek) {
        // Stopped where it had played to: the sources start from there.
        for (const Member& member : list) {
            REFERENCE_TIME ignored = 0;
            if (MediaSeeker* seeker = member.layer->seeker())
                seeker->seek(landing, false, ignored);
        }
    }
    expect_completion();
}

void FilterGraph::expect_completion()
{
    // The renderers that play a stream: each sends its EC_COMPLETE when its end has played.
    std::vector<IBaseFilter*> renderers;
    for (const Member& member : members()) {
        const auto pins = member.layer->pins();
        bool fed = std::any_of(pins.begin(), pins.end(), [](const Pin* pin) { return pin->direction() == PINDIR_INPUT && pin->connected(); });
        if (member.layer->is_renderer() && fed)
            renderers.push_back(static_cast<IBaseFilter*>(member.layer));
    }
    std::lock_guard guard(m_lock);
    m_awaited_renderers = std::move(renderers);
    m_complete_sent = m_awaited_renderers.empty();
}

HRESULT FilterGraph::pause_filters()
{
    FILTER_STATE from;
    {
        std::lock_guard guard(m_lock);
        from = m_state;
    }
    if (from == State_Paused)
        return S_OK;
    if (from == State_Stopped)
        leave_stopped();
    REFERENCE_TIME paused_at = from == State_Running ? now() : 0;
    {
        std::lock_guard guard(m_lock);
        m_paused_stream_time = from == State_Running ? paused_at - m_start : 0;
        m_state = State_Paused;
        m_published.set_state(m_published_key, m_state);
    }
    HRESULT result = S_OK;
    for (auto& filter : downstream_first()) {
        HRESULT paused = filter->Pause();
        if (FAILED(paused) && SUCCEEDED(result))
            result = paused;
    }
    return result;
}

HRESULT FilterGraph::run_filters(std::optional<REFERENCE_TIME> start, bool& started)
{
    {
        std::lock_guard guard(m_lock);
        started = m_state != State_Running;
        if (!started)
            return S_OK;
    }
    HRESULT result = pause_filters();
    REFERENCE_TIME run_start = 0;
    REFERENCE_TIME time_now = now();
    {
        std::lock_guard guard(m_lock);
        m_start = start ? *start : time_now - m_paused_stream_time;
        m_state = State_Running;
        m_published.set_state(m_published_key, m_state);
        run_start = m_start;
    }
    for (auto& filter : downstream_first()) {
        HRESULT ran = filter->Run(run_start);
        if (FAILED(ran) && SUCCEEDED(result))
            result = ran;
    }
    return result;
}

HRESULT FilterGraph::stop_filters()
{
    REFERENCE_TIME stopped_at = position();
    {
        std::lock_guard guard(m_lock);
        if (m_state == State_Stopped)
            return S_OK;
        m_reseek = stopped_at != m_landing;
        m_landing = stopped_at;
        m_paused_stream_time = 0;
        m_state = State_Stopped;
        m_published.set_state(m_published_key, m_state);
        m_complete_sent = true;
        m_awaited_renderers.clear();
    }
    HRESULT result = S_OK;
    for (auto& filter : downstream_first()) {
        HRESULT stopped = filter->Stop();
        if (FAILED(stopped) && SUCCEEDED(result))
            result = stopped;
    }
    return result;
}

HRESULT FilterGraph::Run()
{
    std::unique_lock control(m_control);
    bool started = false;
    HRESULT result = run_filters(std::nullopt, started);
    control.unlock();
    if (started)
        raise(EC_CLOCK_CHANGED, 0, 0);
    return result;
}

HRESULT FilterGraph::Run(REFERENCE_TIME start)
{
    std::unique_lock control(m_control);
    bool started = false;
    HRESULT result = run_filters(start, started);
    control.unlock();
    if (started)
        raise(EC_CLOCK_CHANGED, 0, 0);
    return result;
}

HRESULT FilterGraph::Pause()
{
    std::lock_guard control(m_control);
    return pause_filters();
}

HRESULT FilterGraph::Stop()
{
    std::lock_guard control(m_control);
    return stop_filters();
}

HRESULT FilterGraph::StopWhenReady()
{
    // The filters are cued by the pause before they stop.
    std::lock_guard control(m_control);
    HRESULT paused = pause_filters();
    HRESULT stopped = stop_filters();
    return FAILED(paused) ? paused : stopped;
}

HRESULT FilterGraph::GetState(LONG, OAFilterState* state)
{
    if (!state)
        return E_POINTER;
    std::lock_guard guard(m_lock);
    *state = m_state;
    return S_OK;
}

HRESULT FilterGraph::GetState(DWORD, FILTER_STATE* state)
{
    if (!state)
        return E_POINTER;
    std::lock_guard guard(m_lock);
    *state = m_state;
    return S_OK;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock)
{
    std::lock_guard control(m_control);
    {
        std::lock_guard guard(m_lock);
        if (m_state != State_Stopped)
            return VFW_E_NOT_STOPPED;
        m_clock = ComRef<IReferenceClock>(clock);
        m_clock_given = true;
        m_clock_picked = false;
    }
    for (const Member& member : members())
        member.filter->SetSyncSource(clock);
    return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock)
{
    if (!clock)
        return E_POINTER;
    std::lock_guard guard(m_lock);
    *clock = ComRef<IReferenceClock>(m_clock).detach();
    return S_OK;
}

// Seeking.

std::optional<REFERENCE_TIME> FilterGraph::duration() const
{
    std::optional<REFERENCE_TIME> longest;
    for (const Member& member : members()) {
        if (MediaSeeker* seeker = member.layer->seeker())
            longest = std::max(longest.value_or(0), seeker->duration());
    }
    return longest;
}

REFERENCE_TIME FilterGraph::position() const
{
    std::optional<REFERENCE_TIME> length = duration();
    REFERENCE_TIME time_now = now();
    REFERENCE_TIME at = 0;
    {
        std::lock_guard guard(m_lock);
        switch (m_state) {
        case State_Running:
            at = m_landing + (time_now - m_start);
            break;
        case State_Paused:
            at = m_landing + m_paused_stream_time;
            break;
        case State_Stopped:
            at = m_landing;
            break;
        }
    }
    at = std::max<REFERENCE_TIME>(at, 0);
    return length ? std::min(at, *length) : at;
}

HRESULT FilterGraph::GetDuration(LONGLONG* out)
{
    if (!out)
        return E_POINTER;
    std::optional<REFERENCE_TIME> length = duration();
    if (!length)
        return E_NOTIMPL;
    *out = *length;
    return S_OK;
}

HRESULT FilterGraph::GetStopPosition(LONGLONG* out)
{
    if (!out)
        return E_POINTER;
    {
        std::lock_guard guard(m_lock);
        if (m_stop_position) {
            *out = *m_stop_position;
            return S_OK;
        }
    }
    return GetDuration(out);
}

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* out)
{
    if (!out)
        return E_POINTER;
    *out = position();
    return S_OK;
}

HRESULT FilterGraph::SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop, DWORD stop_flags)
{
    DWORD current_how = current_flags & AM_SEEKING_PositioningBitsMask;
    DWORD stop_how = stop_flags & AM_SEEKING_PositioningBitsMask;
    if ((current_how != AM_SEEKING_NoPositioning && !current) || (stop_how != AM_SEEKING_NoPositioning && !stop))
        return E_POINTER;
    if ((current_how != AM_SEEKING_NoPositioning && current_how != AM_SEEKING_AbsolutePositioning && current_how != AM_SEEKING_RelativePositioning)
        || (stop_how != AM_SEEKING_NoPositioning && stop_how != AM_SEEKING_AbsolutePositioning))
        return E_INVALIDARG;

    std::lock_guard control(m_control);
    std::optional<REFERENCE_TIME> length = duration();
    if (!length)
        return E_NOTIMPL;
    if (stop_how == AM_SEEKING_AbsolutePositioning) {
        std::lock_guard guard(m_lock);
        m_stop_position = std::clamp<REFERENCE_TIME>(*stop, 0, *length);
    }
    if (current_how == AM_SEEKING_NoPositioning)
        return S_OK;

    REFERENCE_TIME target = *current + (current_how == AM_SEEKING_RelativePositioning ? position() : 0);
    target = std::clamp<REFERENCE_TIME>(target, 0, *length);
    bool to_key_frame = current_flags & AM_SEEKING_SeekToKeyFrame;
    FILTER_STATE state;
    {
        std::lock_guard guard(m_lock);
        state = m_state;
    }
    // Running, the filters hold still while the sources move and then play on from the landing.
    if (state == State_Running) {
        REFERENCE_TIME paused_at = now();
        {
            std::lock_guard guard(m_lock);
            m_paused_stream_time = paused_at - m_start;
        }
        for (auto& filter : downstream_first())
            filter->Pause();
    }
    std::optional<REFERENCE_TIME> landing;
    HRESULT result = E_NOTIMPL;
    for (const Member& member : members()) {
        MediaSeeker* seeker = member.layer->seeker();
        if (!seeker)
            continue;
        REFERENCE_TIME landed = target;
        HRESULT sought = seeker->seek(target, to_key_frame, landed);
        if (SUCCEEDED(sought) && !landing)
            landing = landed;
        if (SUCCEEDED(sought) || result == E_NOTIMPL)
            result = sought;
    }
    if (landing) {
        std::lock_guard guard(m_lock);
        m_landing = *landing;
        m_paused_stream_time = 0;
        m_reseek = false;
    }
    if (landing && state != State_Stopped)
        expect_completion();
    if (state == State_Running) {
        REFERENCE_TIME run_start = now();
        {
            std::lock_guard guard(m_lock);
            m_start = run_start - m_paused_stream_time;
            run_start = m_start;
        }
        for (auto& filter : downstream_first())
            filter->Run(run_start);
    }
    if (landing && (current_flags & AM_SEEKING_ReturnTime))
        *current = *landing;
    return result;
}

// Events.

FilterGraph::Posting FilterGraph::queue_locked(long code, LONG_PTR first, LONG_PTR second)
{
    m_events.push_back({ code, first, second });
    m_event_queued.notify_all();
    Posting posting = m_posting;
    posting.count = posting.window ? 1 : 0;
    return posting;
}

void FilterGraph::post(const Posting& posting)
{
    for (size_t i = 0; i < posting.count; ++i)
        PostMessage(posting.window, posting.message, 0, static_cast<LPARAM>(posting.instance));
}

void FilterGraph::raise(long code, LONG_PTR first, LONG_PTR second)
{
    Posting posting;
    {
        std::lock_guard guard(m_lock);
        posting = queue_locked(code, first, second);
    }
    post(posting);
}

HRESULT FilterGraph::Notify(long code, LONG_PTR first, LONG_PTR second)
{
    Posting posting;
    {
        std::lock_guard guard(m_lock);
        if (m_closing)
            return S_OK;
        auto* sender = reinterpret_cast<IBaseFilter*>(second);
        bool from_member = std::any_of(m_members.begin(), m_members.end(), [&](const Member& member) { return static_cast<IBaseFilter*>(member.layer) == sender; });
        if (code == EC_COMPLETE && sender && from_member) {
            // The application hears of the end once every renderer has played its own.
            std::erase(m_awaited_renderers, sender);
            if (!m_awaited_renderers.empty() || m_complete_sent)
                return S_OK;
            m_complete_sent = true;
            posting = queue_locked(EC_COMPLETE, S_OK, 0);
        } else {
            posting = queue_locked(code, first, second);
        }
    }
    post(posting);
    return S_OK;
}

HRESULT FilterGraph::GetEvent(long* code, LONG_PTR* first, LONG_PTR* second, long timeout_ms)
{
    if (!code || !first || !second)
        return E_POINTER;
    std::optional<uint64_t> deadline;
    if (timeout_ms >= 0)
        deadline = m_device.clock().now_ms() + static_cast<uint64_t>(timeout_ms);
    std::unique_lock held(m_lock);
    if (m_events.empty() && timeout_ms != 0)
        m_event_queued.wait(held, deadline, [&] { return !m_events.empty(); });
    if (m_events.empty()) {
        *code = 0;
        *first = *second = 0;
        return E_ABORT;
    }
    Event event = m_events.front();
    m_events.pop_front();
    *code = event.code;
    *first = event.first;
    *second = event.second;
    return S_OK;
}

HRESULT FilterGraph::FreeEventParams(long, LONG_PTR, LONG_PTR)
{
    return S_OK; // the parameters are values: nothing was allocated
}

HRESULT FilterGraph::SetNotifyWindow(OAHWND window, long message, LONG_PTR instance)
{
    Posting posting;
    {
        std::lock_guard guard(m_lock);
        if (m_closing)
            return S_OK;
        m_posting = { reinterpret_cast<HWND>(window), static_cast<UINT>(message), instance, 0 };
        posting = m_posting;
        posting.count = window ? m_events.size() : 0;
    }
    post(posting); // the events already waiting get theirs now
    return S_OK;
}

// Sound volume.

HRESULT FilterGraph::put_Volume(long volume)
{
    if (volume < AM_VOLUME_SILENCE || volume > AM_VOLUME_FULL)
        return E_INVALIDARG;
    {
        std::lock_guard guard(m_lock);
        m_volume = volume; // for renderers added later
    }
    HRESULT result = E_NOTIMPL;
    for (const Member& member : members()) {
        ComRef<IBasicAudio> audio;
        if (FAILED(member.filter->QueryInterface(IID_IBasicAudio, audio.put())))
            continue;
        HRESULT set = audio->put_Volume(volume);
        if (result == E_NOTIMPL || FAILED(set))
            result = set;
    }
    return result;
}

HRESULT FilterGraph::get_Volume(long* volume)
{
    if (!volume)
        return E_POINTER;
    for (const Member& member : members()) {
        ComRef<IBasicAudio> audio;
        if (SUCCEEDED(member.filter->QueryInterface(IID_IBasicAudio, audio.put())))
            return audio->get_Volume(volume);
    }
    return E_NOTIMPL;
}

// The video window: recorded only.

VideoWindowRecord FilterGraph::video_window() const
{
    std::lock_guard guard(m_lock);
    VideoWindowRecord record = m_video;
    record.calls = m_video_calls.all();
    return record;
}

HRESULT FilterGraph::put_WindowStyle(long style)
{
    std::lock_guard guard(m_lock);
    m_video.style = style;
    m_video_calls.append("put_WindowStyle(" + hex(static_cast<unsigned long>(style)) + ")");
    return S_OK;
}

HRESULT FilterGraph::put_Visible(long visible)
{
    std::lock_guard guard(m_lock);
    m_video.visible = visible;
    m_video_calls.append("put_Visible(" + std::to_string(visible) + ")");
    return S_OK;
}

HRESULT FilterGraph::put_Owner(OAHWND owner)
{
    std::lock_guard guard(m_lock);
    m_video.owner = owner;
    m_video_calls.append("put_Owner(" + hex(owner) + ")");
    return S_OK;
}

HRESULT FilterGraph::put_MessageDrain(OAHWND drain)
{
    std::lock_guard guard(m_lock);
    m_video.drain = drain;
    m_video_calls.append("put_MessageDrain(" + hex(drain) + ")");
    return S_OK;
}

HRESULT FilterGraph::get_MessageDrain(OAHWND* drain)
{
    if (!drain)
        return E_POINTER;
    std::lock_guard guard(m_lock);
    *drain = m_video.drain;
    return S_OK;
}

HRESULT FilterGraph::put_FullScreenMode(long full_screen)
{
    std::lock_guard guard(m_lock);
    m_video.full_screen = full_screen;
    m_video_calls.append("put_FullScreenMode(" + std::to_string(full_screen) + ")");
    return S_OK;
}

HRESULT FilterGraph::SetWindowForeground(long focus)
{
    std::lock_guard guard(m_lock);
    m_video.foreground_focus = focus;
    m_video_calls.append("SetWindowForeground(" + std::to_string(focus) + ")");
    return S_OK;
}

HRESULT FilterGraph::SetWindowPosition(long left, long top, long width, long height)
{
    std::lock_guard guard(m_lock);
    m_video.left = left;
    m_video.top = top;
    m_video.width = width;
    m_video.height = height;
    m_video_calls.append("SetWindowPosition(" + std::to_string(left) + ", " + std::to_string(top) + ", " + std::to_string(width) + ", "
        + std::to_string(height) + ")");
    return S_OK;
}

} // namespace kivo
