#pragma once

// What the media programs ask about a file without building a graph: title and artist of a song,
// length, size, date and picture of a film, type and size of a photo. The player's own methods of
// the same names call these with what they need of the player.

#include "MediaRecords.h"

#include <optional>

namespace media_information {

// Title and artist from the file's tags; without a title, the file name without its extension,
// and then `name_as_title` is set. 0.
int GetAudioInfo(_tag_AUDIO_INFO* info, int& name_as_title);
// The same, but `name_as_title` always ends cleared. 0.
int GetAudioInfo1(_tag_AUDIO_INFO* info, int& name_as_title);

// Duration (the loaded graph's whole seconds, when the player holds a graph; else the field is
// left), file size and local last-write date. 0, or -1 when the file cannot be opened.
int GetVideoInfo_2(_tag_VIDEO_INFO* info, std::optional<int> graph_duration_seconds);
// Bit rate, frame rate, width and height when a probe recognises the file; else nothing. 0.
int GetVideoInfo_1(_tag_VIDEO_INFO* info);

// Type, size and depth of a picture: 0 for a known type with both sides nonzero, else -1.
int GetPhotoInfo(_tag_PHOTO_INFO* info, LPCWSTR path);

// Reduces a path, in place, to the file name without its last extension. 0.
int GetFileNameNoEx(WCHAR* text);

} // namespace media_information
