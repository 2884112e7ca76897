#include "ElementaryStreamDecoder.h"

#include "Device.h"
#include "FfmpegPointers.h"
#include "FfmpegSetup.h"
#include "MediaTime.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace kivo {

HRESULT ElementaryStreamDecoder::create(int codec_id, std::unique_ptr<ElementaryStreamDecoder>& made)
{
    made.reset();
    set_up_ffmpeg();
    const AVCodec* codec = avcodec_find_decoder(static_cast<AVCodecID>(codec_id));
    if (!codec)
        return VFW_E_UNSUPPORTED_STREAM;
    AVCodecParameters* parameters = avcodec_parameters_alloc();
    if (!parameters)
        return E_OUTOFMEMORY;
    parameters->codec_type = codec->type;
    parameters->codec_id = codec->id;
    std::unique_ptr<MediaDecoder> decoder;
    HRESULT result = MediaDecoder::create(*parameters, hundred_nanoseconds, { 0, 1 }, 0, decoder);
    avcodec_parameters_free(&parameters);
    if (FAILED(result))
        return result;
    AVCodecParserContext* parser = av_parser_init(codec_id);
    if (!parser)
        return VFW_E_UNSUPPORTED_STREAM;
    AVCodecContext* context = avcodec_alloc_context3(codec);
    if (!context) {
        av_parser_close(parser);
        return E_OUTOFMEMORY;
    }
    context->opaque = &Device::current(); // where the parser's log lines go
    made.reset(new ElementaryStreamDecoder(codec_id, std::move(decoder), context, parser));
    return S_OK;
}

ElementaryStreamDecoder::ElementaryStreamDecoder(int codec_id, std::unique_ptr<MediaDecoder> decoder, AVCodecContext* context, AVCodecParserContext* parser)
    : m_codec_id(codec_id)
    , m_decoder(std::move(decoder))
    , m_parser_context(context)
    , m_parser(parser)
{
}

ElementaryStreamDecoder::~ElementaryStreamDecoder()
{
    av_parser_close(m_parser);
    avcodec_free_context(&m_parser_context);
}

HRESULT ElementaryStreamDecoder::decode(const MediaSample& sample, std::vector<DecodedFrame>& output)
{
    if (sample.data.empty())
        return S_OK;
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return E_OUTOFMEMORY;
    int left = static_cast<int>(sample.data.size());
    int64_t time = sample.has_time ? sample.start : AV_NOPTS_VALUE;
    // The parser reads up to the padding past the end, which a vector does not have.
    std::vector<uint8_t> padded(sample.data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::copy(sample.data.begin(), sample.data.end(), padded.begin());
    const uint8_t* data = padded.data();
    do {
        uint8_t* frame = nullptr;
        int frame_size = 0;
        int used = av_parser_parse2(m_parser, m_parser_context, &frame, &frame_size, data, left, time, AV_NOPTS_VALUE, 0);
        if (used < 0)
            return S_OK;
        data += used;
        left -= used;
        time = AV_NOPTS_VALUE; // the payload's time goes with the frame that starts in it
        if (frame_size == 0)
            continue;
        if (av_new_packet(packet.get(), frame_size) < 0)
            return E_OUTOFMEMORY;
        std::copy(frame, frame + frame_size, packet->data);
        packet->pts = m_parser->pts;
        packet->dts = AV_NOPTS_VALUE;
        packet->flags = m_parser->key_frame == 1 ? AV_PKT_FLAG_KEY : 0;
        HRESULT decoded = m_decoder->decode(packet.get(), output);
        av_packet_unref(packet.get());
        if (decoded == E_OUTOFMEMORY)
            return decoded;
    } while (left > 0);
    return S_OK;
}

void ElementaryStreamDecoder::flush()
{
    m_decoder->flush();
    // A parser keeps the start of a frame: a fresh one starts from nothing.
    if (AVCodecParserContext* fresh = av_parser_init(m_codec_id)) {
        av_parser_close(m_parser);
        m_parser = fresh;
    }
}

} // namespace kivo
