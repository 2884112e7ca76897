#include "MelodoResources.h"

#include "BatteryPictures.h"
#include "PlayListPictures.h"
#include "MessagePictures.h"
#include "SkinListPictures.h"
#include "SoundPictures.h"
#include "program_services.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

using kivo::BitmapCanvas;
using Palette = BitmapCanvas::Palette;
using Direction = BitmapCanvas::Direction;
constexpr COLORREF key = BitmapCanvas::transparent_key;
// The pictures that stand on the info panel are drawn on its colour rather than on the key, so the
// smoothed edges of their shapes and words blend into the panel and not into the key's pink.
constexpr COLORREF on_panel = panel_colour;

// The panel behind the song's facts; the texts drawn over it clear to the same colour.
constexpr RECT info_panel { 16, 52, 408, 196 };

void draw_background(BitmapCanvas& canvas, bool navigation)
{
    canvas.fill(dialog_colour);
    canvas.fill_round_rect(info_panel, 10, panel_colour);
    // The transport row sits on a darker strip; in navigation mode the strip carries a route line,
    // so the two screens are told apart at a glance.
    canvas.vertical_gradient({ 0, 200, 480, 272 }, RGB(30, 60, 76), RGB(12, 28, 40));
    if (navigation) {
        canvas.fill_rect({ 0, 198, 480, 201 }, Palette::ok);
        canvas.frame_rect(info_panel, Palette::ok, 2);
    }
}

// A button's face: a rounded tile, lit while pressed, with its symbol drawn over it.
template <typename Symbol>
void add_button(kivo::ResourceTable& resources, UINT normal_id, int width, int height, Symbol symbol)
{
    for (bool pressed : { false, true }) {
        resources.add_bitmap(normal_id + (pressed ? 1 : 0), width, height, [=](BitmapCanvas& canvas) {
            canvas.fill(RGB(20, 44, 58));
            canvas.fill_round_rect({ 0, 0, width, height }, 8, pressed ? Palette::highlight : Palette::frame);
            canvas.fill_round_rect({ 2, 2, width - 2, height - 2 }, 7, pressed ? RGB(120, 80, 16) : Palette::panel_light);
            symbol(canvas, pressed ? Palette::white : Palette::white);
        });
    }
}

void draw_speaker(BitmapCanvas& canvas, int x, int y, int size, COLORREF colour)
{
    canvas.fill_rect({ x, y + size / 3, x + size / 3, y + 2 * size / 3 }, colour);
    canvas.arrow({ x + size / 6, y, x + 2 * size / 3, y + size }, Direction::Left, colour);
}

// The four play modes' symbols, drawn into a box: an arrow (once), a loop with a 1, a loop with
// ALL, crossed arrows (shuffle).
void draw_mode_symbol(BitmapCanvas& canvas, int mode, RECT box, COLORREF colour)
{
    LONG w = box.right - box.left;
    LONG h = box.bottom - box.top;
    LONG mid = box.top + h / 2;
    switch (mode) {
    case 0:
        canvas.fill_rect({ box.left + 4, mid - 2, box.right - 14, mid + 2 }, colour);
        canvas.arrow({ box.right - 16, mid - 8, box.right - 4, mid + 8 }, Direction::Right, colour);
        break;
    case 1:
    case 2: {
        // ALL needs about twice its height in width: its loop is narrower, its letters no taller
        // than fit beside it.
        LONG loop = mode == 1 ? w / 2 : w / 3;
        LONG text_left = box.left + loop + 6;
        int text_height = mode == 1 ? h - 8 : std::min<int>(h - 8, (box.right - text_left) / 2);
        canvas.frame_rect({ box.left + 4, box.top + 4, box.left + loop + 4, box.bottom - 4 }, colour, 2);
        canvas.arrow({ box.left + loop, box.top, box.left + loop + 10, box.top + 9 }, Direction::Right, colour);
        canvas.label({ text_left, box.top, box.right, box.bottom }, mode == 1 ? u"1" : u"ALL", colour, text_height, true);
        break;
    }
    default:
        canvas.line(box.left + 4, box.top + 4, box.right - 10, box.bottom - 4, colour);
        canvas.line(box.left + 4, box.bottom - 4, box.right - 10, box.top + 4, colour);
        canvas.arrow({ box.right - 12, box.top, box.right - 2, box.top + 10 }, Direction::Right, colour);
        canvas.arrow({ box.right - 12, box.bottom - 10, box.right - 2, box.bottom }, Direction::Right, colour);
        break;
    }
}

