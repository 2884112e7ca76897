// The dial pad's pictures, drawn by code.

#include "SkinDrawing.h"

namespace kivo {

namespace {

using Palette = BitmapCanvas::Palette;
constexpr COLORREF display_face = RGB(8, 20, 36);

} // namespace

std::vector<PhoneSkinPicture> dial_pad_pictures()
{
    std::vector<PhoneSkinPicture> pictures;
    pictures.push_back({ u"PhoneBook\\dialpad_title.bmp", 480, 40,
        "the dial pad's title band: a blue gradient with a light line under it (the close cross is a button of "
        "its own)",
        [](BitmapCanvas& canvas) {
            canvas.vertical_gradient(canvas.bounds(), band_face, box_face);
            canvas.line(0, 39, 479, 39, Palette::frame);
        } });
    pictures.push_back({ u"PhoneBook\\dialpad_body.bmp", 480, 232,
        "the dial pad below the title: a dark blue body with the number display, a near-black well with a "
        "light frame (12 to 300 across, 6 to 46 down), at its top left",
        [](BitmapCanvas& canvas) {
            canvas.fill(box_face);
            canvas.fill_round_rect({ 12, 6, 300, 46 }, 8, Palette::frame);
            canvas.fill_round_rect({ 13, 7, 299, 45 }, 7, display_face);
        } });
    pictures.push_back({ u"PhoneBook\\dialkey.bmp", 276, 40,
        "a key of the pad in three frames of 92 by 40: normal (blue), pressed (orange), disabled (slate); the "
        "digit comes from the skin",
        [](BitmapCanvas& canvas) { draw_frames(canvas, { Palette::panel_light, Palette::highlight, disabled_face }, 8); } });
    pictures.push_back({ u"PhoneBook\\dialside.bmp", 228, 40,
        "a button of the pad's right column in three frames of 76 by 40: normal (dark blue), pressed (orange), "
        "disabled (slate)",
        [](BitmapCanvas& canvas) { draw_frames(canvas, { band_face, Palette::highlight, disabled_face }, 8); } });
    pictures.push_back({ u"PhoneBook\\dialcall.bmp", 960, 40,
        "the call button in six frames of 160 by 40: to call, green (normal), orange (pressed), slate (disabled); "
        "during a call, red (normal), orange (pressed), slate (disabled)",
        [](BitmapCanvas& canvas) {
            draw_frames(canvas, { Palette::ok, Palette::highlight, disabled_face, Palette::warning, Palette::highlight, disabled_face }, 8);
        } });
    pictures.push_back({ u"PhoneBook\\dialhangup.bmp", 228, 40,
        "the hang-up button in three frames of 76 by 40: red (normal), orange (pressed), slate (disabled)",
        [](BitmapCanvas& canvas) { draw_frames(canvas, { Palette::warning, Palette::highlight, disabled_face }, 8); } });
    pictures.push_back({ u"PhoneBook\\dialtoggle.bmp", 456, 40,
        "a toggle of the pad in six frames of 76 by 40: off, dark blue (normal), orange (pressed), slate "
        "(disabled); on, green (normal), orange (pressed), slate (disabled)",
        [](BitmapCanvas& canvas) {
            draw_frames(canvas, { box_face, Palette::highlight, disabled_face, Palette::ok, Palette::highlight, disabled_face }, 8);
        } });
    return pictures;
}

} // namespace kivo
