#pragma once

// The chip vendor's television filters as programs reach them: their classes and the interfaces
// the television library queries from them. The records the PSI/SI parser and the teletext
// decoder deliver through their callbacks are declared beside this header (the parser's in
// PsiRecords.h).

#include "dshow/DShowApi.h"
#include "vendor/TeletextRecords.h"
#include "vendor/PsiRecords.h"

// Called on a filter's own thread with a record kind and the record, valid during the call.
using ReceiveCallback = int (*)(DWORD code, void* record, void* context);

struct ITsTuner : IUnknown {
    // Tunes the multiplex of that name (the test country's channels).
    virtual HRESULT STDMETHODCALLTYPE SelectChannelByName(const WCHAR* name) = 0;
    // Tunes a channel of the country's plan; S_OK only when a multiplex locks there.
    virtual HRESULT STDMETHODCALLTYPE SetChannel(DWORD channel, DWORD flag) = 0;
    // enable 1: only the listed PIDs pass (none with count 0); enable 0: all pass.
    virtual HRESULT STDMETHODCALLTYPE SetPidFilter(DWORD enable, const USHORT* pids, DWORD count) = 0;
    // Writes the passing packets to the file; a null path stops the recording.
    virtual HRESULT STDMETHODCALLTYPE Record(const WCHAR* path, DWORD flag) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMode(DWORD mode, DWORD value) = 0;
};

// Tuner properties: 0 country, 3 and 4 the plan's lowest and highest channel, 5 the signal (four
// 32-bit values), 6 the tuned channel's frequency in kHz, 7 scan mode.
struct ITsTunerProperty : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetProperty(DWORD id, DWORD* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProperty(DWORD id, DWORD* value) = 0;
};

struct IReceiveCallback : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetReceiveCallback(ReceiveCallback callback, void* context) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReceiveCallback(ReceiveCallback* callback, void** context) = 0;
};

struct IPsiParserControl : IUnknown {
    // 0 forgets the versions of the transport stream's tables; 255 also drops what is half
    // assembled.
    virtual HRESULT STDMETHODCALLTYPE ClearTables(BYTE selector) = 0;
};

struct IVideoResolution : IUnknown {
    // The next sequence header raises one event 0x81F4 with width | height << 16.
    virtual HRESULT STDMETHODCALLTYPE ArmResolutionEvent() = 0;
};

struct IAudioReceiveTick : IUnknown {
    // The tick count when the decoder last received a sample.
    virtual HRESULT STDMETHODCALLTYPE GetLastReceiveTick(DWORD* tick) = 0;
};

struct IMp2AudioInfo : IUnknown {
    // Setting 2, the channels: 0 stereo, 1 the left in both, 2 the right in both.
    virtual HRESULT STDMETHODCALLTYPE SetAudioSetting(DWORD setting, DWORD value) = 0;
};

struct ISubtitleDisplay : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ShowSubtitle(BOOL on) = 0;
    virtual HRESULT STDMETHODCALLTYPE SelectPage(DWORD magazine, DWORD page) = 0;
};

struct ISubtitleWindow : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetSubtitleWindow(DWORD reserved, HWND* window) = 0;
};

// The graph event of the video decoder's resolution, param1 width | height << 16.
inline constexpr long EC_VIDEO_RESOLUTION = 0x81F4;

inline constexpr CLSID CLSID_TCCDVBTTuneFilter = kivo::guid("{C5784265-C9D0-4009-9671-F3C897DBF045}");
inline constexpr CLSID CLSID_RaruTsDemuxer = kivo::guid("{DD3AD1F6-E8CD-4536-9D2A-A2B319838AC3}");
inline constexpr CLSID CLSID_MPG2DEC = kivo::guid("{46A7CB23-2578-407D-ABA0-5E0B5745093F}");
inline constexpr CLSID CLSID_TCCSPLITTER = kivo::guid("{B3DB1703-4009-4114-A0C1-FB29C09E6E88}");
inline constexpr CLSID CLSID_TCCMP2DEC = kivo::guid("{7003B1E2-09E9-400D-BAEA-0E580414D6EF}");
inline constexpr CLSID CLSID_Zez_PsiParser3 = kivo::guid("{01C00293-B361-4BE0-9A45-C9D7010F8E6E}");
inline constexpr CLSID CLSID_TeletextDecoder = kivo::guid("{97B86203-A4A1-47EB-9991-8FF9C2E304BC}");
inline constexpr CLSID CLSID_DVBSubtitleDecoder = kivo::guid("{93BAA857-22A4-4F08-A12F-BA13AF08379C}");
inline constexpr CLSID CLSID_NullRenderer = kivo::guid("{0D906462-D3CD-4D83-A5F9-1B48A0DCAE8F}");
inline constexpr CLSID CLSID_TCCIMGRENDFILTER = kivo::guid("{7E818B71-A29B-4B4D-9D91-313096B44B69}");

inline constexpr IID IID_ITsTuner = kivo::guid("{FAB438EC-9B28-4D41-BA29-0E620A8B4A54}");
inline constexpr IID IID_ITsTunerProperty = kivo::guid("{245CB3A9-3235-428E-917C-5804F8C70FFB}");
inline constexpr IID IID_IReceiveCallback = kivo::guid("{3DD6D7CE-F69C-4C15-A801-D342E077EE35}");
inline constexpr IID IID_IPsiParserControl = kivo::guid("{299C0879-4B84-4533-9FE3-84C0A24E2BAA}");
inline constexpr IID IID_IAudioReceiveTick = kivo::guid("{8C032E61-2365-4652-BD5F-FEA0F27C1A38}");
inline constexpr IID IID_IMp2AudioInfo = kivo::guid("{90A9A741-FE57-47E0-B09D-E2D4EA919A61}");
inline constexpr IID IID_IVideoResolution = kivo::guid("{FA8621FA-35DE-4683-89CA-4820B71FF49C}");
inline constexpr IID IID_ISubtitleDisplay = kivo::guid("{16A2196C-96B4-4698-98A3-BE546DC1A605}");
inline constexpr IID IID_ISubtitleWindow = kivo::guid("{532B22A7-4B41-4D69-BD02-A563396AA554}");

KIVO_INTERFACE_ID(ITsTuner, IID_ITsTuner);
KIVO_INTERFACE_ID(ITsTunerProperty, IID_ITsTunerProperty);
KIVO_INTERFACE_ID(IReceiveCallback, IID_IReceiveCallback);
KIVO_INTERFACE_ID(IPsiParserControl, IID_IPsiParserControl);
KIVO_INTERFACE_ID(IVideoResolution, IID_IVideoResolution);
KIVO_INTERFACE_ID(IAudioReceiveTick, IID_IAudioReceiveTick);
KIVO_INTERFACE_ID(IMp2AudioInfo, IID_IMp2AudioInfo);
KIVO_INTERFACE_ID(ISubtitleDisplay, IID_ISubtitleDisplay);
KIVO_INTERFACE_ID(ISubtitleWindow, IID_ISubtitleWindow);
