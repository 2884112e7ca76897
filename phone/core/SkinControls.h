#pragma once

// Small routines the phone link's screens share over Skinkit: the texts of the language file,
// lists of skin pictures (the main panel's power-state frames) and toggle buttons whose caption
// follows their value.

#include "Skinkit.h"

#include <cstdint>
#include <string>
#include <vector>

// The text of a language id ("" for an id the language lacks).
std::u16string LanguageText(int id);

// One picture of a list, as the skin describes it.
struct SkinPicture {
    int32_t reserved;   // always 0
    WCHAR picName[260]; // the picture file
    int32_t picCount;   // frames side by side
    RECT rect;          // where the screen shows it
    AL_BITMAP bitmap;   // the loaded picture's description
};
static_assert(sizeof(SkinPicture) == 568);

// Appends the picture of a skin section ("PicName", "rect", "PicCount"; a missing key leaves its
// value cleared), loading the file into the caller's bitmap, and answers the entry's index.
int LoadPictureList(std::vector<SkinPicture>& list, LPCWSTR section, LPCWSTR skinFile, CBitmap* bitmap);

// Sets a toggle button to a value with the caption of textIdOn (value not 0) or textIdOff; a
// missing button, or one that has the value already, is left as it is.
void SetToggleButton(CLayoutBtn* button, int value, int textIdOff, int textIdOn);
