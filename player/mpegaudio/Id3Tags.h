#pragma once

// The ID3 tags of an MPEG audio file: ID3v2 frames first, ID3v1 for the texts still missing.

#include "MediaInfo.h"

#include <cstddef>
#include <cstdint>
#include <span>

// Reads the text frames of a whole ID3v2 tag (its 10-byte header included) into the record.
void ReadId3v2Tag(_tag_MEDIA_INFO& info, std::span<const uint8_t> tag);

// Fills the texts and the genre the record still lacks from a 128-byte ID3v1 tag; other bytes are
// left alone.
void ReadId3v1Tag(_tag_MEDIA_INFO& info, std::span<const uint8_t> last_bytes);
