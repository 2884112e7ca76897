#pragma once

#include <cstddef>
#include <cstdint>

// The record of "NAND\SETTING.PAR": seven little-endian signed 32-bit values.
//   [0] brightness level 0-5 (25 to 100 percent)       default 3
//   [1] backlight-off time index 0-5 (never to 300 s)  default 1
//   [2] GPS antenna always on                          default 1
//   [3] key-click sound (nonzero on)                   default 1
//   [4] automatic power-off time index 0-3             default 0
//   [5] display option of navigation and television    default 0
//   [6] second display option                          default 0
struct SettingRecord {
    static constexpr size_t count = 7;

    int32_t value[count];

    int32_t& operator[](size_t index) { return value[index]; }
    int32_t operator[](size_t index) const { return value[index]; }

    static constexpr SettingRecord defaults() { return { { 3, 1, 1, 1, 0, 0, 0 } }; }
};
static_assert(sizeof(SettingRecord) == 28);

// The file all device-family programs share for the record above.
inline constexpr const char16_t* SETTING_FILE_NAME = u"NAND\\SETTING.PAR";
