#pragma once

#include "platform.h"

#include <optional>

// What the two skinned scroll bars share: their seven pictures, how a part is painted and where the
// thumb lies for the served list's scroll state.
namespace skin_scroll {

constexpr int picture_count = 7;
// The places of the pictures after the two arrows' pairs.
constexpr int track_picture = 4;
constexpr int thumb_picture = 5;
constexpr int thumb_pressed_picture = 6;

// A thumb too short to see is made this long.
constexpr int least_thumb_length = 10;

void reload_pictures(CBitmap (&pictures)[picture_count], const UINT (&ids)[picture_count]);

// Stretches the whole of `picture` into the rectangle, reading it at the size of `measure` (a
// pressed picture is read at the size of its normal one).
void stretch_into(CDC&, const RECT&, CBitmap& picture, const CBitmap& measure);

struct Span {
    int start = 0;
    int end = 0;
};

// The thumb along the track [track_start, track_end) for the scroll state: start = track start +
// L × pos / n, end = start + L × page / n + 1, with L the track's length and n = max - min + 1.
// With `keep_inside` a thumb that passes the track's end is moved back to end there. A thumb of
// no length is made 10 pixels long, moved back from the far end. Nothing when the state holds no
// positions (n ≤ 0).
std::optional<Span> thumb_span(int track_start, int track_end, const SCROLLINFO&, bool keep_inside);

// A drag's scroll amount cut toward zero; nothing for a value no scroll amount can hold.
std::optional<int> whole_amount(double value);

} // namespace skin_scroll
