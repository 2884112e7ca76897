#pragma once

#include "GwesApi.h"

#include <string>
#include <vector>

namespace kivo {

// The list view in report view: columns, rows of items with sub-item texts, a selection, and
// scrolling by whole rows vertically and by pixels horizontally, kept in the window's scroll
// information (vertical in rows, horizontal in pixels).
class ListViewControl {
public:
    static LRESULT proc(HWND, UINT, WPARAM, LPARAM);

    static constexpr int row_height = 20;
    static constexpr int header_height = 20;
    static constexpr int line_step = 8;

private:
    struct Column {
        int width = 0;
        std::u16string text;
    };
    struct Item {
        std::vector<std::u16string> texts;
        LPARAM param = 0;
        UINT state = 0;
    };
    struct State {
        std::vector<Column> columns;
        std::vector<Item> items;
        int top = 0;
        int x_offset = 0;
        int selection_mark = -1;
    };
    static void paint(HWND, const State&);
    static void update_scroll(HWND, State&);
};

} // namespace kivo
