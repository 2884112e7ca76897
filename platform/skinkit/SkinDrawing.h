#pragma once

#include "platform.h"

#include <string_view>

namespace skinkit {

// Draws one line of text in the Arial face of a pixel height, clipped to the rectangle, with a
// transparent background.
void draw_text(HDC dc, const RECT& rect, std::u16string_view text, COLORREF colour, int height, bool bold, UINT format);
// The width of a line of text in that face.
int text_width(HDC dc, std::u16string_view text, int height, bool bold);

} // namespace skinkit
