#pragma once

#include "StreamDriver.h"

namespace kivo {

// "BAT2:": the battery state (0 to 7: 1 critical, 2 low, 3 to 5 rising charge, 6 a battery fault,
// 7 on the mains adapter) and the answer of the code the phone link asks for its power picture.
class BatteryDriver final : public StreamDriver {
public:
    static constexpr DWORD battery_state_code = 0x223548;
    static constexpr DWORD phone_link_battery_code = 0x223610;

    explicit BatteryDriver(Device& device)
        : StreamDriver(device, u"BAT2:")
    {
    }

    DWORD state() const;
    // Values past 7 are refused: the driver never reports them.
    bool set_state(DWORD);
    DWORD phone_link_answer() const;
    void set_phone_link_answer(DWORD);

private:
    DWORD answer(DWORD code, std::span<const uint8_t> in, std::span<uint8_t> out, DWORD& returned) override;

    DWORD m_state = 5;
    // The phone link shows picture (answer - 2); 2 shows its first picture.
    DWORD m_phone_link_answer = 2;
};

} // namespace kivo
