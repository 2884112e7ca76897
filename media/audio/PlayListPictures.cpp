// The play list editor's and the file browser's pictures and dialogs.

#include "PlayListPictures.h"

#include "MelodoResources.h"
#include "program_services.h"

namespace {

using kivo::BitmapCanvas;
using Palette = BitmapCanvas::Palette;
using Direction = BitmapCanvas::Direction;

constexpr int button_width = 75;
constexpr int button_height = 40;
constexpr int button_x = 392;
constexpr int icon_width = 33;
constexpr int icon_height = 24;

// The lists' frame: the rows fill it, so only a thin rim of it shows around them.
void draw_list_frame(BitmapCanvas& canvas, RECT list)
{
    canvas.fill_rect({ list.left - 3, list.top - 3, list.right + 3, list.bottom + 3 }, Palette::frame);
    canvas.fill_rect({ list.left - 1, list.top - 1, list.right + 1, list.bottom + 1 }, panel_colour);
}

// The button column stands on a darker strip, as the main screen's transport row does.
void draw_button_strip(BitmapCanvas& canvas)
{
    canvas.vertical_gradient({ 386, 0, 480, 272 }, RGB(30, 60, 76), RGB(12, 28, 40));
}

void draw_editor_background(BitmapCanvas& canvas)
{
    canvas.fill(dialog_colour);
    draw_button_strip(canvas);
    draw_list_frame(canvas, { 4, 11, 379, 266 });
}

void draw_browser_background(BitmapCanvas& canvas)
{
    canvas.fill(dialog_colour);
    draw_button_strip(canvas);
    // The folder's name is written over the plain dialog colour above the list.
    canvas.fill_rect({ 4, 36, 379, 38 }, Palette::frame);
    draw_list_frame(canvas, { 4, 41, 379, 265 });
}

// Music notes: two heads joined by a beam.
void draw_notes(BitmapCanvas& c, int x, int y, COLORREF colour)
{
    c.fill_ellipse({ x, y + 16, x + 9, y + 23 }, colour);
    c.fill_ellipse({ x + 14, y + 13, x + 23, y + 20 }, colour);
    c.fill_rect({ x + 7, y + 2, x + 9, y + 19 }, colour);
    c.fill_rect({ x + 21, y, x + 23, y + 16 }, colour);
    c.fill_rect({ x + 7, y, x + 23, y + 4 }, colour);
}

void draw_folder(BitmapCanvas& c, RECT box, COLORREF colour)
{
    c.fill_rect({ box.left, box.top, box.left + (box.right - box.left) * 2 / 5, box.top + 4 }, colour);
    c.fill_rect({ box.left, box.top + 3, box.right, box.bottom }, colour);
}

// A small plus or minus sign on a disc, in the corner of a symbol.
void draw_sign(BitmapCanvas& c, int x, int y, bool plus, COLORREF disc)
{
    c.fill_ellipse({ x, y, x + 15, y + 15 }, disc);
    c.fill_rect({ x + 3, y + 6, x + 12, y + 9 }, Palette::white);
    if (plus)
        c.fill_rect({ x + 6, y + 3, x + 9, y + 12 }, Palette::white);
}

// A button face: a rounded tile, lit while pressed, with its symbol over it.
template <typename Symbol>
void add_button(kivo::ResourceTable& resources, UINT normal_id, Symbol symbol)
{
    for (bool pressed : { false, true }) {
        resources.add_bitmap(normal_id + (pressed ? 1 : 0), button_width, button_height, [=](BitmapCanvas& c) {
            c.fill(RGB(20, 44, 58));
            c.fill_round_rect({ 0, 0, button_width, button_height }, 8, pressed ? Palette::highlight : Palette::frame);
            c.fill_round_rect({ 2, 2, button_width - 2, button_height - 2 }, 7, pressed ? RGB(120, 80, 16) : Palette::panel_light);
            symbol(c);
        });
    }
}

void add_buttons(kivo::ResourceTable& resources)
{
    constexpr COLORREF white = Palette::white;
    add_button(resources, IDB_RELOAD_ALL, [](BitmapCanvas& c) {
        draw_notes(c, 18, 8, white);
        draw_notes(c, 36, 10, white);
    });
    add_button(resources, IDB_ADD_ONE, [](BitmapCanvas& c) {
        draw_folder(c, { 20, 10, 50, 32 }, Palette::highlight);
        draw_sign(c, 44, 20, true, Palette::ok);
    });
    add_button(resources, IDB_DELETE_ONE, [](BitmapCanvas& c) {
        draw_folder(c, { 20, 10, 50, 32 }, Palette::highlight);
        draw_sign(c, 44, 20, false, Palette::warning);
    });
    add_button(resources, IDB_DELETE_ALL, [](BitmapCanvas& c) {
        draw_notes(c, 26, 8, white);
        for (int d = -1; d <= 1; ++d) {
            c.line(20 + d, 6, 54 + d, 34, Palette::warning);
            c.line(54 + d, 6, 20 + d, 34, Palette::warning);
        }
    });
    add_button(resources, IDB_LIST_CLOSE, [](BitmapCanvas& c) {
        for (int d = -1; d <= 1; ++d) {
            c.line(27 + d, 9, 48 + d, 30, white);
            c.line(48 + d, 9, 27 + d, 30, white);
        }
    });
    // A list with a tick: take what is chosen.
    add_button(resources, IDB_SELECT, [](BitmapCanvas& c) {
        for (int row = 0; row < 3; ++row)
            c.fill_rect({ 16, 10 + row * 8, 36, 14 + row * 8 }, white);
        for (int d = 0; d < 3; ++d) {
            c.line(40, 20 + d, 47, 27 + d, Palette::ok);
            c.line(47, 27 + d, 60, 10 + d, Palette::ok);
        }
    });
}

void add_icons(kivo::ResourceTable& resources)
{
    // The icons stand on the key colour, which the image list leaves out: they show on plain and
    // selected rows alike.
    resources.add_bitmap(IDB_FOLDER_ICON, icon_width, icon_height, [](BitmapCanvas& c) {
        c.fill(BitmapCanvas::transparent_key);
        // A dark rim keeps the folder visible on the orange of a selected row.
        draw_folder(c, { 3, 2, 30, 22 }, RGB(60, 36, 8));
        draw_folder(c, { 4, 3, 29, 21 }, Palette::highlight);
        c.fill_rect({ 4, 8, 29, 9 }, RGB(200, 130, 20));
    });
    resources.add_bitmap(IDB_FILE_ICON, icon_width, icon_height, [](BitmapCanvas& c) {
        c.fill(BitmapCanvas::transparent_key);
        c.fill_rect({ 8, 1, 25, 23 }, Palette::white);
        c.fill_ellipse({ 11, 14, 17, 19 }, panel_colour);
        c.fill_rect({ 15, 5, 17, 17 }, panel_colour);
        c.fill_rect({ 15, 5, 22, 7 }, panel_colour);
    });
}

kivo::DialogControl button(UINT id, int y)
{
    return { static_cast<int>(id), WC_BUTTON, u"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW,
        { button_x, y, button_x + button_width, y + button_height }, 0 };
}

void add_dialogs(HINSTANCE module)
{
    auto& templates = kivo::dialog_templates();
    constexpr DWORD list_style = WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL;
    templates.add(module,
        { IDD_PLAYLIST, WS_POPUP, 0, { 0, 0, 480, 272 }, u"",
            { { static_cast<int>(IDC_PLAYLIST), WC_LISTVIEW, u"", list_style, { 4, 11, 379, 266 }, 0 },
                button(IDC_RELOAD_ALL, 15), button(IDC_ADD_ONE, 64), button(IDC_DELETE_ONE, 113),
                button(IDC_DELETE_ALL, 162), button(IDC_CLOSE_X, 211) },
            true });
    templates.add(module,
        { IDD_ADDFILE, WS_POPUP, 0, { 0, 0, 480, 272 }, u"",
            { { static_cast<int>(IDC_FILES), WC_LISTVIEW, u"", list_style | LVS_NOCOLUMNHEADER, { 4, 41, 379, 265 }, 0 },
                button(IDC_SELECT, 15), button(IDC_CLOSE_X, 211) },
            true });
}

} // namespace

void add_playlist_resources(HINSTANCE module)
{
    auto& resources = kivo::module_resources(module);
    resources.add_bitmap(IDB_EDITOR_BACKGROUND, 480, 272, draw_editor_background);
    resources.add_bitmap(IDB_BROWSER_BACKGROUND, 480, 272, draw_browser_background);
    add_buttons(resources);
    add_icons(resources);
    add_dialogs(module);
}
