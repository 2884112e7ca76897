#pragma once

// The layer's filters: a filter with its pins, its state and its place in a graph. Every filter of
// the layer (the file source, the decoders, the renderers, the vendor's television filters) is
// built on these; the graph reaches their layer side through the ids below.
//
// Threads. The program's thread changes a filter's state and its connections (connections only
// while the graph is stopped). Streaming threads, started when a filter leaves the stopped state
// and joined before Stop returns, carry samples downstream: a source's thread calls its output
// pins, which call the connected input pins on that same thread. No filter holds its lock while it
// calls out (downstream, into the graph's event sink, into an application's callback).

#include "DShowApi.h"
#include "HostMutex.h"
#include "MediaType.h"
#include "SimCondition.h"
#include "SimMutex.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivo {

class Device;
class Filter;
class SimThread;
class InputPin;
class OutputPin;

// Asking a pin or a filter for these ids answers the layer's own object (with a reference).
inline constexpr IID IID_LayerPin = kivo::guid("{6B0E93C1-52D4-4A7E-9E0B-3C1D5F7A2B20}");
inline constexpr IID IID_LayerFilter = kivo::guid("{6B0E93C1-52D4-4A7E-9E0B-3C1D5F7A2B21}");

class Pin : public IPin {
public:
    Pin(Filter& owner, PIN_DIRECTION, std::u16string name);
    virtual ~Pin() = default;
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;

    // A pin lives as long as its filter: its references are the filter's.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;

    // The layer's pin behind an interface pointer, without a reference; null for a foreign pin.
    static Pin* from(IPin*);

    Filter& filter() const { return m_filter; }
    PIN_DIRECTION direction() const { return m_direction; }
    const std::u16string& name() const { return m_name; }
    Pin* peer() const { return m_peer; }
    bool connected() const { return m_peer != nullptr; }
    // The type agreed on while connected.
    const MediaType& type() const { return m_type; }

    // Whether this pin can carry the type.
    virtual HRESULT check_type(const MediaType&) = 0;
    // The types this pin proposes for a connection, best first (an output pin's, usually).
    virtual std::vector<MediaType> proposed_types() { return {}; }
    // Both sides agreed on type(): set up for it (a decoder opens its codec). A failure undoes
    // the connection.
    virtual HRESULT complete_connect() { return S_OK; }
    // The connection went.
    virtual void break_connect() { }

    // Connects an output pin to an input pin with the given type, or with the first type either
    // proposes (the output's first) that both accept. VFW_E_ALREADY_CONNECTED when either is
    // connected, VFW_E_INVALID_DIRECTION for a wrong pair, VFW_E_NO_ACCEPTABLE_TYPES when no type fits.
    static HRESULT connect(Pin& out, Pin& in, const MediaType* type);
    // A connection holds a reference on the peer's filter, as long as this side is connected.
    // Breaks this side of the connection only (the graph's Disconnect): S_FALSE when not connected.
    HRESULT disconnect();

private:
    Filter& m_filter;
    PIN_DIRECTION m_direction;
    std::u16string m_name;
    Pin* m_peer = nullptr;
    MediaType m_type;
};

class InputPin : public Pin {
public:
    InputPin(Filter& owner, std::u16string name)
        : Pin(owner, PINDIR_INPUT, std::move(name))
    {
    }

    // Called on the upstream filter's streaming thread, never with a lock of the caller held.
    // receive: S_OK taken; S_FALSE send no more until a flush; a failure stops the stream.
    virtual HRESULT receive(const SamplePtr&) = 0;
    virtual void end_of_stream() = 0;
    // A seek: drop what is queued and refuse samples until the end of the flush.
    virtual void begin_flush() = 0;
    virtual void end_flush() = 0;
    // The samples that follow start at `start` of the media's time (a seek's landing).
    virtual void new_segment(REFERENCE_TIME /*start*/) { }
};

class OutputPin : public Pin {
public:
    OutputPin(Filter& owner, std::u16string name)
        : Pin(owner, PINDIR_OUTPUT, std::move(name))
    {
    }

    InputPin* connected_input() const { return static_cast<InputPin*>(peer()); }

    // Hands on to the connected input pin (VFW_E_NOT_CONNECTED without one).
    HRESULT deliver(const SamplePtr&);
    void deliver_end_of_stream();
    void deliver_begin_flush();
    void deliver_end_flush();
    void deliver_new_segment(REFERENCE_TIME start);
};

// What a source offers the graph's seeking.
class MediaSeeker {
public:
    virtual ~MediaSeeker() = default;
    // The media's length in 100-ns units.
    virtual REFERENCE_TIME duration() = 0;
    // Moves the stream to `target`: exactly, or to the key frame at or before it. The landing is
    // known when it returns. Called by the graph's thread with the filters paused or stopped.
    virtual HRESULT seek(REFERENCE_TIME target, bool to_key_frame, REFERENCE_TIME& landing) = 0;
};

// What a filter that reads a media file offers the graph (RenderFile): it opens the file and makes
// its output pins, one a stream. Its result is the file's: HRESULT_FROM_WIN32 of the file's error,
// VFW_E_INVALID_FILE_FORMAT when it is no media the filter reads.
class FileSourceFilter {
public:
    virtual ~FileSourceFilter() = default;
    virtual HRESULT load(std::u16string_view device_path) = 0;
    // The device path it loaded (empty before a load).
    virtual std::u16string loaded_path() const = 0;
};

