// What the sound output costs: mixing a second of output, and a stream's headers through the
// device on the virtual clock.

#include "BenchDevice.h"
#include "Device.h"
#include "SoundApi.h"
#include "SoundDevice.h"
#include "SoundMixer.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace kivo;

// A second of 44.1 kHz stereo output from music at 22.05 kHz mono and a sound at 44.1 kHz
// stereo, both converted and scaled.
static void MixOneSecond(benchmark::State& state)
{
    SoundMixer mixer;
    mixer.set_output(44100, 2);
    auto music = mixer.add({ 22050, 1, 16 }, true);
    mixer.append(music, std::make_shared<const std::vector<uint8_t>>(44100, 7), 0, 44100);
    mixer.set_playing(music, true);
    mixer.set_gain(music, 0.8);
    auto click = mixer.add({ 44100, 2, 16 }, true);
    mixer.append(click, std::make_shared<const std::vector<uint8_t>>(176400, 9), 0, 176400);
    mixer.set_playing(click, true);
    std::vector<int16_t> out(44100 * 2);
    for (auto _ : state) {
        mixer.mix(out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(MixOneSecond);

// One 4 KB header written, played and given back done on the virtual clock, without an output.
static void StreamHeaderRoundTrip(benchmark::State& state)
{
    auto device = make_bench_device();
    WAVEFORMATEX format { WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0 };
    HWAVEOUT stream = nullptr;
    waveOutOpen(&stream, 0, &format, 0, 0, CALLBACK_NULL);
    std::vector<char> samples(4096);
    WAVEHDR header {};
    header.lpData = samples.data();
    header.dwBufferLength = 4096;
    waveOutPrepareHeader(stream, &header, sizeof header);
    for (auto _ : state) {
        waveOutWrite(stream, &header, sizeof header);
        device->advance(24);
    }
    waveOutReset(stream);
    waveOutClose(stream);
}
BENCHMARK(StreamHeaderRoundTrip);
