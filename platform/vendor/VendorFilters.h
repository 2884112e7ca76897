#pragma once

namespace kivo {

class Device;

// Adds the chip vendor's filters to the device's in-process classes, and the video renderer to
// the renderers a graph may build on its own. The device's start-up calls it once.
void install_vendor_filters(Device&);

} // namespace kivo
