#pragma once

#include "GwesApi.h"

namespace kivo {

// The push button, check box and radio button: pressed while the finger is on it (it holds the
// capture), BN_CLICKED to the parent on a release inside.
class ButtonControl {
public:
    static LRESULT proc(HWND, UINT, WPARAM, LPARAM);

private:
    struct State {
        bool pushed = false;
        bool tracking = false;
        WPARAM check = BST_UNCHECKED;
        HANDLE image = nullptr;
    };
    static void click(HWND, State&);
    static void paint(HWND, const State&);
};

} // namespace kivo
