#pragma once

#include <cstddef>

namespace kivo {

// Sets FFmpeg up for the layer, once per process (safe to call again):
// - no single allocation beyond `largest_media_allocation`: a damaged file's header may claim gigabytes
//   (a RIFF list of 3.7 GB in a 79-byte file), which the device never had;
// - the log: sends FFmpeg's log, warnings and worse, to the debug output of the device whose context wrote it.
// FFmpeg logs from any thread, its own worker threads too, which are no simulated threads: the
// callback finds the device through the context (a format or codec context whose `opaque` is the
// device, as the layer sets it), then through the calling simulated thread, and otherwise writes
// to the host's stderr.
inline constexpr size_t largest_media_allocation = 256u << 20;
void set_up_ffmpeg();

} // namespace kivo
