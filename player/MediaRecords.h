#pragma once

// The information records the media programs allocate and pass to the player's information
// calls: their layouts are shared with the programs, so every size and offset is fixed.

#include "platform.h"

#include <cstddef>
#include <cstdint>

// Title and artist of an audio file.
struct _tag_AUDIO_INFO {
    WCHAR path[256]; // set by the caller
    WCHAR title[128]; // from the tags, or the file name without folder and extension
    WCHAR artist[128];
    int32_t title_valid;
    int32_t artist_valid; // nonzero only for an artist from the tags
};
static_assert(sizeof(_tag_AUDIO_INFO) == 1032 && offsetof(_tag_AUDIO_INFO, title_valid) == 1024);

// Length, size, date and picture of a video file.
struct _tag_VIDEO_INFO {
    WCHAR file_name[128]; // set by the caller
    WCHAR folder[128]; // set by the caller, with its closing backslash
    int32_t duration; // seconds
    uint32_t file_size; // 0 for a file of 4 GiB or more
    // Last-write time of the file in local time.
    uint16_t year;
    uint16_t month; // 1 to 12
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    int32_t video_bit_rate; // bits a second
    double frame_rate;
    int32_t width;
    int32_t height;
};
static_assert(sizeof(_tag_VIDEO_INFO) == 552 && offsetof(_tag_VIDEO_INFO, frame_rate) == 536);
static_assert(offsetof(_tag_VIDEO_INFO, year) == 520 && offsetof(_tag_VIDEO_INFO, video_bit_rate) == 532);

// Type ("JPG", "GIF", "BMP", "PNG" or "NON"), size and depth of a picture.
struct _tag_PHOTO_INFO {
    WCHAR type[128];
    int32_t width;
    int32_t height; // negative for a bitmap stored top down
    int32_t bit_depth;
};
static_assert(sizeof(_tag_PHOTO_INFO) == 268 && offsetof(_tag_PHOTO_INFO, width) == 256);
