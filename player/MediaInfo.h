#pragma once

// What the player library's own parsers read from a media file: one record, filled by the first
// format probe of the chain that claims the file.

#include "platform.h"

#include <cstddef>
#include <cstdint>

// The format the probe recognised.
enum MediaFormat : int32_t {
    MEDIA_NONE = 0,
    MEDIA_AVI = 1,
    MEDIA_MP4 = 2,
    MEDIA_ASF = 3,
    MEDIA_OGG = 4,
    MEDIA_MP3 = 5, // MPEG audio and ADTS AAC streams
    MEDIA_WAV = 6,
    MEDIA_MPEG1_PS = 7,
    MEDIA_MPEG2_PS = 8,
    MEDIA_FLAC = 9,
    MEDIA_APE = 10,
    MEDIA_JPEG = 0x1001,
    MEDIA_GIF = 0x1002,
    MEDIA_BMP = 0x1003,
    MEDIA_PNG = 0x1004,
};

// Audio codecs the parsers name themselves (WAV, AVI and ASF give the file's own format tag).
inline constexpr int32_t AUDIO_TAG_LPCM = 1;
inline constexpr int32_t AUDIO_TAG_MPEG = 0x50;
inline constexpr int32_t AUDIO_TAG_MPEG_LAYER3 = 0x55;
inline constexpr int32_t AUDIO_TAG_AAC = 0xFF;
inline constexpr int32_t AUDIO_TAG_AC3 = 0x2000;
inline constexpr int32_t AUDIO_TAG_VORBIS = 0x566F;
inline constexpr int32_t AUDIO_TAG_FLAC = 0xF1AC;
inline constexpr int32_t AUDIO_TAG_APE = 0x4150;

// Each tag text holds at most 127 characters and a zero.
inline constexpr size_t MEDIA_TAG_CHARS = 128;

// The tag texts, in slot order.
enum MediaTagSlot {
    TAG_TITLE = 0,
    TAG_ARTIST = 1,
    TAG_ALBUM = 2,
    TAG_TRACK = 3,
    TAG_GENRE = 4,
    TAG_SLOTS = 5,
};

struct _tag_MEDIA_INFO {
    HRESULT status;      // 1 nothing recognised, 0 a parser succeeded, else the failure a parser left
    int32_t format;      // MediaFormat
    int64_t file_size;   // only the low 32 bits of the size are stored
    int32_t duration;    // whole seconds
    int32_t audio_tag;
    int32_t audio_bit_rate; // bits a second
    int32_t sample_rate;
    int32_t channels;
    uint32_t video_fourcc; // first character in the most significant byte
    int32_t width;
    int32_t height;
    int32_t frame_period; // microseconds
    int32_t video_bit_rate;
    int32_t aspect_x;
    int32_t aspect_y;
    int32_t tag_present[TAG_SLOTS]; // 1 when the text (for the genre: its index) was found
    WCHAR tags[TAG_SLOTS][MEDIA_TAG_CHARS];
    int32_t genre_index; // ID3v1 genre 0 to 254, or -1
    int32_t image_width;
    int32_t image_height;
    int32_t image_bit_depth;
};
static_assert(offsetof(_tag_MEDIA_INFO, file_size) == 8 && offsetof(_tag_MEDIA_INFO, duration) == 16);
static_assert(offsetof(_tag_MEDIA_INFO, tag_present) == 64 && offsetof(_tag_MEDIA_INFO, tags) == 84);
static_assert(offsetof(_tag_MEDIA_INFO, genre_index) == 84 + TAG_SLOTS * MEDIA_TAG_CHARS * 2);

// A record as a fresh probe starts it: nothing recognised, no genre, everything else 0.
_tag_MEDIA_INFO new_media_info();

// A probe of one format: nonzero when it claims the file (the chain stops there), 0 when not.
using FormatProbe = int (*)(_tag_MEDIA_INFO& info, HANDLE file);
