#pragma once

// The television library's filter graph: the graph builder and the chip vendor's twelve filters,
// created by class id, added under fixed names and wired by pin name for play, scan or preview,
// and the playback control over them (run, stop, tuning, PID maps, volume, renderer, subtitles,
// recording, the radio background). The owner calls it from one thread at a time; the player
// takes no lock and starts no thread.

#include "Subtitler.h"
#include "platform.h"

// The graph's events, posted to the notify window (lParam 0); take one with GetEventCode.
inline constexpr UINT WM_DSHOW_GRAPH_NOTIFY = 3024;
// The library's own notifications to the notify window: wParam the code, lParam its parameter.
inline constexpr UINT WM_TSPLAYER_NOTIFY = 3025;
inline constexpr DWORD TSN_EPG_RECEIVED = 47833;
inline constexpr DWORD TSN_PIDS_MAPPED = 47843;

// SetAudioInfo and GetAudioInfo: the volume level (0 to 24) and mute (non-zero mutes).
inline constexpr DWORD TS_AUDIO_VOLUME = 0xA0000300;
inline constexpr DWORD TS_AUDIO_MUTE = 0xA0000308;
// SetTeletextInfo: the subtitle window (a window handle) and the page with show.
inline constexpr DWORD TS_TELETEXT_WINDOW = 0xA0002020;
inline constexpr DWORD TS_TELETEXT_PAGE = 0xA0002023;

// The record of TS_TELETEXT_PAGE: page = magazine x 100 + page.
struct TsTeletextPage {
    DWORD show;
    DWORD unused;
    DWORD magazine;
    DWORD page;
};
static_assert(sizeof(TsTeletextPage) == 16);

// What GetEventCode fills: the code (-1 for none) and its two parameters.
struct TsGraphEvent {
    LONG code;
    LONG param1;
    LONG param2;
};
static_assert(sizeof(TsGraphEvent) == 12);

// The application's callback, called with code 0 when the broadcast time arrives.
using TsAppCallback = int (*)(DWORD code, void* data, void* context);

// The radio background picture: 480 x 272 in planar YUV 4:2:0.
inline constexpr int RADIO_BG_WIDTH = 480;
inline constexpr int RADIO_BG_HEIGHT = 272;
inline constexpr DWORD RADIO_BG_BYTES = RADIO_BG_WIDTH * RADIO_BG_HEIGHT * 3 / 2;

class STREAMWELL_API CTsPlayer {
public:
    CTsPlayer();
    // Frees the subtitler and the radio background; the graph and the filters are the owner's to
    // let go first (DestroyFilter).
    ~CTsPlayer();

    // A copy would share the filter references and the owned buffers and free them twice.
    CTsPlayer(const CTsPlayer&) = delete;
    CTsPlayer& operator=(const CTsPlayer&) = delete;

    DWORD SetDestination(DWORD destination);
    DWORD SetNotifyWindow(HWND window);
    DWORD SetPreviewWindow(HWND window);

    // Graph and filters: 1 on success, 0 on failure.
    int CreateFilter();
    int AddFilter();
    int RemoveFilter();
    int DestroyFilter();
    int ConnectFilterForPlay();
    int DisconnectFilterForPlay();
    int ConnectFilterForScan();
    int DisconnectFilterForScan();
    int ConnectFilterForPreview();
    int DisconnectFilterForPreview();
    // Forgets everything of a failed set-up (without releasing it) for a fresh start.
    void BrolmInit();

    int SetAppCallback(TsAppCallback callback, void* context);
    void PostNotifyMessage(DWORD code, DWORD parameter);

    // Graph control: 0, or 21 when Pause finds the graph stopped.
    DWORD Run();
    DWORD Stop();
    DWORD Pause();
    // Takes one graph event into a TsGraphEvent; 1 when one was taken.
    DWORD GetEventCode(void* record);

    // Tuning and the tuner's properties.
    int SetChannel(void* channel, int flag);
    int ChannelSelect(const WCHAR* name);
    int SetCountryCode(DWORD code);
    int GetMinChannel(DWORD* value);
    int GetMaxChannel(DWORD* value);
    int GetRFFreq(DWORD* value);
    // Four values: 1 only when the tuner answered exactly S_OK.
    int GetSignalStrength(DWORD* values);

    // PID filtering at the tuner and the demultiplexer's pins.
    int MapPIDToTuner(int enable, USHORT* pids, int count);
    int MapPIDToDemuxer(const WCHAR* pinName, ULONG* pids, int count, MEDIA_SAMPLE_CONTENT content, int unmapFirst);
    int UnmapPIDToDemuxer(const WCHAR* pinName, ULONG* pids, int count);
    int ClearPSIParser(BYTE which);
    int SetInformationReceiveCallback(ReceiveCallback callback, void* context);
    int GetInformationReceiveCallback(ReceiveCallback* callback, void** context);
    int SetTeletextReceiveCallback(ReceiveCallback callback, void* context);

