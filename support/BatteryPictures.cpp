#include "BatteryPictures.h"

using kivo::BitmapCanvas;
using Palette = BitmapCanvas::Palette;

void draw_battery_picture(BitmapCanvas& canvas, int picture)
{
    canvas.fill(BitmapCanvas::transparent_key);
    canvas.frame_rect({ 0, 2, 32, 18 }, Palette::white, 2);
    canvas.fill_rect({ 32, 7, 36, 13 }, Palette::white);
    int bars = picture >= 1 && picture <= 3 ? picture : 0;
    for (int bar = 0; bar < bars; ++bar)
        canvas.fill_rect({ 4 + bar * 9, 6, 11 + bar * 9, 14 }, Palette::ok);
    if (picture == 0)
        canvas.fill_rect({ 4, 6, 8, 14 }, Palette::warning);
    if (picture == 4)
        canvas.arrow({ 10, 4, 22, 16 }, BitmapCanvas::Direction::Down, Palette::highlight);
    if (picture == 5) {
        canvas.line(0, 0, 35, 19, Palette::warning);
        canvas.line(35, 0, 0, 19, Palette::warning);
    }
}

void add_battery_pictures(kivo::ResourceTable& resources, UINT first_id)
{
    for (int picture = 0; picture < battery_picture_count; ++picture) {
        resources.add_bitmap(first_id + static_cast<UINT>(picture), battery_picture_width, battery_picture_height,
            [picture](BitmapCanvas& canvas) { draw_battery_picture(canvas, picture); });
    }
}