// A simulated thread of the calling thread's process that carries a filter's samples.
class StreamingThread {
public:
    StreamingThread() = default;
    ~StreamingThread();
    StreamingThread(const StreamingThread&) = delete;
    StreamingThread& operator=(const StreamingThread&) = delete;

    // Starts `body` on a new thread; false when no thread could be made (the process is ending).
    bool start(std::function<void()> body);
    // Waits until the thread has ended (its body must have been told to return); no lock may be
    // held. The wait holds whatever the calling thread's state: a kill, an unwinding or a deferred
    // termination does not end it, since the filter, and what the body runs in, may go as soon as
    // join returns. A killed process's streaming threads are killed too, so they end at their next
    // layer call.
    void join();
    bool started() const { return m_thread != nullptr; }

private:
    std::function<void()> m_body;
    std::shared_ptr<SimThread> m_thread;
};

// The graph's reference clock when no filter gives one: the device clock in 100-ns units. Every
// clock of the layer reads the device clock, so a filter turns a reference time into a device
// time by device_ms_of.
class DeviceReferenceClock final : public ComObject<IReferenceClock> {
public:
    explicit DeviceReferenceClock(Device&);
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* time) override;

private:
    Device& m_device;
};

// The first device millisecond at or after a reference time.
inline uint64_t device_ms_of(REFERENCE_TIME time)
{
    return time <= 0 ? 0 : static_cast<uint64_t>((time + 9'999) / 10'000);
}

class Filter : public ComObjectBase, public IBaseFilter {
public:
    Filter(const CLSID& class_id, std::u16string default_name);
    ~Filter() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID) override;

    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeout_ms, FILTER_STATE* state) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

    // The layer's filter behind an interface pointer, without a reference; null for a foreign one.
    static Filter* from(IUnknown*);

    const CLSID& class_id() const { return m_class_id; }
    const std::u16string& default_name() const { return m_default_name; }
    std::vector<Pin*> pins() const;
    Pin* pin(std::u16string_view name) const;

    // Renderers end a stream: the graph's EC_COMPLETE waits for all of them.
    virtual bool is_renderer() const { return false; }
    // A source that can seek answers its seeker.
    virtual MediaSeeker* seeker() { return nullptr; }

    FILTER_STATE state() const { return m_state.load(std::memory_order_acquire); }
    // The reference time at which stream time 0 plays (the last Run's).
    REFERENCE_TIME start_time() const { return m_start_time.load(std::memory_order_acquire); }
    // Now on the filter's clock; none without a clock.
    std::optional<REFERENCE_TIME> clock_now() const;

    // Raises an event in the graph the filter is in (nothing outside a graph). Never call it with
    // the filter's lock held: the graph may post to a window.
    void notify(long code, LONG_PTR first, LONG_PTR second);

protected:
    void add_pin(std::unique_ptr<Pin>);
    Device& device() const { return m_device; }

    // State hooks, run on the thread that changes the state, without the filter's lock; the state
    // has its new value when they run. on_stop runs first of all at a stop, so streaming threads
    // it joins see the stopped state.
    virtual void on_pause(FILTER_STATE /*from*/) { }
    virtual void on_run(REFERENCE_TIME /*start*/) { }
    virtual void on_stop() { }
    // The clock changed (null: none); with the filter's lock not held.
    virtual void on_clock_changed() { }

    // Guards the filter's own state; never held across a call out of the filter.
    mutable SimMutex m_lock;

private:
    Device& m_device;
    CLSID m_class_id;
    std::u16string m_default_name;
    std::u16string m_name;
    // Not counted: the graph holds the filter, not the reverse, and stops the filter's threads
    // before it lets it go. Streaming threads read them; a streaming thread thus never holds the
    // graph, so the graph's last release never falls to one.
    std::atomic<IFilterGraph*> m_graph = nullptr;
    std::atomic<IMediaEventSink*> m_sink = nullptr;
    std::vector<std::unique_ptr<Pin>> m_pins;
    std::atomic<FILTER_STATE> m_state = State_Stopped;
    std::atomic<REFERENCE_TIME> m_start_time = 0;
    mutable HostMutex m_clock_lock { LockRank::FilterClock };
    IReferenceClock* m_clock = nullptr; // counted; guarded by m_clock_lock
};

// A counted reference to an interface of the layer's objects: the graph and the filters keep
// each other and their clocks with these.
template<typename Interface>
class ComRef {
public:
    ComRef() = default;
    // Takes over a reference the caller owns.
    static ComRef adopt(Interface* object)
    {
        ComRef ref;
        ref.m_object = object;
        return ref;
    }
    // Adds a reference of its own.
    explicit ComRef(Interface* object)
        : m_object(object)
    {
        if (m_object)
            m_object->AddRef();
    }
    ComRef(const ComRef& other)
        : ComRef(other.m_object)
    {
    }
    ComRef(ComRef&& other) noexcept
        : m_object(std::exchange(other.m_object, nullptr))
    {
    }
    ComRef& operator=(ComRef other) noexcept
    {
        std::swap(m_object, other.m_object);
        return *this;
    }
    ~ComRef()
    {
        if (m_object)
            m_object->Release();
    }

    Interface* get() const { return m_object; }
    Interface* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    // Hands the reference to the caller.
    Interface* detach() { return std::exchange(m_object, nullptr); }
    // For calls that hand out a reference: `QueryInterface(iid, ref.put())`.
    void** put()
    {
        *this = ComRef();
        return reinterpret_cast<void**>(&m_object);
    }

private:
    Interface* m_object = nullptr;
};

} // namespace kivo
