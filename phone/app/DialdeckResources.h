#pragma once

#include "platform.h"

// The resource numbers of the phone link's program: its main panel and its call screens (empty
// pages that the skins lay out) and its icon.
inline constexpr UINT IDD_DIALDECK = 3200;
inline constexpr UINT IDD_INCOMING_CALL = 3201;
inline constexpr UINT IDD_CALL_OUT = 3202;
inline constexpr UINT IDI_DIALDECK = 128;

// Puts the templates and the icon into the running program's resources, once.
void add_dialdeck_resources();
