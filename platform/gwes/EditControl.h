#pragma once

#include "GwesApi.h"

#include <string>
#include <vector>

namespace kivo {

class TextMeasure;

// The edit control: single line, or multi-line with its text wrapped at word boundaries to the
// control's width and scrolled by whole lines (the top line never passes the last full page).
class EditControl {
public:
    static LRESULT proc(HWND, UINT, WPARAM, LPARAM);

    struct Line {
        size_t start;
        size_t length;
    };
    // The text's lines as the control shows them in `width` pixels.
    static std::vector<Line> wrap(std::u16string_view text, int width, const TextMeasure&);

private:
    struct State {
        int top = 0;
        DWORD selection_start = 0;
        DWORD selection_end = 0;
        size_t limit = 0x7FFFFFFE;
    };
    static void paint(HWND, const State&);
    static void update_scroll(HWND, State&);
};

} // namespace kivo
