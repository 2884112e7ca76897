#pragma once

// What the pictures of the phone link's skin share: the colours of its screens, the drawing of
// button frames, and the lists of the screens drawn in files of their own.

#include "PhoneSkinTree.h"

#include <initializer_list>
#include <vector>

namespace kivo {

inline constexpr COLORREF skin_key = BitmapCanvas::transparent_key;
inline constexpr COLORREF box_face = RGB(24, 52, 88);
inline constexpr COLORREF band_face = RGB(40, 88, 144);
// Disabled buttons: dark enough for their grey caption to show.
inline constexpr COLORREF disabled_face = RGB(52, 60, 72);

// Frames of one size side by side on the key colour, one colour each, with round corners.
void draw_frames(BitmapCanvas& canvas, std::initializer_list<COLORREF> faces, int radius);

std::vector<PhoneSkinPicture> dial_pad_pictures();
std::vector<PhoneSkinPicture> mini_call_pictures();

} // namespace kivo
