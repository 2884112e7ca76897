#include "SoundTest.h"

#include "SoundApi.h"
#include "SoundDevice.h"
#include "WaveFile.h"

using namespace kivo;
using namespace kivo::test;

namespace {

class PlaySoundTest : public SoundTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateDirectory(u"\\NAND\\app", nullptr));
        ASSERT_EQ(write_file(u"\\NAND\\app\\Sound.wav", wave_file(1000)), 0u);
        ASSERT_EQ(write_file(u"\\NAND\\app\\Ring.wav", wave_file(250)), 0u);
    }
};

} // namespace

TEST_F(PlaySoundTest, ASynchronousSoundLastsItsFileOnTheDeviceClock)
{
    uint64_t start = device->clock().now_ms();
    EXPECT_TRUE(PlaySound(u"\\NAND\\app\\Sound.wav", nullptr, SND_FILENAME));
    EXPECT_EQ(device->clock().now_ms() - start, 1000u);

    // On a program's thread too: the thread is busy for that second and the others run.
    std::vector<uint64_t> times;
    device->programs().add(u"\\clicker.exe", [&](std::u16string_view) {
        times.push_back(device->clock().now_ms());
        PlaySound(u"\\NAND\\app\\Sound.wav", nullptr, SND_FILENAME | SND_NODEFAULT);
        times.push_back(device->clock().now_ms());
        return 0;
    });
    PROCESS_INFORMATION info {};
    ASSERT_TRUE(CreateProcess(u"\\clicker.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    device->advance(400);
    EXPECT_TRUE(sound.playing());
    device->advance(600);
    ASSERT_EQ(times.size(), 2u);
    EXPECT_EQ(times[1] - times[0], 1000u);
    auto sounds = sound.sounds();
    ASSERT_EQ(sounds.size(), 2u);
    EXPECT_EQ(*sounds[0].stop_ms - sounds[0].start_ms, 1000u);
    EXPECT_TRUE(sounds[1].synchronous);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

TEST_F(PlaySoundTest, AsynchronousAndLoopingSoundsPlayUntilTheirEndOrAStop)
{
    EXPECT_EQ(waveOutSetVolume(nullptr, 0x404D404D), MMSYSERR_NOERROR);

    EXPECT_TRUE(PlaySound(u"\\NAND\\app\\Sound.wav", nullptr, SND_ASYNC | SND_FILENAME));
    EXPECT_EQ(device->clock().now_ms(), 0u);
    device->advance(999);
    EXPECT_TRUE(sound.playing());
    device->advance(1);
    EXPECT_FALSE(sound.playing());

    EXPECT_TRUE(PlaySound(u"\\NAND\\app\\Ring.wav", nullptr, SND_ASYNC | SND_LOOP | SND_FILENAME));
    device->advance(5000);
    EXPECT_TRUE(sound.playing());
    EXPECT_FALSE(PlaySound(u"\\NAND\\app\\Sound.wav", nullptr, SND_ASYNC | SND_NOSTOP | SND_FILENAME));
    EXPECT_TRUE(PlaySound(nullptr, nullptr, 0));
    EXPECT_FALSE(sound.playing());

    // A new sound ends the one that plays.
    PlaySound(u"\\NAND\\app\\Sound.wav", nullptr, SND_ASYNC | SND_FILENAME);
    device->advance(100);
    EXPECT_TRUE(sndPlaySound(u"\\NAND\\app\\Ring.wav", SND_ASYNC));
    device->advance(1000);
    // So does a new sound a looping one.
    EXPECT_TRUE(PlaySound(u"\\NAND\\app\\Ring.wav", nullptr, SND_ASYNC | SND_LOOP | SND_FILENAME));
    device->advance(600);
    EXPECT_TRUE(PlaySound(u"\\NAND\\app\\Sound.wav", nullptr, SND_ASYNC | SND_FILENAME));
    device->advance(2000);

    struct Expected {
        std::u16string file;
        uint64_t start;
        uint64_t stop;
        bool looping;
    };
    // The sound refused by SND_NOSTOP never started and is not among them.
    const Expected expected[] = {
        { u"\\NAND\\app\\Sound.wav", 0, 1000, false },
        { u"\\NAND\\app\\Ring.wav", 1000, 6000, true },
        { u"\\NAND\\app\\Sound.wav", 6000, 6100, false },
        { u"\\NAND\\app\\Ring.wav", 6100, 6350, false },
        { u"\\NAND\\app\\Ring.wav", 7100, 7700, true },
        { u"\\NAND\\app\\Sound.wav", 7700, 8700, false },
    };
    auto sounds = sound.sounds();
    ASSERT_EQ(sounds.size(), std::size(expected));
    for (size_t i = 0; i < sounds.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sounds[i].file, expected[i].file);
        EXPECT_EQ(sounds[i].start_ms, expected[i].start);
        EXPECT_EQ(sounds[i].stop_ms, expected[i].stop);
        EXPECT_EQ(sounds[i].looping, expected[i].looping);
        EXPECT_EQ(sounds[i].volume, 0x404D404Du);
        EXPECT_TRUE(sounds[i].found);
    }
}

TEST_F(PlaySoundTest, AMissingFileIsHarmlessAndTheDriverMessagesAreRecorded)
{
    EXPECT_FALSE(PlaySound(u"\\NAND\\app\\None.wav", nullptr, SND_FILENAME));
    EXPECT_FALSE(PlaySound(u"\\SDMMC\\nowhere\\x.wav", nullptr, SND_FILENAME));
    ASSERT_EQ(write_file(u"\\NAND\\app\\text.wav", "not a wave"), 0u);
    EXPECT_FALSE(PlaySound(u"\\NAND\\app\\text.wav", nullptr, SND_FILENAME));
    EXPECT_EQ(device->clock().now_ms(), 0u);
    ASSERT_EQ(sound.sounds().size(), 3u);
    EXPECT_FALSE(sound.sounds()[0].found);
    EXPECT_FALSE(sound.playing());
    EXPECT_FALSE(PlaySound(u"\\NAND\\app\\Ring.wav", nullptr, SND_LOOP | SND_FILENAME));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    DWORD volume = 0;
    EXPECT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0xFFFFFFFFu);
    device->advance(20);
    waveOutSetVolume(nullptr, 65000);
    EXPECT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 65000u);
    EXPECT_EQ(sound.volume_changes(), (std::vector<std::pair<uint64_t, DWORD>> { { 20, 65000 } }));
    EXPECT_EQ(waveOutMessage(nullptr, 1052, 1, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutMessage(nullptr, 1044, 3, 1), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutMessage(reinterpret_cast<HWAVEOUT>(0x5700), 1044, 3, 1), MMSYSERR_INVALHANDLE);
    auto messages = sound.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, 1052u);
    EXPECT_EQ(messages[0].first, 1u);
    EXPECT_EQ(messages[1].message, 1044u);
    EXPECT_EQ(messages[1].second, 1u);
}

