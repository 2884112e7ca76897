#pragma once

#include "MediaDecoder.h"

#include <memory>
#include <vector>

struct AVCodecContext;
struct AVCodecParserContext;

namespace kivo {

// Decodes an elementary stream that arrives as PES payloads (a demultiplexer's samples, cut
// anywhere, with their times in 100-ns units where the PES had a PTS): libavcodec's parser finds the
// frames in it and MediaDecoder decodes them on one thread. Frames come out with the time of the
// payload their frame started in.
class ElementaryStreamDecoder {
public:
    // VFW_E_UNSUPPORTED_STREAM when FFmpeg has no parser or decoder for the codec.
    static HRESULT create(int codec_id, std::unique_ptr<ElementaryStreamDecoder>&);
    ~ElementaryStreamDecoder();
    ElementaryStreamDecoder(const ElementaryStreamDecoder&) = delete;
    ElementaryStreamDecoder& operator=(const ElementaryStreamDecoder&) = delete;

    // Appends what the payload completes to `output`. A frame that does not decode is left out
    // (the decoder's debug line says so); E_OUTOFMEMORY only when memory ran out.
    HRESULT decode(const MediaSample&, std::vector<DecodedFrame>& output);
    // Forgets what is held: the stream had a gap.
    void flush();

private:
    ElementaryStreamDecoder(int codec_id, std::unique_ptr<MediaDecoder>, AVCodecContext*, AVCodecParserContext*);

    int m_codec_id;
    std::unique_ptr<MediaDecoder> m_decoder;
    AVCodecContext* m_parser_context;
    AVCodecParserContext* m_parser;
};

} // namespace kivo
