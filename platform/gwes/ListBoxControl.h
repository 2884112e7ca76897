#pragma once

#include "GwesApi.h"

#include <string>
#include <vector>

namespace kivo {

// The list box: strings with item data, one selection, a top index; a tap selects the item under
// it and, with LBS_NOTIFY, tells the parent.
class ListBoxControl {
public:
    static LRESULT proc(HWND, UINT, WPARAM, LPARAM);

private:
    struct Item {
        std::u16string text;
        LPARAM data = 0;
    };
    struct State {
        std::vector<Item> items;
        int selection = -1;
        int top = 0;
        int item_height = 16;
    };
    static void paint(HWND, const State&);
};

} // namespace kivo
