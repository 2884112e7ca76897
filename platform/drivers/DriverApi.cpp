#include "DriverApi.h"

#include "Device.h"
#include "DriverOpen.h"
#include "KernelApi.h"
#include "Process.h"
#include "StreamDriver.h"
#include "SystemRequests.h"
#include "registry/RegistryApi.h"

#include <optional>
#include <span>

using namespace kivo;

BOOL DeviceIoControl(HANDLE handle, DWORD control_code, LPVOID in_buffer, DWORD in_size, LPVOID out_buffer,
    DWORD out_size, LPDWORD bytes_returned, LPVOID)
{
    auto& device = Device::current();
    auto open = device.handles().resolve_as<DriverOpen>(handle, Process::current());
    if (!open) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::span<const uint8_t> in;
    if (in_buffer)
        in = { static_cast<const uint8_t*>(in_buffer), in_size };
    std::span<uint8_t> out;
    if (out_buffer)
        out = { static_cast<uint8_t*>(out_buffer), out_size };
    DWORD returned = 0;
    DWORD error = open->driver().control(control_code, in, out, returned);
    if (bytes_returned)
        *bytes_returned = returned;
    if (error) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL TouchCalibrate()
{
    Device::current().component<SystemRequests>().note_touch_calibration();
    return TRUE;
}

void AudioUpdateFromRegistry()
{
    std::optional<DWORD> screen;
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, u"ControlPanel\\Volume", 0, 0, &key) == ERROR_SUCCESS) {
        DWORD type = 0;
        DWORD value = 0;
        DWORD size = sizeof value;
        if (RegQueryValueEx(key, u"Screen", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS
            && type == REG_DWORD && size == sizeof value)
            screen = value;
        RegCloseKey(key);
    }
    Device::current().component<SystemRequests>().note_sound_refresh(screen);
}
