#pragma once

#include "GwesApi.h"

namespace kivo {

// Static text or picture. Without SS_NOTIFY it lets touches through to what lies under it; with
// it, a tap tells the parent STN_CLICKED.
class StaticControl {
public:
    static LRESULT proc(HWND, UINT, WPARAM, LPARAM);

private:
    struct State {
        HANDLE bitmap = nullptr;
        HANDLE icon = nullptr;
    };
    static void paint(HWND, const State&);
};

} // namespace kivo
