#pragma once

// The character tables of DVB text, made at build time (see tables/MakeDvbTextTables.cpp). A value
// 0 means the byte gives nothing.

#include "platform.h"

// The default table: ISO/IEC 6937 as broadcast text uses it. Its thirteen non-spacing marks hold
// their combining characters (U+0300 to U+036F) and take the following byte.
extern const WCHAR g_DvbDefaultTable[256];
// One row per byte 0xC0 to 0xCF, indexed by the byte that follows the mark.
extern const WCHAR g_DvbCompositionTables[16 * 256];
// One row per part of ISO/IEC 8859, indexed by the part's number (rows 0 and 12 are empty).
extern const WCHAR g_DvbIso8859Tables[16 * 256];
