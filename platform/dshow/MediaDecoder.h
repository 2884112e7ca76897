#pragma once

#include "MediaFile.h"
#include "MediaType.h"

#include <memory>
#include <optional>
#include <set>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct SwsContext;

namespace kivo {

// One picture or one run of sound as a decoder filter hands it on.
struct DecodedFrame {
    // Both in 100-ns units; the start is relative to the file's start.
    LONGLONG start = 0;
    LONGLONG duration = 0;
    // Made from a packet the file source marked as before a seek's landing: a renderer drops it.
    bool before_landing = false;
    // Video: the picture as I420 (Y, then U, then V, each plane's rows packed, chroma planes of
    // (width+1)/2 by (height+1)/2). Audio: interleaved signed 16-bit samples.
    std::vector<uint8_t> data;

    int width = 0;
    int height = 0;
    AVRational sample_aspect { 1, 1 };
    bool key_frame = false;

    int sample_rate = 0;
    int channels = 0; // 1 or 2
    int samples = 0; // per channel
};

// The type of a stream's packets as the file source delivers them: MEDIATYPE_Video or
// MEDIATYPE_Audio, MEDIASUBTYPE_MediaPacket, and a FORMAT_MediaPacketStream block that tells a
// decoder all it needs of the stream (its codec's parameters, its pictures a second).
MediaType packet_stream_type(const MediaFile&, int stream);

// Decodes one stream of a media file with libavcodec on a single thread, so that the same packets
// always give the same bytes. Pictures come out as I420, sound as 16-bit PCM of at most two
// channels at the stream's own rate.
class MediaDecoder {
public:
    // Makes a decoder for a stream: its parameters and time base (both copied), its pictures a
    // second (for pictures whose packets tell no duration; 0/1 when unknown) and the file's start
    // time in 100-ns units (MediaFile::start_time), which output times are counted from. Answers
    // VFW_E_UNSUPPORTED_STREAM when FFmpeg has no decoder for the codec or cannot open it. FFmpeg's
    // log of the decoder goes to the calling thread's device.
    static HRESULT create(const AVCodecParameters&, AVRational time_base, AVRational frame_rate, LONGLONG file_start,
        std::unique_ptr<MediaDecoder>&);
    // The same for a stream of an open file.
    static HRESULT create(const MediaFile&, int stream, std::unique_ptr<MediaDecoder>&);
    // The same for a packet stream's type, whose packets carry their times in 100-ns units (a
    // sample's). VFW_E_INVALID_MEDIA_TYPE when the type is not a packet stream's.
    static HRESULT create(const MediaType& packet_stream, std::unique_ptr<MediaDecoder>&);
    ~MediaDecoder();
    MediaDecoder(const MediaDecoder&) = delete;
    MediaDecoder& operator=(const MediaDecoder&) = delete;

    MediaStream::Kind kind() const { return m_kind; }
    // What comes out, as the stream's parameters tell it: an I420 picture of the stream's size, or
    // PCM at its rate with one or two channels. None when they do not tell (no size, no rate).
    std::optional<MediaType> output_type() const;

    // Decodes a packet (null: the stream ended, give out what is still held) and appends what comes
    // out to `output`. A packet the decoder refuses gives E_FAIL and a line in the debug output; the
    // decoder goes on with the next one. After the end, only flush() makes it take packets again.
    HRESULT decode(const AVPacket* packet, std::vector<DecodedFrame>& output, bool before_landing = false);
    // Forgets every packet and frame held (a seek follows).
    void flush();

private:
    MediaDecoder(AVCodecContext*, AVRational time_base, AVRational frame_rate, LONGLONG file_start, Device&);
    HRESULT take_frame(const AVFrame&, std::vector<DecodedFrame>& output);
    HRESULT take_picture(const AVFrame&, DecodedFrame&);
    HRESULT take_sound(const AVFrame&, DecodedFrame&);
    HRESULT failed(const char* what, int error);

    AVCodecContext* m_context;
    AVRational m_time_base;
    AVRational m_frame_rate;
    LONGLONG m_file_start;
    Device& m_device;
    MediaStream::Kind m_kind;
    AVFrame* m_frame;
    SwsContext* m_scaler = nullptr;
    SwrContext* m_resampler = nullptr;
    // What m_resampler was made for: format, rate and channel count of the decoder's output.
    int m_resampler_format = -1;
    int m_resampler_rate = 0;
    int m_resampler_channels = 0;
    // Where a frame without any time starts.
    LONGLONG m_previous_end = 0;
    // The file positions of packets marked as before the landing whose frames have not come out yet.
    std::multiset<int64_t> m_before_landing;
};

} // namespace kivo
