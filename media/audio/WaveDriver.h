#pragma once

#include "platform.h"

// The wave driver's private messages to output device 0: the equaliser preset (0 NORMAL, 1 ROCK,
// 2 CLASSIC, 3 JAZZ, 4 POP) and the surround effect. Their answers are not examined: a driver
// without them leaves the sound as it is.
inline constexpr UINT WODM_EQ_PRESET = 1044;
inline constexpr UINT WODM_SURROUND_ON = 1045;
inline constexpr UINT WODM_SURROUND_OFF = 1046;

inline void send_eq_preset(int preset)
{
    waveOutMessage(nullptr, WODM_EQ_PRESET, static_cast<DWORD_PTR>(preset), 1);
}

inline void send_surround(bool on)
{
    waveOutMessage(nullptr, on ? WODM_SURROUND_ON : WODM_SURROUND_OFF, 0, 0);
}
