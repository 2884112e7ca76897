#include "SampleRing.h"
#include "SoundMixer.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>

using namespace kivo;

namespace {

SoundMixer::Bytes samples16(std::vector<int16_t> values)
{
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    for (int16_t value : values) {
        bytes->push_back(static_cast<uint8_t>(value));
        bytes->push_back(static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8));
    }
    return bytes;
}

std::vector<int16_t> mixed(SoundMixer& mixer, size_t frames)
{
    std::vector<int16_t> out(frames * mixer.output_channels());
    mixer.mix(out);
    return out;
}

} // namespace

TEST(SoundMixer, ConvertsEachSourceToTheOutputAndAddsThem)
{
    SoundMixer mixer;
    mixer.set_output(8000, 1);
    // Half the output's rate: every other frame lies halfway between two of the source's.
    auto ramp = mixer.add({ 4000, 1, 16 }, false);
    mixer.append(ramp, samples16({ 0, 100, 200, 300 }), 0, 8);
    mixer.set_playing(ramp, true);
    // Stereo 8-bit on a mono output: the mean of the two sides.
    auto stereo = mixer.add({ 8000, 2, 8 }, false);
    auto bytes = std::make_shared<std::vector<uint8_t>>(std::vector<uint8_t> { 128 + 8, 128 + 4, 128 + 8, 128 + 4, 128 + 8, 128 + 4 });
    mixer.append(stereo, bytes, 0, bytes->size());
    mixer.set_playing(stereo, true);
    mixer.set_gain(stereo, 0.5);
    EXPECT_EQ(mixed(mixer, 8), (std::vector<int16_t> { 0 + 768, 50 + 768, 100 + 768, 150, 200, 250, 300, 300 }));
    EXPECT_EQ(mixed(mixer, 2), (std::vector<int16_t> { 0, 0 })) << "both ran dry";

    // A silent source takes no time: its samples wait.
    auto held = mixer.add({ 8000, 1, 16 }, false);
    mixer.append(held, samples16({ 7, 8 }), 0, 4);
    EXPECT_EQ(mixed(mixer, 1), (std::vector<int16_t> { 0 }));
    mixer.set_playing(held, true);
    EXPECT_EQ(mixed(mixer, 3), (std::vector<int16_t> { 7, 8, 0 }));

    // Sums past the 16 bits are clipped.
    mixer.append(held, samples16({ 30000, 30000 }), 0, 4);
    mixer.append(ramp, samples16({ 30000, 30000 }), 0, 4);
    EXPECT_EQ(mixed(mixer, 1), (std::vector<int16_t> { 32767 }));
}

TEST(SoundMixer, ALoopingSourceTurnsAndSkippingMovesSourcesAsMixingWould)
{
    SoundMixer mixer;
    mixer.set_output(8000, 2);
    auto loop = mixer.add({ 8000, 1, 16 }, true);
    mixer.append(loop, samples16({ 1, 2, 3 }), 0, 6);
    mixer.set_playing(loop, true);
    EXPECT_EQ(mixed(mixer, 5), (std::vector<int16_t> { 1, 1, 2, 2, 3, 3, 1, 1, 2, 2 }));
    mixer.skip(4); // 3, 1, 2, 3
    EXPECT_EQ(mixed(mixer, 2), (std::vector<int16_t> { 1, 1, 2, 2 }));

    auto once = mixer.add({ 8000, 1, 16 }, false);
    std::vector<int16_t> values(100);
    std::iota(values.begin(), values.end(), 0);
    mixer.append(once, samples16(values), 0, 200);
    mixer.set_playing(loop, false);
    mixer.set_playing(once, true);
    mixer.skip(40);
    EXPECT_EQ(mixed(mixer, 2), (std::vector<int16_t> { 40, 40, 41, 41 }));
    mixer.clear(once);
    EXPECT_EQ(mixed(mixer, 1), (std::vector<int16_t> { 0, 0 }));
}

TEST(SampleRing, KeepsTheNewestWholeFramesAndRefillsAfterRunningDry)
{
    SampleRing ring(2, 4, 2);
    std::vector<int16_t> out(4);
    ring.push(std::vector<int16_t> { 1, 1 });
    ring.pop(out);
    EXPECT_EQ(out, (std::vector<int16_t> { 0, 0, 0, 0 })) << "not yet two frames";
    ring.push(std::vector<int16_t> { 2, 2, 3, 3, 4, 4, 5, 5, 6 }); // the odd sample is no frame
    EXPECT_EQ(ring.frames(), 4u);
    ring.pop(out);
    EXPECT_EQ(out, (std::vector<int16_t> { 2, 2, 3, 3 })) << "the oldest went past the capacity";
    std::vector<int16_t> more(6);
    ring.pop(more);
    EXPECT_EQ(more, (std::vector<int16_t> { 4, 4, 5, 5, 0, 0 }));
    ring.push(std::vector<int16_t> { 7, 7 });
    ring.pop(out);
    EXPECT_EQ(out, (std::vector<int16_t> { 0, 0, 0, 0 })) << "refilling after running dry";
}
