#pragma once

// A multiplex described in JSON (its network, services, streams, schedules and teletext pages),
// made into packets by the builder as the device's clock runs.

#include "broadcast/MultiplexSource.h"

#include <memory>
#include <string>

namespace kivo {

// Reads the description at `path` (elementary-stream files relative to it). On a missing or
// unknown field, or a file that cannot be read, answers null with `error` naming the cause.
std::unique_ptr<MultiplexSource> open_multiplex_description(const std::string& path, std::string& error);

} // namespace kivo
