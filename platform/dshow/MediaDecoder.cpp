#include "MediaDecoder.h"

#include "Device.h"
#include "FfmpegSetup.h"
#include "MediaTime.h"
#include "WideText.h"

#include <algorithm>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace kivo {

namespace {

// Conversions give the same bytes on every machine and every run.
constexpr int scaler_flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT;

MediaStream::Kind kind_of(AVMediaType type)
{
    switch (type) {
    case AVMEDIA_TYPE_AUDIO:
        return MediaStream::Kind::Audio;
    case AVMEDIA_TYPE_VIDEO:
        return MediaStream::Kind::Video;
    default:
        return MediaStream::Kind::Other;
    }
}

// The fixed part of a FORMAT_MediaPacketStream block; the codec's extra data follows it.
struct PacketStreamFormat {
    int32_t codec_type = 0;
    int32_t codec_id = 0;
    uint32_t codec_tag = 0;
    int32_t format = -1;
    int64_t bit_rate = 0;
    int32_t bits_per_coded_sample = 0;
    int32_t bits_per_raw_sample = 0;
    int32_t profile = 0;
    int32_t level = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t aspect_num = 0;
    int32_t aspect_den = 1;
    int32_t channels = 0;
    int32_t sample_rate = 0;
    int32_t block_align = 0;
    int32_t frame_size = 0;
    int32_t initial_padding = 0;
    int32_t trailing_padding = 0;
    int32_t seek_preroll = 0;
    int32_t frame_rate_num = 0;
    int32_t frame_rate_den = 1;
    uint32_t extradata_size = 0;
};

} // namespace

MediaType packet_stream_type(const MediaFile& file, int stream)
{
    const AVStream& av_stream = *file.format_context()->streams[stream];
    const AVCodecParameters& parameters = *av_stream.codecpar;
    PacketStreamFormat block;
    block.codec_type = parameters.codec_type;
    block.codec_id = parameters.codec_id;
    block.codec_tag = parameters.codec_tag;
    block.format = parameters.format;
    block.bit_rate = parameters.bit_rate;
    block.bits_per_coded_sample = parameters.bits_per_coded_sample;
    block.bits_per_raw_sample = parameters.bits_per_raw_sample;
    block.profile = parameters.profile;
    block.level = parameters.level;
    block.width = parameters.width;
    block.height = parameters.height;
    block.aspect_num = parameters.sample_aspect_ratio.num;
    block.aspect_den = parameters.sample_aspect_ratio.den;
    block.channels = parameters.ch_layout.nb_channels;
    block.sample_rate = parameters.sample_rate;
    block.block_align = parameters.block_align;
    block.frame_size = parameters.frame_size;
    block.initial_padding = parameters.initial_padding;
    block.trailing_padding = parameters.trailing_padding;
    block.seek_preroll = parameters.seek_preroll;
    AVRational frame_rate = av_stream.avg_frame_rate.num > 0 ? av_stream.avg_frame_rate : av_stream.r_frame_rate;
    block.frame_rate_num = frame_rate.num;
    block.frame_rate_den = frame_rate.den;
    block.extradata_size = parameters.extradata_size > 0 ? uint32_t(parameters.extradata_size) : 0;
    MediaType type(parameters.codec_type == AVMEDIA_TYPE_VIDEO ? MEDIATYPE_Video : MEDIATYPE_Audio, MEDIASUBTYPE_MediaPacket);
    type.format_type = FORMAT_MediaPacketStream;
    type.temporal_compression = true;
    type.format.resize(sizeof block + block.extradata_size);
    std::memcpy(type.format.data(), &block, sizeof block);
    if (block.extradata_size)
        std::memcpy(type.format.data() + sizeof block, parameters.extradata, block.extradata_size);
    return type;
}

