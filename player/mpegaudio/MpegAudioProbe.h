#pragma once

// The probe of MPEG audio files (MP3, MP2) and raw AAC streams in ADTS framing: claims a file whose
// audio, after an optional ID3v2 tag, starts with a frame sync, and reads its ID3v2 and ID3v1 tags,
// rates, channels and duration into the record.

#include "MediaInfo.h"

int ProbeMpegAudio(_tag_MEDIA_INFO& info, HANDLE file);
