#include "SkinListPictures.h"

#include "CSkinListCtrl.h"
#include "MelodoResources.h"
#include "program_services.h"

namespace {

using kivo::BitmapCanvas;
using Direction = BitmapCanvas::Direction;

constexpr int header_strip_width = 100;
constexpr int header_strip_height = 24;

constexpr COLORREF bar_colour = RGB(28, 58, 70);
constexpr COLORREF arrow_face = RGB(72, 130, 150);
constexpr COLORREF thumb_colour = RGB(170, 205, 214);

// Which picture of a bar's seven a number stands for, in the order the bars take them.
enum BarPicture { first_arrow,
    first_arrow_pressed,
    second_arrow,
    second_arrow_pressed,
    track,
    thumb,
    thumb_pressed };

void draw_arrow_button(BitmapCanvas& c, Direction direction)
{
    int size = c.width();
    c.fill(bar_colour);
    c.fill_round_rect({ 0, 0, size, size }, 3, arrow_face);
    c.arrow({ 3, 3, size - 3, size - 3 }, direction, BitmapCanvas::Palette::white);
}

// One bar's seven pictures; the arrows and the thumb look the same pressed.
void add_bar(kivo::ResourceTable& resources, UINT first_id, bool vertical, int width, int height)
{
    Direction first = vertical ? Direction::Up : Direction::Right;
    Direction second = vertical ? Direction::Down : Direction::Left;
    for (int picture = first_arrow; picture <= thumb_pressed; ++picture) {
        resources.add_bitmap(first_id + static_cast<UINT>(picture), width, height, [=](BitmapCanvas& c) {
            switch (picture) {
            case first_arrow:
            case first_arrow_pressed:
                draw_arrow_button(c, first);
                break;
            case second_arrow:
            case second_arrow_pressed:
                draw_arrow_button(c, second);
                break;
            case track:
                // A groove along the bar, so the picture keeps its look when stretched along it.
                c.fill(bar_colour);
                if (vertical)
                    c.fill_rect({ width / 2 - 1, 0, width / 2 + 1, height }, RGB(16, 34, 42));
                else
                    c.fill_rect({ 0, height / 2 - 1, width, height / 2 + 1 }, RGB(16, 34, 42));
                break;
            default:
                c.fill(bar_colour);
                c.fill_round_rect({ 1, 1, width - 1, height - 1 }, 4, thumb_colour);
                break;
            }
        });
    }
}

} // namespace

void add_skin_list_pictures()
{
    auto& resources = kivo::module_resources(AfxGetResourceHandle());
    // The header's strip: a lit band with a divider at its right end, stretched under each title.
    resources.add_bitmap(IDB_LIST_HEADER, header_strip_width, header_strip_height, [](BitmapCanvas& c) {
        c.vertical_gradient(c.bounds(), RGB(86, 150, 170), RGB(30, 70, 86));
        c.fill_rect({ 0, 0, header_strip_width, 1 }, RGB(140, 196, 212));
        c.fill_rect({ 0, header_strip_height - 1, header_strip_width, header_strip_height }, RGB(12, 30, 38));
        c.fill_rect({ header_strip_width - 1, 2, header_strip_width, header_strip_height - 2 }, RGB(12, 30, 38));
    });
    // The bars are as wide (high) as the platform's scroll bars, their arrows square.
    add_bar(resources, IDB_VSCROLL_FIRST, true, GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYVSCROLL));
    add_bar(resources, IDB_HSCROLL_FIRST, false, GetSystemMetrics(SM_CXHSCROLL), GetSystemMetrics(SM_CYHSCROLL));
}

SkinListStyle melodo_list_style(int header_font_height)
{
    SkinListStyle style {};
    style.header_bitmap = IDB_LIST_HEADER;
    style.header_font_height = header_font_height;
    style.header_text_colour = RGB(255, 255, 255);
    wcsncpy(style.header_face, u"Sevenet 7", 31);
    for (UINT picture = 0; picture < 7; ++picture) {
        style.vscroll_bitmaps[picture] = IDB_VSCROLL_FIRST + picture;
        style.hscroll_bitmaps[picture] = IDB_HSCROLL_FIRST + picture;
    }
    style.row_height = 24;
    wcsncpy(style.row_face, u"Sevenet 7", 31);
    style.text_colour = RGB(255, 255, 255);
    style.selected_text_colour = RGB(1, 0, 1);
    style.background_colour = RGB(48, 97, 110);
    style.selected_background_colour = RGB(255, 157, 11);
    return style;
}
