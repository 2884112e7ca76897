#include "StorageTest.h"

#include "SoundApi.h"
#include "SoundDevice.h"
#include "WaveFile.h"

using namespace kivo;
using namespace kivo::test;

namespace {

// A WAVE file of `ms` milliseconds of 8 kHz, 8-bit mono samples, with an extra chunk before
// the samples as some tools write.
std::string wave_file(uint32_t ms)
{
    auto le32 = [](uint32_t v) { return std::string { char(v), char(v >> 8), char(v >> 16), char(v >> 24) }; };
    auto le16 = [](uint16_t v) { return std::string { char(v), char(v >> 8) }; };
    uint32_t samples = 8 * ms;
    std::string format = "fmt " + le32(16) + le16(1) + le16(1) + le32(8000) + le32(8000) + le16(1) + le16(8);
    std::string extra = "LIST" + le32(3) + "abc" + std::string(1, '\0');
    std::string data = "data" + le32(samples) + std::string(samples, '\x80');
    std::string body = "WAVE" + format + extra + data;
    return "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
}

class SoundTest : public StorageTest {
protected:
    SoundDevice& sound = device->component<SoundDevice>();

    void SetUp() override
    {
        ASSERT_TRUE(CreateDirectory(u"\\NAND\\app", nullptr));
        ASSERT_EQ(write_file(u"\\NAND\\app\\Sound.wav", wave_file(1000)), 0u);
        ASSERT_EQ(write_file(u"\\NAND\\app\\Ring.wav", wave_file(250)), 0u);
    }
};

} // namespace

TEST_F(SoundTest, ASynchronousSoundLastsItsFileOnTheDeviceClock)
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

TEST_F(SoundTest, AsynchronousAndLoopingSoundsPlayUntilTheirEndOrAStop)
{
    std::vector<SoundDevice::OutputEvent::Kind> heard;
    sound.set_output([&](const SoundDevice::OutputEvent& event) { heard.push_back(event.kind); });
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
    using Kind = SoundDevice::OutputEvent::Kind;
    EXPECT_EQ(heard, (std::vector<Kind> { Kind::Start, Kind::Stop, Kind::Start, Kind::Stop, Kind::Start, Kind::Stop, Kind::Start, Kind::Stop }));
}

TEST_F(SoundTest, AMissingFileIsHarmlessAndTheDriverMessagesAreRecorded)
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
    auto messages = sound.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, 1052u);
    EXPECT_EQ(messages[0].first, 1u);
    EXPECT_EQ(messages[1].message, 1044u);
    EXPECT_EQ(messages[1].second, 1u);
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
