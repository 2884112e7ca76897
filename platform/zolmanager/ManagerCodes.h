#pragma once

#include "ZolManagerU.h"

#include <cstdint>

// The result codes ZolManagerU answers beyond success (MANAGER_OK), and the device time its
// operations take. The phone link shows each code with a text of its own (2000 + n as text
// 14015 + n, 500 to 504, 9999); see docs/zolmanager.md.
inline constexpr int ZOL_BAD_ARGUMENT = 500;          // a null out pointer, an unknown storage or device
inline constexpr int ZOL_UNKNOWN_BUFFER = 501;        // a release of a buffer the process does not hold
inline constexpr int ZOL_NOT_ATTACHED = 502;          // the library holds no state for the calling process
inline constexpr int ZOL_RADIO_OFF = 2003;            // Bluetooth is off
inline constexpr int ZOL_OUT_OF_RANGE = 2004;         // the phone is out of range
inline constexpr int ZOL_NOT_PAIRED = 2005;           // the phone is not paired
inline constexpr int ZOL_WRONG_PIN = 2006;            // the phone refused the PIN
inline constexpr int ZOL_NO_DEFAULT_PHONE = 2007;     // connect without an activated phone
inline constexpr int ZOL_UNKNOWN_PHONE = 2008;        // no phone with that address
inline constexpr int ZOL_BUSY = 2010;                 // the phone has a call already
inline constexpr int ZOL_NO_CALL = 2011;              // no call in the state the request needs
inline constexpr int ZOL_NOT_SUPPORTED = 2012;        // the phone lacks the function
inline constexpr int ZOL_NOTHING_TO_REDIAL = 2013;    // redial before anything was dialled
inline constexpr int ZOL_BAD_VALUE = 2014;            // a number or tones the phone refuses
inline constexpr int ZOL_NO_SUCH_FILE = 2015;         // the folder or file is not on the phone
inline constexpr int ZOL_SETTINGS_NOT_WRITTEN = 2016; // mobile_setting.ini could not be written
// MANAGER_COPY_FAILED (2017): the copy could not be written on the device.
inline constexpr int ZOL_NO_DIAL_UP = 2018;          // dial-up disconnection without a dial-up link
inline constexpr int ZOL_ENTRY_NOT_SUPPORTED = 9999; // the 49 entries this manager does not offer

// ConnectStatusFn's statuses: 1 connected (MANAGER_OK), a link lost out of range
// MANAGER_NOT_CONNECTED (2002), Bluetooth switched off ZOL_RADIO_OFF, dropped by the device 0.
inline constexpr int ZOL_LINK_DROPPED = 0;

// The progress kind of a file copy (the phone link's file callback takes any kind).
inline constexpr int ZOL_PROGRESS_FILE = 2;

// Device time (virtual clock) the operations take.
inline constexpr uint32_t ZOL_CONNECT_MS = 1500;
inline constexpr uint32_t ZOL_PAIR_MS = 3000;
inline constexpr uint32_t ZOL_INQUIRY_STEP_MS = 1000; // per phone found, and once more to finish
inline constexpr uint32_t ZOL_RECORD_MS = 20;         // per contact, call-list entry or message
inline constexpr uint32_t ZOL_LIST_FOLDER_MS = 200;
inline constexpr uint32_t ZOL_COPY_MS_PER_KB = 1;
inline constexpr uint32_t ZOL_COPY_CHUNK = 32 * 1024; // bytes per progress report
inline constexpr uint32_t ZOL_DIAL_UP_MS = 2000;
