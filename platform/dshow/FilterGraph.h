#pragma once

// The filter graph (CLSID_FilterGraph): it holds filters under names, connects their pins directly
// or through the catalog's transforms, builds what plays a file, changes the filters' states in
// step on one clock, seeks the sources, and hands the filters' events to the application.
//
// Threads and locks. The graph's state is guarded by m_lock, a SimMutex held only for short
// sections and never while the graph calls a filter, a clock, PostMessage or anything else that
// may block or call back. State changes, seeks and building are serialised among themselves by
// m_control, which nothing a streaming thread calls takes (Notify, GetState, the position and the
// duration, the volume), so a filter that a state change waits for never waits for the graph.

#include "Filter.h"
#include "FilterCatalog.h"
#include "FilterGraphs.h"
#include "Trace.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

// Asking the graph for this id answers the layer's own object (with a reference).
inline constexpr IID IID_LayerFilterGraph = kivo::guid("{6B0E93C1-52D4-4A7E-9E0B-3C1D5F7A2B22}");

// What the graph's video window was told. The device's renderers draw where the screen shows the
// video key colour, so the graph moves no window; it keeps what it was told for tests.
struct VideoWindowRecord {
    OAHWND owner = 0;
    long style = 0;
    OAHWND drain = 0;
    long left = 0;
    long top = 0;
    long width = 0;
    long height = 0;
    long visible = OAFALSE;
    long full_screen = OAFALSE;
    long foreground_focus = OAFALSE; // the last SetWindowForeground's
    std::vector<std::string> calls;  // each call with its arguments, oldest first (the newest
                                     // up to the device's trace limit)
};

class FilterGraph final : public ComObject<IGraphBuilder, IMediaControl, IMediaSeeking, IMediaEventEx, IMediaEventSink,
                              IMediaFilter, IBasicAudio, IVideoWindow> {
public:
    explicit FilterGraph(Device&);
    ~FilterGraph() override;

    void* find_interface(REFIID) override;
    // The layer's graph behind an interface pointer, without a reference; null for another object.
    static FilterGraph* from(IUnknown*);

    // IFilterGraph and IGraphBuilder.
    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* filter) override;
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** filters) override;
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE Disconnect(IPin* pin) override;
    HRESULT STDMETHODCALLTYPE Connect(IPin* out, IPin* in) override;
    HRESULT STDMETHODCALLTYPE Render(IPin* out) override;
    HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR file, LPCWSTR play_list) override;

    // IMediaControl; Pause and Stop are IMediaFilter's too.
    HRESULT STDMETHODCALLTYPE Run() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE GetState(LONG timeout_ms, OAFilterState* state) override;
    HRESULT STDMETHODCALLTYPE StopWhenReady() override;

    // IMediaFilter.
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeout_ms, FILTER_STATE* state) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;

    // IMediaSeeking.
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop, DWORD stop_flags) override;

    // IMediaEventEx and IMediaEventSink.
    HRESULT STDMETHODCALLTYPE GetEvent(long* code, LONG_PTR* first, LONG_PTR* second, long timeout_ms) override;
    HRESULT STDMETHODCALLTYPE FreeEventParams(long code, LONG_PTR first, LONG_PTR second) override;
    HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND window, long message, LONG_PTR instance) override;
    HRESULT STDMETHODCALLTYPE Notify(long code, LONG_PTR first, LONG_PTR second) override;

    // IBasicAudio.
    HRESULT STDMETHODCALLTYPE put_Volume(long volume) override;
    HRESULT STDMETHODCALLTYPE get_Volume(long* volume) override;

    // IVideoWindow.
    HRESULT STDMETHODCALLTYPE put_WindowStyle(long style) override;
    HRESULT STDMETHODCALLTYPE put_Visible(long visible) override;
    HRESULT STDMETHODCALLTYPE put_Owner(OAHWND owner) override;
    HRESULT STDMETHODCALLTYPE put_MessageDrain(OAHWND drain) override;
    HRESULT STDMETHODCALLTYPE get_MessageDrain(OAHWND* drain) override;
    HRESULT STDMETHODCALLTYPE put_FullScreenMode(long full_screen) override;
    HRESULT STDMETHODCALLTYPE SetWindowForeground(long focus) override;
    HRESULT STDMETHODCALLTYPE SetWindowPosition(long left, long top, long width, long height) override;

    VideoWindowRecord video_window() const;

    // How many transforms Connect puts between two pins at most.
    static constexpr int most_transforms = 3;

private:
    struct Member {
        ComRef<IBaseFilter> filter;
        Filter* layer;
        std::u16string name;
    };
    struct Event {
        long code;
        LONG_PTR first;
        LONG_PTR second;
    };
    // Where events are posted, as SetNotifyWindow set it.
    struct Posting {
        HWND window = nullptr;
        UINT message = 0;
        LONG_PTR instance = 0;
        size_t count = 0;
    };

    // With m_control held.
    // Tells the device's list of graphs which files the sources read.
    void publish_files();
    HRESULT add_member(ComRef<IBaseFilter>, LPCWSTR name);
    void remove_member(Filter&);
    Filter* make_member(const CLSID&);
    HRESULT connect_pins(Pin& out, Pin& in, int depth);
    bool connect_through(Filter& transform, Pin& out, Pin& in, int depth);
    HRESULT render_pin(Pin& out);
    HRESULT check_pin(IPin*, Pin*& layer);
    HRESULT pause_filters();
    // `started`: the graph was not running before.
    HRESULT run_filters(std::optional<REFERENCE_TIME> start, bool& started);
    HRESULT stop_filters();
    void leave_stopped();
    void expect_completion();

    // Without any lock held.
    std::vector<Member> members() const;
    std::vector<ComRef<IBaseFilter>> downstream_first() const;
    REFERENCE_TIME now() const;
    std::optional<REFERENCE_TIME> duration() const;
    REFERENCE_TIME position() const;
    void post(const Posting&);
    void raise(long code, LONG_PTR first, LONG_PTR second);

    // With m_lock held.
    const Member* member_locked(const Filter*) const;
    Posting queue_locked(long code, LONG_PTR first, LONG_PTR second);

    Device& m_device;
    // This graph's entry in the device's list of graphs.
    FilterGraphs& m_published;
    uint64_t m_published_key;
    SimMutex m_control;
    mutable SimMutex m_lock;

    // Guarded by m_lock.
    std::vector<Member> m_members; // in the order they were added
    FILTER_STATE m_state = State_Stopped;
    ComRef<IReferenceClock> m_clock;
    bool m_clock_given = false; // SetSyncSource chose (null too)
    bool m_clock_picked = false;
    // The media position of stream time 0, and the reference time at which stream time 0 played
    // in the current run.
    REFERENCE_TIME m_landing = 0;
    REFERENCE_TIME m_start = 0;
    REFERENCE_TIME m_paused_stream_time = 0; // while paused
    // Stopped away from the last landing: the sources are moved there before they start again.
    bool m_reseek = false;
    std::optional<REFERENCE_TIME> m_stop_position;
    std::deque<Event> m_events;
    SimCondition m_event_queued;
    Posting m_posting;
    std::vector<IBaseFilter*> m_awaited_renderers; // EC_COMPLETE still to come from these
    bool m_complete_sent = true;
    std::optional<long> m_volume;
    VideoWindowRecord m_video; // without its calls
    Trace<std::string> m_video_calls;
    bool m_closing = false;
};

} // namespace kivo
