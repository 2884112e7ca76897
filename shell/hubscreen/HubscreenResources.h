#pragma once

#include "platform.h"

// The resource numbers of the home page's pictures and its dialog.
inline constexpr UINT IDD_HUBSCREEN = 102;
inline constexpr UINT IDI_HUBSCREEN = 128;
inline constexpr UINT IDB_TOP_BAR = 129;
inline constexpr UINT IDB_KEYCLICK_OFF = 143;
inline constexpr UINT IDB_KEYCLICK_ON = 144;
inline constexpr UINT IDB_BATTERY_FIRST = 163; // six pictures, 163 to 168
inline constexpr UINT IDB_BACKGROUND = 196;
inline constexpr UINT IDB_CLOCK_BACKGROUND = 213;
inline constexpr UINT IDB_NO_TUNER = 227;
inline constexpr UINT IDB_LINK_BACKGROUND = 232;

inline constexpr int icon_count = 7;
inline constexpr UINT icon_normal_bitmaps[icon_count] = { 186, 184, 182, 180, 188, 191, 193 };
inline constexpr UINT icon_selected_bitmaps[icon_count] = { 185, 183, 181, 179, 187, 189, 197 };
inline constexpr int icon_width = 80;
inline constexpr int icon_height = 102;

inline constexpr int battery_picture_width = 36;
inline constexpr int battery_picture_height = 20;

// Puts the pictures and the page's dialog into the running program's resources.
void add_hubscreen_resources();
