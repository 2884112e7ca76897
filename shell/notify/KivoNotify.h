#pragma once

// The device family's notify protocol: one private window message whose wParam is a code and
// lParam its argument, the ids of the programs, the card reasons and the fixed private messages.
// Every program of the family, the phone link and the drivers' stand-ins include this header.

#include "platform.h"

// The notify message itself (0x0BFB).
inline constexpr UINT WM_KIVO_NOTIFY = WM_USER + 2043;

// Codes carried in wParam of WM_KIVO_NOTIFY.
inline constexpr WPARAM APP_SD_READY = 0;
inline constexpr WPARAM APP_SD_NONE = 2;
inline constexpr WPARAM APP_HARDKEY = 4;
inline constexpr WPARAM DRV_BATT_AC_CHANGE = 6;
inline constexpr WPARAM DRV_BATT_LEVEL = 7;
inline constexpr WPARAM APP_MEDIA_RUN = 8;
inline constexpr WPARAM APP_MEDIA_STOP = 9;
inline constexpr WPARAM APP_MEDIA_PAUSE = 10;
inline constexpr WPARAM APP_MEDIA_MUTE = 11;
inline constexpr WPARAM APP_NAVI_VOICE = 13;
inline constexpr WPARAM APP_NAVI_ROUTE = 14;
inline constexpr WPARAM APP_SWITCH_TV = 15;
inline constexpr WPARAM APP_SWITCH_AUDIO = 16;
inline constexpr WPARAM APP_NAVI_DIAL = 17;
inline constexpr WPARAM APP_SHOW_NAVI = 18;
inline constexpr WPARAM DRV_SD_INSERT = 19;
inline constexpr WPARAM DRV_SD_RMV2 = 20;
inline constexpr WPARAM DRV_SD_RMV = 21;
inline constexpr WPARAM DRV_SD_FORMAT_NOTSUPPORT2FMTNOSUPPORT = 22;
inline constexpr WPARAM DRV_SD_NONE2NOSD = 23;
inline constexpr WPARAM DRV_POWER_OFF = 24;
inline constexpr WPARAM DRV_HARDKEY = 25;
inline constexpr WPARAM DRV_AC_CHANGE = 27;
inline constexpr WPARAM DRV_BATT_CHANGE = 28;
inline constexpr WPARAM DRV_USB_CONNECT = 29;
inline constexpr WPARAM DRV_USB_REMOVE = 30;
inline constexpr WPARAM APP_MEDIA_UNMUTE = 31;
inline constexpr WPARAM APP_USB_CONNECTED = 32;
inline constexpr WPARAM APP_USB_REMOVED = 33;
inline constexpr WPARAM APP_CLOSE = 34;
inline constexpr WPARAM APP_CLOSED = 35;
inline constexpr WPARAM APP_USB_BUSY = 36;
inline constexpr WPARAM APP_USB_IDLE = 37;
inline constexpr WPARAM APP_GET_KEYSOUND = 38;
inline constexpr WPARAM APP_KEYSOUND = 39;

// The programs' ids: lParam of APP_CLOSED and the bits of the home screen's running mask.
enum AppId : LPARAM {
    APPID_TV = 0,
    APPID_NAVI = 1,
    APPID_VIDEO = 2,
    APPID_AUDIO = 3,
    APPID_PHOTO = 4,
    APPID_PHONELINK = 5,
    APPID_SETTING = 6,
};

// lParam of DRV_SD_RMV2: why the card is wanted; each is also the number of the insert-card
// window's picture.
inline constexpr LPARAM SD_REASON_MEDIA_LOST = 152;
inline constexpr LPARAM SD_REASON_NOT_FAT = 155;
inline constexpr LPARAM SD_REASON_MISSING = 156;
inline constexpr LPARAM SD_REASON_WRITE_PROTECTED = 157;
inline constexpr LPARAM SD_REASON_FULL = 158;

// lParam of APP_CLOSE: who closes.
inline constexpr LPARAM CLOSE_BY_SYSTEM = 0;
inline constexpr LPARAM CLOSE_AUDIO_AFTER_NAVI = 1;
inline constexpr LPARAM CLOSE_BY_HOME_PAGE = 2;

// The fixed private messages beside the notify message.
inline constexpr UINT MSG_AUDIO_READY = 0xCF00;
inline constexpr UINT MSG_VIDEO_READY = 0xCF01;
inline constexpr UINT MSG_PHOTO_READY = 0xCF02;
inline constexpr UINT MSG_SETTING_READY = 0xCF04;
inline constexpr UINT MSG_TV_READY = 0xCF06;
inline constexpr UINT MSG_BATT_CRITICAL = 0xCF07;
inline constexpr UINT MSG_LOWBAT_COUNTDOWN = 0x8343;
inline constexpr UINT MSG_SHUTDOWN = 0x8347;
inline constexpr UINT MSG_SHOW_WARNINGS = 0x834D;

// The card and USB drivers' messages to the home screen.
inline constexpr UINT WM_SD_INSERTED = WM_APP + 11;
inline constexpr UINT WM_SD_REMOVED = WM_APP + 12;
inline constexpr UINT WM_USB_BUSY = WM_APP + 21;
inline constexpr UINT WM_USB_IDLE = WM_APP + 22;

// The window titles the protocol's messages are addressed to.
inline constexpr const char16_t* HOME_WINDOW_TITLE = u"hubscreen";
inline constexpr const char16_t* NAVI_WINDOW_TITLE = u"Corvane-RXM";
inline constexpr const char16_t* PHONELINK_WINDOW_TITLE = u"ZOL_VOXLANE";
