#pragma once

// Elementary streams decoded with libavcodec's own parsers and decoders, an independent check of
// what the encoder wrote.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace kivo::test {

struct DecodedStream {
    std::string codec;
    int frames = 0;
    // Every damaged picture or frame, and every call the decoder refused.
    int errors = 0;
    int width = 0;
    int height = 0;
    int sample_rate = 0;
    int channels = 0;
};

// Decodes `bytes` as a stream of `codec`, handing each decoded frame to `on_frame` (with its index).
DecodedStream decode_stream(AVCodecID, const std::vector<uint8_t>& bytes,
    const std::function<void(int index, const AVFrame&)>& on_frame = {});

} // namespace kivo::test
