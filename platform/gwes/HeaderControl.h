#pragma once

#include "GwesApi.h"

#include <string>
#include <vector>

namespace kivo {

// The header control: items side by side from the left edge, each with a title and a width, as
// tall as its font's text and 4 pixels (20 with the system font). A tap released over the item it
// began on tells the parent with HDN_ITEMCLICK. A list view keeps its columns in one.
class HeaderControl {
public:
    static LRESULT proc(HWND, UINT, WPARAM, LPARAM);

    static constexpr int default_height = 20;
    static constexpr int padding = 4;

    // The height a header with this font takes (the system font's without one).
    static int height_for(HWND, HFONT);

private:
    struct Item {
        std::u16string text;
        int width = 0;
        LPARAM param = 0;
    };
    struct State {
        std::vector<Item> items;
        HFONT font = nullptr;
        int pressed = -1;
    };
    static void paint(HWND, const State&);
    static int item_at(const State&, int x);
};

} // namespace kivo
