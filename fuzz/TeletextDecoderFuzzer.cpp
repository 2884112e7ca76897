// Teletext comes off the air: any bytes, cut into samples anywhere and with discontinuities
// anywhere, must assemble and decode without reading past what they hold, and every record
// delivered must hold only what its codes can give.
//
// The first byte is the sample size (0: the rest in one sample), the second marks which of the
// first eight samples come after a discontinuity; the rest is the stream.

#include "TeletextPesDecoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

void check_record(const kivo::TeletextPesDecoder::Packet& packet)
{
    if (auto* header = std::get_if<TeletextHeaderPacket>(&packet)) {
        check(header->magazine < 8 && header->packet == 0 && header->page_units < 16 && header->page_tens < 16);
        check((header->subcode & ~0x3F7Fu) == 0 && (header->control_bits & ~0x7FF0u) == 0);
    } else if (auto* row = std::get_if<TeletextRowPacket>(&packet)) {
        check(row->magazine < 8 && row->packet >= 1 && row->packet <= 25);
    } else if (auto* enhancement = std::get_if<TeletextEnhancementPacket>(&packet)) {
        check(enhancement->magazine < 8 && enhancement->packet == 26 && enhancement->designation < 16);
        for (const TeletextTriplet& triplet : enhancement->triplets)
            check(triplet.address < 64 && triplet.mode < 32 && triplet.data < 128);
    } else {
        const auto& service = std::get<TeletextServicePacket>(packet);
        check(service.magazine == 0 && service.packet == 30 && service.designation < 4);
        check(service.initial_page_units < 16 && service.initial_page_tens < 16 && service.initial_magazine < 8);
        check((service.initial_subcode & ~0x3F7Fu) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t sample_size = data[0] == 0 ? size : data[0];
    const uint8_t discontinuities = data[1];
    std::span<const uint8_t> stream(data + 2, size - 2);

    kivo::TeletextPesDecoder decoder(check_record, [](const std::u16string& reason) { check(!reason.empty()); });
    for (size_t at = 0, index = 0; at < stream.size(); at += sample_size, ++index) {
        const size_t length = std::min(sample_size, stream.size() - at);
        decoder.push(stream.subspan(at, length), index < 8 && ((discontinuities >> index) & 1));
    }
    return 0;
}