TEST_F(PlaySoundTest, EveryRecordKeepsToTheDevicesTraceLimit)
{
    device->trace_limit().set(2);
    for (int i = 0; i < 3; ++i) {
        PlaySound(u"\\NAND\\app\\None.wav", nullptr, SND_FILENAME);
        waveOutSetVolume(nullptr, i);
        waveOutMessage(nullptr, 1052, i, 0);
    }
    PlaySound(u"\\NAND\\app\\Ring.wav", nullptr, SND_ASYNC | SND_FILENAME);
    device->advance(300);
    auto sounds = sound.sounds();
    ASSERT_EQ(sounds.size(), 2u);
    EXPECT_EQ(sounds[1].stop_ms, 250u) << "the sound that played still had its end written";
    EXPECT_EQ(sound.volume_changes().size(), 2u);
    ASSERT_EQ(sound.messages().size(), 2u);
    EXPECT_EQ(sound.messages()[1].first, 2u);
    // A reader that counts on sequence numbers finds its place past the dropped message.
    auto kept = sound.messages_since(0);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].first, 1u);
    EXPECT_EQ(kept[0].second.first, 1u);
    ASSERT_EQ(sound.messages_since(2).size(), 1u);
    EXPECT_EQ(sound.messages_since(2)[0].second.first, 2u);
    EXPECT_TRUE(sound.messages_since(3).empty());
}