HRESULT MediaDecoder::create(const MediaType& packet_stream, std::unique_ptr<MediaDecoder>& decoder)
{
    decoder.reset();
    const auto* block = packet_stream.format_as<PacketStreamFormat>(FORMAT_MediaPacketStream);
    if (packet_stream.subtype != MEDIASUBTYPE_MediaPacket || !block
        || packet_stream.format.size() - sizeof(PacketStreamFormat) != block->extradata_size)
        return VFW_E_INVALID_MEDIA_TYPE;
    AVCodecParameters* parameters = avcodec_parameters_alloc();
    if (!parameters)
        return E_OUTOFMEMORY;
    parameters->codec_type = static_cast<AVMediaType>(block->codec_type);
    parameters->codec_id = static_cast<AVCodecID>(block->codec_id);
    parameters->codec_tag = block->codec_tag;
    parameters->format = block->format;
    parameters->bit_rate = block->bit_rate;
    parameters->bits_per_coded_sample = block->bits_per_coded_sample;
    parameters->bits_per_raw_sample = block->bits_per_raw_sample;
    parameters->profile = block->profile;
    parameters->level = block->level;
    parameters->width = block->width;
    parameters->height = block->height;
    parameters->sample_aspect_ratio = { block->aspect_num, block->aspect_den };
    if (block->channels > 0)
        av_channel_layout_default(&parameters->ch_layout, block->channels);
    parameters->sample_rate = block->sample_rate;
    parameters->block_align = block->block_align;
    parameters->frame_size = block->frame_size;
    parameters->initial_padding = block->initial_padding;
    parameters->trailing_padding = block->trailing_padding;
    parameters->seek_preroll = block->seek_preroll;
    HRESULT result = S_OK;
    if (block->extradata_size) {
        parameters->extradata = static_cast<uint8_t*>(av_mallocz(block->extradata_size + AV_INPUT_BUFFER_PADDING_SIZE));
        if (parameters->extradata) {
            std::memcpy(parameters->extradata, packet_stream.format.data() + sizeof(PacketStreamFormat), block->extradata_size);
            parameters->extradata_size = int(block->extradata_size);
        } else {
            result = E_OUTOFMEMORY;
        }
    }
    if (SUCCEEDED(result))
        result = create(*parameters, hundred_nanoseconds, { block->frame_rate_num, block->frame_rate_den }, 0, decoder);
    avcodec_parameters_free(&parameters);
    return result;
}

HRESULT MediaDecoder::create(const MediaFile& file, int stream, std::unique_ptr<MediaDecoder>& decoder)
{
    const AVStream& av_stream = *file.format_context()->streams[stream];
    AVRational frame_rate = av_stream.avg_frame_rate.num > 0 ? av_stream.avg_frame_rate : av_stream.r_frame_rate;
    return create(*av_stream.codecpar, av_stream.time_base, frame_rate, file.start_time(), decoder);
}

