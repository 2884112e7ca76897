#include "SystemRequests.h"

#include "Device.h"

namespace kivo {

SystemRequests::SystemRequests(Device& device)
    : m_device(device)
    , m_touch_calibrations(device.trace_limit())
    , m_sound_refreshes(device.trace_limit())
{
}

void SystemRequests::note_touch_calibration()
{
    std::lock_guard guard(m_lock);
    m_touch_calibrations.append(m_device.clock().now_ms());
}

void SystemRequests::note_sound_refresh(std::optional<DWORD> screen)
{
    std::lock_guard guard(m_lock);
    m_sound_refreshes.append({ m_device.clock().now_ms(), screen });
}

std::vector<uint64_t> SystemRequests::touch_calibrations() const
{
    std::lock_guard guard(m_lock);
    return m_touch_calibrations.all();
}

std::vector<SystemRequests::SoundRefresh> SystemRequests::sound_refreshes() const
{
    std::lock_guard guard(m_lock);
    return m_sound_refreshes.all();
}

} // namespace kivo
