// The pictures of the phone link's skin, drawn by code.

#include "PhoneSkinTree.h"

namespace kivo {

namespace {

using Palette = BitmapCanvas::Palette;
constexpr COLORREF key = BitmapCanvas::transparent_key;
constexpr COLORREF box_face = RGB(24, 52, 88);
constexpr COLORREF band_face = RGB(40, 88, 144);

// A box with round corners on the key colour, a title band and a frame line under the band.
void draw_box(BitmapCanvas& canvas, int band)
{
    canvas.fill(key);
    RECT all = canvas.bounds();
    canvas.fill_round_rect(all, 10, Palette::frame);
    canvas.fill_round_rect({ 2, 2, all.right - 2, all.bottom - 2 }, 9, box_face);
    canvas.vertical_gradient({ 10, 2, all.right - 10, band }, band_face, box_face);
    canvas.line(8, band, all.right - 9, band, Palette::frame);
}

// Frames of one size side by side, one colour each, with round corners.
void draw_frames(BitmapCanvas& canvas, std::initializer_list<COLORREF> faces, int radius)
{
    canvas.fill(key);
    int width = canvas.width() / static_cast<int>(faces.size());
    int left = 0;
    for (COLORREF face : faces) {
        canvas.fill_round_rect({ left, 0, left + width, canvas.height() }, radius, Palette::frame);
        canvas.fill_round_rect({ left + 1, 1, left + width - 1, canvas.height() - 1 }, radius - 1, face);
        left += width;
    }
}

} // namespace

const std::vector<PhoneSkinPicture>& phone_skin_pictures()
{
    static const std::vector<PhoneSkinPicture> pictures = {
        { u"PhoneManager\\msgbox.bmp", 320, 170,
            "the message dialog's box: dark blue with round corners, a lighter title band 36 pixels high and a "
            "white information mark at the band's left",
            [](BitmapCanvas& canvas) {
                draw_box(canvas, 36);
                canvas.fill_ellipse({ 12, 7, 36, 31 }, Palette::white);
                canvas.fill_rect({ 23, 17, 26, 27 }, band_face);
                canvas.fill_rect({ 23, 11, 26, 14 }, band_face);
            } },
        { u"PhoneManager\\button.bmp", 330, 40,
            "a push button in three frames of 110 by 40: normal (blue), pressed (orange), disabled (grey); the "
            "caption comes from the skin",
            [](BitmapCanvas& canvas) { draw_frames(canvas, { Palette::panel_light, Palette::highlight, Palette::grey }, 8); } },
        { u"PhoneManager\\close.bmp", 90, 26,
            "the close button in three frames of 30 by 26: a white cross on red (normal), on orange (pressed), "
            "on grey (disabled)",
            [](BitmapCanvas& canvas) {
                draw_frames(canvas, { Palette::warning, Palette::highlight, Palette::grey }, 5);
                for (int left : { 0, 30, 60 }) {
                    for (int shift : { 0, 1 }) {
                        canvas.line(left + 9 + shift, 7, left + 20 + shift, 18, Palette::white);
                        canvas.line(left + 20 + shift, 7, left + 9 + shift, 18, Palette::white);
                    }
                }
            } },
        { u"question.bmp", 320, 140,
            "the question box: dark blue with round corners and a white question mark in a circle at the top left",
            [](BitmapCanvas& canvas) {
                draw_box(canvas, 2);
                canvas.fill_ellipse({ 12, 14, 36, 38 }, Palette::white);
                canvas.label({ 12, 14, 36, 38 }, u"?", box_face, 20, true);
            } },
    };
    return pictures;
}

} // namespace kivo
