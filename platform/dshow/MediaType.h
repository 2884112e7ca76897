#pragma once

#include "DShowApi.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace kivo {

// The layer's own formats between its filters: decoded pictures (I420 with their size and
// aspect) and compressed packets as the file source delivers them (their format is the source's).
inline constexpr GUID FORMAT_VideoFrame = kivo::guid("{6B0E93C1-52D4-4A7E-9E0B-3C1D5F7A2B10}");
inline constexpr GUID MEDIASUBTYPE_MediaPacket = kivo::guid("{6B0E93C1-52D4-4A7E-9E0B-3C1D5F7A2B11}");
inline constexpr GUID FORMAT_MediaPacketStream = kivo::guid("{6B0E93C1-52D4-4A7E-9E0B-3C1D5F7A2B12}");

// A decoded picture's shape: planar YUV 4:2:0 (Y, then U and V of half the size rounded up).
struct VideoFrameFormat {
    int32_t width = 0;
    int32_t height = 0;
    // The shape of one pixel; 0/0 means square.
    int32_t sample_aspect_num = 0;
    int32_t sample_aspect_den = 0;
    REFERENCE_TIME frame_duration = 0; // 0 when unknown
};

// Bytes of an I420 picture of that size.
inline size_t i420_size(int width, int height)
{
    size_t chroma = static_cast<size_t>((width + 1) / 2) * static_cast<size_t>((height + 1) / 2);
    return static_cast<size_t>(width) * static_cast<size_t>(height) + 2 * chroma;
}

// What a pin carries, as a value: the three ids and an owned copy of the format block.
class MediaType {
public:
    GUID major {};
    GUID subtype {};
    GUID format_type = FORMAT_None;
    bool temporal_compression = false;
    std::vector<uint8_t> format;

    MediaType() = default;
    MediaType(GUID major_type, GUID sub_type)
        : major(major_type)
        , subtype(sub_type)
    {
    }
    template<typename Format>
    MediaType(GUID major_type, GUID sub_type, GUID format_kind, const Format& block)
        : major(major_type)
        , subtype(sub_type)
        , format_type(format_kind)
        , format(sizeof(Format))
    {
        std::memcpy(format.data(), &block, sizeof(Format));
    }

    // The format block as `Format`, or null when it has another type or is too short.
    template<typename Format>
    const Format* format_as(GUID format_kind) const
    {
        if (format_type != format_kind || format.size() < sizeof(Format))
            return nullptr;
        return reinterpret_cast<const Format*>(format.data());
    }

    static MediaType from(const AM_MEDIA_TYPE&);
    // Fills the platform's record; its format block is allocated with CoTaskMemAlloc.
    void copy_to(AM_MEDIA_TYPE&) const;

    bool operator==(const MediaType&) const = default;
};

MediaType video_frame_type(const VideoFrameFormat&);
// Interleaved signed 16-bit PCM.
MediaType pcm_type(uint32_t rate, uint16_t channels);

// One unit of data between filters: a packet, a picture or a block of sound, with its times on the
// stream's clock (relative to the start of the current segment).
struct MediaSample {
    std::vector<uint8_t> data;
    bool has_time = false;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool sync_point = false; // a key frame: decoding may start here
    bool preroll = false;    // needed to decode what follows, never shown or played
    bool discontinuity = false;
};
using SamplePtr = std::shared_ptr<MediaSample>;

} // namespace kivo
