#pragma once

// PES packets and their cutting into transport packets (ISO/IEC 13818-1).

#include "broadcast/MultiplexSource.h"
#include "broadcast/Sections.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kivo {

using TsPacket = std::array<uint8_t, ts_packet_size>;

inline constexpr uint16_t null_pid = 0x1FFF;

// A PES with a presentation time (90 kHz, 33 bits) and at least `header_data_length` bytes of
// optional header (stuffed with 0xFF). Its length field is 0 (unbounded, for video) when the PES
// is too long for it.
Bytes make_pes(uint8_t stream_id, uint64_t pts, const Bytes& payload, size_t header_data_length = 5);

// The transport packets of one PES or one section on `pid`, continuity counters left 0 (the
// multiplexer numbers packets as it sends them). A PES ends in a packet stuffed through its
// adaptation field; a section starts with a pointer field and ends in 0xFF bytes.
std::vector<TsPacket> packetize_pes(uint16_t pid, const Bytes& pes);
std::vector<TsPacket> packetize_section(uint16_t pid, const Bytes& section);

// A packet of adaptation field only, carrying a PCR (27 MHz units).
TsPacket pcr_packet(uint16_t pid, uint64_t pcr);
// The six bytes of a PCR field in an adaptation field (27 MHz units; the base wraps at 33 bits).
void write_pcr(uint8_t* field, uint64_t pcr);
TsPacket null_packet();

// Sets the continuity counter of a packet.
void set_continuity(TsPacket& packet, uint8_t counter);
inline uint16_t packet_pid(const TsPacket& packet) { return static_cast<uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]); }
inline bool packet_has_payload(const TsPacket& packet) { return (packet[3] & 0x10) != 0; }

} // namespace kivo
