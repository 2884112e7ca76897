#include "dshow/tests/MediaTesting.h"

#include "MediaDecoder.h"
#include "Volumes.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace kivo::test {
namespace {

std::unique_ptr<MediaDecoder> decoder_for(const MediaFile& file, int stream)
{
    std::unique_ptr<MediaDecoder> decoder;
    EXPECT_EQ(MediaDecoder::create(file, stream, decoder), S_OK);
    return decoder;
}

struct Decoded {
    std::vector<DecodedFrame> frames;
    int failures = 0; // packets the decoder refused
};

// Reads the whole file and decodes one stream of it.
Decoded decode_stream(MediaFile& file, int stream)
{
    Decoded result;
    auto decoder = decoder_for(file, stream);
    if (!decoder)
        return result;
    PacketPtr packet(av_packet_alloc());
    while (file.read_packet(*packet) == 0) {
        if (packet->stream_index == stream && FAILED(decoder->decode(packet.get(), result.frames)))
            ++result.failures;
        av_packet_unref(packet.get());
    }
    if (FAILED(decoder->decode(nullptr, result.frames)))
        ++result.failures;
    return result;
}

struct DecodeCase {
    Clip clip;
    std::u16string device_path;
    int stream;
};

void PrintTo(const DecodeCase& c, std::ostream* out)
{
    *out << to_utf8(c.device_path) << " stream " << c.stream;
}

class StreamDecoding : public MediaTest, public ::testing::WithParamInterface<DecodeCase> {
};

TEST_P(StreamDecoding, GivesTheFramesFfprobeDecodesTheSameEveryTime)
{
    const DecodeCase& param = GetParam();
    auto host = make(param.device_path, param.clip);
    ASSERT_FALSE(host.empty());

    std::vector<Decoded> runs;
    for (int run = 0; run < 2; ++run) {
        std::unique_ptr<MediaFile> file;
        ASSERT_EQ(MediaFile::open(param.device_path, file), S_OK);
        runs.push_back(decode_stream(*file, param.stream));
    }
    const auto& frames = runs[0].frames;
    EXPECT_EQ(runs[0].failures, 0);
    ASSERT_FALSE(frames.empty());
    bool video = frames[0].width > 0;
    for (const DecodedFrame& frame : frames) {
        if (video) {
            EXPECT_EQ(frame.width, 64);
            EXPECT_EQ(frame.height, 48);
            EXPECT_EQ(frame.data.size(), 64u * 48 + 2 * 32 * 24);
            EXPECT_EQ(frame.duration, 400'000) << "25 pictures a second";
        } else {
            EXPECT_EQ(frame.sample_rate, 44100);
            EXPECT_EQ(frame.channels, 2);
            EXPECT_EQ(frame.data.size(), size_t(frame.samples) * 2 * sizeof(int16_t));
            EXPECT_EQ(frame.duration, av_rescale(frame.samples, 10'000'000, 44100));
        }
    }
    // Bit for bit the same, times included.
    ASSERT_EQ(runs[1].frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(runs[1].frames[i].start, frames[i].start) << i;
        EXPECT_TRUE(runs[1].frames[i].data == frames[i].data) << "frame " << i << " differs between two decodes";
    }
    // Not a still: the pictures of the clip change from one to the next.
    if (video) {
        EXPECT_NE(frames.front().data, frames.back().data);
    }

    if (!ffprobe_present())
        GTEST_SKIP() << "ffprobe is not installed (setup.sh installs it): not compared";
    auto probed = ffprobe_frames(host, param.stream);
    ASSERT_EQ(frames.size(), probed.size());
    ASSERT_TRUE(probed.front().time);
    EXPECT_NEAR(double(frames.front().start), double(*probed.front().time), double(printed_rounding));
    if (probed.back().time) {
        EXPECT_NEAR(double(frames.back().start), double(*probed.back().time), double(printed_rounding));
    } else {
        // The decoder's last frame came out without a time: it follows on from the one before.
        ASSERT_GE(frames.size(), 2u);
        const DecodedFrame& before = frames[frames.size() - 2];
        ASSERT_TRUE(probed[frames.size() - 2].time);
        EXPECT_NEAR(double(before.start), double(*probed[frames.size() - 2].time), double(printed_rounding));
        EXPECT_EQ(frames.back().start, before.start + before.duration);
    }
    int samples = 0;
    int probed_samples = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        samples += frames[i].samples;
        probed_samples += probed[i].samples;
        if (video) {
            EXPECT_EQ(frames[i].key_frame, probed[i].key_frame) << i;
        }
    }
    EXPECT_EQ(samples, probed_samples);
}

INSTANTIATE_TEST_SUITE_P(Clips, StreamDecoding,
    ::testing::Values(DecodeCase { Clip::Mp4MpegAac, u"\\SDMMC\\Video\\clip.mp4", 0 }, DecodeCase { Clip::Mp4MpegAac, u"\\SDMMC\\Video\\clip.mp4", 1 },
        DecodeCase { Clip::WmvWma, u"\\NAND\\Video\\clip.wmv", 0 }, DecodeCase { Clip::WmvWma, u"\\NAND\\Video\\clip.wmv", 1 },
        DecodeCase { Clip::Mp3WithCover, u"\\SDMMC\\Music\\a.mp3", 0 }, DecodeCase { Clip::MkvUndecodableVideo, u"\\SDMMC\\Video\\clip.mkv", 1 }),
    [](const auto& info) {
        const auto& path = info.param.device_path;
        return to_utf8(path.substr(path.rfind(u'.') + 1)) + "_stream" + std::to_string(info.param.stream);
    });

TEST_F(MediaTest, AStreamWithoutADecoderIsUnsupported)
{
    make(u"\\SDMMC\\Video\\clip.mkv", Clip::MkvUndecodableVideo);
    std::unique_ptr<MediaFile> file;
    ASSERT_EQ(MediaFile::open(u"\\SDMMC\\Video\\clip.mkv", file), S_OK);
    std::unique_ptr<MediaDecoder> decoder;
    EXPECT_EQ(MediaDecoder::create(*file, 0, decoder), VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(decoder, nullptr);
}

TEST_F(MediaTest, ATruncatedClipDecodesWhatItHasAndEnds)
{
    auto whole = make(u"\\SDMMC\\Video\\whole.wmv", Clip::WmvWma);
    write_truncated_copy(whole, host_path(u"\\SDMMC\\Video\\cut.wmv"), std::filesystem::file_size(whole) / 2 + 77);
    for (int stream : { 0, 1 }) {
        std::unique_ptr<MediaFile> whole_file;
        std::unique_ptr<MediaFile> cut_file;
        ASSERT_EQ(MediaFile::open(u"\\SDMMC\\Video\\whole.wmv", whole_file), S_OK);
        ASSERT_EQ(MediaFile::open(u"\\SDMMC\\Video\\cut.wmv", cut_file), S_OK);
        size_t all = decode_stream(*whole_file, stream).frames.size();
        size_t some = decode_stream(*cut_file, stream).frames.size();
        EXPECT_GT(some, all / 4) << "stream " << stream;
        EXPECT_LT(some, all) << "stream " << stream;
    }
}

TEST_F(MediaTest, APacketTheDecoderRefusesFailsAloneAndIsTold)
{
    make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac);
    std::unique_ptr<MediaFile> file;
    ASSERT_EQ(MediaFile::open(u"\\SDMMC\\Video\\clip.mp4", file), S_OK);
    auto decoder = decoder_for(*file, 1);
    ASSERT_NE(decoder, nullptr);
    PacketPtr packet(av_packet_alloc());
    std::vector<DecodedFrame> frames;
    std::vector<PacketPtr> sound;
    while (sound.size() < 4 && file->read_packet(*packet) == 0) {
        if (packet->stream_index == 1)
            sound.emplace_back(av_packet_clone(packet.get()));
        av_packet_unref(packet.get());
    }
    ASSERT_EQ(sound.size(), 4u);
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(decoder->decode(sound[size_t(i)].get(), frames), S_OK);
    // An AAC frame whose bytes are noise.
    PacketPtr noise(av_packet_clone(sound[2].get()));
    ASSERT_EQ(av_packet_make_writable(noise.get()), 0);
    for (int i = 0; i < noise->size; ++i)
        noise->data[i] = static_cast<uint8_t>(0xE7 ^ (i * 13));
    size_t before = frames.size();
    EXPECT_EQ(decoder->decode(noise.get(), frames), E_FAIL);
    EXPECT_EQ(frames.size(), before);
    EXPECT_TRUE(device->debug_log().contains("MediaDecoder: aac")) << "the refusal is not in the debug output";
    EXPECT_EQ(decoder->decode(sound[3].get(), frames), S_OK);
    EXPECT_GT(frames.size(), before) << "the next good packet gives no sound";
}

// Sound of more than two channels is mixed down to two; one channel stays one.
TEST_F(MediaTest, SoundIsMixedDownToTwoChannelsAndMonoStaysMono)
{
    struct Case {
        int channels;
        int expected;
    };
    for (Case c : { Case { 6, 2 }, Case { 1, 1 }, Case { 2, 2 } }) {
        AVCodecParameters* parameters = avcodec_parameters_alloc();
        parameters->codec_type = AVMEDIA_TYPE_AUDIO;
        parameters->codec_id = AV_CODEC_ID_PCM_F32LE;
        parameters->format = AV_SAMPLE_FMT_FLT;
        parameters->sample_rate = 22050;
        av_channel_layout_default(&parameters->ch_layout, c.channels);
        std::unique_ptr<MediaDecoder> decoder;
        HRESULT created = MediaDecoder::create(*parameters, { 1, 22050 }, { 0, 1 }, 0, decoder);
        avcodec_parameters_free(&parameters);
        ASSERT_EQ(created, S_OK) << c.channels;

        // 100 samples: the front left channel positive, the front right negative, every other
        // channel silent, and the second 50 samples silent.
        constexpr int samples = 100;
        PacketPtr packet(av_packet_alloc());
        ASSERT_EQ(av_new_packet(packet.get(), samples * c.channels * 4), 0);
        auto* values = reinterpret_cast<float*>(packet->data);
        for (int i = 0; i < samples; ++i)
            for (int channel = 0; channel < c.channels; ++channel)
                values[i * c.channels + channel] = i >= samples / 2 ? 0.0f : channel == 0 ? 0.5f : channel == 1 ? -0.5f : 0.0f;
        packet->pts = packet->dts = 2205;
        std::vector<DecodedFrame> frames;
        ASSERT_EQ(decoder->decode(packet.get(), frames), S_OK);
        ASSERT_EQ(frames.size(), 1u);
        const DecodedFrame& frame = frames[0];
        EXPECT_EQ(frame.channels, c.expected) << c.channels;
        EXPECT_EQ(frame.samples, samples);
        EXPECT_EQ(frame.start, 1'000'000) << "0.1 s";
        EXPECT_EQ(frame.duration, av_rescale(samples, 10'000'000, 22050));
        ASSERT_EQ(frame.data.size(), size_t(samples) * c.expected * 2);
        std::vector<int16_t> pcm(frame.data.size() / 2);
        std::memcpy(pcm.data(), frame.data.data(), frame.data.size());
        EXPECT_GT(pcm[0], 4000) << c.channels << " channels: the left is lost";
        if (c.expected == 2) {
            EXPECT_LT(pcm[1], 0) << c.channels << " channels: the right is not the other channels";
        }
        EXPECT_EQ(pcm.back(), 0);
    }
}

} // namespace
} // namespace kivo::test
