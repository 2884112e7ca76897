#pragma once

#include "GwesApi.h"

namespace kivo {

// The progress bar: a range, a position kept inside it, and a step.
class ProgressControl {
public:
    static LRESULT proc(HWND, UINT, WPARAM, LPARAM);

private:
    struct State {
        int low = 0;
        int high = 100;
        int position = 0;
        int step = 10;
    };
    // How much of `width` pixels the bar fills at the state's position.
    static int filled_width(const State&, int width);
    static void paint(HWND, const State&);
};

} // namespace kivo
