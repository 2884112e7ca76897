#pragma once

#include "CSkinListCtrl.h"

// Puts the skinned lists' header strip and the pictures of both scroll bars into the running
// program's resources.
void add_skin_list_pictures();

// The player's look of a skinned list: its header strip and scroll pictures, white rows on the
// panel's teal, the selected row dark on orange. The header's font height differs by screen.
SkinListStyle melodo_list_style(int header_font_height);
