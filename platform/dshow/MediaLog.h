#pragma once

namespace kivo {

// Sends FFmpeg's log, warnings and worse, to the debug output of the device whose context wrote it.
// FFmpeg logs from any thread, its own worker threads too, which are no simulated threads: the
// callback finds the device through the context (a format or codec context whose `opaque` is the
// device, as the layer sets it), then through the calling simulated thread, and otherwise writes
// to the host's stderr. Installed once per process; safe to call again.
void install_media_log();

} // namespace kivo
