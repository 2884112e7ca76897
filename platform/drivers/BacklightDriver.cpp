#include "BacklightDriver.h"

#include "Errors.h"

namespace kivo {

BacklightDriver::State BacklightDriver::state() const
{
    std::lock_guard guard(m_lock);
    return m_state;
}

DWORD BacklightDriver::answer(DWORD code, std::span<const uint8_t> in, std::span<uint8_t>, DWORD&)
{
    DWORD value = 0;
    if (!read_value(in, value))
        return ERROR_INVALID_PARAMETER;
    switch (code) {
    case set_brightness_code:
        if (value > 100)
            return ERROR_INVALID_PARAMETER;
        m_state.brightness_percent = value;
        return ERROR_SUCCESS;
    case set_auto_off_time_code:
        m_state.auto_off_seconds = value;
        return ERROR_SUCCESS;
    case set_backlight_off_time_code:
        m_state.backlight_off_seconds = value;
        return ERROR_SUCCESS;
    case allow_auto_off_code:
        m_state.auto_off_allowed = value != 0;
        return ERROR_SUCCESS;
    case allow_backlight_off_code:
        m_state.backlight_off_allowed = value != 0;
        return ERROR_SUCCESS;
    default:
        return ERROR_NOT_SUPPORTED;
    }
}

} // namespace kivo
