#pragma once

#include "platform.h"

// The resource numbers of the audio player's dialog and pictures.
inline constexpr UINT IDD_MELODO = 102;
inline constexpr UINT IDI_MELODO = 128;
inline constexpr UINT IDC_SEEK_BAR = 1013;

inline constexpr UINT IDB_BACKGROUND = 130;
inline constexpr UINT IDB_BACKGROUND_NAVI = 131;

// Each button picture's pressed form has the next number.
inline constexpr UINT IDB_VOLUME_DOWN = 140;
inline constexpr UINT IDB_VOLUME_UP = 142;
inline constexpr UINT IDB_PREVIOUS = 144;
inline constexpr UINT IDB_NEXT = 146;
inline constexpr UINT IDB_STOP = 148;
inline constexpr UINT IDB_PLAY = 150;
inline constexpr UINT IDB_PAUSE = 152;
inline constexpr UINT IDB_LIST = 154;
// The mode button's four forms, by the mode a tap selects: once, repeat one, repeat all, shuffle.
inline constexpr UINT IDB_MODE_FIRST = 156;
inline constexpr UINT IDB_SOUND = 164;
inline constexpr UINT IDB_CLOSE = 166;
inline constexpr UINT IDB_NAVIGATION = 168;

// The seek bar's pictures.
inline constexpr UINT IDB_SEEK_THUMB_PRESSED = 280;
inline constexpr UINT IDB_SEEK_TRACK = 281;
inline constexpr UINT IDB_SEEK_FILLED = 282;
inline constexpr UINT IDB_SEEK_THUMB = 283;

inline constexpr UINT IDB_DIGIT_FIRST = 200; // 0 to 9
inline constexpr UINT IDB_COLON = 210;
inline constexpr UINT IDB_MODE_LABEL_FIRST = 211; // by play mode
inline constexpr UINT IDB_SPEAKER = 215;
inline constexpr UINT IDB_SPEAKER_MUTED = 216;
inline constexpr UINT IDB_EQ_LABEL_FIRST = 220; // NORMAL, ROCK, CLASSIC, JAZZ, POP
inline constexpr UINT IDB_SURROUND = 225;
inline constexpr UINT IDB_ARTIST_ICON = 226;
inline constexpr UINT IDB_TITLE_ICON = 227;
inline constexpr UINT IDB_BATTERY_FIRST = 230; // six pictures, 230 to 235

inline constexpr int seek_bar_width = 386;
inline constexpr int seek_bar_height = 20;
inline constexpr int digit_width = 18;
inline constexpr int digit_height = 25;
inline constexpr int play_mode_count = 4;
inline constexpr int eq_preset_count = 5;

// The screen's colours: the dialog's, the title panel's behind the scrolling texts, and the text.
inline constexpr COLORREF dialog_colour = RGB(37, 75, 93);
inline constexpr COLORREF panel_colour = RGB(48, 97, 110);
inline constexpr COLORREF melodo_text_colour = RGB(255, 255, 255);

// Puts the pictures and the dialog into the running program's resources.
void add_melodo_resources();
