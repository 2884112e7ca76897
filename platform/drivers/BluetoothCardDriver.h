#pragma once

#include "StreamDriver.h"

namespace kivo {

// "BTD0:": the Bluetooth card. The phone screens put it through its recovery with two codes, each
// with the wide text "card" as input; the driver records them and answers success.
class BluetoothCardDriver final : public StreamDriver {
public:
    static constexpr DWORD card_function_1_code = 0x01040004;
    static constexpr DWORD card_function_2_code = 0x01040008;

    explicit BluetoothCardDriver(Device& device)
        : StreamDriver(device, u"BTD0:")
    {
    }

private:
    DWORD answer(DWORD code, std::span<const uint8_t> in, std::span<uint8_t> out, DWORD& returned) override;
};

} // namespace kivo
