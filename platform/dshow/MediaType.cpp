#include "MediaType.h"

#include "ComApi.h"
#include "SoundApi.h"

namespace kivo {

MediaType MediaType::from(const AM_MEDIA_TYPE& type)
{
    MediaType value(type.majortype, type.subtype);
    value.format_type = type.formattype;
    value.temporal_compression = type.bTemporalCompression != FALSE;
    if (type.pbFormat && type.cbFormat > 0)
        value.format.assign(type.pbFormat, type.pbFormat + type.cbFormat);
    return value;
}

void MediaType::copy_to(AM_MEDIA_TYPE& type) const
{
    type = {};
    type.majortype = major;
    type.subtype = subtype;
    type.formattype = format_type;
    type.bTemporalCompression = temporal_compression;
    type.bFixedSizeSamples = !temporal_compression;
    if (!format.empty()) {
        type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(format.size()));
        if (type.pbFormat) {
            std::memcpy(type.pbFormat, format.data(), format.size());
            type.cbFormat = static_cast<ULONG>(format.size());
        }
    }
}

MediaType video_frame_type(const VideoFrameFormat& frame)
{
    MediaType type(MEDIATYPE_Video, MEDIASUBTYPE_I420, FORMAT_VideoFrame, frame);
    return type;
}

MediaType pcm_type(uint32_t rate, uint16_t channels)
{
    WAVEFORMATEX wave {};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = channels;
    wave.nSamplesPerSec = rate;
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = static_cast<WORD>(channels * 2);
    wave.nAvgBytesPerSec = rate * wave.nBlockAlign;
    return MediaType(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, wave);
}

} // namespace kivo
