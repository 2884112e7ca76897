#include "SoundPictures.h"

#include "CSoundDlg.h"
#include "MelodoResources.h"
#include "program_services.h"

#include <array>
#include <cstdlib>

namespace {

using kivo::BitmapCanvas;
using Palette = BitmapCanvas::Palette;

constexpr COLORREF orange = RGB(255, 157, 11);
constexpr COLORREF teal = RGB(22, 138, 146);
// The strip along the bottom that the surround buttons and "X" stand on; their corners take its
// colour, as the corners of "OK" take the dialog's.
constexpr COLORREF strip_colour = RGB(20, 44, 58);
constexpr RECT tile_panel { 8, 60, 472, 180 };
constexpr RECT bottom_strip { 4, 196, 476, 268 };
constexpr COLORREF empty_tile_colour = RGB(34, 70, 84);
constexpr COLORREF tile_colour = RGB(28, 58, 74);
constexpr COLORREF gold = RGB(232, 184, 48);
constexpr COLORREF silver = RGB(206, 210, 220);

COLORREF darker(COLORREF colour)
{
    return RGB(GetRValue(colour) * 3 / 4, GetGValue(colour) * 3 / 4, GetBValue(colour) * 3 / 4);
}

// A stroke `width` pixels wide, made of parallel lines across its direction.
void stroke(BitmapCanvas& c, int x0, int y0, int x1, int y1, int width, COLORREF colour)
{
    bool steep = std::abs(y1 - y0) >= std::abs(x1 - x0);
    for (int d = -width / 2; d < width - width / 2; ++d) {
        if (steep)
            c.line(x0 + d, y0, x1 + d, y1, colour);
        else
            c.line(x0, y0 + d, x1, y1 + d, colour);
    }
}

void draw_background(BitmapCanvas& c)
{
    c.fill(dialog_colour);
    c.frame_rect({ 2, 2, 478, 270 }, Palette::frame, 2);
    c.fill_round_rect(tile_panel, 10, panel_colour);
    for (int left : CSoundDlg::tile_left) {
        RECT place { left, CSoundDlg::tile_top, left + CSoundDlg::tile_width, CSoundDlg::tile_top + CSoundDlg::tile_height };
        c.fill_round_rect(place, 8, empty_tile_colour);
    }
    c.fill_rect(bottom_strip, strip_colour);
    // Between the places of "ON" (138 to 194) and "OFF" (285 to 341).
    c.label({ 194, 205, 285, 261 }, u"SURROUND", Palette::white, 15, true);
}

// The five presets' pictures, drawn into the upper part of a tile on the tile's colour.
void draw_disc_with_notes(BitmapCanvas& c)
{
    c.fill_ellipse({ 8, 18, 56, 66 }, silver);
    c.fill_ellipse({ 14, 24, 50, 60 }, RGB(168, 174, 190));
    c.fill_ellipse({ 24, 34, 40, 50 }, orange);
    c.fill_ellipse({ 30, 40, 34, 44 }, tile_colour);
    // Two beamed quavers.
    c.fill_ellipse({ 52, 52, 62, 60 }, Palette::white);
    c.fill_ellipse({ 66, 46, 76, 54 }, Palette::white);
    c.fill_rect({ 60, 22, 63, 57 }, Palette::white);
    c.fill_rect({ 74, 16, 77, 51 }, Palette::white);
    stroke(c, 60, 22, 77, 16, 5, Palette::white);
}

void draw_drum_kit(BitmapCanvas& c)
{
    // Hi-hat and cymbal on their stands.
    c.line(12, 22, 12, 80, silver);
    c.fill_ellipse({ 2, 18, 24, 24 }, gold);
    c.line(74, 16, 74, 80, silver);
    c.fill_ellipse({ 60, 12, 86, 18 }, gold);
    // Two toms.
    for (int left : { 20, 46 }) {
        c.fill_rect({ left, 32, left + 20, 46 }, RGB(196, 40, 40));
        c.fill_ellipse({ left, 28, left + 20, 36 }, silver);
    }
    // The bass drum, its front head facing out.
    c.fill_ellipse({ 22, 42, 64, 84 }, RGB(196, 40, 40));
    c.fill_ellipse({ 26, 46, 60, 80 }, RGB(236, 236, 236));
    c.fill_ellipse({ 36, 56, 50, 70 }, RGB(196, 40, 40));
    // Sticks.
    stroke(c, 30, 8, 44, 26, 2, RGB(230, 200, 150));
    stroke(c, 56, 8, 42, 26, 2, RGB(230, 200, 150));
}

void draw_violin(BitmapCanvas& c)
{
    constexpr COLORREF wood = RGB(176, 92, 36);
    c.fill_ellipse({ 28, 30, 58, 56 }, wood);
    c.fill_ellipse({ 24, 48, 62, 84 }, wood);
    c.fill_rect({ 32, 46, 54, 60 }, wood);
    // The waist's two cuts.
    c.fill_ellipse({ 22, 48, 32, 60 }, tile_colour);
    c.fill_ellipse({ 54, 48, 64, 60 }, tile_colour);
    // Neck, scroll and pegs.
    c.fill_rect({ 40, 8, 46, 40 }, RGB(40, 24, 16));
    c.fill_ellipse({ 38, 2, 48, 12 }, wood);
    c.line(34, 8, 52, 8, RGB(40, 24, 16));
    // F-holes, bridge, tailpiece and strings.
    c.line(33, 56, 35, 66, RGB(40, 24, 16));
    c.line(53, 56, 51, 66, RGB(40, 24, 16));
    c.fill_rect({ 36, 66, 50, 68 }, RGB(236, 220, 180));
    c.fill_rect({ 40, 72, 46, 82 }, RGB(40, 24, 16));
    for (int x : { 41, 43, 45 })
        c.line(x, 10, x, 74, RGB(236, 236, 236));
    // The bow across.
    stroke(c, 8, 80, 78, 14, 2, RGB(236, 220, 180));
    stroke(c, 12, 84, 80, 20, 1, RGB(120, 70, 40));
}

void draw_saxophone(BitmapCanvas& c)
{
    // Mouthpiece and neck, the body down to the bow, the bell rising.
    stroke(c, 26, 8, 36, 16, 3, RGB(40, 40, 40));
    stroke(c, 36, 16, 38, 64, 9, gold);
    c.fill_ellipse({ 32, 56, 62, 80 }, gold);
    c.fill_ellipse({ 42, 60, 52, 70 }, darker(gold));
    stroke(c, 56, 66, 60, 34, 10, gold);
    c.fill_ellipse({ 48, 22, 74, 38 }, gold);
    c.fill_ellipse({ 52, 25, 70, 35 }, RGB(124, 84, 16));
    for (int y : { 26, 36, 46, 56 })
        c.fill_ellipse({ 34, y, 41, y + 7 }, Palette::white);
}

void draw_headphones(BitmapCanvas& c)
{
    // The band: an arch of a ring.
    c.fill_ellipse({ 14, 8, 72, 66 }, silver);
    c.fill_ellipse({ 20, 14, 66, 60 }, tile_colour);
    c.fill_rect({ 10, 38, 78, 86 }, tile_colour);
    for (int left : { 8, 62 }) {
        c.fill_round_rect({ left, 34, left + 16, 70 }, 6, RGB(60, 60, 72));
        c.fill_round_rect({ left + 3, 38, left + 13, 66 }, 4, orange);
    }
}

void add_tiles(kivo::ResourceTable& resources)
{
    struct Preset {
        const char16_t* name;
        void (*picture)(BitmapCanvas&);
    };
    const std::array<Preset, eq_preset_count> presets = { {
        { u"NORMAL", draw_disc_with_notes },
        { u"ROCK", draw_drum_kit },
        { u"CLASSIC", draw_violin },
        { u"JAZZ", draw_saxophone },
        { u"POP", draw_headphones },
    } };
    for (int preset = 0; preset < eq_preset_count; ++preset) {
        const Preset& tile = presets[static_cast<size_t>(preset)];
        for (bool selected : { false, true }) {
            UINT id = IDB_TILE_FIRST + 2 * static_cast<UINT>(preset) + (selected ? 1 : 0);
            resources.add_bitmap(id, CSoundDlg::tile_width, CSoundDlg::tile_height, [=](BitmapCanvas& c) {
                c.fill(panel_colour);
                c.fill_round_rect({ 0, 0, CSoundDlg::tile_width, CSoundDlg::tile_height }, 8, selected ? orange : Palette::frame);
                c.fill_round_rect({ 3, 3, CSoundDlg::tile_width - 3, CSoundDlg::tile_height - 3 }, 6, tile_colour);
                tile.picture(c);
                c.label({ 0, 88, CSoundDlg::tile_width, 106 }, tile.name, selected ? orange : Palette::white, 13, true);
            });
        }
    }
}

// A button's two forms, normal then pressed (darker), on the colour it stands on.
template<typename Face>
void add_button_pair(kivo::ResourceTable& resources, UINT id, int width, int height, COLORREF behind, Face face)
{
    for (bool pressed : { false, true })
        resources.add_bitmap(id + (pressed ? 1 : 0), width, height, [=](BitmapCanvas& c) {
            c.fill(behind);
            face(c, pressed);
        });
}

void add_buttons(kivo::ResourceTable& resources)
{
    struct Surround {
        UINT id;
        const char16_t* text;
        COLORREF colour;
    };
    for (const Surround& button : { Surround { IDB_ON_ORANGE, u"ON", orange }, Surround { IDB_ON_TEAL, u"ON", teal },
             Surround { IDB_OFF_ORANGE, u"OFF", orange }, Surround { IDB_OFF_TEAL, u"OFF", teal } }) {
        add_button_pair(resources, button.id, 56, 56, strip_colour, [button](BitmapCanvas& c, bool pressed) {
            COLORREF face = pressed ? darker(button.colour) : button.colour;
            c.fill_ellipse({ 1, 1, 55, 55 }, Palette::frame);
            c.fill_ellipse({ 3, 3, 53, 53 }, face);
            c.label({ 0, 0, 56, 56 }, button.text, Palette::white, 18, true);
        });
    }
    add_button_pair(resources, IDB_SOUND_OK, 63, 39, dialog_colour, [](BitmapCanvas& c, bool pressed) {
        c.fill_round_rect({ 0, 0, 63, 39 }, 8, pressed ? orange : Palette::frame);
        c.fill_round_rect({ 2, 2, 61, 37 }, 7, pressed ? RGB(120, 80, 16) : Palette::panel_light);
        stroke(c, 20, 19, 28, 28, 4, Palette::white);
        stroke(c, 28, 28, 44, 10, 4, Palette::white);
    });
    add_button_pair(resources, IDB_SOUND_X, 53, 51, strip_colour, [](BitmapCanvas& c, bool pressed) {
        c.fill_round_rect({ 0, 0, 53, 51 }, 8, pressed ? orange : Palette::frame);
        c.fill_round_rect({ 2, 2, 51, 49 }, 7, pressed ? RGB(120, 80, 16) : Palette::panel_light);
        stroke(c, 15, 14, 37, 36, 3, Palette::white);
        stroke(c, 37, 14, 15, 36, 3, Palette::white);
    });
}

kivo::DialogControl button(UINT id, int x, int y, int width, int height)
{
    return { static_cast<int>(id), u"BUTTON", u"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, { x, y, x + width, y + height }, 0 };
}

} // namespace

void add_sound_pictures(HINSTANCE module)
{
    auto& resources = kivo::module_resources(module);
    resources.add_bitmap(IDB_SOUND_BACKGROUND, 480, 272, draw_background);
    add_tiles(resources);
    add_buttons(resources);
    // The tiles are painted by the dialog; its four buttons are windows.
    kivo::dialog_templates().add(module,
        { IDD_SOUND, WS_POPUP, 0, { 0, 0, 480, 272 }, u"",
            { button(IDC_SURROUND_ON, 138, 205, 56, 56), button(IDC_SURROUND_OFF, 285, 205, 56, 56),
                button(IDC_OK, 397, 20, 63, 39), button(IDC_CLOSE_X, 418, 205, 53, 51) },
            true });
}