void add_buttons(kivo::ResourceTable& resources)
{
    add_button(resources, IDB_VOLUME_DOWN, 52, 51, [](BitmapCanvas& c, COLORREF colour) { draw_speaker(c, 16, 14, 22, colour); });
    add_button(resources, IDB_VOLUME_UP, 52, 51, [](BitmapCanvas& c, COLORREF colour) {
        draw_speaker(c, 8, 14, 22, colour);
        for (int bar = 0; bar < 3; ++bar)
            c.fill_rect({ 32 + bar * 5, 32 - bar * 6, 35 + bar * 5, 36 }, colour);
    });
    add_button(resources, IDB_PREVIOUS, 56, 56, [](BitmapCanvas& c, COLORREF colour) {
        c.fill_rect({ 14, 18, 18, 38 }, colour);
        c.arrow({ 18, 18, 30, 38 }, Direction::Left, colour);
        c.arrow({ 30, 18, 42, 38 }, Direction::Left, colour);
    });
    add_button(resources, IDB_NEXT, 56, 56, [](BitmapCanvas& c, COLORREF colour) {
        c.arrow({ 14, 18, 26, 38 }, Direction::Right, colour);
        c.arrow({ 26, 18, 38, 38 }, Direction::Right, colour);
        c.fill_rect({ 38, 18, 42, 38 }, colour);
    });
    add_button(resources, IDB_STOP, 56, 56, [](BitmapCanvas& c, COLORREF colour) { c.fill_rect({ 18, 18, 38, 38 }, colour); });
    add_button(resources, IDB_PLAY, 56, 56, [](BitmapCanvas& c, COLORREF colour) { c.arrow({ 20, 16, 40, 40 }, Direction::Right, colour); });
    add_button(resources, IDB_PAUSE, 56, 56, [](BitmapCanvas& c, COLORREF colour) {
        c.fill_rect({ 18, 17, 25, 39 }, colour);
        c.fill_rect({ 31, 17, 38, 39 }, colour);
    });
    add_button(resources, IDB_LIST, 55, 34, [](BitmapCanvas& c, COLORREF colour) {
        for (int row = 0; row < 3; ++row) {
            c.fill_rect({ 12, 8 + row * 7, 16, 12 + row * 7 }, colour);
            c.fill_rect({ 20, 8 + row * 7, 43, 12 + row * 7 }, colour);
        }
    });
    for (int mode = 0; mode < play_mode_count; ++mode) {
        add_button(resources, IDB_MODE_FIRST + 2 * static_cast<UINT>(mode), 55, 34,
            [mode](BitmapCanvas& c, COLORREF colour) { draw_mode_symbol(c, mode, { 6, 5, 49, 29 }, colour); });
    }
    add_button(resources, IDB_SOUND, 55, 34, [](BitmapCanvas& c, COLORREF colour) {
        const int heights[] = { 10, 18, 14, 22, 8 };
        for (int bar = 0; bar < 5; ++bar)
            c.fill_rect({ 12 + bar * 7, 28 - heights[bar], 17 + bar * 7, 28 }, colour);
    });
    add_button(resources, IDB_CLOSE, 53, 51, [](BitmapCanvas& c, COLORREF colour) {
        for (int d = -1; d <= 1; ++d) {
            c.line(15 + d, 14, 37 + d, 36, colour);
            c.line(37 + d, 14, 15 + d, 36, colour);
        }
    });
    add_button(resources, IDB_NAVIGATION, 45, 45, [](BitmapCanvas& c, COLORREF colour) {
        c.fill_ellipse({ 6, 4, 39, 37 }, Palette::ok);
        c.line(6, 20, 39, 20, colour);
        c.line(22, 4, 22, 37, colour);
        c.label({ 0, 30, 45, 45 }, u"GPS", colour, 12, true);
    });
}

void add_seek_bar(kivo::ResourceTable& resources)
{
    for (bool filled : { false, true }) {
        resources.add_bitmap(filled ? IDB_SEEK_FILLED : IDB_SEEK_TRACK, seek_bar_width, seek_bar_height, [filled](BitmapCanvas& c) {
            c.fill(dialog_colour);
            c.fill_round_rect({ 0, 5, seek_bar_width, 15 }, 5, Palette::frame);
            c.fill_round_rect({ 1, 6, seek_bar_width - 1, 14 }, 4, filled ? Palette::highlight : Palette::panel);
        });
    }
    for (bool pressed : { false, true }) {
        resources.add_bitmap(pressed ? IDB_SEEK_THUMB_PRESSED : IDB_SEEK_THUMB, 16, seek_bar_height, [pressed](BitmapCanvas& c) {
            c.fill(key);
            c.fill_ellipse({ 0, 2, 16, 18 }, Palette::white);
            c.fill_ellipse({ 3, 5, 13, 15 }, pressed ? Palette::highlight : Palette::panel_light);
        });
    }
}

