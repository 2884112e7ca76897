#pragma once

// FFmpeg's objects held by unique pointers, each freed by its own call when the pointer goes.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace kivo {

struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct CodecParserFree {
    void operator()(AVCodecParserContext* parser) const { av_parser_close(parser); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFree {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using CodecParserPtr = std::unique_ptr<AVCodecParserContext, CodecParserFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFree>;

} // namespace kivo
