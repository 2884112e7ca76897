#pragma once

// Sound: files played through the wave output, its volume and the driver's private messages.

#include "kernel/Types.h"

using MMRESULT = UINT;
KIVO_DECLARE_HANDLE(HWAVEOUT);

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

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

// Device 0 is the null handle, as the programs pass it.
MMRESULT waveOutSetVolume(HWAVEOUT, DWORD volume);
MMRESULT waveOutGetVolume(HWAVEOUT, LPDWORD volume);
MMRESULT waveOutMessage(HWAVEOUT, UINT message, DWORD_PTR first, DWORD_PTR second);