void add_labels(kivo::ResourceTable& resources)
{
    for (int digit = 0; digit <= 9; ++digit) {
        resources.add_bitmap(IDB_DIGIT_FIRST + static_cast<UINT>(digit), digit_width, digit_height, [digit](BitmapCanvas& c) {
            c.fill(on_panel);
            char16_t text[2] = { static_cast<char16_t>(u'0' + digit), 0 };
            c.label({ 0, 0, digit_width, digit_height }, text, Palette::white, 25, true);
        });
    }
    resources.add_bitmap(IDB_COLON, digit_width, digit_height, [](BitmapCanvas& c) {
        c.fill(on_panel);
        c.fill_rect({ 7, 7, 11, 11 }, Palette::white);
        c.fill_rect({ 7, 16, 11, 20 }, Palette::white);
    });
    for (int mode = 0; mode < play_mode_count; ++mode) {
        resources.add_bitmap(IDB_MODE_LABEL_FIRST + static_cast<UINT>(mode), 60, 28, [mode](BitmapCanvas& c) {
            c.fill(on_panel);
            draw_mode_symbol(c, mode, { 0, 0, 60, 28 }, Palette::highlight);
        });
    }
    for (bool muted : { false, true }) {
        resources.add_bitmap(muted ? IDB_SPEAKER_MUTED : IDB_SPEAKER, 25, 25, [muted](BitmapCanvas& c) {
            c.fill(on_panel);
            draw_speaker(c, 1, 2, 21, Palette::white);
            if (muted) {
                c.line(0, 0, 24, 24, Palette::warning);
                c.line(1, 0, 24, 23, Palette::warning);
                c.line(24, 0, 0, 24, Palette::warning);
                c.line(23, 0, 0, 23, Palette::warning);
            }
        });
    }
    const std::array<const char16_t*, eq_preset_count> presets = { u"NORMAL", u"ROCK", u"CLASSIC", u"JAZZ", u"POP" };
    for (int preset = 0; preset < eq_preset_count; ++preset) {
        const char16_t* name = presets[static_cast<size_t>(preset)];
        resources.add_bitmap(IDB_EQ_LABEL_FIRST + static_cast<UINT>(preset), 76, 25, [name](BitmapCanvas& c) {
            c.fill(on_panel);
            c.frame_rect({ 0, 0, 76, 25 }, Palette::highlight);
            c.label({ 0, 0, 76, 25 }, name, Palette::highlight, 15, true);
        });
    }
    resources.add_bitmap(IDB_SURROUND, 46, 25, [](BitmapCanvas& c) {
        c.fill(panel_colour);
        c.frame_rect({ 0, 0, 46, 25 }, Palette::ok);
        c.label({ 0, 0, 46, 25 }, u"SRS", Palette::ok, 15, true);
    });
    // The artist's icon is a person, the title's a note.
    resources.add_bitmap(IDB_ARTIST_ICON, 20, 22, [](BitmapCanvas& c) {
        c.fill(on_panel);
        c.fill_ellipse({ 6, 1, 14, 9 }, Palette::white);
        c.fill_round_rect({ 3, 10, 17, 21 }, 4, Palette::white);
    });
    resources.add_bitmap(IDB_TITLE_ICON, 20, 22, [](BitmapCanvas& c) {
        c.fill(on_panel);
        c.fill_ellipse({ 2, 13, 10, 20 }, Palette::white);
        c.fill_rect({ 8, 2, 10, 17 }, Palette::white);
        c.fill_rect({ 8, 2, 17, 5 }, Palette::white);
    });
}

} // namespace

void add_melodo_resources()
{
    HINSTANCE module = AfxGetResourceHandle();
    auto& resources = kivo::module_resources(module);
    resources.add_bitmap(IDB_BACKGROUND, 480, 272, [](BitmapCanvas& c) { draw_background(c, false); });
    resources.add_bitmap(IDB_BACKGROUND_NAVI, 480, 272, [](BitmapCanvas& c) { draw_background(c, true); });
    add_buttons(resources);
    add_seek_bar(resources);
    add_labels(resources);
    add_battery_pictures(resources, IDB_BATTERY_FIRST);
    add_playlist_resources(module);
    add_skin_list_pictures();
    add_message_resources();
    add_sound_pictures(module);
    resources.add_icon(IDI_MELODO, 32, 32, [](BitmapCanvas& c) {
        c.fill_round_rect({ 0, 0, 32, 32 }, 6, Palette::panel_light);
        c.fill_ellipse({ 6, 20, 16, 28 }, Palette::white);
        c.fill_rect({ 14, 4, 17, 24 }, Palette::white);
        c.fill_rect({ 14, 4, 26, 8 }, Palette::white);
    });
    // The seek bar is the dialog's only control; the buttons are painted.
    kivo::dialog_templates().add(module,
        { IDD_MELODO, WS_POPUP, 0, { 0, 0, 480, 272 }, u"audio",
            { { static_cast<int>(IDC_SEEK_BAR), PROGRESS_CLASS, u"", WS_CHILD | WS_VISIBLE, { 20, 15, 20 + seek_bar_width, 15 + seek_bar_height }, 0 } },
            true });
}
