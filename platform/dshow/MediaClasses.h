#pragma once

namespace kivo {

class Device;

// Adds the media framework's classes (the filter graph, and the filters as they come) to the
// device's class table, so that CoCreateInstance makes them. The device's start-up (the
// simulator's boot, a test that builds graphs) calls it once.
void install_media_classes(Device&);

} // namespace kivo
