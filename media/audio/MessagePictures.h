#pragma once

#include "platform.h"

#include <string_view>
#include <vector>

// One line of a message picture: centred in its box (in the picture's own coordinates) at a cell
// height. The pictures draw their words from this list only.
struct MessageLine {
    UINT picture;
    RECT box;
    std::u16string_view text;
    int height;
};
const std::vector<MessageLine>& message_picture_lines();

inline constexpr SIZE message_picture_size { 366, 209 };
inline constexpr SIZE card_message_size { 310, 142 };
inline constexpr SIZE message_button_size { 63, 39 };

// Puts the message dialog's pictures and its dialog into the running program's resources.
void add_message_resources();
