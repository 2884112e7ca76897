#pragma once

// The media framework as the device's programs use it: the filter graph, its filters and pins, the
// graph's control, seeking, events, clock, sound volume and video window. Only what the programs
// call is declared; each interface lists its operations in the order the platform gives them.

#include "com/ComObject.h"
#include "com/ComTypes.h"
#include "kernel/Types.h"

// Times of the media framework: 100-ns units.
using REFERENCE_TIME = LONGLONG;
inline constexpr REFERENCE_TIME UNITS = 10'000'000; // one second

// Handles and values as the automation side of the graph gives them.
using OAHWND = LONG_PTR;
using OAEVENT = LONG_PTR;
using OAFilterState = long;

enum FILTER_STATE {
    State_Stopped = 0,
    State_Paused = 1,
    State_Running = 2,
};

enum PIN_DIRECTION {
    PINDIR_INPUT = 0,
    PINDIR_OUTPUT = 1,
};

inline constexpr int MAX_PIN_NAME = 128;
inline constexpr int MAX_FILTER_NAME = 128;

struct IBaseFilter;
struct IFilterGraph;
struct IReferenceClock;

// What QueryPinInfo and QueryFilterInfo fill: the filter and the graph are handed out with a
// reference the caller releases.
struct PIN_INFO {
    IBaseFilter* pFilter;
    PIN_DIRECTION dir;
    WCHAR achName[MAX_PIN_NAME];
};
struct FILTER_INFO {
    WCHAR achName[MAX_FILTER_NAME];
    IFilterGraph* pGraph;
};

// The kind of data a pin carries: major type, subtype and a format block whose shape the format
// type names.
struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};

// Events of the graph (IMediaEventEx::GetEvent).
inline constexpr long EC_COMPLETE = 0x01;
inline constexpr long EC_USERABORT = 0x02;
inline constexpr long EC_ERRORABORT = 0x03;
inline constexpr long EC_QUALITY_CHANGE = 0x0B;
inline constexpr long EC_CLOCK_CHANGED = 0x0D;
inline constexpr long EC_USER = 0x8000;

// How IMediaSeeking::SetPositions takes each of its two positions.
inline constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
inline constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
inline constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
inline constexpr DWORD AM_SEEKING_IncrementalPositioning = 0x3;
inline constexpr DWORD AM_SEEKING_PositioningBitsMask = 0x3;
inline constexpr DWORD AM_SEEKING_SeekToKeyFrame = 0x4;
inline constexpr DWORD AM_SEEKING_ReturnTime = 0x8;

// The volume of IBasicAudio: hundredths of a decibel, from silence to full.
inline constexpr long AM_VOLUME_SILENCE = -10000;
inline constexpr long AM_VOLUME_FULL = 0;

// Automation truth values (IVideoWindow).
inline constexpr long OATRUE = -1;
inline constexpr long OAFALSE = 0;

struct IPin : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) = 0;
};

struct IEnumPins : IUnknown {
    // S_FALSE when fewer than asked were left.
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};

struct IReferenceClock : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* time) = 0;
};

struct IMediaFilter : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(DWORD timeout_ms, FILTER_STATE* state) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) = 0;
};

struct IBaseFilter : IMediaFilter {
    virtual HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) = 0;
    // The graph tells a filter it joined (with its name) or left (null).
    virtual HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;
};

struct IEnumFilters : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};

struct IFilterGraph : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect(IPin* pin) = 0;
};

struct IGraphBuilder : IFilterGraph {
    // Connects directly when the pins agree on a type, else through transform filters.
    virtual HRESULT STDMETHODCALLTYPE Connect(IPin* out, IPin* in) = 0;
    virtual HRESULT STDMETHODCALLTYPE Render(IPin* out) = 0;
    virtual HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR file, LPCWSTR play_list) = 0;
};

struct IMediaControl : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Run() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(LONG timeout_ms, OAFilterState* state) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopWhenReady() = 0;
};

struct IMediaSeeking : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop, DWORD stop_flags) = 0;
};

struct IMediaEvent : IUnknown {
    // E_ABORT when no event came within the time-out.
    virtual HRESULT STDMETHODCALLTYPE GetEvent(long* code, LONG_PTR* first, LONG_PTR* second, long timeout_ms) = 0;
    virtual HRESULT STDMETHODCALLTYPE FreeEventParams(long code, LONG_PTR first, LONG_PTR second) = 0;
};

struct IMediaEventEx : IMediaEvent {
    // One message per queued event, lParam the instance data; a null window stops the posting.
    virtual HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND window, long message, LONG_PTR instance) = 0;
};

// Where filters (and tests) raise the graph's events.
struct IMediaEventSink : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Notify(long code, LONG_PTR first, LONG_PTR second) = 0;
};

struct IBasicAudio : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE put_Volume(long volume) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Volume(long* volume) = 0;
};

// The video window of the graph and of a renderer. The device's renderers draw where the screen
// shows the video key colour, as their mode says, so these calls are recorded and move nothing.
struct IVideoWindow : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE put_WindowStyle(long style) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Visible(long visible) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Owner(OAHWND owner) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MessageDrain(OAHWND drain) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MessageDrain(OAHWND* drain) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_FullScreenMode(long full_screen) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWindowForeground(long focus) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWindowPosition(long left, long top, long width, long height) = 0;
};

