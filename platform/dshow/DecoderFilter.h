#pragma once

#include "MediaDecoder.h"
#include "RendererFilter.h"

#include <memory>
#include <vector>

namespace kivo {

inline constexpr CLSID CLSID_VideoDecoder = kivo::guid("{6B0E93C1-52D4-4A7E-9E0B-3C1D5F7A2B31}");
inline constexpr CLSID CLSID_AudioDecoder = kivo::guid("{6B0E93C1-52D4-4A7E-9E0B-3C1D5F7A2B32}");

// Decodes the file source's packets of one stream: the video decoder into I420 pictures
// (video_frame_type), the audio decoder into 16-bit PCM of one or two channels (pcm_type). It
// takes a packet stream whose codec FFmpeg decodes. A packet that does not decode is skipped
// (the decoder's debug line says so), so a damaged frame does not end the film; pictures and
// sound made from preroll packets are marked preroll.
class DecoderFilter final : public TransformFilter {
public:
    explicit DecoderFilter(MediaStream::Kind);

private:
    HRESULT check_input_type(const MediaType&) override;
    std::vector<MediaType> output_types() override;
    HRESULT on_input_connected(const MediaType&) override;
    void on_input_disconnected() override;
    HRESULT transform(const SamplePtr&) override;
    HRESULT drain() override;
    void reset() override;
    HRESULT deliver_frames();

    const GUID m_major;
    // Made at the connection; used by the upstream thread while streaming.
    std::unique_ptr<MediaDecoder> m_decoder;
    std::vector<DecodedFrame> m_frames;
    // Each packet's number: how a decoded frame is traced to its packet.
    int64_t m_packet_number = 0;
};

} // namespace kivo
