#pragma once

// Stream drivers reached by name ("BKL1:", "BAT2:", "DSK1:", "BTD0:") and driven with
// DeviceIoControl, and the platform's touch-screen calibration and sound-settings refresh.

#include "kernel/Errors.h"
#include "kernel/Types.h"

inline constexpr DWORD ERROR_SECTOR_NOT_FOUND = 27;

inline constexpr DWORD FILE_DEVICE_UNKNOWN = 0x22;
inline constexpr DWORD METHOD_BUFFERED = 0;
inline constexpr DWORD FILE_ANY_ACCESS = 0;

inline constexpr DWORD CTL_CODE(DWORD device_type, DWORD function, DWORD method, DWORD access)
{
    return (device_type << 16) | (access << 14) | (function << 2) | method;
}

// The flash disk's sector read: the request travels as the output buffer; the sectors land in the
// buffer it points to, 512 bytes each.
inline constexpr DWORD DISK_SECTOR_SIZE = 512;
struct DSK_SECTOR_REQUEST {
    DWORD FirstSector;
    DWORD SectorCount;
    BYTE* Buffer;
};

// The overlapped argument is accepted for the platform's shape; no driver works asynchronously.
BOOL DeviceIoControl(HANDLE, DWORD control_code, LPVOID in_buffer, DWORD in_size, LPVOID out_buffer, DWORD out_size,
    LPDWORD bytes_returned, LPVOID overlapped);

// Runs the touch-screen calibration; the simulated panel needs none and answers success.
BOOL TouchCalibrate();
// Asks the sound driver to read its settings ("\ControlPanel\Volume" of the current user) again.
void AudioUpdateFromRegistry();
