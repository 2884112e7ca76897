#include "TestClips.h"

#include "dshow/FfmpegPointers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace kivo::test {

namespace {

constexpr int sample_rate = 44100;

// How long a clip lasts and how its pictures come.
struct Timing {
    int seconds = 3;
    int fps = 25;
    int key_frame_interval = 12; // pictures
    int width = 64;
    int height = 48;
    // The last picture's duration is written too, so that the file lasts all its pictures (without
    // it an MP4 ends where its last picture starts).
    bool last_picture_timed = false;
};

struct ClipRecipe {
    const char* muxer;
    AVCodecID video;
    AVCodecID audio;
    bool cover;
    bool video_without_encoder = false; // the video packets are made-up bytes, not encoded
    Timing timing = {};
};

ClipRecipe recipe_of(Clip clip)
{
    switch (clip) {
    case Clip::Mp4MpegAac:
        return { "mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, false };
    case Clip::WmvWma:
        return { "asf", AV_CODEC_ID_WMV2, AV_CODEC_ID_WMAV2, false };
    case Clip::Mp3WithCover:
        return { "mp3", AV_CODEC_ID_NONE, AV_CODEC_ID_MP3, true };
    case Clip::MkvUndecodableVideo:
        return { "matroska", AV_CODEC_ID_AVS2, AV_CODEC_ID_AAC, false, true };
    case Clip::Mp4SparseKeyFrames:
        return { "mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_NONE, false, false, { 10, 10, 40, 32, 24, true } };
    }
    return {};
}

// One encoded stream of the clip being written.
struct EncodedStream {
    CodecContextPtr encoder;
    AVStream* stream = nullptr;
};

class ClipWriter {
public:
    explicit ClipWriter(const ClipRecipe& recipe, const std::filesystem::path& path)
        : m_timing(recipe.timing)
    {
        avformat_alloc_output_context2(&m_output, nullptr, recipe.muxer, path.c_str());
        if (!m_output)
            return;
        if (recipe.cover)
            m_cover_stream = add_cover();
        if (recipe.video_without_encoder)
            m_raw_video = add_raw_video(recipe.video);
        else if (recipe.video != AV_CODEC_ID_NONE)
            m_video = add_video(recipe.video);
        if (recipe.audio != AV_CODEC_ID_NONE)
            m_audio = add_audio(recipe.audio);
        m_ok = (recipe.video == AV_CODEC_ID_NONE || m_video.encoder || m_raw_video) && (recipe.audio == AV_CODEC_ID_NONE || m_audio.encoder)
            && (!recipe.cover || m_cover_stream) && avio_open(&m_output->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0
            && avformat_write_header(m_output, nullptr) >= 0;
    }

    ~ClipWriter()
    {
        if (m_output) {
            avio_closep(&m_output->pb);
            avformat_free_context(m_output);
        }
    }

    bool write()
    {
        if (!m_ok)
            return false;
        if (m_cover_stream && !write_cover())
            return false;
        if (m_video.encoder && !write_video())
            return false;
        if (m_raw_video && !write_raw_video())
            return false;
        if (m_audio.encoder && !write_audio())
            return false;
        return av_write_trailer(m_output) >= 0;
    }

private:
    EncodedStream open_encoder(AVCodecID id, const std::function<void(AVCodecContext&, const AVCodec&)>& configure)
    {
        const AVCodec* codec = avcodec_find_encoder(id);
        if (!codec) {
            ADD_FAILURE() << "no encoder for " << avcodec_get_name(id);
            return {};
        }
        CodecContextPtr encoder(avcodec_alloc_context3(codec));
        configure(*encoder, *codec);
        if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(encoder.get(), codec, nullptr) < 0) {
            ADD_FAILURE() << "cannot open the encoder " << codec->name;
            return {};
        }
        AVStream* stream = avformat_new_stream(m_output, nullptr);
        avcodec_parameters_from_context(stream->codecpar, encoder.get());
        stream->time_base = encoder->time_base;
        return { std::move(encoder), stream };
    }

    EncodedStream add_video(AVCodecID id)
    {
        return open_encoder(id, [this](AVCodecContext& encoder, const AVCodec&) {
            encoder.width = m_timing.width;
            encoder.height = m_timing.height;
            encoder.time_base = { 1, m_timing.fps };
            encoder.framerate = { m_timing.fps, 1 };
            encoder.pix_fmt = AV_PIX_FMT_YUV420P;
            encoder.gop_size = m_timing.key_frame_interval;
            encoder.bit_rate = 200'000;
            // Key frames only where the interval puts them, never at a change of scene.
            av_opt_set_int(encoder.priv_data, "sc_threshold", 1'000'000'000, 0);
        });
    }

    // A video stream of a codec no encoder (and no decoder) is at hand for: packets of made-up bytes.
    AVStream* add_raw_video(AVCodecID id)
    {
        AVStream* stream = avformat_new_stream(m_output, nullptr);
        stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        stream->codecpar->codec_id = id;
        stream->codecpar->width = m_timing.width;
        stream->codecpar->height = m_timing.height;
        stream->time_base = { 1, m_timing.fps };
        return stream;
    }

    bool write_raw_video()
    {
        for (int index = 0; index < m_timing.seconds * m_timing.fps; ++index) {
            PacketPtr packet(av_packet_alloc());
            if (av_new_packet(packet.get(), 200) < 0)
                return false;
            for (int i = 0; i < packet->size; ++i)
                packet->data[i] = static_cast<uint8_t>(i * 7 + index);
            packet->pts = packet->dts = index;
            packet->duration = 1;
            packet->flags = AV_PKT_FLAG_KEY;
            packet->stream_index = m_raw_video->index;
            av_packet_rescale_ts(packet.get(), { 1, m_timing.fps }, m_raw_video->time_base);
            if (av_interleaved_write_frame(m_output, packet.get()) < 0)
                return false;
        }
        return true;
    }

    EncodedStream add_audio(AVCodecID id)
    {
        return open_encoder(id, [](AVCodecContext& encoder, const AVCodec& codec) {
            encoder.sample_rate = sample_rate;
            encoder.time_base = { 1, sample_rate };
            encoder.sample_fmt = codec.sample_fmts ? codec.sample_fmts[0] : AV_SAMPLE_FMT_S16;
            av_channel_layout_default(&encoder.ch_layout, 2);
            encoder.bit_rate = 64'000;
        });
    }

    // An attached picture: one PNG packet on a video stream marked as the file's cover.
    AVStream* add_cover()
    {
        m_cover = open_encoder(AV_CODEC_ID_PNG, [](AVCodecContext& encoder, const AVCodec&) {
            encoder.width = 16;
            encoder.height = 16;
            encoder.time_base = { 1, 1 };
            encoder.pix_fmt = AV_PIX_FMT_RGB24;
        });
        if (!m_cover.encoder)
            return nullptr;
        m_cover.stream->disposition |= AV_DISPOSITION_ATTACHED_PIC;
        return m_cover.stream;
    }

    bool write_cover()
    {
        FramePtr frame(av_frame_alloc());
        frame->format = AV_PIX_FMT_RGB24;
        frame->width = 16;
        frame->height = 16;
        if (av_frame_get_buffer(frame.get(), 0) < 0)
            return false;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 48; ++x)
                frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(x * 5 + y * 9);
        return encode(m_cover, frame.get()) && encode(m_cover, nullptr);
    }

    bool write_video()
    {
        AVCodecContext& encoder = *m_video.encoder;
        for (int index = 0; index < m_timing.seconds * m_timing.fps; ++index) {
            FramePtr frame(av_frame_alloc());
            frame->format = encoder.pix_fmt;
            frame->width = encoder.width;
            frame->height = encoder.height;
            if (av_frame_get_buffer(frame.get(), 0) < 0)
                return false;
            for (int plane = 0; plane < 3; ++plane) {
                int rows = plane ? encoder.height / 2 : encoder.height;
                int columns = plane ? encoder.width / 2 : encoder.width;
                for (int y = 0; y < rows; ++y)
                    for (int x = 0; x < columns; ++x)
                        frame->data[plane][y * frame->linesize[plane] + x] = static_cast<uint8_t>(x + y * 2 + index * 3 + plane * 40);
            }
            frame->pts = index;
            if (!encode(m_video, frame.get()))
                return false;
        }
        return encode(m_video, nullptr);
    }

    bool write_audio()
    {
        AVCodecContext& encoder = *m_audio.encoder;
        int frame_size = encoder.frame_size > 0 ? encoder.frame_size : 1024;
        int64_t written = 0;
        while (written < int64_t(m_timing.seconds) * sample_rate) {
            FramePtr frame(av_frame_alloc());
            frame->format = encoder.sample_fmt;
            frame->nb_samples = frame_size;
            frame->sample_rate = encoder.sample_rate;
            av_channel_layout_copy(&frame->ch_layout, &encoder.ch_layout);
            if (av_frame_get_buffer(frame.get(), 0) < 0)
                return false;
            bool planar = av_sample_fmt_is_planar(encoder.sample_fmt);
            int channels = encoder.ch_layout.nb_channels;
            for (int i = 0; i < frame_size; ++i) {
                double value = 0.3 * std::sin(2 * M_PI * 440.0 * double(written + i) / sample_rate);
                for (int channel = 0; channel < channels; ++channel) {
                    int plane = planar ? channel : 0;
                    int slot = planar ? i : i * channels + channel;
                    switch (encoder.sample_fmt) {
                    case AV_SAMPLE_FMT_FLTP:
                    case AV_SAMPLE_FMT_FLT:
                        reinterpret_cast<float*>(frame->data[plane])[slot] = static_cast<float>(value);
                        break;
                    case AV_SAMPLE_FMT_S16P:
                    case AV_SAMPLE_FMT_S16:
                        reinterpret_cast<int16_t*>(frame->data[plane])[slot] = static_cast<int16_t>(value * 32767);
                        break;
                    case AV_SAMPLE_FMT_S32P:
                    case AV_SAMPLE_FMT_S32:
                        reinterpret_cast<int32_t*>(frame->data[plane])[slot] = static_cast<int32_t>(value * 2147483647.0);
                        break;
                    default:
                        ADD_FAILURE() << "sample format " << av_get_sample_fmt_name(encoder.sample_fmt) << " not filled";
                        return false;
                    }
                }
            }
            frame->pts = written;
            written += frame_size;
            if (!encode(m_audio, frame.get()))
                return false;
        }
        return encode(m_audio, nullptr);
    }

    // Sends a frame (null: the end) to the stream's encoder and writes what comes out.
    bool encode(EncodedStream& encoded, AVFrame* frame)
    {
        if (avcodec_send_frame(encoded.encoder.get(), frame) < 0)
            return false;
        PacketPtr packet(av_packet_alloc());
        for (;;) {
            int received = avcodec_receive_packet(encoded.encoder.get(), packet.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received < 0)
                return false;
            if (m_timing.last_picture_timed && !packet->duration && encoded.encoder->codec_type == AVMEDIA_TYPE_VIDEO)
                packet->duration = 1;
            av_packet_rescale_ts(packet.get(), encoded.encoder->time_base, encoded.stream->time_base);
            packet->stream_index = encoded.stream->index;
            if (av_interleaved_write_frame(m_output, packet.get()) < 0)
                return false;
        }
    }

    const Timing m_timing;
    AVFormatContext* m_output = nullptr;
    EncodedStream m_video;
    EncodedStream m_audio;
    EncodedStream m_cover;
    AVStream* m_cover_stream = nullptr;
    AVStream* m_raw_video = nullptr;
    bool m_ok = false;
};

} // namespace

std::filesystem::path make_clip(const std::filesystem::path& host_path, Clip clip)
{
    std::filesystem::create_directories(host_path.parent_path());
    ClipWriter writer(recipe_of(clip), host_path);
    if (!writer.write()) {
        ADD_FAILURE() << "FFmpeg could not write " << host_path;
        return {};
    }
    return host_path;
}

void write_truncated_copy(const std::filesystem::path& from, const std::filesystem::path& to, size_t bytes)
{
    std::ifstream in(from, std::ios::binary);
    std::vector<char> content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(content.size(), bytes) << from;
    std::filesystem::create_directories(to.parent_path());
    std::ofstream(to, std::ios::binary).write(content.data(), static_cast<std::streamsize>(bytes));
}

std::filesystem::path host_path_in(const std::filesystem::path& device_root, std::u16string_view device_path)
{
    std::string path;
    for (char16_t c : device_path.substr(device_path.starts_with(u'\\') ? 1 : 0))
        path += c == u'\\' ? '/' : static_cast<char>(c); // the tests' paths are plain ASCII
    return device_root / path;
}

} // namespace kivo::test
