#pragma once

// Sound: files played through the wave output, wave-out streams fed by renderers, the output's
// volume and the driver's private messages.

#include "kernel/Types.h"

#include <cstddef>

using MMRESULT = UINT;
KIVO_DECLARE_HANDLE(HWAVEOUT);
using LPHWAVEOUT = HWAVEOUT*;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;

inline constexpr DWORD SND_SYNC = 0x0000;
inline constexpr DWORD SND_ASYNC = 0x0001;
inline constexpr DWORD SND_NODEFAULT = 0x0002;
inline constexpr DWORD SND_MEMORY = 0x0004;
inline constexpr DWORD SND_LOOP = 0x0008;
inline constexpr DWORD SND_NOSTOP = 0x0010;
inline constexpr DWORD SND_NOWAIT = 0x2000;
inline constexpr DWORD SND_ALIAS = 0x10000;
inline constexpr DWORD SND_FILENAME = 0x20000;
inline constexpr DWORD SND_RESOURCE = 0x40004;

// A null name stops the sound that plays.
BOOL PlaySound(LPCWSTR sound, HMODULE, DWORD flags);
BOOL sndPlaySound(LPCWSTR sound, UINT flags);

inline constexpr UINT WAVE_MAPPER = 0xFFFFFFFF;
inline constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(offsetof(WAVEFORMATEX, nSamplesPerSec) == 4 && offsetof(WAVEFORMATEX, wBitsPerSample) == 14);
using LPCWAVEFORMATEX = const WAVEFORMATEX*;

// A buffer of samples handed to a stream; the program keeps it untouched until WHDR_DONE.
struct WAVEHDR {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};
static_assert(offsetof(WAVEHDR, dwBufferLength) == sizeof(LPSTR) && offsetof(WAVEHDR, dwLoops) == offsetof(WAVEHDR, dwFlags) + 4);
using LPWAVEHDR = WAVEHDR*;

inline constexpr DWORD WHDR_DONE = 0x01;
inline constexpr DWORD WHDR_PREPARED = 0x02;
inline constexpr DWORD WHDR_INQUEUE = 0x10;

inline constexpr UINT TIME_MS = 0x01;
inline constexpr UINT TIME_SAMPLES = 0x02;
inline constexpr UINT TIME_BYTES = 0x04;

// A position in the form asked for in wType; a form the device does not give comes back as bytes,
// with wType changed to say so.
struct MMTIME {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
        BYTE space[8]; // the other forms, which this device never gives
    } u;
};
static_assert(sizeof(MMTIME) == 12);
using LPMMTIME = MMTIME*;

// How the opener hears of the stream: not at all, an event set, a function called on the wave
// layer's callback thread, or a message posted to a window.
inline constexpr DWORD CALLBACK_TYPEMASK = 0x00070000;
inline constexpr DWORD CALLBACK_NULL = 0x00000000;
inline constexpr DWORD CALLBACK_WINDOW = 0x00010000;
inline constexpr DWORD CALLBACK_FUNCTION = 0x00030000;
inline constexpr DWORD CALLBACK_EVENT = 0x00050000;
inline constexpr DWORD WAVE_FORMAT_QUERY = 0x0001;

inline constexpr UINT MM_WOM_OPEN = 0x3BB;
inline constexpr UINT MM_WOM_CLOSE = 0x3BC;
inline constexpr UINT MM_WOM_DONE = 0x3BD;
inline constexpr UINT WOM_OPEN = MM_WOM_OPEN;
inline constexpr UINT WOM_CLOSE = MM_WOM_CLOSE;
inline constexpr UINT WOM_DONE = MM_WOM_DONE;

// A CALLBACK_FUNCTION: (stream, WOM_*, the opener's instance value, the header for WOM_DONE, 0).
using LPWAVECALLBACK = void (*)(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

MMRESULT waveOutOpen(LPHWAVEOUT, UINT device, LPCWAVEFORMATEX, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT waveOutClose(HWAVEOUT);
MMRESULT waveOutPrepareHeader(HWAVEOUT, LPWAVEHDR, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT, LPWAVEHDR, UINT size);
MMRESULT waveOutWrite(HWAVEOUT, LPWAVEHDR, UINT size);
MMRESULT waveOutReset(HWAVEOUT);
MMRESULT waveOutPause(HWAVEOUT);
MMRESULT waveOutRestart(HWAVEOUT);
MMRESULT waveOutGetPosition(HWAVEOUT, LPMMTIME, UINT size);

// The output has one channel: the low word of a volume is its level (0 silent, 0xFFFF full), the
// high word is ignored. The null handle is device 0, the whole output; a stream's own volume
// scales that stream within it.
MMRESULT waveOutSetVolume(HWAVEOUT, DWORD volume);
MMRESULT waveOutGetVolume(HWAVEOUT, LPDWORD volume);
MMRESULT waveOutMessage(HWAVEOUT, UINT message, DWORD_PTR first, DWORD_PTR second);
