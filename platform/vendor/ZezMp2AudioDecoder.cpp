#include "ZezMp2AudioDecoder.h"

#include "Device.h"
#include "KernelApi.h"
#include "WideText.h"

#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace kivo {

ZezMp2AudioDecoder::ZezMp2AudioDecoder()
    : TransformFilter(CLSID_TCCMP2DEC, u"ZEZ MP2Dec Filter")
{
}

void* ZezMp2AudioDecoder::find_interface(REFIID iid)
{
    if (iid == IID_IAudioReceiveTick)
        return static_cast<IAudioReceiveTick*>(this);
    if (iid == IID_IMp2AudioInfo)
        return static_cast<IMp2AudioInfo*>(this);
    return TransformFilter::find_interface(iid);
}

HRESULT ZezMp2AudioDecoder::GetLastReceiveTick(DWORD* tick)
{
    return m_control.call(Operation::GetLastReceiveTick, [&] {
        if (!tick)
            return E_POINTER;
        *tick = m_last_receive_tick.load(std::memory_order_acquire);
        return S_OK;
    });
}

HRESULT ZezMp2AudioDecoder::SetAudioSetting(DWORD setting, DWORD value)
{
    return m_control.call(Operation::SetAudioSetting, [&] {
        if (setting != channel_setting || value > 2)
            return E_INVALIDARG;
        m_channels = value;
        return S_OK;
    });
}

HRESULT ZezMp2AudioDecoder::check_input_type(const MediaType& type)
{
    return type.major == MEDIATYPE_Audio ? S_OK : S_FALSE;
}

std::vector<MediaType> ZezMp2AudioDecoder::output_types()
{
    return { pcm_type(output_rate, 2) };
}

HRESULT ZezMp2AudioDecoder::on_input_connected(const MediaType&)
{
    return ElementaryStreamDecoder::create(AV_CODEC_ID_MP2, m_decoder);
}

void ZezMp2AudioDecoder::on_input_disconnected()
{
    m_decoder.reset();
}

void ZezMp2AudioDecoder::reset()
{
    if (m_decoder)
        m_decoder->flush();
    m_frames.clear();
}

HRESULT ZezMp2AudioDecoder::transform(const SamplePtr& sample)
{
    m_last_receive_tick.store(GetTickCount(), std::memory_order_release);
    if (sample->discontinuity)
        reset();
    if (!m_decoder)
        return S_OK;
    HRESULT decoded = m_decoder->decode(*sample, m_frames);
    if (decoded == E_OUTOFMEMORY)
        return decoded;
    const DWORD channels = m_channels.load();
    HRESULT result = S_OK;
    for (DecodedFrame& frame : m_frames) {
        if (frame.sample_rate != int(output_rate)) {
            if (!std::exchange(m_rate_refused, true))
                device().write_debug(u"ZEZ MP2Dec Filter: sound at " + to_utf16(std::to_string(frame.sample_rate)) + u" Hz is not played\r\n");
            continue;
        }
        auto out = std::make_shared<MediaSample>();
        out->data.resize(size_t(frame.samples) * 2 * sizeof(int16_t));
        const auto* in = reinterpret_cast<const int16_t*>(frame.data.data());
        auto* pcm = reinterpret_cast<int16_t*>(out->data.data());
        for (int i = 0; i < frame.samples; ++i) {
            int16_t left = in[i * frame.channels];
            int16_t right = frame.channels == 2 ? in[i * 2 + 1] : left;
            if (channels == 1)
                right = left;
            else if (channels == 2)
                left = right;
            pcm[i * 2] = left;
            pcm[i * 2 + 1] = right;
        }
        out->has_time = true;
        out->start = frame.start;
        out->stop = frame.start + frame.duration;
        out->sync_point = true;
        result = deliver(out);
        if (result != S_OK)
            break;
    }
    m_frames.clear();
    return result == VFW_E_NOT_CONNECTED ? S_OK : result;
}

} // namespace kivo