    // Audio.
    int GetAudioVolumeLevelNum() const { return volume_levels; }
    DWORD SetAudioInfo(DWORD code, void* value);
    DWORD GetAudioInfo(DWORD code, void* value);
    int SetAudioChannelMode(int mode);
    int GetLastAudioReceiveTickCount(DWORD* tick);
    int GetLastReceiveTickCount(DWORD* tick);

    // Video.
    int SetVideoRendererFlag(VrenderModeFlag* flag);
    int GetVideoRendererFlag(VrenderModeFlag& flag);
    int InitForResolutionMsg();
    int SetFullScreen(int on);
    int SetPreview(BYTE* buffer, int width, int height, VideoPreviewCallback callback, void* context);
    int CaptureCurrentSampleBufferYuv420(BYTE* buffer, int* width, int* height, int* bytes, DWORD capacity);
    void CheckAndDrawRadioBGOnVideoLayer(BYTE serviceType);

    // Subtitles and teletext display; always 0.
    DWORD SetTeletextInfo(DWORD code, void* value);

    // Records the passing transport stream to `path`; off stops it.
    int EnableRecord(int on, const WCHAR* path, int flag);

    static constexpr int volume_levels = 25;
    // The audio renderer's attenuation of each level, in hundredths of a decibel.
    static const LONG volume_table[volume_levels];

    // The graph and the twelve filters, in this order; one reference each while held.
    IGraphBuilder* m_pGraph = nullptr;
    IBaseFilter* m_pTuner = nullptr;
    IBaseFilter* m_pDemux = nullptr;
    IBaseFilter* m_pVideoDecoder = nullptr;
    IBaseFilter* m_pSplitter = nullptr;
    IBaseFilter* m_pVideoRenderer = nullptr;
    IBaseFilter* m_pAudioDecoder = nullptr;
    IBaseFilter* m_pAudioRenderer = nullptr;
    IBaseFilter* m_pPsiParser = nullptr;
    IBaseFilter* m_pTeletext = nullptr;
    IBaseFilter* m_pSubtitle = nullptr;
    IBaseFilter* m_pNullRenderer = nullptr;
    IBaseFilter* m_pImageRenderer = nullptr;
    HWND m_hPreviewWnd = nullptr;
    HWND m_hNotifyWnd = nullptr;
    DWORD m_dwLastResult = 0;
    LONG m_nConnectMode = -1; // -1 nothing, 3 play or preview, 7 scan
    DWORD m_dwDestination = 0;
    DWORD m_dwPrevDestination = 0;
    DWORD m_bDestinationFlag = 1;
    DWORD m_nVolumeLevel = 0;
    DWORD m_bRunning = 0;
    DWORD m_bMute = 0;
    CSubtitler* m_pSubtitler = nullptr;
    BYTE* m_pRadioBG = nullptr;
    void* m_pAppContext = nullptr;
    TsAppCallback m_pAppCallback = nullptr;

protected:
    void Initialize();

    // The running result is carried: once it is negative each does nothing and answers 0.
    int CheckCoCreateInstance(HRESULT& hr, REFCLSID clsid, REFIID iid, void** object, const WCHAR* failure);
    int CheckAddFilter(HRESULT& hr, IBaseFilter* filter, const WCHAR* name);
    int CheckConnect(HRESULT& hr, IBaseFilter* out, const WCHAR* outPin, IBaseFilter* in, const WCHAR* inPin, const WCHAR* failure);
    int Disconnect(IBaseFilter* filter, const WCHAR* pinName, PIN_DIRECTION direction);
    HRESULT FindPin(IBaseFilter* filter, PIN_DIRECTION direction, const WCHAR* name, IPin** pin);

    void SetPreviewParams();
    int SetSync2Audio(int fromAudio, int enable);

    DWORD RunGraph();
    DWORD PauseGraph();
    DWORD StopGraph();
    // 0 stopped, 1 running, 2 paused, 4 indeterminate.
    int GetGraphState();
    bool IsGraphRunning();
    bool IsGraphStopped();
    bool IsGraphPaused();
    DWORD SendMediaCommand(IGraphBuilder* graph, int command);

    DWORD SetAudioVolume(LONG level);
    void SetMute(int on);
    int SetVolumeDShow(DWORD level, IGraphBuilder* graph);
    int SetMP2AudInfo(DWORD id, void* value);

private:
    // The connections of the play wiring; scan uses the first two and preview the first five.
    void ConnectPairs(HRESULT& hr, int count);
    void DisconnectPairs(int count);
};
