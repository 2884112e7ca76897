#pragma once

#include "platform.h"

// Copies a picture of the program's resources to a context at its own size; the warning windows
// paint their whole screen with it into their paint context.
void draw_resource_bitmap(HDC, UINT bitmap_id, int x, int y);