// The output is one channel: the low word of a volume is its level and the high word means
// nothing, for the whole output (device 0) as for one stream.
TEST_F(SoundTest, TheLowWordOfAVolumeIsTheLevelOfTheOneChannel)
{
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\app", nullptr));
    ASSERT_EQ(write_file(u"\\NAND\\app\\Tone.wav", wave_file(5000, 8000, 1, 16, 8192)), 0u);
    capture_mix(2);
    HWAVEOUT stream = nullptr;
    WAVEFORMATEX format = pcm(8000, 1, 16);
    ASSERT_EQ(waveOutOpen(&stream, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::string samples = constant_samples(8000, 1, 16, 8192, 5000);
    WAVEHDR header = header_of(samples.data(), samples.size());
    ASSERT_EQ(waveOutPrepareHeader(stream, &header, sizeof header), MMSYSERR_NOERROR);

    struct Case {
        DWORD volume;
        int expected; // of a full-scale 8192
    };
    const Case cases[] = {
        { 0x404D404D, 2057 }, // the home screen's key clicks: a quarter
        { 0xFFFFFFFF, 8192 }, // the audio player: full
        { 65000, 8125 },      // the television: nearly full, and on both sides
        { 0, 0 },
    };
    uint64_t ms = 0;
    for (auto& each : cases) {
        SCOPED_TRACE(each.volume);
        // The PlaySound channel at the output's volume.
        ASSERT_EQ(waveOutSetVolume(nullptr, each.volume), MMSYSERR_NOERROR);
        DWORD read = 1;
        EXPECT_EQ(waveOutGetVolume(nullptr, &read), MMSYSERR_NOERROR);
        EXPECT_EQ(read, each.volume);
        PlaySound(u"\\NAND\\app\\Tone.wav", nullptr, SND_ASYNC | SND_FILENAME);
        device->advance(100);
        ms += 100;
        for (uint16_t channel : { 0, 1 })
            EXPECT_NEAR(mixed_at(ms - 50, channel), each.expected, 1);
        EXPECT_EQ(sound.sounds().back().volume, each.volume);
        PlaySound(nullptr, nullptr, 0);

        // A stream at its own volume with the output at full.
        waveOutSetVolume(nullptr, 0xFFFFFFFF);
        ASSERT_EQ(waveOutSetVolume(stream, each.volume), MMSYSERR_NOERROR);
        EXPECT_EQ(waveOutGetVolume(stream, &read), MMSYSERR_NOERROR);
        EXPECT_EQ(read, each.volume);
        ASSERT_EQ(waveOutWrite(stream, &header, sizeof header), MMSYSERR_NOERROR);
        device->advance(100);
        ms += 100;
        for (uint16_t channel : { 0, 1 })
            EXPECT_NEAR(mixed_at(ms - 50, channel), each.expected, 1);
        EXPECT_EQ(sound.stream_plays().back().volume, each.volume);
        waveOutReset(stream);
    }
    EXPECT_EQ(waveOutClose(stream), MMSYSERR_NOERROR);
}

TEST(WaveFile, HeadersAreReadWithEveryLengthChecked)
{
    std::string good = wave_file(1000);
    auto bytes = [](const std::string& text) { return std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()); };
    auto wave = WaveFile::parse(bytes(good));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->sample_rate, 8000u);
    EXPECT_EQ(wave->data_size, 8000u);
    EXPECT_EQ(wave->duration_ms(), 1000u);
    EXPECT_EQ(good.substr(wave->data_offset, 1), "\x80");

    // A file cut short plays what it has.
    auto cut = WaveFile::parse(bytes(good.substr(0, good.size() - 4000)));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->duration_ms(), 500u);

    std::string no_format = good;
    no_format.replace(12, 4, "junk");
    std::string huge_chunk = good;
    huge_chunk.replace(40, 4, std::string("\xFF\xFF\xFF\x7F", 4));
    for (auto& broken : { std::string(), good.substr(0, 11), std::string("RIFX") + good.substr(4), no_format, huge_chunk, good.substr(0, 50) }) {
        SCOPED_TRACE(broken.size());
        EXPECT_FALSE(WaveFile::parse(bytes(broken)));
    }
}
