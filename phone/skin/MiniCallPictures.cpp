// The pictures of the mini call window, drawn by code: the strip and its four small buttons, each
// 22 by 28 with frames normal, pressed and disabled (twice for the two toggles: value 0, then 1).

#include "SkinDrawing.h"

namespace kivo {

namespace {

using Palette = BitmapCanvas::Palette;
constexpr int button_width = 22;
constexpr int button_height = 28;
constexpr COLORREF strip_face = RGB(12, 30, 56);
constexpr COLORREF dim = RGB(150, 156, 166);

// One frame's face: its left edge and the colour of its state.
struct Face {
    int left;
    COLORREF colour;
    COLORREF sign; // white, or dim on a disabled frame
};

// The frames of a strip of `values` values: normal (the button's own colour), pressed (orange)
// and disabled (slate) for each value, with the sign drawn by `sign` on each.
template<typename Sign>
void draw_button_frames(BitmapCanvas& canvas, int values, COLORREF normal, Sign sign)
{
    canvas.fill(strip_face);
    for (int value = 0; value < values; ++value) {
        const COLORREF faces[] = { normal, Palette::highlight, disabled_face };
        for (int state = 0; state < 3; ++state) {
            int left = (value * 3 + state) * button_width;
            canvas.fill_round_rect({ left, 0, left + button_width, button_height }, 5, Palette::frame);
            canvas.fill_round_rect({ left + 1, 1, left + button_width - 1, button_height - 1 }, 4, faces[state]);
            sign(canvas, Face { left, faces[state], state == 2 ? dim : Palette::white }, value);
        }
    }
}

// A handset lying on its side.
void draw_small_handset(BitmapCanvas& canvas, const Face& face)
{
    int x = face.left + button_width / 2;
    canvas.fill_round_rect({ x - 8, 11, x + 8, 15 }, 2, face.sign);
    canvas.fill_round_rect({ x - 9, 13, x - 4, 19 }, 2, face.sign);
    canvas.fill_round_rect({ x + 4, 13, x + 9, 19 }, 2, face.sign);
}

// A microphone on its stand; crossed out in red when muted.
void draw_microphone(BitmapCanvas& canvas, const Face& face, bool on)
{
    int x = face.left + button_width / 2;
    canvas.fill_round_rect({ x - 3, 5, x + 4, 17 }, 3, face.sign);
    canvas.line(x - 6, 14, x - 6, 16, face.sign);
    canvas.line(x + 6, 14, x + 6, 16, face.sign);
    canvas.line(x - 5, 17, x - 2, 20, face.sign);
    canvas.line(x + 5, 17, x + 2, 20, face.sign);
    canvas.line(x - 2, 20, x + 2, 20, face.sign);
    canvas.line(x, 20, x, 23, face.sign);
    canvas.line(x - 4, 23, x + 4, 23, face.sign);
    if (!on) {
        for (int shift : { 0, 1 })
            canvas.line(x - 8 + shift, 5, x + 7 + shift, 23, Palette::warning);
    }
}

// The audio here: a loudspeaker with its sound; on the phone: a handset with an arrow towards it.
void draw_audio_place(BitmapCanvas& canvas, const Face& face, bool here)
{
    int x = face.left + 4;
    if (here) {
        canvas.fill_rect({ x, 11, x + 4, 17 }, face.sign);
        canvas.arrow({ x + 2, 7, x + 9, 21 }, BitmapCanvas::Direction::Left, face.sign);
        canvas.line(x + 11, 10, x + 12, 14, face.sign);
        canvas.line(x + 12, 14, x + 11, 18, face.sign);
        canvas.line(x + 13, 7, x + 15, 14, face.sign);
        canvas.line(x + 15, 14, x + 13, 21, face.sign);
        return;
    }
    canvas.fill_round_rect({ x + 7, 4, x + 15, 24 }, 2, face.sign);
    canvas.fill_rect({ x + 9, 7, x + 13, 15 }, face.colour);
    canvas.line(x, 14, x + 5, 14, face.sign);
    canvas.arrow({ x + 3, 11, x + 7, 18 }, BitmapCanvas::Direction::Right, face.sign);
}

// Three rows of three keys.
void draw_keypad(BitmapCanvas& canvas, const Face& face)
{
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            int left = face.left + 4 + column * 5;
            int top = 6 + row * 6;
            canvas.fill_rect({ left, top, left + 4, top + 4 }, face.sign);
        }
}

} // namespace

std::vector<PhoneSkinPicture> mini_call_pictures()
{
    return {
        { u"Mainskin\\minbar.bmp", 94, 30,
            "the mini call window's strip: dark blue with a light frame, behind its four buttons",
            [](BitmapCanvas& canvas) {
                canvas.fill(Palette::frame);
                canvas.fill_rect({ 1, 1, 93, 29 }, strip_face);
            } },
        { u"Mainskin\\minhangup.bmp", 66, 28,
            "the mini call window's hang-up button in three frames of 22 by 28: a white handset on red "
            "(normal), on orange (pressed), a dim one on slate (disabled)",
            [](BitmapCanvas& canvas) {
                draw_button_frames(canvas, 1, Palette::warning, [](BitmapCanvas& c, const Face& face, int) { draw_small_handset(c, face); });
            } },
        { u"Mainskin\\minmute.bmp", 132, 28,
            "the mini call window's microphone toggle in six frames of 22 by 28: value 0 (muted) a white "
            "microphone crossed out in red, value 1 (on) the microphone alone; each on blue (normal), orange "
            "(pressed) and slate (disabled)",
            [](BitmapCanvas& canvas) {
                draw_button_frames(canvas, 2, Palette::panel_light,
                    [](BitmapCanvas& c, const Face& face, int value) { draw_microphone(c, face, value == 1); });
            } },
        { u"Mainskin\\minaudio.bmp", 132, 28,
            "the mini call window's audio toggle in six frames of 22 by 28: value 0 (the audio on the phone) "
            "an arrow into a white phone, value 1 (the audio here) a white loudspeaker with its sound; each on "
            "blue (normal), orange (pressed) and slate (disabled)",
            [](BitmapCanvas& canvas) {
                draw_button_frames(canvas, 2, Palette::panel_light,
                    [](BitmapCanvas& c, const Face& face, int value) { draw_audio_place(c, face, value == 1); });
            } },
        { u"Mainskin\\mindialpad.bmp", 66, 28,
            "the mini call window's dial pad button in three frames of 22 by 28: nine white keys in three rows "
            "on green (normal), on orange (pressed), dim on slate (disabled)",
            [](BitmapCanvas& canvas) {
                draw_button_frames(canvas, 1, Palette::ok, [](BitmapCanvas& c, const Face& face, int) { draw_keypad(c, face); });
            } },
    };
}

} // namespace kivo
