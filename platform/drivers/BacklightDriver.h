#pragma once

#include "StreamDriver.h"

namespace kivo {

// "BKL1:": the backlight's brightness, the automatic power-off and backlight-off times, and the
// two holds that keep those timers from running.
class BacklightDriver final : public StreamDriver {
public:
    static constexpr DWORD set_brightness_code = 0x223484;
    static constexpr DWORD set_auto_off_time_code = 0x223488;
    static constexpr DWORD set_backlight_off_time_code = 0x22348C;
    static constexpr DWORD allow_auto_off_code = 0x223490;
    static constexpr DWORD allow_backlight_off_code = 0x223494;

    struct State {
        DWORD brightness_percent = 100;
        DWORD auto_off_seconds = 0;      // 0: never
        DWORD backlight_off_seconds = 0; // 0: never
        bool auto_off_allowed = true;
        bool backlight_off_allowed = true;
        bool operator==(const State&) const = default;
    };

    explicit BacklightDriver(Device& device)
        : StreamDriver(device, u"BKL1:")
    {
    }

    State state() const;

private:
    DWORD answer(DWORD code, std::span<const uint8_t> in, std::span<uint8_t> out, DWORD& returned) override;

    State m_state;
};

} // namespace kivo
