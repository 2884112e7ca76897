#include "DecoderFilter.h"

#include "FfmpegPointers.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace kivo {

DecoderFilter::DecoderFilter(MediaStream::Kind kind)
    : TransformFilter(kind == MediaStream::Kind::Video ? CLSID_VideoDecoder : CLSID_AudioDecoder,
        kind == MediaStream::Kind::Video ? u"Video Decoder" : u"Audio Decoder")
    , m_major(kind == MediaStream::Kind::Video ? MEDIATYPE_Video : MEDIATYPE_Audio)
{
}

HRESULT DecoderFilter::check_input_type(const MediaType& type)
{
    if (type.major != m_major || type.subtype != MEDIASUBTYPE_MediaPacket)
        return S_FALSE;
    std::unique_ptr<MediaDecoder> decoder;
    HRESULT made = MediaDecoder::create(type, decoder);
    if (FAILED(made))
        return made;
    return decoder->output_type() ? S_OK : VFW_E_UNSUPPORTED_STREAM;
}

std::vector<MediaType> DecoderFilter::output_types()
{
    if (!m_decoder)
        return {};
    auto type = m_decoder->output_type();
    return type ? std::vector<MediaType> { *type } : std::vector<MediaType> {};
}

HRESULT DecoderFilter::on_input_connected(const MediaType& type)
{
    return MediaDecoder::create(type, m_decoder);
}

void DecoderFilter::on_input_disconnected()
{
    m_decoder.reset();
}

HRESULT DecoderFilter::transform(const SamplePtr& sample)
{
    PacketPtr packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), static_cast<int>(sample->data.size())) < 0)
        return E_OUTOFMEMORY;
    std::copy(sample->data.begin(), sample->data.end(), packet->data);
    // The decoder counts in 100-ns units: a sample's times go in and come out as they are.
    packet->pts = sample->has_time ? sample->start : AV_NOPTS_VALUE;
    packet->dts = AV_NOPTS_VALUE;
    packet->duration = sample->has_time ? sample->stop - sample->start : 0;
    packet->flags = sample->sync_point ? AV_PKT_FLAG_KEY : 0;
    packet->pos = m_packet_number++;
    HRESULT decoded = m_decoder->decode(packet.get(), m_frames, sample->preroll);
    // A packet that does not decode is left out; the decoder told the debug output.
    if (decoded == E_OUTOFMEMORY)
        return decoded;
    return deliver_frames();
}

HRESULT DecoderFilter::drain()
{
    m_decoder->decode(nullptr, m_frames);
    return deliver_frames();
}

void DecoderFilter::reset()
{
    if (m_decoder)
        m_decoder->flush();
    m_frames.clear();
}

HRESULT DecoderFilter::deliver_frames()
{
    const auto* picture = output().type().format_as<VideoFrameFormat>(FORMAT_VideoFrame);
    HRESULT result = S_OK;
    for (DecodedFrame& frame : m_frames) {
        // A picture of another size than the connection's would be read wrongly downstream.
        if (picture && (frame.width != picture->width || frame.height != picture->height))
            continue;
        auto sample = std::make_shared<MediaSample>();
        sample->data = std::move(frame.data);
        sample->has_time = true;
        sample->start = frame.start;
        sample->stop = frame.start + frame.duration;
        sample->sync_point = picture ? frame.key_frame : true;
        sample->preroll = frame.before_landing;
        result = deliver(sample);
        if (result != S_OK)
            break;
    }
    m_frames.clear();
    return result;
}

} // namespace kivo
