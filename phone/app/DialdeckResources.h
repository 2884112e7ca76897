#pragma once

#include "platform.h"

// The resource numbers of the phone link's program: its main panel (an empty page that the skin
// lays out) and its icon.
inline constexpr UINT IDD_DIALDECK = 3200;
inline constexpr UINT IDI_DIALDECK = 128;

// Puts the panel's template and the icon into the running program's resources, once.
void add_dialdeck_resources();
