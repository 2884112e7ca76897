#pragma once

#include "platform.h"

// The resource numbers of the phone link's program: its main panel, its call screens and its dial
// pad (empty pages that the skins lay out) and its icon.
inline constexpr UINT IDD_DIALDECK = 3200;
inline constexpr UINT IDD_INCOMING_CALL = 3201;
inline constexpr UINT IDD_CALL_OUT = 3202;
inline constexpr UINT IDD_DIAL_PAD = 3203;
inline constexpr UINT IDI_DIALDECK = 128;

// The dial pad's window class, which the pad registers: it takes double taps, so that a quick
// second tap on a key counts.
inline constexpr const WCHAR* DIAL_PAD_CLASS = u"DialPad";

// Puts the templates and the icon into the running program's resources, once.
void add_dialdeck_resources();
