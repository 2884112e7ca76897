#pragma once

// The image probe: recognises JPEG, GIF, BMP and PNG files by their first bytes and reads the
// picture's width, height and bit depth without decoding it.

#include "MediaInfo.h"

// Nonzero when the file is one of the four pictures (a JPEG only when its frame header was
// found: otherwise the record's status holds E_FAIL and the chain goes on).
int ProbeImage(_tag_MEDIA_INFO& info, HANDLE file);
