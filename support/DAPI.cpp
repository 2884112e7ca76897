#include "DAPI.h"

namespace {

HANDLE open_driver(LPCWSTR name)
{
    return CreateFile(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// One control call with a 4-byte value in and a 4-byte buffer out; answers whether it worked.
bool control(HANDLE driver, DWORD code, DWORD value, DWORD* answer = nullptr)
{
    DWORD in = value;
    DWORD out = 0;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(driver, code, &in, sizeof(in), &out, sizeof(out), &returned, nullptr);
    if (answer)
        *answer = out;
    return ok != FALSE;
}

} // namespace

void DAPI_BacklightControl(DWORD code, DWORD value)
{
    HANDLE driver = open_driver(u"BKL1:");
    if (driver == INVALID_HANDLE_VALUE) {
        OutputDebugString(u"1 DAPI_SetLCDBright (inv h!)\n");
        return;
    }
    if (!control(driver, code, value))
        OutputDebugString(u"1 DAPI_SetLCDBright (inv h!)\n");
    CloseHandle(driver);
}

void DAPI_SetAutoOffTime(DWORD seconds)
{
    DAPI_BacklightControl(IOCTL_BKL_SET_AUTO_OFF_TIME, seconds);
}

void DAPI_SetBacklightOffTime(DWORD seconds)
{
    DAPI_BacklightControl(IOCTL_BKL_SET_BACKLIGHT_OFF_TIME, seconds);
}

void DAPI_EnableAutoOff(DWORD on)
{
    DAPI_BacklightControl(IOCTL_BKL_ENABLE_AUTO_OFF, on);
}

void DAPI_EnableBacklightOff(DWORD on)
{
    DAPI_BacklightControl(IOCTL_BKL_ENABLE_BACKLIGHT_OFF, on);
}

void DAPI_EnableIdleOff(DWORD on)
{
    DAPI_EnableBacklightOff(on);
    DAPI_EnableAutoOff(on);
}

void DAPI_SetLCDBright(DWORD percent)
{
    HANDLE driver = open_driver(u"BKL1:");
    if (driver == INVALID_HANDLE_VALUE) {
        OutputDebugString(u"1 DAPI_SetLCDBright (inv h!)\n");
        return;
    }
    if (!control(driver, IOCTL_BKL_SET_BRIGHTNESS, percent))
        OutputDebugString(u"1 DAPI_SetLCDBright (ioctl!)\n");
    CloseHandle(driver);
}

void DAPI_SetBrightLevel(int level)
{
    static constexpr DWORD percent[] = { 25, 40, 55, 70, 85, 100 };
    if (level < 0 || level > 5)
        return;
    DAPI_SetLCDBright(percent[level]);
}

int DAPI_GetBatteryLevel()
{
    HANDLE driver = open_driver(u"BAT2:");
    if (driver == INVALID_HANDLE_VALUE)
        return BATTERY_STATE_UNKNOWN;
    DWORD state = 0;
    bool ok = control(driver, IOCTL_BAT_GET_STATE, 0, &state);
    CloseHandle(driver);
    return ok ? static_cast<int>(state) : BATTERY_STATE_UNKNOWN;
}

void DAPI_SetScreenTapSound(BOOL mute)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, u"\\ControlPanel\\Volume", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return;
    DWORD value = mute ? 0 : 0x10002;
    RegSetValueEx(key, u"Screen", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    AudioUpdateFromRegistry();
    RegCloseKey(key);
}

BOOL DAPI_TouchCalibrate()
{
    return TouchCalibrate();
}