HRESULT MediaDecoder::create(const AVCodecParameters& parameters, AVRational time_base, AVRational frame_rate, LONGLONG file_start,
    std::unique_ptr<MediaDecoder>& decoder)
{
    decoder.reset();
    set_up_ffmpeg();
    MediaStream::Kind kind = kind_of(parameters.codec_type);
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (!codec || kind == MediaStream::Kind::Other)
        return VFW_E_UNSUPPORTED_STREAM;
    AVCodecContext* context = avcodec_alloc_context3(codec);
    if (!context)
        return E_OUTOFMEMORY;
    Device& device = Device::current();
    context->opaque = &device; // where the log callback finds the device
    // One thread: frame and slice threads would make the output depend on scheduling.
    context->thread_count = 1;
    context->thread_type = 0;
    context->pkt_timebase = time_base;
    if (avcodec_parameters_to_context(context, &parameters) < 0) {
        avcodec_free_context(&context);
        return E_OUTOFMEMORY;
    }
    if (avcodec_open2(context, codec, nullptr) < 0) {
        avcodec_free_context(&context);
        return VFW_E_UNSUPPORTED_STREAM;
    }
    decoder.reset(new MediaDecoder(context, time_base, frame_rate, file_start, device));
    if (!decoder->m_frame) {
        decoder.reset();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

MediaDecoder::MediaDecoder(AVCodecContext* context, AVRational time_base, AVRational frame_rate, LONGLONG file_start, Device& device)
    : m_context(context)
    , m_time_base(time_base)
    , m_frame_rate(frame_rate)
    , m_file_start(file_start)
    , m_device(device)
    , m_kind(kind_of(context->codec_type))
    , m_frame(av_frame_alloc())
{
}

MediaDecoder::~MediaDecoder()
{
    swr_free(&m_resampler);
    sws_freeContext(m_scaler);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

std::optional<MediaType> MediaDecoder::output_type() const
{
    if (m_kind == MediaStream::Kind::Video) {
        if (m_context->width <= 0 || m_context->height <= 0)
            return std::nullopt;
        VideoFrameFormat format;
        format.width = m_context->width;
        format.height = m_context->height;
        format.sample_aspect_num = m_context->sample_aspect_ratio.num;
        format.sample_aspect_den = m_context->sample_aspect_ratio.den;
        if (m_frame_rate.num > 0 && m_frame_rate.den > 0)
            format.frame_duration = av_rescale_q(1, av_inv_q(m_frame_rate), hundred_nanoseconds);
        return video_frame_type(format);
    }
    int channels = m_context->ch_layout.nb_channels;
    if (m_context->sample_rate <= 0 || channels <= 0)
        return std::nullopt;
    return pcm_type(uint32_t(m_context->sample_rate), uint16_t(std::min(channels, 2)));
}

HRESULT MediaDecoder::decode(const AVPacket* packet, std::vector<DecodedFrame>& output, bool before_landing)
{
    if (packet && before_landing)
        m_before_landing.insert(packet->pos);
    HRESULT result = S_OK;
    int sent = avcodec_send_packet(m_context, packet);
    // After the end the decoder answers AVERROR_EOF to every packet: nothing more to give.
    if (sent == AVERROR_EOF)
        return S_OK;
    if (sent < 0)
        result = failed("refused a packet", sent);
    for (;;) {
        int received = avcodec_receive_frame(m_context, m_frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            break;
        if (received < 0)
            return failed("could not decode", received);
        HRESULT taken = take_frame(*m_frame, output);
        av_frame_unref(m_frame);
        if (FAILED(taken))
            return taken;
    }
    return result;
}

void MediaDecoder::flush()
{
    avcodec_flush_buffers(m_context);
    m_before_landing.clear();
}

HRESULT MediaDecoder::take_frame(const AVFrame& frame, std::vector<DecodedFrame>& output)
{
    DecodedFrame decoded;
    int64_t time = frame.pts != AV_NOPTS_VALUE ? frame.pts : frame.pkt_dts != AV_NOPTS_VALUE ? frame.pkt_dts : frame.best_effort_timestamp;
    decoded.start = time != AV_NOPTS_VALUE ? saturating_subtract(av_rescale_q(time, m_time_base, hundred_nanoseconds), m_file_start) : m_previous_end;
    if (auto marked = m_before_landing.find(frame.pkt_pos); marked != m_before_landing.end()) {
        decoded.before_landing = true;
        m_before_landing.erase(marked);
    }
    HRESULT result = m_kind == MediaStream::Kind::Video ? take_picture(frame, decoded) : take_sound(frame, decoded);
    if (FAILED(result))
        return result;
    m_previous_end = saturating_add(decoded.start, decoded.duration);
    output.push_back(std::move(decoded));
    return S_OK;
}

HRESULT MediaDecoder::take_picture(const AVFrame& frame, DecodedFrame& decoded)
{
    int width = frame.width;
    int height = frame.height;
    if (frame.pkt_duration > 0)
        decoded.duration = av_rescale_q(frame.pkt_duration, m_time_base, hundred_nanoseconds);
    else if (m_frame_rate.num > 0 && m_frame_rate.den > 0)
        decoded.duration = av_rescale_q(1, av_inv_q(m_frame_rate), hundred_nanoseconds);
    decoded.width = width;
    decoded.height = height;
    if (frame.sample_aspect_ratio.num > 0 && frame.sample_aspect_ratio.den > 0)
        decoded.sample_aspect = frame.sample_aspect_ratio;
    decoded.key_frame = frame.key_frame != 0;

    int chroma_width = (width + 1) / 2;
    int chroma_height = (height + 1) / 2;
    size_t luma = size_t(width) * height;
    size_t chroma = size_t(chroma_width) * chroma_height;
    decoded.data.resize(luma + 2 * chroma);
    uint8_t* planes[3] = { decoded.data.data(), decoded.data.data() + luma, decoded.data.data() + luma + chroma };
    int strides[3] = { width, chroma_width, chroma_width };

    if (frame.format == AV_PIX_FMT_YUV420P) {
        for (int plane = 0; plane < 3; ++plane) {
            int rows = plane ? chroma_height : height;
            for (int row = 0; row < rows; ++row)
                std::memcpy(planes[plane] + size_t(row) * strides[plane], frame.data[plane] + ptrdiff_t(row) * frame.linesize[plane], size_t(strides[plane]));
        }
        return S_OK;
    }
    m_scaler = sws_getCachedContext(m_scaler, width, height, static_cast<AVPixelFormat>(frame.format), width, height, AV_PIX_FMT_YUV420P,
        scaler_flags, nullptr, nullptr, nullptr);
    if (!m_scaler)
        return failed("cannot convert the picture", AVERROR(EINVAL));
    if (sws_scale(m_scaler, frame.data, frame.linesize, 0, height, planes, strides) != height)
        return failed("could not convert the picture", AVERROR(EINVAL));
    return S_OK;
}

HRESULT MediaDecoder::take_sound(const AVFrame& frame, DecodedFrame& decoded)
{
    int channels = frame.ch_layout.nb_channels;
    if (channels <= 0 || frame.sample_rate <= 0)
        return failed("gave sound without channels or rate", AVERROR_INVALIDDATA);
    decoded.sample_rate = frame.sample_rate;
    decoded.channels = std::min(channels, 2);
    decoded.samples = frame.nb_samples;
    decoded.duration = av_rescale(frame.nb_samples, 10'000'000, frame.sample_rate);
    decoded.data.resize(size_t(frame.nb_samples) * decoded.channels * sizeof(int16_t));

    if (frame.format == AV_SAMPLE_FMT_S16 && channels <= 2) {
        std::memcpy(decoded.data.data(), frame.data[0], decoded.data.size());
        return S_OK;
    }
    if (!m_resampler || frame.format != m_resampler_format || frame.sample_rate != m_resampler_rate || channels != m_resampler_channels) {
        // Channels in no named order are taken in the usual order for their number, so that a
        // down-mix knows which is which.
        AVChannelLayout in_layout {};
        if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in_layout, channels);
        else if (av_channel_layout_copy(&in_layout, &frame.ch_layout) < 0)
            return E_OUTOFMEMORY;
        AVChannelLayout out_layout {};
        av_channel_layout_default(&out_layout, decoded.channels);
        swr_free(&m_resampler);
        int made = swr_alloc_set_opts2(&m_resampler, &out_layout, AV_SAMPLE_FMT_S16, frame.sample_rate, &in_layout,
            static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in_layout);
        av_channel_layout_uninit(&out_layout);
        if (made < 0 || (made = swr_init(m_resampler)) < 0) {
            swr_free(&m_resampler);
            return failed("cannot convert the sound", made);
        }
        m_resampler_format = frame.format;
        m_resampler_rate = frame.sample_rate;
        m_resampler_channels = channels;
    }
    uint8_t* out = decoded.data.data();
    int converted = swr_convert(m_resampler, &out, frame.nb_samples, const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    if (converted < 0)
        return failed("could not convert the sound", converted);
    // Without a change of rate nothing stays behind in the converter.
    decoded.samples = converted;
    decoded.data.resize(size_t(converted) * decoded.channels * sizeof(int16_t));
    return S_OK;
}

HRESULT MediaDecoder::failed(const char* what, int error)
{
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, reason, sizeof reason);
    m_device.write_debug(to_utf16(std::string("MediaDecoder: ") + avcodec_get_name(m_context->codec_id) + " " + what + ": " + reason + "\r\n"));
    return error == AVERROR(ENOMEM) ? E_OUTOFMEMORY : E_FAIL;
}

} // namespace kivo
