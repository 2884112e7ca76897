#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Trace.h"
#include "Types.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace kivo {

class Device;

// Requests to the platform that have no effect on the simulated device but that tests check:
// touch-screen calibrations and refreshes of the sound settings, each with its device time (the
// newest of each, up to the device's trace limit).
class SystemRequests final : public DeviceComponent {
public:
    struct SoundRefresh {
        uint64_t time_ms = 0;
        // The "Screen" value of the current user's volume settings as the refresh found it.
        std::optional<DWORD> screen;
        bool operator==(const SoundRefresh&) const = default;
    };

    explicit SystemRequests(Device&);

    void note_touch_calibration();
    void note_sound_refresh(std::optional<DWORD> screen);

    std::vector<uint64_t> touch_calibrations() const;
    std::vector<SoundRefresh> sound_refreshes() const;

private:
    Device& m_device;
    mutable HostMutex m_lock { LockRank::SystemRequests };
    Trace<uint64_t> m_touch_calibrations;
    Trace<SoundRefresh> m_sound_refreshes;
};

} // namespace kivo
