#include "MpegAudioProbe.h"

#include "platform.h"
#include "Id3Tags.h"
#include "ProbeFile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr DWORD first_block_size = 1024;
constexpr DWORD frame_header_read = 256;
constexpr DWORD adts_read_size = 64 * 1024;
constexpr int adts_frames_averaged = 500;

// The file's first block is read once; later reads that fall inside it are copied from there.
struct FirstBlock {
    uint8_t bytes[first_block_size];

    DWORD read_at(HANDLE file, uint64_t offset, void* buffer, DWORD count) const
    {
        if (offset + count > sizeof bytes)
            return probe_read_at(file, offset, buffer, count);
        std::memcpy(buffer, bytes + offset, count);
        return count;
    }
};

int32_t clamp_to_int(uint64_t value)
{
    return int32_t(std::min<uint64_t>(value, INT32_MAX));
}

// Kilobits a second by [MPEG-1 or not][layer I, II, III][index]; index 0 is free format and 15
// is not allowed.
constexpr int bit_rates[2][3][15] = {
    { { 0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448 },
        { 0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384 },
        { 0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320 } },
    { { 0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256 },
        { 0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160 },
        { 0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160 } },
};
// Samples a second by the version bits (MPEG-2.5, reserved, MPEG-2, MPEG-1) and the index.
constexpr int sample_rates[4][3] = {
    { 11025, 12000, 8000 }, { 0, 0, 0 }, { 22050, 24000, 16000 }, { 44100, 48000, 32000 }
};
constexpr int adts_sample_rates[13] = { 96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350 };

constexpr uint8_t version_mpeg1 = 3;
constexpr uint8_t version_reserved = 1;
constexpr uint8_t layer_reserved = 0;
constexpr uint8_t layer_3 = 1;
constexpr uint8_t layer_1 = 3;
constexpr uint8_t channel_mode_mono = 3;

bool is_adts_header(const uint8_t* bytes)
{
    return bytes[0] == 0xFF && (bytes[1] & 0xF6) == 0xF0;
}

// The ADTS stream's first header, then the average bit rate of its first frames.
HRESULT read_adts(_tag_MEDIA_INFO& info, HANDLE file, uint64_t audio_start, uint64_t audio_bytes, const uint8_t* header)
{
    uint8_t frequency_index = (header[2] >> 2) & 0x0F;
    uint8_t channel_configuration = uint8_t((header[2] & 0x01) << 2 | header[3] >> 6);
    if (frequency_index >= std::size(adts_sample_rates))
        return E_FAIL;
    const int sample_rate = adts_sample_rates[frequency_index];

    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[adts_read_size]);
    if (!buffer)
        return E_OUTOFMEMORY;
    uint64_t byte_total = 0;
    uint64_t block_count = 0;
    int frames = 0;
    uint64_t position = audio_start;
    bool walking = true;
    while (walking) {
        DWORD read = probe_read_at(file, position, buffer.get(), adts_read_size);
        if (read < 10)
            break;
        DWORD at = 0;
        // A header needs seven bytes; one cut by the buffer's end is read again at the next turn.
        while (read - at >= 7) {
            const uint8_t* frame = &buffer[at];
            uint32_t length = uint32_t(frame[3] & 0x03) << 11 | uint32_t(frame[4]) << 3 | frame[5] >> 5;
            if (!is_adts_header(frame) || length <= 10 || frames == adts_frames_averaged) {
                walking = false;
                break;
            }
            byte_total += length;
            block_count += (frame[6] & 0x03) + 1;
            ++frames;
            at += length;
            if (at >= read)
                break;
        }
        if (read < adts_read_size && read - std::min(at, read) < 7)
            break; // the file ends here
        position += at;
    }

    int64_t bit_rate = block_count ? int64_t(uint64_t(sample_rate) * byte_total * 8 / block_count / 1024) : 0;
    info.audio_tag = AUDIO_TAG_AAC;
    info.audio_bit_rate = clamp_to_int(uint64_t(bit_rate));
    info.channels = channel_configuration == 7 ? 8 : channel_configuration;
    info.sample_rate = sample_rate;
    info.status = S_OK;
    info.format = MEDIA_MP3;
    if (bit_rate / 8 != 0)
        info.duration = clamp_to_int(audio_bytes / uint64_t(bit_rate / 8));
    return S_OK;
}

// The frame count of a Xing header in the first frame, 0 when there is none. An "Info" header
// (written for constant bit rates) is not taken: the bit rate of the frame header holds.
uint32_t xing_frame_count(const uint8_t* frame, DWORD frame_bytes, uint8_t version, uint8_t channel_mode)
{
    bool mono = channel_mode == channel_mode_mono;
    DWORD at = version == version_mpeg1 ? (mono ? 21 : 36) : (mono ? 13 : 21);
    if (frame_bytes < at + 12 || std::memcmp(frame + at, "Xing", 4) != 0 || !(frame[at + 7] & 0x01))
        return 0;
    const uint8_t* count = frame + at + 8;
    return uint32_t(count[0]) << 24 | uint32_t(count[1]) << 16 | uint32_t(count[2]) << 8 | count[3];
}