// The platform's interface ids.
inline constexpr IID IID_IPin = kivo::guid("{56A86891-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IEnumPins = kivo::guid("{56A86892-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IEnumFilters = kivo::guid("{56A86893-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IBaseFilter = kivo::guid("{56A86895-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IReferenceClock = kivo::guid("{56A86897-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaFilter = kivo::guid("{56A86899-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IFilterGraph = kivo::guid("{56A8689F-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaEventSink = kivo::guid("{56A868A2-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IGraphBuilder = kivo::guid("{56A868A9-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaControl = kivo::guid("{56A868B1-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IBasicAudio = kivo::guid("{56A868B3-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IVideoWindow = kivo::guid("{56A868B4-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaEvent = kivo::guid("{56A868B6-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaEventEx = kivo::guid("{56A868C0-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaSeeking = kivo::guid("{36B73880-C2C8-11CF-8B46-00805F6CEF60}");

// The platform's classes.
inline constexpr CLSID CLSID_FilterGraph = kivo::guid("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_AudioRender = kivo::guid("{E30629D1-27E5-11CE-875D-00608CB78066}");

// Major types, subtypes and format types.
inline constexpr GUID MEDIATYPE_Video = kivo::guid("{73646976-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIATYPE_Audio = kivo::guid("{73647561-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIATYPE_Stream = kivo::guid("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_PCM = kivo::guid("{00000001-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIASUBTYPE_I420 = kivo::guid("{30323449-0000-0010-8000-00AA00389B71}");
// The MPEG-2 transport stream and what a demultiplexer takes out of it.
inline constexpr GUID MEDIASUBTYPE_MPEG2_TRANSPORT = kivo::guid("{E06D8023-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_VIDEO = kivo::guid("{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_AUDIO = kivo::guid("{E06D802B-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIATYPE_MPEG2_PES = kivo::guid("{E06D8020-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIATYPE_MPEG2_SECTIONS = kivo::guid("{455F176C-4B06-47CE-9AEF-8CAEF73DF7B5}");
inline constexpr GUID FORMAT_None = kivo::guid("{0F6417D6-C318-11D0-A43F-00A0C9223196}");
inline constexpr GUID FORMAT_WaveFormatEx = kivo::guid("{05589F81-C356-11CE-BF01-00AA0055595A}");

// The MPEG-2 demultiplexer's output pins: which PIDs each pin carries and in what form.
enum MEDIA_SAMPLE_CONTENT : int {
    MEDIA_TRANSPORT_PACKET = 0,   // whole 188-byte packets
    MEDIA_ELEMENTARY_STREAM = 1,  // the payload of PES packets, with their time stamps
    MEDIA_MPEG2_PSI = 2,          // whole sections
    MEDIA_TRANSPORT_PAYLOAD = 3,  // the payload of the packets
};

struct PID_MAP {
    ULONG ulPID;
    MEDIA_SAMPLE_CONTENT MediaSampleContent;
};

struct IEnumPIDMap : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cRequest, PID_MAP* pPIDMap, ULONG* pcReceived) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cRecords) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumPIDMap** ppIEnumPIDMap) = 0;
};

struct IMPEG2PIDMap : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE MapPID(ULONG culPID, ULONG* pulPID, MEDIA_SAMPLE_CONTENT MediaSampleContent) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnmapPID(ULONG culPID, ULONG* pulPID) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumPIDMap(IEnumPIDMap** pIEnumPIDMap) = 0;
};

inline constexpr IID IID_IMPEG2PIDMap = kivo::guid("{AFB6C2A1-2C41-11D3-8A60-0000F81E0E4A}");
inline constexpr IID IID_IEnumPIDMap = kivo::guid("{AFB6C2A2-2C41-11D3-8A60-0000F81E0E4A}");

KIVO_INTERFACE_ID(IPin, IID_IPin);
KIVO_INTERFACE_ID(IEnumPins, IID_IEnumPins);
KIVO_INTERFACE_ID(IEnumFilters, IID_IEnumFilters);
KIVO_INTERFACE_ID(IBaseFilter, IID_IBaseFilter);
KIVO_INTERFACE_ID(IReferenceClock, IID_IReferenceClock);
KIVO_INTERFACE_ID(IMediaFilter, IID_IMediaFilter);
KIVO_INTERFACE_ID(IFilterGraph, IID_IFilterGraph);
KIVO_INTERFACE_ID(IMediaEventSink, IID_IMediaEventSink);
KIVO_INTERFACE_ID(IGraphBuilder, IID_IGraphBuilder);
KIVO_INTERFACE_ID(IMediaControl, IID_IMediaControl);
KIVO_INTERFACE_ID(IBasicAudio, IID_IBasicAudio);
KIVO_INTERFACE_ID(IVideoWindow, IID_IVideoWindow);
KIVO_INTERFACE_ID(IMediaEvent, IID_IMediaEvent);
KIVO_INTERFACE_ID(IMediaEventEx, IID_IMediaEventEx);
KIVO_INTERFACE_ID(IMediaSeeking, IID_IMediaSeeking);
KIVO_INTERFACE_ID(IEnumPIDMap, IID_IEnumPIDMap);
KIVO_INTERFACE_ID(IMPEG2PIDMap, IID_IMPEG2PIDMap);
