#pragma once

// The MPEG-2 transport stream's packet: 188 bytes opening with the sync byte.

#include <cstddef>
#include <cstdint>

namespace kivo {

inline constexpr size_t ts_packet_size = 188;
inline constexpr uint8_t ts_sync_byte = 0x47;

} // namespace kivo
