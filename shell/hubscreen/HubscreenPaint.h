#pragma once

#include "platform.h"

// Copies a picture of the program's resources to a context at its own size.
// FIXME: the support library's bitmap painter takes this over once it exists.
void draw_resource_bitmap(HDC, UINT bitmap_id, int x, int y);
