#include "StreamDrivers.h"

#include "BacklightDriver.h"
#include "BatteryDriver.h"
#include "BluetoothCardDriver.h"
#include "Device.h"
#include "DiskDriver.h"

namespace kivo {

void install_stream_drivers(Device& device)
{
    device.component<BacklightDriver>();
    device.component<BatteryDriver>();
    device.component<DiskDriver>();
    device.component<BluetoothCardDriver>();
}

} // namespace kivo
