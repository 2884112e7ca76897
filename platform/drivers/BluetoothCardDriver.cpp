#include "BluetoothCardDriver.h"

#include "Errors.h"

namespace kivo {

DWORD BluetoothCardDriver::answer(DWORD code, std::span<const uint8_t>, std::span<uint8_t>, DWORD&)
{
    if (code == card_function_1_code || code == card_function_2_code)
        return ERROR_SUCCESS;
    return ERROR_NOT_SUPPORTED;
}

} // namespace kivo
