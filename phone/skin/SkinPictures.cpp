// The pictures of the phone link's skin, drawn by code.

#include "SkinDrawing.h"

namespace kivo {

namespace {

using Palette = BitmapCanvas::Palette;

// A box with round corners on the key colour, a title band and a frame line under the band.
void draw_box(BitmapCanvas& canvas, int band)
{
    canvas.fill(skin_key);
    RECT all = canvas.bounds();
    canvas.fill_round_rect(all, 10, Palette::frame);
    canvas.fill_round_rect({ 2, 2, all.right - 2, all.bottom - 2 }, 9, box_face);
    canvas.vertical_gradient({ 10, 2, all.right - 10, band }, band_face, box_face);
    canvas.line(8, band, all.right - 9, band, Palette::frame);
}

// A battery of the power strip in a 32 by 24 frame, with `bars` of four filled.
void draw_battery(BitmapCanvas& canvas, int left, int bars, COLORREF fill)
{
    canvas.frame_rect({ left + 3, 5, left + 27, 19 }, Palette::white, 2);
    canvas.fill_rect({ left + 27, 9, left + 30, 15 }, Palette::white);
    for (int i = 0; i < bars; ++i)
        canvas.fill_rect({ left + 6 + 5 * i, 8, left + 10 + 5 * i, 16 }, fill);
}

// The call screens' panel behind the caller's name and number; the incoming-call screen redraws a
// changed text on exactly this colour.
constexpr COLORREF call_info_face = RGB(36, 76, 94);

// A handset lying on its side, centred in a rectangle: the call buttons' sign.
void draw_handset(BitmapCanvas& canvas, const RECT& around, COLORREF colour)
{
    int x = (around.left + around.right) / 2;
    int y = (around.top + around.bottom) / 2;
    canvas.fill_round_rect({ x - 16, y - 4, x + 16, y + 3 }, 3, colour);
    canvas.fill_round_rect({ x - 18, y - 2, x - 8, y + 9 }, 3, colour);
    canvas.fill_round_rect({ x + 8, y - 2, x + 18, y + 9 }, 3, colour);
}

// The whole screen of a call: the title band and, below it, the dark body with the information
// panel.
void draw_call_title(BitmapCanvas& canvas)
{
    canvas.vertical_gradient({ 0, 0, canvas.width(), 40 }, band_face, box_face);
    canvas.line(0, 39, canvas.width() - 1, 39, Palette::frame);
}

} // namespace

void draw_frames(BitmapCanvas& canvas, std::initializer_list<COLORREF> faces, int radius)
{
    canvas.fill(skin_key);
    int width = canvas.width() / static_cast<int>(faces.size());
    int left = 0;
    for (COLORREF face : faces) {
        canvas.fill_round_rect({ left, 0, left + width, canvas.height() }, radius, BitmapCanvas::Palette::frame);
        canvas.fill_round_rect({ left + 1, 1, left + width - 1, canvas.height() - 1 }, radius - 1, face);
        left += width;
    }
}

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
        { u"Mainskin\\title.bmp", 480, 40,
            "the main panel's title band: a blue gradient with a light line under it",
            [](BitmapCanvas& canvas) {
                canvas.vertical_gradient(canvas.bounds(), band_face, box_face);
                canvas.line(0, 39, 479, 39, Palette::frame);
            } },
        { u"Mainskin\\panel.bmp", 480, 232,
            "the main panel's button area: dark blue with a darker band behind each row of buttons",
            [](BitmapCanvas& canvas) {
                canvas.fill(Palette::panel);
                for (int top : { 8, 82, 156 })
                    canvas.fill_rect({ 6, top, 474, top + 70 }, RGB(12, 30, 56));
            } },
        { u"Mainskin\\button.bmp", 315, 62,
            "a main-panel button in three frames of 105 by 62: normal (blue), pressed (orange), disabled (slate)",
            [](BitmapCanvas& canvas) { draw_frames(canvas, { Palette::panel_light, Palette::highlight, disabled_face }, 8); } },
        { u"Mainskin\\toggle.bmp", 630, 62,
            "a main-panel toggle in six frames of 105 by 62: off normal (dark blue), pressed (orange), disabled "
            "(slate); on normal (green), pressed (orange), disabled (slate)",
            [](BitmapCanvas& canvas) {
                draw_frames(canvas, { box_face, Palette::highlight, disabled_face, Palette::ok, Palette::highlight, disabled_face }, 8);
            } },
        { u"Mainskin\\btstatus.bmp", 108, 32,
            "the Bluetooth status button in three frames of 36 by 32: a white Bluetooth rune on blue (normal), on "
            "orange (pressed), on slate (disabled)",
            [](BitmapCanvas& canvas) {
                draw_frames(canvas, { Palette::panel_light, Palette::highlight, disabled_face }, 6);
                for (int left : { 0, 36, 72 }) {
                    int x = left + 17;
                    canvas.line(x, 6, x, 26, Palette::white);
                    canvas.line(x, 6, x + 6, 11, Palette::white);
                    canvas.line(x + 6, 11, x - 5, 21, Palette::white);
                    canvas.line(x, 26, x + 6, 21, Palette::white);
                    canvas.line(x + 6, 21, x - 5, 11, Palette::white);
                }
            } },
        { u"Mainskin\\exit.bmp", 96, 32,
            "the main panel's close button in three frames of 32 by 32: a white cross on red (normal), on orange "
            "(pressed), on grey (disabled)",
            [](BitmapCanvas& canvas) {
                draw_frames(canvas, { Palette::warning, Palette::highlight, Palette::grey }, 6);
                for (int left : { 0, 32, 64 }) {
                    for (int shift : { 0, 1 }) {
                        canvas.line(left + 9 + shift, 9, left + 22 + shift, 22, Palette::white);
                        canvas.line(left + 22 + shift, 9, left + 9 + shift, 22, Palette::white);
                    }
                }
            } },
        { u"Mainskin\\power.bmp", 192, 24,
            "the power picture in six frames of 32 by 24 on the title band's blue: a battery with one red bar "
            "(low), two, three and four white bars, a battery crossed out in red (fault), and a green plug "
            "(mains)",
            [](BitmapCanvas& canvas) {
                canvas.fill(band_face);
                draw_battery(canvas, 0, 1, Palette::warning);
                draw_battery(canvas, 32, 2, Palette::white);
                draw_battery(canvas, 64, 3, Palette::white);
                draw_battery(canvas, 96, 4, Palette::white);
                draw_battery(canvas, 128, 0, Palette::white);
                canvas.line(131, 4, 158, 20, Palette::warning);
                canvas.line(131, 20, 158, 4, Palette::warning);
                canvas.fill_rect({ 168, 8, 182, 18 }, Palette::ok);
                canvas.fill_rect({ 170, 3, 172, 8 }, Palette::ok);
                canvas.fill_rect({ 178, 3, 180, 8 }, Palette::ok);
                canvas.fill_rect({ 174, 18, 176, 23 }, Palette::ok);
            } },
        { u"Mainskin\\incall.bmp", 480, 272,
            "the incoming-call screen: the title band, a dark blue body and, in it, the panel of the caller's name "
            "and number (36, 76, 94)",
            [](BitmapCanvas& canvas) {
                canvas.fill(box_face);
                draw_call_title(canvas);
                canvas.fill_round_rect({ 30, 60, 450, 170 }, 10, Palette::frame);
                canvas.fill_round_rect({ 32, 62, 448, 168 }, 9, call_info_face);
            } },
        { u"Mainskin\\answer.bmp", 540, 60,
            "the answer button in three frames of 180 by 60: green (normal), orange (pressed), grey (disabled); "
            "the caption comes from the skin",
            [](BitmapCanvas& canvas) { draw_frames(canvas, { Palette::ok, Palette::highlight, Palette::grey }, 10); } },
        { u"Mainskin\\reject.bmp", 540, 60,
            "the reject button in three frames of 180 by 60: red (normal), orange (pressed), grey (disabled); the "
            "caption comes from the skin",
            [](BitmapCanvas& canvas) { draw_frames(canvas, { Palette::warning, Palette::highlight, Palette::grey }, 10); } },
        { u"PhoneBook\\callout_title.bmp", 480, 40,
            "the call-out screen's title band: a blue gradient with a light line under it and the close cross, "
            "white on red, at its right (440 to 472)",
            [](BitmapCanvas& canvas) {
                draw_call_title(canvas);
                canvas.fill_round_rect({ 440, 4, 472, 36 }, 6, Palette::frame);
                canvas.fill_round_rect({ 441, 5, 471, 35 }, 5, Palette::warning);
                for (int shift : { 0, 1 }) {
                    canvas.line(449 + shift, 13, 462 + shift, 26, Palette::white);
                    canvas.line(462 + shift, 13, 449 + shift, 26, Palette::white);
                }
            } },
        { u"PhoneBook\\callout_info.bmp", 480, 232,
            "the call-out screen below the title: a dark blue body, the panel of the name and number (36, 76, 94), "
            "a red hang-up button with a white handset (150 to 330 across, 156 to 216 down) and a blue button "
            "with a small window (360 to 450) that leaves the call to the dial pad",
            [](BitmapCanvas& canvas) {
                canvas.fill(box_face);
                canvas.fill_round_rect({ 30, 10, 450, 140 }, 10, Palette::frame);
                canvas.fill_round_rect({ 32, 12, 448, 138 }, 9, call_info_face);
                canvas.fill_round_rect({ 150, 156, 330, 216 }, 10, Palette::frame);
                canvas.fill_round_rect({ 151, 157, 329, 215 }, 9, Palette::warning);
                draw_handset(canvas, { 150, 156, 330, 216 }, Palette::white);
                canvas.fill_round_rect({ 360, 156, 450, 216 }, 10, Palette::frame);
                canvas.fill_round_rect({ 361, 157, 449, 215 }, 9, Palette::panel_light);
                canvas.frame_rect({ 385, 172, 425, 200 }, Palette::white, 2);
                canvas.fill_rect({ 385, 172, 425, 178 }, Palette::white);
            } },
    };
    // Then those drawn in files of their own, one screen a line.
    static const std::vector<PhoneSkinPicture> all = [] {
        std::vector<PhoneSkinPicture> joined = pictures;
        auto add = [&](std::vector<PhoneSkinPicture> more) { joined.insert(joined.end(), more.begin(), more.end()); };
        add(dial_pad_pictures());
        add(mini_call_pictures());
        return joined;
    }();
    return all;
}

} // namespace kivo
