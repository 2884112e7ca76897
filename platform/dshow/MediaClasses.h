#pragma once

namespace kivo {

class Device;

// Adds the filter graph alone to the device's class table (for graphs of other filters).
void install_filter_graph(Device&);

// Adds the filter graph and the media filters (the file source, the video and audio decoders, the
// audio renderer) to the device's class table, and the filters to the catalog of what a graph
// builds on its own, so that RenderFile plays a file. The device's start-up (the simulator's boot,
// a test that plays media) calls it once.
void install_media_classes(Device&);

} // namespace kivo
