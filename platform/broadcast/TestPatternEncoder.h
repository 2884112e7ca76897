#pragma once

// The elementary streams of a test service, made with libavcodec: MPEG-2 video of its test pattern
// and MPEG-1 layer II sound of its tone. The builder loops them, so each stream is whole groups of
// pictures and whole sound frames, every group closed and starting with an I picture after a
// sequence header; the same table row gives the same bytes on every run (one thread, bit-exact
// encoders, no time or random input).

#include "StreamTable.h"
#include "gdi/FontEngine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

class TestPatternEncoder {
public:
    // The video's peak rate (what its sequence header announces) and the sound's constant rate, for
    // whoever sizes a multiplex around them.
    static int64_t peak_video_bits_per_second(int width, int height);
    static constexpr int64_t audio_bits_per_second = 192'000;

    explicit TestPatternEncoder(FontEngine& fonts)
        : m_fonts(fonts)
    {
    }

    // I and P pictures only, at 25 a second, a closed group every 0.6 s.
    std::optional<std::vector<uint8_t>> video(const ServiceStream&, std::string& error);
    // 48 kHz stereo: the tone on the left, an octave above it on the right, so a choice of
    // channel can be heard and checked.
    std::optional<std::vector<uint8_t>> audio(const ServiceStream&, std::string& error);

private:
    FontEngine& m_fonts;
};

} // namespace kivo
