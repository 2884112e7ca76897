#include "ZezMpeg2VideoDecoder.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libswscale/swscale.h>
}

namespace kivo {

namespace {

// ISO/IEC 13818-2's sequence header: its start code, then 12 bits of width and 12 of height.
constexpr uint8_t sequence_header_code = 0xB3;
constexpr size_t sequence_header_bytes = 7;

MediaType picture_type()
{
    VideoFrameFormat format;
    format.width = ZezMpeg2VideoDecoder::output_width;
    format.height = ZezMpeg2VideoDecoder::output_height;
    return video_frame_type(format);
}

} // namespace

ZezMpeg2VideoDecoder::ZezMpeg2VideoDecoder()
    : TransformFilter(CLSID_MPG2DEC, u"ZEZ MPG2Dec Filter")
{
}

ZezMpeg2VideoDecoder::~ZezMpeg2VideoDecoder()
{
    sws_freeContext(m_scaler);
}

void* ZezMpeg2VideoDecoder::find_interface(REFIID iid)
{
    if (iid == IID_IVideoResolution)
        return static_cast<IVideoResolution*>(this);
    return TransformFilter::find_interface(iid);
}

HRESULT ZezMpeg2VideoDecoder::ArmResolutionEvent()
{
    return m_control.call(Operation::ArmResolutionEvent, [&] {
        m_armed = true;
        return S_OK;
    });
}

HRESULT ZezMpeg2VideoDecoder::check_input_type(const MediaType& type)
{
    return type.major == MEDIATYPE_Video ? S_OK : S_FALSE;
}

std::vector<MediaType> ZezMpeg2VideoDecoder::output_types()
{
    return { picture_type() };
}

HRESULT ZezMpeg2VideoDecoder::on_input_connected(const MediaType&)
{
    return ElementaryStreamDecoder::create(AV_CODEC_ID_MPEG2VIDEO, m_decoder);
}

void ZezMpeg2VideoDecoder::on_input_disconnected()
{
    m_decoder.reset();
}

void ZezMpeg2VideoDecoder::reset()
{
    if (m_decoder)
        m_decoder->flush();
    m_frames.clear();
    m_scan_tail.clear();
}

void ZezMpeg2VideoDecoder::scan_for_sequence_header(const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> bytes = std::move(m_scan_tail);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    size_t scanned_to = 0;
    for (size_t at = 0; at + sequence_header_bytes <= bytes.size(); ++at) {
        scanned_to = at + 1;
        if (bytes[at] != 0 || bytes[at + 1] != 0 || bytes[at + 2] != 1 || bytes[at + 3] != sequence_header_code)
            continue;
        const uint32_t width = (uint32_t(bytes[at + 4]) << 4) | (bytes[at + 5] >> 4);
        const uint32_t height = (uint32_t(bytes[at + 5] & 0x0F) << 8) | bytes[at + 6];
        if (m_armed.exchange(false))
            notify(EC_VIDEO_RESOLUTION, LONG_PTR(width | height << 16), 0);
    }
    // What could still be the start of a header cut by the payload's end is kept for the next one.
    m_scan_tail.assign(bytes.begin() + ptrdiff_t(scanned_to), bytes.end());
}

HRESULT ZezMpeg2VideoDecoder::transform(const SamplePtr& sample)
{
    if (sample->discontinuity)
        reset();
    scan_for_sequence_header(sample->data);
    if (!m_decoder)
        return S_OK;
    HRESULT decoded = m_decoder->decode(*sample, m_frames);
    if (decoded == E_OUTOFMEMORY)
        return decoded;
    HRESULT result = S_OK;
    for (DecodedFrame& frame : m_frames) {
        auto out = std::make_shared<MediaSample>();
        if (frame.width == output_width && frame.height == output_height) {
            out->data = std::move(frame.data);
        } else {
            // Another size than the connection's: scaled to it, so the renderer reads it right.
            constexpr int flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT;
            m_scaler = sws_getCachedContext(m_scaler, frame.width, frame.height, AV_PIX_FMT_YUV420P, output_width, output_height,
                AV_PIX_FMT_YUV420P, flags, nullptr, nullptr, nullptr);
            if (!m_scaler)
                continue;
            const int in_chroma = (frame.width + 1) / 2;
            const size_t in_luma = size_t(frame.width) * frame.height;
            const size_t in_chroma_size = size_t(in_chroma) * ((frame.height + 1) / 2);
            const uint8_t* in_planes[3] = { frame.data.data(), frame.data.data() + in_luma, frame.data.data() + in_luma + in_chroma_size };
            const int in_strides[3] = { frame.width, in_chroma, in_chroma };
            out->data.resize(i420_size(output_width, output_height));
            const size_t luma = size_t(output_width) * output_height;
            const size_t chroma = luma / 4;
            uint8_t* planes[3] = { out->data.data(), out->data.data() + luma, out->data.data() + luma + chroma };
            const int strides[3] = { output_width, output_width / 2, output_width / 2 };
            if (sws_scale(m_scaler, in_planes, in_strides, 0, frame.height, planes, strides) != output_height)
                continue;
        }
        out->has_time = true;
        out->start = frame.start;
        out->stop = frame.start + frame.duration;
        out->sync_point = frame.key_frame;
        result = deliver(out);
        if (result != S_OK)
            break;
    }
    m_frames.clear();
    // A decoder whose output is not connected still looks for its resolution.
    return result == VFW_E_NOT_CONNECTED ? S_OK : result;
}

} // namespace kivo
