#pragma once

#include "BitmapCanvas.h"
#include "ResourceTable.h"
#include "platform.h"

namespace kivo::test {

// The pictures of a small test program, drawn by code: a background of the whole screen and the
// six battery pictures. Each battery picture is a coloured body inside a frame of the
// transparent key, so a screen pixel tells which picture (if any) is shown.
struct TestPictures {
    static constexpr UINT background = 129;
    static constexpr UINT first_battery = 163;
    static constexpr int battery_width = 24;
    static constexpr int battery_height = 14;
    // Where the icon's area is taken from the background, and the colour there.
    static constexpr POINT battery_background { 412, 7 };
    static constexpr COLORREF background_colour = RGB(16, 40, 72);
    static constexpr COLORREF battery_area_colour = RGB(0, 96, 96);
    static constexpr COLORREF battery_colours[6] = { RGB(255, 0, 0), RGB(255, 128, 0), RGB(255, 255, 0),
        RGB(0, 255, 0), RGB(0, 0, 255), RGB(128, 0, 128) };

    static void add(ResourceTable& table)
    {
        table.add_bitmap(background, 480, 272, [](BitmapCanvas& canvas) {
            canvas.fill(background_colour);
            canvas.fill_rect({ battery_background.x, battery_background.y, battery_background.x + battery_width,
                                 battery_background.y + battery_height },
                battery_area_colour);
        });
        for (UINT i = 0; i < 6; ++i) {
            table.add_bitmap(first_battery + i, battery_width, battery_height, [i](BitmapCanvas& canvas) {
                canvas.fill(BitmapCanvas::transparent_key);
                canvas.fill_rect({ 3, 3, battery_width - 3, battery_height - 3 }, battery_colours[i]);
            });
        }
    }
};

} // namespace kivo::test
