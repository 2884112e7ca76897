#pragma once

#include "storage/tests/StorageTest.h"

#include "SoundApi.h"
#include "SoundDevice.h"

#include <cstring>
#include <string>
#include <vector>

namespace kivo::test {

inline std::string le32(uint32_t v)
{
    return std::string { char(v), char(v >> 8), char(v >> 16), char(v >> 24) };
}

inline std::string le16(uint16_t v)
{
    return std::string { char(v), char(v >> 8) };
}

// `ms` milliseconds of PCM frames that all hold one value (an 8-bit file stores it offset by 128).
inline std::string constant_samples(uint32_t rate, uint16_t channels, uint16_t bits, int16_t value, uint32_t ms)
{
    std::string sample = bits == 8 ? std::string(1, char((value >> 8) + 128)) : le16(static_cast<uint16_t>(value));
    std::string frames;
    for (uint32_t i = 0; i < static_cast<uint64_t>(rate) * ms / 1000 * channels; ++i)
        frames += sample;
    return frames;
}

// A WAVE file of such samples, with an extra chunk before them as some tools write.
inline std::string wave_file(uint32_t ms, uint32_t rate = 8000, uint16_t channels = 1, uint16_t bits = 8, int16_t value = 0)
{
    uint16_t block = channels * bits / 8;
    std::string format = "fmt " + le32(16) + le16(1) + le16(channels) + le32(rate) + le32(rate * block) + le16(block) + le16(bits);
    std::string extra = "LIST" + le32(3) + "abc" + std::string(1, '\0');
    std::string samples = constant_samples(rate, channels, bits, value, ms);
    std::string data = "data" + le32(static_cast<uint32_t>(samples.size())) + samples;
    std::string body = "WAVE" + format + extra + data;
    return "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
}

inline WAVEFORMATEX pcm(uint32_t rate, uint16_t channels, uint16_t bits)
{
    WORD block = static_cast<WORD>(channels * bits / 8);
    return { WAVE_FORMAT_PCM, channels, rate, rate * block, block, bits, 0 };
}

inline WAVEHDR header_of(char* data, size_t size)
{
    WAVEHDR header {};
    header.lpData = data;
    header.dwBufferLength = static_cast<DWORD>(size);
    return header;
}

// A device whose mix is captured: at 8 kHz, output frame f is the device's millisecond f / 8
// counted from when the capture began.
class SoundTest : public StorageTest {
protected:
    SoundDevice& sound = device->component<SoundDevice>();
    std::vector<int16_t> mix;
    uint16_t mix_channels = 1;

    void capture_mix(uint16_t channels = 1)
    {
        mix_channels = channels;
        sound.set_output({ 8000, channels }, [this](std::span<const int16_t> samples) { mix.insert(mix.end(), samples.begin(), samples.end()); });
    }
    // The mixed sample of a channel at a device millisecond since the capture began.
    int16_t mixed_at(uint64_t ms, uint16_t channel = 0)
    {
        sound.render();
        size_t at = ms * 8 * mix_channels + channel;
        return at < mix.size() ? mix[at] : INT16_MIN;
    }
};

} // namespace kivo::test