HRESULT read_mpeg_audio(_tag_MEDIA_INFO& info, uint64_t audio_bytes, const uint8_t* frame, DWORD frame_bytes)
{
    uint8_t version = (frame[1] >> 3) & 0x03;
    uint8_t layer = (frame[1] >> 1) & 0x03;
    uint8_t bit_rate_index = frame[2] >> 4;
    uint8_t sampling_index = (frame[2] >> 2) & 0x03;
    uint8_t channel_mode = frame[3] >> 6;
    if (version == version_reserved || layer == layer_reserved || bit_rate_index == 15 || sampling_index == 3)
        return E_FAIL;

    const bool mpeg1 = version == version_mpeg1;
    const int sample_rate = sample_rates[version][sampling_index];
    const uint32_t frame_count = xing_frame_count(frame, frame_bytes, version, channel_mode);
    info.audio_tag = layer == layer_3 ? AUDIO_TAG_MPEG_LAYER3 : AUDIO_TAG_MPEG;
    info.audio_bit_rate = bit_rates[mpeg1 ? 0 : 1][3 - layer][bit_rate_index] * 1000;
    info.sample_rate = sample_rate;
    info.channels = channel_mode == channel_mode_mono ? 1 : 2;
    info.status = S_OK;
    info.format = MEDIA_MP3;
    info.video_fourcc = 0;
    if (frame_count) {
        uint64_t samples_per_frame = layer == layer_1 ? 384 : (layer == layer_3 && !mpeg1) ? 576 : 1152;
        info.audio_bit_rate = clamp_to_int(audio_bytes / frame_count * uint64_t(sample_rate) / (samples_per_frame / 8));
        info.duration = clamp_to_int(samples_per_frame * frame_count / uint64_t(sample_rate));
    } else if (info.audio_bit_rate / 8 != 0) {
        info.duration = clamp_to_int(audio_bytes / uint64_t(info.audio_bit_rate / 8));
    }
    return S_OK;
}

// Reads the tags, then the first frame. Failures in the frame header are kept as the record's
// status, so a caller sees the file was recognised but not understood.
// `audio_start` is the size of the ID3v2 tag with its header, 0 when there is none.
HRESULT parse(_tag_MEDIA_INFO& info, HANDLE file, const FirstBlock& first, uint64_t file_size, DWORD audio_start)
{
    if (file_size < audio_start)
        return E_FAIL;
    if (audio_start) {
        std::unique_ptr<uint8_t[]> tag(new (std::nothrow) uint8_t[audio_start]);
        if (!tag)
            return E_OUTOFMEMORY;
        if (first.read_at(file, 0, tag.get(), audio_start) != audio_start)
            return E_FAIL;
        ReadId3v2Tag(info, std::span(tag.get(), audio_start));
    }

    uint8_t last_bytes[128];
    if (probe_read_at(file, file_size - sizeof last_bytes, last_bytes, sizeof last_bytes) == sizeof last_bytes)
        ReadId3v1Tag(info, last_bytes);

    const uint64_t audio_bytes = file_size > audio_start ? file_size - audio_start : file_size;

    uint8_t frame[frame_header_read];
    DWORD frame_bytes = first.read_at(file, audio_start, frame, sizeof frame);
    HRESULT result = E_FAIL;
    if (frame_bytes >= 4 && frame[0] == 0xFF) {
        if (is_adts_header(frame))
            result = read_adts(info, file, audio_start, audio_bytes, frame);
        else if ((frame[1] & 0xE0) == 0xE0)
            result = read_mpeg_audio(info, audio_bytes, frame, frame_bytes);
    }
    if (FAILED(result))
        info.status = result;
    return result;
}

} // namespace

int ProbeMpegAudio(_tag_MEDIA_INFO& info, HANDLE file)
{
    const auto size = probe_file_size(file);
    if (!size)
        return 0;
    const uint64_t file_size = *size;
    if (file_size < first_block_size)
        return 0;
    FirstBlock first;
    if (probe_read_at(file, 0, first.bytes, sizeof first.bytes) != sizeof first.bytes)
        return 0;

    const uint8_t* head = first.bytes;
    const bool has_tag = std::memcmp(head, "ID3", 3) == 0;
    uint32_t tag_size = 0;
    if (has_tag)
        tag_size = uint32_t(head[6] & 0x7F) << 21 | uint32_t(head[7] & 0x7F) << 14 | uint32_t(head[8] & 0x7F) << 7 | (head[9] & 0x7F);
    if (file_size < uint64_t(tag_size) + first_block_size)
        return 0;
    // The audio must start right after the tag: junk in between leaves the file to other probes.
    const DWORD audio_start = has_tag ? tag_size + 10 : 0;
    uint8_t sync[2];
    if (first.read_at(file, audio_start, sync, sizeof sync) != sizeof sync || sync[0] != 0xFF || sync[1] < 0xE0)
        return 0;

    info.file_size = uint32_t(file_size);
    parse(info, file, first, file_size, audio_start);
    return 1;
}
