#include "Filter.h"

#include "ComApi.h"
#include "Device.h"
#include "ListEnumerator.h"
#include "Process.h"
#include "SimThread.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace kivo {

namespace {

void copy_name(std::u16string_view name, WCHAR* out, size_t capacity)
{
    size_t length = std::min(name.size(), capacity - 1);
    std::copy_n(name.data(), length, out);
    out[length] = 0;
}

} // namespace

// Pins.

Pin::Pin(Filter& owner, PIN_DIRECTION direction, std::u16string name)
    : m_filter(owner)
    , m_direction(direction)
    , m_name(std::move(name))
{
}

HRESULT Pin::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPin || iid == IID_LayerPin) {
        *object = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Pin::AddRef() { return m_filter.AddRef(); }
ULONG Pin::Release() { return m_filter.Release(); }

HRESULT Pin::ConnectedTo(IPin** pin)
{
    if (!pin)
        return E_POINTER;
    *pin = m_peer;
    if (!m_peer)
        return VFW_E_NOT_CONNECTED;
    m_peer->AddRef();
    return S_OK;
}

HRESULT Pin::QueryPinInfo(PIN_INFO* info)
{
    if (!info)
        return E_POINTER;
    info->pFilter = &m_filter;
    m_filter.AddRef();
    info->dir = m_direction;
    copy_name(m_name, info->achName, MAX_PIN_NAME);
    return S_OK;
}

HRESULT Pin::QueryDirection(PIN_DIRECTION* direction)
{
    if (!direction)
        return E_POINTER;
    *direction = m_direction;
    return S_OK;
}

Pin* Pin::from(IPin* pin)
{
    if (!pin)
        return nullptr;
    void* layer_pin = nullptr;
    if (FAILED(pin->QueryInterface(IID_LayerPin, &layer_pin)))
        return nullptr;
    pin->Release(); // the caller holds the pin
    return static_cast<Pin*>(static_cast<IPin*>(layer_pin));
}

HRESULT Pin::connect(Pin& out, Pin& in, const MediaType* type)
{
    if (out.direction() != PINDIR_OUTPUT || in.direction() != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    if (out.connected() || in.connected())
        return VFW_E_ALREADY_CONNECTED;
    std::vector<MediaType> candidates;
    if (type) {
        candidates.push_back(*type);
    } else {
        candidates = out.proposed_types();
        auto from_input = in.proposed_types();
        candidates.insert(candidates.end(), from_input.begin(), from_input.end());
    }
    for (const MediaType& candidate : candidates) {
        if (out.check_type(candidate) != S_OK || in.check_type(candidate) != S_OK)
            continue;
        out.m_peer = &in;
        in.m_peer = &out;
        out.m_type = candidate;
        in.m_type = candidate;
        HRESULT result = out.complete_connect();
        if (SUCCEEDED(result)) {
            result = in.complete_connect();
            if (FAILED(result))
                out.break_connect();
        }
        if (SUCCEEDED(result)) {
            // Each side holds the other's filter while connected, as the platform's pins do.
            out.m_filter.AddRef();
            in.m_filter.AddRef();
            return S_OK;
        }
        out.m_peer = in.m_peer = nullptr;
        out.m_type = in.m_type = MediaType();
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT Pin::disconnect()
{
    if (!m_peer)
        return S_FALSE;
    break_connect();
    Filter& peer_filter = std::exchange(m_peer, nullptr)->filter();
    m_type = MediaType();
    peer_filter.Release();
    return S_OK;
}

HRESULT OutputPin::deliver(const SamplePtr& sample)
{
    InputPin* input = connected_input();
    return input ? input->receive(sample) : VFW_E_NOT_CONNECTED;
}

void OutputPin::deliver_end_of_stream()
{
    if (InputPin* input = connected_input())
        input->end_of_stream();
}

void OutputPin::deliver_begin_flush()
{
    if (InputPin* input = connected_input())
        input->begin_flush();
}

void OutputPin::deliver_end_flush()
{
    if (InputPin* input = connected_input())
        input->end_flush();
}

void OutputPin::deliver_new_segment(REFERENCE_TIME start)
{
    if (InputPin* input = connected_input())
        input->new_segment(start);
}

// Streaming threads.

StreamingThread::~StreamingThread()
{
    join();
}

bool StreamingThread::start(std::function<void()> body)
{
    m_body = std::move(body);
    SimThread& self = *SimThread::current();
    m_thread = self.device().create_thread(self.process(), [this] {
        m_body();
        return DWORD { 0 };
    });
    return m_thread != nullptr;
}

void StreamingThread::join()
{
    if (!m_thread)
        return;
    SimThread& self = *SimThread::current();
    if (m_thread.get() == &self) {
        std::fputs(("kivo: " + self.describe() + ": a streaming thread waits for its own end\n").c_str(), stderr);
        std::abort();
    }
    auto& scheduler = self.device().scheduler();
    {
        auto guard = scheduler.lock();
        // Not an object wait: a kill of the caller would end it with the thread still in the filter.
        auto outcome = scheduler.wait_regardless(guard, self, *m_thread);
        if (outcome.kind != WaitOutcome::Kind::Object) {
            // Only the controller's wait ends so, when no thread can ever run again.
            std::fputs(("kivo: the controller waits for a streaming thread that cannot end (" + m_thread->describe() + ")\n").c_str(), stderr);
            std::abort();
        }
    }
    m_thread.reset();
}

// Clock.

DeviceReferenceClock::DeviceReferenceClock(Device& device)
    : m_device(device)
{
}

HRESULT DeviceReferenceClock::GetTime(REFERENCE_TIME* time)
{
    if (!time)
        return E_POINTER;
    *time = static_cast<REFERENCE_TIME>(m_device.clock().now_ms()) * 10'000;
    return S_OK;
}

// Filters.

Filter::Filter(const CLSID& class_id, std::u16string default_name)
    : m_device(Device::current())
    , m_class_id(class_id)
    , m_default_name(std::move(default_name))
{
}

Filter::~Filter()
{
    if (m_clock)
        m_clock->Release();
}

void* Filter::find_interface(REFIID iid)
{
    if (iid == IID_IUnknown || iid == IID_IBaseFilter || iid == IID_LayerFilter)
        return static_cast<IBaseFilter*>(this);
    if (iid == IID_IMediaFilter)
        return static_cast<IMediaFilter*>(this);
    return nullptr;
}

Filter* Filter::from(IUnknown* object)
{
    if (!object)
        return nullptr;
    void* layer_filter = nullptr;
    if (FAILED(object->QueryInterface(IID_LayerFilter, &layer_filter)))
        return nullptr;
    object->Release(); // the caller holds the filter
    return static_cast<Filter*>(static_cast<IBaseFilter*>(layer_filter));
}

HRESULT Filter::Stop()
{
    FILTER_STATE from = m_state.exchange(State_Stopped, std::memory_order_acq_rel);
    if (from != State_Stopped)
        on_stop();
    return S_OK;
}

HRESULT Filter::Pause()
{
    FILTER_STATE from = m_state.exchange(State_Paused, std::memory_order_acq_rel);
    if (from != State_Paused)
        on_pause(from);
    return S_OK;
}

HRESULT Filter::Run(REFERENCE_TIME start)
{
    if (state() == State_Stopped)
        Pause();
    m_start_time.store(start, std::memory_order_release);
    m_state.store(State_Running, std::memory_order_release);
    on_run(start);
    return S_OK;
}

HRESULT Filter::GetState(DWORD, FILTER_STATE* state_out)
{
    if (!state_out)
        return E_POINTER;
    *state_out = state();
    return S_OK;
}

HRESULT Filter::SetSyncSource(IReferenceClock* clock)
{
    if (clock)
        clock->AddRef();
    IReferenceClock* old = nullptr;
    {
        std::lock_guard guard(m_clock_lock);
        old = std::exchange(m_clock, clock);
    }
    if (old)
        old->Release();
    on_clock_changed();
    return S_OK;
}

HRESULT Filter::GetSyncSource(IReferenceClock** clock)
{
    if (!clock)
        return E_POINTER;
    std::lock_guard guard(m_clock_lock);
    *clock = m_clock;
    if (m_clock)
        m_clock->AddRef();
    return S_OK;
}

std::optional<REFERENCE_TIME> Filter::clock_now() const
{
    ComRef<IReferenceClock> clock;
    {
        std::lock_guard guard(m_clock_lock);
        clock = ComRef<IReferenceClock>(m_clock);
    }
    REFERENCE_TIME now = 0;
    if (!clock || FAILED(clock->GetTime(&now)))
        return std::nullopt;
    return now;
}

HRESULT Filter::EnumPins(IEnumPins** out)
{
    if (!out)
        return E_POINTER;
    std::vector<IPin*> list;
    for (auto& pin : m_pins)
        list.push_back(pin.get());
    *out = new ListEnumerator<IEnumPins, IPin>(std::move(list));
    return S_OK;
}

HRESULT Filter::FindPin(LPCWSTR id, IPin** out)
{
    if (!id || !out)
        return E_POINTER;
    *out = pin(id);
    if (!*out)
        return VFW_E_NOT_FOUND;
    (*out)->AddRef();
    return S_OK;
}

HRESULT Filter::QueryFilterInfo(FILTER_INFO* info)
{
    if (!info)
        return E_POINTER;
    copy_name(m_name, info->achName, MAX_FILTER_NAME);
    info->pGraph = m_graph.load();
    if (info->pGraph)
        info->pGraph->AddRef();
    return S_OK;
}

HRESULT Filter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name)
{
    IMediaEventSink* sink = nullptr;
    if (graph && SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))))
        sink->Release(); // kept without a reference, as the graph is
    m_sink = sink;
    m_graph = graph;
    m_name = graph && name ? std::u16string(name) : std::u16string();
    return S_OK;
}

std::vector<Pin*> Filter::pins() const
{
    std::vector<Pin*> list;
    for (auto& pin : m_pins)
        list.push_back(pin.get());
    return list;
}

Pin* Filter::pin(std::u16string_view name) const
{
    for (auto& pin : m_pins) {
        if (pin->name() == name)
            return pin.get();
    }
    return nullptr;
}

void Filter::add_pin(std::unique_ptr<Pin> pin)
{
    m_pins.push_back(std::move(pin));
}

void Filter::notify(long code, LONG_PTR first, LONG_PTR second)
{
    if (IMediaEventSink* sink = m_sink.load())
        sink->Notify(code, first, second);
}

} // namespace kivo
