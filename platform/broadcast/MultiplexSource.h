#pragma once

// A multiplex as the simulated radio carries it: a transport stream of 188-byte packets at a
// constant rate, either a recording played in a loop or one the builder makes from a description
// as the device's clock runs.

#include "broadcast/TransportPacket.h"
#include "kernel/Types.h"

#include <cstdint>
#include <vector>

namespace kivo {

class MultiplexSource {
public:
    virtual ~MultiplexSource() = default;

    // The stream's rate in bits per second.
    virtual uint64_t bits_per_second() const = 0;

    // Appends the next `count` packets to `out`, made for the device's UTC time `utc_now` (a
    // recording ignores it). Answers true when the stream started again from its beginning within
    // these packets, so that the receiver marks a discontinuity.
    virtual bool read(size_t count, const SYSTEMTIME& utc_now, std::vector<uint8_t>& out) = 0;
};

} // namespace kivo
