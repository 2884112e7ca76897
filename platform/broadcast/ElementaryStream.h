#pragma once

// Elementary-stream files cut into the units the multiplexer sends one per PES: MPEG-2 video
// pictures (each with the sequence and GOP headers before it; I and P pictures only, so that
// decoding order is display order) and MPEG audio layer II frames.

#include "broadcast/Sections.h"

#include <optional>
#include <string>

namespace kivo {

struct ElementaryStream {
    std::vector<Bytes> units;
    // Units per second as a fraction (pictures per second, or sample rate over samples per frame).
    uint64_t units_per_second_numerator = 0;
    uint64_t units_per_second_denominator = 1;

    // The start of unit `index` (counting on across loops) in 90 kHz ticks.
    uint64_t start_ticks(uint64_t index) const
    {
        return static_cast<uint64_t>(static_cast<unsigned __int128>(index) * 90000 * units_per_second_denominator /
                                     units_per_second_numerator);
    }
};

// Nullopt with `error` saying why when the bytes are not such a stream.
std::optional<ElementaryStream> parse_mpeg2_video(const Bytes& data, std::string& error);
std::optional<ElementaryStream> parse_mpeg_audio(const Bytes& data, std::string& error);

} // namespace kivo
