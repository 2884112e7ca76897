#pragma once

#include "vendor/TeletextRecords.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace kivo {

// Teletext as DVB carries it: PES packets of private stream 1 whose data identifier is 0x10 to
// 0x1F, holding data units; units 0x02 and 0x03 of 44 bytes each carry one teletext packet, its
// bytes bit-reversed. The decoder takes the stream as the demultiplexer hands it on (the payload
// of the transport packets, so a PES starts at the start of a sample, or whole PES packets),
// assembles each PES, and turns its packets into records: headers (X/0), rows (X/1 to X/25),
// enhancements (X/26) and the broadcast service data (8/30). Other packets are not delivered.
//
// What it cannot use is dropped and reported as one line each: a PES of another stream, with
// another data identifier, cut short or running past its length; a unit of another length or
// framing code; a packet whose address, header, designation or triplets fail their Hamming code.
class TeletextPesDecoder {
public:
    using Packet = std::variant<TeletextHeaderPacket, TeletextRowPacket, TeletextEnhancementPacket, TeletextServicePacket>;
    using PacketSink = std::function<void(const Packet&)>;
    using DropSink = std::function<void(const std::u16string& reason)>;

    TeletextPesDecoder(PacketSink, DropSink);

    // One sample of the stream; a discontinuity drops the PES being assembled.
    void push(std::span<const uint8_t>, bool discontinuity = false);
    // Forgets what is half assembled (a flush, a stop).
    void reset();

    // Decodes one teletext packet as carried in a data unit: its 44 bytes after the unit's
    // identifier and length.
    void decode_unit(std::span<const uint8_t, 44>);

private:
    void decode_pes();
    void drop(const std::u16string&);

    PacketSink m_packet;
    DropSink m_drop;
    std::vector<uint8_t> m_pes;
    bool m_assembling = false;
    // Out of step: bytes skipped until the next sample that starts a PES; said once a stretch.
    bool m_skipping_said = false;
};

} // namespace kivo
