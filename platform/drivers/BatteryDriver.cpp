#include "BatteryDriver.h"

#include "Errors.h"

namespace kivo {

DWORD BatteryDriver::state() const
{
    std::lock_guard guard(m_lock);
    return m_state;
}

bool BatteryDriver::set_state(DWORD state)
{
    if (state > 7)
        return false;
    std::lock_guard guard(m_lock);
    m_state = state;
    return true;
}

DWORD BatteryDriver::phone_link_answer() const
{
    std::lock_guard guard(m_lock);
    return m_phone_link_answer;
}

void BatteryDriver::set_phone_link_answer(DWORD answer)
{
    std::lock_guard guard(m_lock);
    m_phone_link_answer = answer;
}

DWORD BatteryDriver::answer(DWORD code, std::span<const uint8_t>, std::span<uint8_t> out, DWORD& returned)
{
    switch (code) {
    case battery_state_code:
        return put_value(m_state, out, returned);
    case phone_link_battery_code:
        return put_value(m_phone_link_answer, out, returned);
    default:
        return ERROR_NOT_SUPPORTED;
    }
}

} // namespace kivo
