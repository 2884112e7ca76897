#pragma once

#include "platform.h"

#include <string_view>
#include <vector>

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
// The phone-link indicator's pictures, 21 by 23 around the key colour: the phone-link symbol
// crossed out (no phone) and the symbol (a phone connected and idle).
inline constexpr UINT IDB_LINK_CROSSED = 194;
inline constexpr UINT IDB_LINK_SYMBOL = 195;
inline constexpr int link_picture_width = 21;
inline constexpr int link_picture_height = 23;

// The warning windows' dialogs and pictures.
inline constexpr UINT IDD_INSERT_SD = 149;
inline constexpr UINT IDD_USB_CONNECT = 159;
inline constexpr UINT IDD_LOW_BATTERY = 206;
inline constexpr UINT IDD_HARD_KEY = 209;
inline constexpr UINT IDD_ONE_KEY_SELECT = 214;
inline constexpr UINT IDD_SHUTDOWN = 225;
inline constexpr UINT IDD_GPS_CHECK = 228;
inline constexpr UINT IDB_WARNING_BACKGROUND = 150;
inline constexpr UINT IDB_OK_DOWN = 153;
inline constexpr UINT IDB_OK_UP = 154;
inline constexpr UINT IDB_USB_CONNECTED = 160;
inline constexpr UINT IDB_USB_BUSY = 161;
inline constexpr UINT IDB_LOW_BATTERY_COUNTDOWN = 207;
inline constexpr UINT IDB_LOW_BATTERY_USB = 208;
inline constexpr UINT IDB_KEYS_LOCKED = 210;
inline constexpr UINT IDB_SHUTTING_DOWN = 226;
inline constexpr UINT IDB_NO_GPS = 230;
inline constexpr UINT IDB_ASK_START_AUDIO = 111;
inline constexpr UINT IDB_ASK_START_TV = 216;
inline constexpr UINT IDB_ONE_KEY_OK_UP = 219;
inline constexpr UINT IDB_ONE_KEY_OK_DOWN = 220;
inline constexpr UINT IDB_ONE_KEY_CANCEL_UP = 222;
inline constexpr UINT IDB_ONE_KEY_CANCEL_DOWN = 224;
inline constexpr int warning_picture_width = 320;
inline constexpr int warning_picture_height = 130;

inline constexpr int icon_count = 7;
inline constexpr UINT icon_normal_bitmaps[icon_count] = { 186, 184, 182, 180, 188, 191, 193 };
inline constexpr UINT icon_selected_bitmaps[icon_count] = { 185, 183, 181, 179, 187, 189, 197 };
inline constexpr int icon_width = 80;
inline constexpr int icon_height = 102;

// The colour the home page's background has throughout: a partial repaint fills with it, so the
// places it fills cannot be told from a full repaint's.
inline constexpr COLORREF page_background = RGB(0, 17, 56);

// One line of text in one of the home screen's pictures: centred in its box (in the picture's
// own coordinates) with a cell height and weight. The pictures draw their words from this list
// only, so whatever is listed here is what the screen shows.
struct PictureText {
    UINT picture;
    RECT box;
    std::u16string_view text;
    int height;
    bool bold;
    COLORREF colour;
};
const std::vector<PictureText>& hubscreen_picture_texts();

// Puts the pictures and the page's dialog into the running program's resources.
void add_hubscreen_resources();
