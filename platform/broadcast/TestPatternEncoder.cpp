#include "TestPatternEncoder.h"

#include "TestPattern.h"
#include "dshow/FfmpegPointers.h"
#include "kernel/WideText.h"

#include <cmath>
#include <memory>
#include <numbers>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace kivo {

namespace {

std::string av_error_text(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Feeds one picture or sound frame (null to drain) and appends every packet the encoder gives back.
bool encode(AVCodecContext& encoder, const AVFrame* frame, std::vector<uint8_t>& out, std::string& error)
{
    int sent = avcodec_send_frame(&encoder, frame);
    if (sent < 0) {
        error = std::string(encoder.codec->name) + ": " + av_error_text(sent);
        return false;
    }
    PacketPtr packet(av_packet_alloc());
    while (true) {
        int received = avcodec_receive_packet(&encoder, packet.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0) {
            error = std::string(encoder.codec->name) + ": " + av_error_text(received);
            return false;
        }
        out.insert(out.end(), packet->data, packet->data + packet->size);
        av_packet_unref(packet.get());
    }
}

CodecContextPtr open_encoder(AVCodecID id, std::string& error, auto configure)
{
    const AVCodec* codec = avcodec_find_encoder(id);
    if (!codec) {
        error = std::string("libavcodec has no encoder for ") + avcodec_get_name(id);
        return {};
    }
    CodecContextPtr encoder(avcodec_alloc_context3(codec));
    // One thread and bit-exact arithmetic: the same input gives the same bytes.
    encoder->thread_count = 1;
    encoder->flags |= AV_CODEC_FLAG_BITEXACT;
    configure(*encoder);
    int opened = avcodec_open2(encoder.get(), codec, nullptr);
    if (opened < 0) {
        error = std::string(codec->name) + " does not open: " + av_error_text(opened);
        return {};
    }
    return encoder;
}

bool is_high_definition(int width, int height)
{
    return width > 720 || height > 576;
}

} // namespace

int64_t TestPatternEncoder::peak_video_bits_per_second(int width, int height)
{
    return is_high_definition(width, height) ? 10'000'000 : 4'000'000;
}

std::optional<std::vector<uint8_t>> TestPatternEncoder::video(const ServiceStream& service, std::string& error)
{
    if (!service.has_video) {
        error = service.slug + " is a radio service: it has no picture";
        return {};
    }
    bool high_definition = is_high_definition(service.width, service.height);
    auto encoder = open_encoder(AV_CODEC_ID_MPEG2VIDEO, error, [&](AVCodecContext& context) {
        context.width = service.width;
        context.height = service.height;
        context.pix_fmt = AV_PIX_FMT_YUV420P;
        context.time_base = { 1, ServiceStream::frames_per_second };
        context.framerate = { ServiceStream::frames_per_second, 1 };
        context.sample_aspect_ratio = { 1, 1 };
        context.gop_size = ServiceStream::pictures_per_group;
        context.max_b_frames = 0;
        context.flags |= AV_CODEC_FLAG_CLOSED_GOP;
        // The buffer is the largest a main-profile decoder of the level keeps (main level for
        // standard definition, high-1440 above it).
        context.bit_rate = peak_video_bits_per_second(service.width, service.height) * 6 / 10;
        context.rc_max_rate = peak_video_bits_per_second(service.width, service.height);
        context.rc_buffer_size = high_definition ? 7'340'032 : 1'835'008;
        context.color_primaries = high_definition ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
        context.color_trc = high_definition ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
        context.colorspace = high_definition ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
        context.color_range = AVCOL_RANGE_MPEG;
        // Groups start where the interval puts them, never at a change of scene.
        av_opt_set_int(context.priv_data, "sc_threshold", 1'000'000'000, 0);
    });
    if (!encoder)
        return {};

    ScalerPtr scaler(sws_getContext(service.width, service.height, AV_PIX_FMT_RGB565, service.width, service.height, AV_PIX_FMT_YUV420P,
        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr));
    if (!scaler) {
        error = "libswscale cannot convert the picture";
        return {};
    }
    const int* coefficients = sws_getCoefficients(high_definition ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(scaler.get(), coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);

    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = service.width;
    frame->height = service.height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        error = "no memory for a picture";
        return {};
    }

    TestPattern pattern(service.width, service.height, to_utf16(service.name), m_fonts);
    std::vector<uint8_t> stream;
    for (int index = 0; index < service.picture_count; ++index) {
        pattern.draw(index);
        if (av_frame_make_writable(frame.get()) < 0) {
            error = "no memory for a picture";
            return {};
        }
        Bitmap& bitmap = pattern.bitmap();
        const uint8_t* source[] = { static_cast<const uint8_t*>(bitmap.bits()) };
        const int source_stride[] = { bitmap.width_bytes() };
        sws_scale(scaler.get(), source, source_stride, 0, service.height, frame->data, frame->linesize);
        frame->pts = index;
        if (!encode(*encoder, frame.get(), stream, error))
            return {};
    }
    if (!encode(*encoder, nullptr, stream, error))
        return {};
    return stream;
}

std::optional<std::vector<uint8_t>> TestPatternEncoder::audio(const ServiceStream& service, std::string& error)
{
    auto encoder = open_encoder(AV_CODEC_ID_MP2, error, [&](AVCodecContext& context) {
        context.sample_rate = ServiceStream::sample_rate;
        context.sample_fmt = AV_SAMPLE_FMT_S16;
        context.time_base = { 1, ServiceStream::sample_rate };
        context.bit_rate = audio_bits_per_second;
        av_channel_layout_default(&context.ch_layout, 2);
    });
    if (!encoder)
        return {};
    if (encoder->frame_size != ServiceStream::samples_per_audio_frame) {
        error = "mp2 frames of " + std::to_string(encoder->frame_size) + " samples";
        return {};
    }

    FramePtr frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_S16;
    frame->sample_rate = ServiceStream::sample_rate;
    frame->nb_samples = ServiceStream::samples_per_audio_frame;
    av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout);
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        error = "no memory for a sound frame";
        return {};
    }

    // A quarter of full scale: clearly heard, far from clipping.
    constexpr double amplitude = 8192;
    std::vector<uint8_t> stream;
    int64_t sample = 0;
    for (int index = 0; index < service.audio_frame_count(); ++index) {
        if (av_frame_make_writable(frame.get()) < 0) {
            error = "no memory for a sound frame";
            return {};
        }
        auto* samples = reinterpret_cast<int16_t*>(frame->data[0]);
        for (int i = 0; i < ServiceStream::samples_per_audio_frame; ++i, ++sample) {
            // The phase is taken modulo the cycle so it stays exact however long the stream.
            double left = 2 * std::numbers::pi * double(sample * service.tone_hz % ServiceStream::sample_rate) / ServiceStream::sample_rate;
            double right = 2 * std::numbers::pi * double(sample * service.tone_hz * 2 % ServiceStream::sample_rate) / ServiceStream::sample_rate;
            samples[2 * i] = static_cast<int16_t>(std::lround(amplitude * std::sin(left)));
            samples[2 * i + 1] = static_cast<int16_t>(std::lround(amplitude * std::sin(right)));
        }
        frame->pts = index * int64_t(ServiceStream::samples_per_audio_frame);
        if (!encode(*encoder, frame.get(), stream, error))
            return {};
    }
    if (!encode(*encoder, nullptr, stream, error))
        return {};
    return stream;
}

} // namespace kivo
