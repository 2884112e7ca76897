#pragma once

#include "GwesApi.h"

#include <string>
#include <vector>

namespace kivo {

// The list view in report view: columns (titled in a header control of its own, a child window
// that LVS_NOCOLUMNHEADER hides), rows of items with sub-item texts, item data and a picture of
// the small image list, a selection, colours and a font, and scrolling by whole rows vertically
// and by pixels horizontally, kept in the window's scroll information (vertical in rows,
// horizontal in pixels). Rows are as tall as the font's text (20 pixels without a font set), or
// as the small pictures when those are taller. Its parent may take over the colours of each row
// through NM_CUSTOMDRAW.
class ListViewControl {
public:
    static LRESULT proc(HWND, UINT, WPARAM, LPARAM);

    static constexpr int default_row_height = 20;
    static constexpr int line_step = 8;
    // Space between a row's picture and the cell's edge and text.
    static constexpr int image_margin = 2;

private:
    struct Column {
        int width = 0;
        std::u16string text;
    };
    struct Item {
        std::vector<std::u16string> texts;
        LPARAM param = 0;
        UINT state = 0;
        int image = -1;
    };
    struct State {
        std::vector<Column> columns;
        std::vector<Item> items;
        int top = 0;
        int x_offset = 0;
        int selection_mark = -1;
        HWND header = nullptr;
        DWORD ex_style = 0;
        HIMAGELIST small_images = nullptr;
        HIMAGELIST normal_images = nullptr;
        COLORREF text_colour = RGB(0, 0, 0);
        COLORREF text_background = RGB(255, 255, 255);
        COLORREF background = RGB(255, 255, 255);
        HFONT font = nullptr;
        int row_height = default_row_height;
        // While the rows are painted: state changes a custom-draw handler makes then (clearing a
        // row's selection so that it draws its own) ask for no new paint.
        bool painting = false;
    };
    static void paint(HWND, State&);
    static void update_scroll(HWND, State&);
    static void update_row_height(HWND, State&);
    static int header_height(HWND, const State&);
    static int rows_per_page(HWND, const State&);
    static int total_width(const State&);
    // The row and column under a point of the client area (-1 for none), as a tap sees them.
    static std::pair<int, int> hit(HWND, const State&, POINT);
    static void notify_tap(HWND, const State&, UINT code, int item, int column, POINT);
    static LRESULT sort(HWND, State&, LPARAM parameter, PFNLVCOMPARE);
};

} // namespace kivo
