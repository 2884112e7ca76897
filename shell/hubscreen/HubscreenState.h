#pragma once

#include "SettingRecord.h"
#include "platform.h"

#include <optional>

// What Hubscreen keeps once per process, shared by the home page and its warning windows.
struct HubscreenState {
    SettingRecord setting = SettingRecord::defaults();
    // Bit n is set while the program with id n is known to run.
    WORD running_mask = 0;
    BYTE usb_connected = 0;
    BYTE card_present = 0;
    BYTE card_check_done = 0;
    // Set while the media programs are paused for a phone call.
    BYTE paused_for_call = 0;
    // Set once the phone link's hidden start succeeded; never cleared.
    BYTE phone_link_started = 0;
    // The phone link's registered messages, 0 until the phone link has been found.
    UINT msg_show_hide_phone_line = 0;
    UINT msg_get_call_status = 0;
    UINT msg_call_status = 0;
    // The tick counts of the first phone-link poll and of the poll that found the phone link.
    std::optional<DWORD> first_link_poll;
    DWORD link_found = 0;
    // The battery indicator's state (0 to 7; 7 on the mains adapter).
    int battery_state = 0;
};

// The USB screen shows only while the battery charges or the mains adapter feeds the device.
inline bool battery_charging(int state)
{
    return state == 4 || state == 5 || state == 7;
}

HubscreenState& hubscreen_state();

// The backlight-off and automatic power-off times in seconds, by the record's indices; 0 is never.
inline constexpr DWORD backlight_off_seconds[] = { 0, 15, 30, 60, 120, 300 };
inline constexpr DWORD power_off_seconds[] = { 0, 60, 180, 300 };

// Reads "NAND\SETTING.PAR" at start; a missing or damaged file is replaced by the defaults,
// which are applied and written.
void LoadSettings();
// Reads the file again after the settings program has closed. A failed read keeps the record
// held: the settings program may be saving right now, and writing the defaults would wipe what
// the user chose.
void ReloadSettings();
// The defaults, applied at once.
void ResetSettings();
