#pragma once

namespace kivo {

class Device;

// Puts the board's stream drivers ("BKL1:", "BAT2:", "DSK1:", "BTD0:") into the device's driver
// table, so that CreateFile finds them. The device's start-up (the simulator's boot, a test that
// opens drivers by name) calls it once.
void install_stream_drivers(Device&);

} // namespace kivo
