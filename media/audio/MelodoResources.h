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

// The dialogs the main screen opens, and their controls.
inline constexpr UINT IDD_SOUND = 205;
inline constexpr UINT IDD_PLAYLIST = 227;
inline constexpr UINT IDD_ADDFILE = 239;
inline constexpr UINT IDD_MESSAGE = 243;
inline constexpr UINT IDC_CLOSE_X = 1000;
inline constexpr UINT IDC_SURROUND_OFF = 1001;
inline constexpr UINT IDC_ADD_ONE = 1002;
inline constexpr UINT IDC_DELETE_ONE = 1003;
inline constexpr UINT IDC_DELETE_ALL = 1004;
inline constexpr UINT IDC_RELOAD_ALL = 1006;
inline constexpr UINT IDC_SURROUND_ON = 1006;
inline constexpr UINT IDC_SELECT = 1007;
inline constexpr UINT IDC_OK = 1007;
inline constexpr UINT IDC_PLAYLIST = 1008;
inline constexpr UINT IDC_FILES = 1010;

// The skinned list's header strip and scroll-bar pictures, in the order the bars take them:
// vertical up, up pressed, down, down pressed, track, thumb, thumb pressed; horizontal right, right
// pressed, left, left pressed, track, thumb, thumb pressed.
inline constexpr UINT IDB_LIST_HEADER = 300;
inline constexpr UINT IDB_VSCROLL_FIRST = 301;
inline constexpr UINT IDB_HSCROLL_FIRST = 308;

// The message dialog: the five messages by mode, the frame behind modes 3 and 4, its OK and X
// (pressed forms next).
inline constexpr UINT IDB_MESSAGE_FIRST = 320;
inline constexpr UINT IDB_MESSAGE_FRAME = 325;
inline constexpr UINT IDB_MESSAGE_OK = 326;
inline constexpr UINT IDB_MESSAGE_X = 328;

// The play list editor and the file browser (pressed forms next).
inline constexpr UINT IDB_EDITOR_BACKGROUND = 340;
inline constexpr UINT IDB_BROWSER_BACKGROUND = 341;
inline constexpr UINT IDB_RELOAD_ALL = 342;
inline constexpr UINT IDB_ADD_ONE = 344;
inline constexpr UINT IDB_DELETE_ONE = 346;
inline constexpr UINT IDB_DELETE_ALL = 348;
inline constexpr UINT IDB_LIST_CLOSE = 350;
inline constexpr UINT IDB_SELECT = 352;
inline constexpr UINT IDB_FOLDER_ICON = 354;
inline constexpr UINT IDB_FILE_ICON = 355;

// The sound dialog: the background, each preset's tile plain then selected, ON and OFF in orange
// and teal, OK (also the OK of messages 3 and 4) and X (pressed forms next).
inline constexpr UINT IDB_SOUND_BACKGROUND = 360;
inline constexpr UINT IDB_TILE_FIRST = 361; // plain 361 + 2p, selected 362 + 2p
inline constexpr UINT IDB_ON_ORANGE = 371;
inline constexpr UINT IDB_ON_TEAL = 373;
inline constexpr UINT IDB_OFF_ORANGE = 375;
inline constexpr UINT IDB_OFF_TEAL = 377;
inline constexpr UINT IDB_SOUND_OK = 379;
inline constexpr UINT IDB_SOUND_X = 381;

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
