#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace kivo {

// The layout of linear PCM samples: 8-bit unsigned or 16-bit signed little-endian, one or two
// channels interleaved.
struct PcmFormat {
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint16_t bits = 0;

    uint32_t block_align() const { return channels * (bits / 8u); }
    uint32_t bytes_per_second() const { return rate * block_align(); }
    bool operator==(const PcmFormat&) const = default;
};

// Adds the device's sources into one output of 16-bit samples at the output's rate and channels.
// Each source is converted to that rate by linear interpolation and scaled by its gain; a mono
// source plays on both channels, a stereo one on a mono output as the mean of its two. The mixer
// knows no time: its owner asks for the next frames as the device clock moves. Not locked: the
// owner guards it.
class SoundMixer {
public:
    using SourceId = uint64_t;
    using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

    void set_output(uint32_t rate, uint16_t channels);
    uint32_t output_rate() const { return m_rate; }
    uint16_t output_channels() const { return m_channels; }

    // A new source, silent until it is made to play. A looping source plays what it has been
    // given over and over; another one forgets its samples as it plays them.
    SourceId add(PcmFormat, bool looping);
    void remove(SourceId);
    void append(SourceId, Bytes, size_t offset, size_t size);
    // Forgets the samples not played yet.
    void clear(SourceId);
    void set_playing(SourceId, bool);
    void set_gain(SourceId, double);

    // Writes the next out.size() / output_channels() frames of the mix.
    void mix(std::span<int16_t> out);
    // Lets that many frames pass unheard: the sources move on as if they had been mixed.
    void skip(uint64_t frames);

private:
    using Frame = std::array<int32_t, 2>;
    struct Chunk {
        Bytes bytes;
        size_t offset = 0;
        size_t size = 0;
    };
    struct Source {
        PcmFormat format;
        bool looping = false;
        bool playing = false;
        double gain = 1.0;
        std::deque<Chunk> chunks;
        size_t chunk = 0; // the chunk being read (always the first unless looping)
        size_t read = 0;  // bytes read of it
        // Interpolation between the current and the next source frame, `phase` output-rate units
        // past the current one.
        uint64_t phase = 0;
        Frame current {};
        Frame next {};
        bool has_current = false;
        bool has_next = false;
    };

    static bool pull(Source&, Frame&);
    static bool next_byte(Source&, uint8_t&);
    static void drop_bytes(Source&, uint64_t);
    void advance(Source&);

    uint32_t m_rate = 44100;
    uint16_t m_channels = 2;
    std::map<SourceId, Source> m_sources;
    SourceId m_next_id = 1;
    std::vector<int32_t> m_accumulator;
};

} // namespace kivo
