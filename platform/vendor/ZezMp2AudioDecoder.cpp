#include "ZezMp2AudioDecoder.h"

#include "Device.h"
#include "KernelApi.h"
#include "WideText.h"

#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace kivo {

ZezMp2AudioDecoder::ZezMp2AudioDecoder()
    : TransformFilter(CLSID_TCCMP2DEC, u"ZEZ MP2Dec Filter")
{
}

ZezMp2AudioDecoder::~ZezMp2AudioDecoder()
{
    swr_free(&m_resampler);
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
    // What the resampler holds belongs to the stream before.
    swr_free(&m_resampler);
    m_resampler_rate = 0;
}

bool ZezMp2AudioDecoder::resample(std::vector<uint8_t>& pcm, int rate)
{
    if (!m_resampler || rate != m_resampler_rate) {
        swr_free(&m_resampler);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        if (swr_alloc_set_opts2(&m_resampler, &stereo, AV_SAMPLE_FMT_S16, int(output_rate), &stereo, AV_SAMPLE_FMT_S16, rate, 0, nullptr) < 0
            || swr_init(m_resampler) < 0) {
            swr_free(&m_resampler);
            device().write_debug(u"ZEZ MP2Dec Filter: cannot resample sound at " + to_utf16(std::to_string(rate)) + u" Hz\r\n");
            return false;
        }
        m_resampler_rate = rate;
    }
    const int in_samples = int(pcm.size() / 4);
    std::vector<uint8_t> out(size_t(swr_get_out_samples(m_resampler, in_samples)) * 4);
    const uint8_t* in = pcm.data();
    uint8_t* out_data = out.data();
    const int made = swr_convert(m_resampler, &out_data, int(out.size() / 4), &in, in_samples);
    if (made < 0)
        return false;
    out.resize(size_t(made) * 4);
    pcm = std::move(out);
    return true;
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
        if (frame.sample_rate != int(output_rate) && !resample(out->data, frame.sample_rate))
            continue;
        if (out->data.empty())
            continue;
        out->has_time = true;
        out->start = frame.start;
        out->stop = frame.start + REFERENCE_TIME(out->data.size() / 4) * UNITS / output_rate;
        out->sync_point = true;
        result = deliver(out);
        if (result != S_OK)
            break;
    }
    m_frames.clear();
    return result == VFW_E_NOT_CONNECTED ? S_OK : result;
}

} // namespace kivo
