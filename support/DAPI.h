#pragma once

#include "platform.h"

// The device family's calls into the board: the backlight driver "BKL1:", the battery driver
// "BAT2:", the general-purpose I/O registers, the frame buffer, the screen-tap sound, touch
// calibration and the hardware reset. Each driver call opens its driver, issues one control
// code with a 4-byte value and closes it again.

inline constexpr DWORD IOCTL_BKL_SET_BRIGHTNESS = 0x223484;
inline constexpr DWORD IOCTL_BKL_SET_AUTO_OFF_TIME = 0x223488;
inline constexpr DWORD IOCTL_BKL_SET_BACKLIGHT_OFF_TIME = 0x22348C;
inline constexpr DWORD IOCTL_BKL_ENABLE_AUTO_OFF = 0x223490;
inline constexpr DWORD IOCTL_BKL_ENABLE_BACKLIGHT_OFF = 0x223494;
inline constexpr DWORD IOCTL_BAT_GET_STATE = 0x223548;

// What DAPI_GetBatteryLevel answers when the driver gives no state: the crossed-out battery, to
// which no program ties an action.
inline constexpr int BATTERY_STATE_UNKNOWN = 6;

void DAPI_BacklightControl(DWORD code, DWORD value);
void DAPI_SetAutoOffTime(DWORD seconds);
void DAPI_SetBacklightOffTime(DWORD seconds);
void DAPI_EnableAutoOff(DWORD on);
void DAPI_EnableBacklightOff(DWORD on);
void DAPI_EnableIdleOff(DWORD on);
void DAPI_SetLCDBright(DWORD percent);
// Levels 0 to 5 are 25 to 100 percent; other levels change nothing.
void DAPI_SetBrightLevel(int level);

int DAPI_GetBatteryLevel();

int DAPI_Init();
void DAPI_SetTunerPower(BOOL on);
void DAPI_SetAntenna(int mode);
int DAPI_IsSdCardInserted();
int DAPI_HasTvTuner();
void DAPI_PreparePowerOff();
void DAPI_ShutDown();
// Resets the device through the reset register; does not come back.
void DAPI_Reset();

// Direct fills of the frame buffer (480 pixels a row, two pages of 272 rows), clipped to it.
void DAPI_FillScreen(COLORREF colour);
void DAPI_FillScreen(BYTE red, BYTE green, BYTE blue);
// Rows from top to bottom inclusive, columns from left up to right exclusive.
void DAPI_FillRect(LPCRECT rect, COLORREF colour);
void DAPI_FillRect(LPCRECT rect, BYTE red, BYTE green, BYTE blue);

void DAPI_SetScreenTapSound(BOOL mute);
BOOL DAPI_TouchCalibrate();
