#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kivo {

// The header of a RIFF WAVE file: its format and where its samples are. The file comes from
// outside the layer, so every length is checked against the bytes there are.
struct WaveFile {
    uint16_t format_tag = 0;
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint32_t bytes_per_second = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
    size_t data_offset = 0;
    size_t data_size = 0; // cut to the bytes present when the file is shorter than it says

    // Null when the bytes are not a WAVE file with a format and a data chunk.
    static std::optional<WaveFile> parse(std::span<const uint8_t>);

    // How long the samples play, in milliseconds, rounded up.
    uint64_t duration_ms() const;
};

} // namespace kivo
