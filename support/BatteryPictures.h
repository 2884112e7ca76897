#pragma once

#include "program_services.h"

// The battery pictures every program shows through its CBatteryIcon, drawn the same way in each:
// 0 empty, 1 to 3 rising charge, 4 on the mains adapter, 5 crossed out, each a battery outline on
// the transparent key.
inline constexpr int battery_picture_count = 6;
inline constexpr int battery_picture_width = 36;
inline constexpr int battery_picture_height = 20;

void draw_battery_picture(kivo::BitmapCanvas&, int picture);

// Adds the six pictures to a program's resources under `first_id` to `first_id` + 5.
void add_battery_pictures(kivo::ResourceTable&, UINT first_id);
