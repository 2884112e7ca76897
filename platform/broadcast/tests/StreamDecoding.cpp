#include "StreamDecoding.h"
#include "dshow/FfmpegPointers.h"

#include <memory>

namespace kivo::test {

DecodedStream decode_stream(AVCodecID id, const std::vector<uint8_t>& bytes, const std::function<void(int, const AVFrame&)>& on_frame)
{
    DecodedStream result;
    const AVCodec* codec = avcodec_find_decoder(id);
    CodecParserPtr parser(av_parser_init(id));
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    decoder->thread_count = 1;
    decoder->err_recognition = AV_EF_EXPLODE | AV_EF_CRCCHECK | AV_EF_BITSTREAM | AV_EF_BUFFER;
    if (!parser || avcodec_open2(decoder.get(), codec, nullptr) < 0) {
        ++result.errors;
        return result;
    }
    result.codec = codec->name;
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());

    auto drain = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            if (frame->decode_error_flags || (frame->flags & AV_FRAME_FLAG_CORRUPT))
                ++result.errors;
            result.width = frame->width;
            result.height = frame->height;
            result.sample_rate = frame->sample_rate;
            result.channels = frame->ch_layout.nb_channels;
            if (on_frame)
                on_frame(result.frames, *frame);
            ++result.frames;
            av_frame_unref(frame.get());
        }
    };
    auto send = [&](const AVPacket* sent) {
        if (avcodec_send_packet(decoder.get(), sent) < 0)
            ++result.errors;
        drain();
    };

    const uint8_t* data = bytes.data();
    size_t left = bytes.size();
    // The parser keeps the last picture until it is told the stream has ended (a call with no data).
    while (true) {
        uint8_t* out = nullptr;
        int out_size = 0;
        int used = av_parser_parse2(parser.get(), decoder.get(), &out, &out_size, data, static_cast<int>(left),
            AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) {
            ++result.errors;
            break;
        }
        data += used;
        left -= static_cast<size_t>(used);
        if (out_size > 0) {
            packet->data = out;
            packet->size = out_size;
            send(packet.get());
        } else if (left == 0 && used == 0) {
            break;
        }
    }
    send(nullptr);
    return result;
}

} // namespace kivo::test
