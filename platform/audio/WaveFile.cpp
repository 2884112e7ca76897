#include "WaveFile.h"

#include <algorithm>
#include <cstring>

namespace kivo {

namespace {

uint32_t read32(std::span<const uint8_t> bytes, size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

uint16_t read16(std::span<const uint8_t> bytes, size_t at)
{
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

bool tag_is(std::span<const uint8_t> bytes, size_t at, const char* tag)
{
    return std::memcmp(bytes.data() + at, tag, 4) == 0;
}

} // namespace

std::optional<WaveFile> WaveFile::parse(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 12 || !tag_is(bytes, 0, "RIFF") || !tag_is(bytes, 8, "WAVE"))
        return std::nullopt;
    WaveFile wave;
    bool have_format = false;
    size_t at = 12;
    while (bytes.size() - at >= 8) {
        size_t size = read32(bytes, at + 4);
        size_t body = at + 8;
        size_t available = bytes.size() - body;
        if (tag_is(bytes, at, "fmt ")) {
            if (size < 16 || available < 16)
                return std::nullopt;
            wave.format_tag = read16(bytes, body);
            wave.channels = read16(bytes, body + 2);
            wave.sample_rate = read32(bytes, body + 4);
            wave.bytes_per_second = read32(bytes, body + 8);
            wave.block_align = read16(bytes, body + 12);
            wave.bits_per_sample = read16(bytes, body + 14);
            have_format = true;
        } else if (tag_is(bytes, at, "data")) {
            if (!have_format || wave.channels == 0 || wave.bytes_per_second == 0)
                return std::nullopt;
            wave.data_offset = body;
            wave.data_size = std::min(size, available);
            return wave;
        }
        // Chunks are padded to an even length.
        if (size > available || available - size < (size & 1))
            return std::nullopt;
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

uint64_t WaveFile::duration_ms() const
{
    if (bytes_per_second == 0)
        return 0;
    return (static_cast<uint64_t>(data_size) * 1000 + bytes_per_second - 1) / bytes_per_second;
}

} // namespace kivo
