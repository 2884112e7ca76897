#pragma once

#include "GwesApi.h"
#include "Region.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

// A registered window class; the system's own classes belong to no process (id 0).
struct WindowClass {
    std::u16string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    DWORD process_id = 0;
    ATOM atom = 0;
};

// One window. All of it is guarded by the scheduler's lock; the window manager owns it.
struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<WindowClass> window_class;
    std::u16string title;
    DWORD style = 0;
    DWORD ex_style = 0;
    // A child has a parent; a top-level window may have an owner.
    HWND parent = nullptr;
    HWND owner = nullptr;
    // The children in z-order, the topmost first.
    std::vector<HWND> children;
    // In the parent's client coordinates; in screen coordinates for a top-level window. Windows
    // have no frame of their own, so the client area is the whole window.
    RECT rect {};
    WNDPROC proc = nullptr;
    LONG_PTR user_data = 0;
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    DWORD thread_id = 0;
    DWORD process_id = 0;

    // SetWindowRgn's region in window coordinates: the window shows and is hit only inside it.
    std::optional<Region> shape;

    // What needs painting, in client coordinates.
    Region update;
    bool erase_pending = false;
    uint64_t invalidations = 0;

    HICON icons[2] {};
    SCROLLINFO scroll[2] {};
    // The standard controls keep their state here.
    std::shared_ptr<void> control;
    // Set once destruction has begun: no new messages, timers or activation.
    bool destroying = false;

    int width() const { return rect.right - rect.left; }
    int height() const { return rect.bottom - rect.top; }
    bool is_child() const { return (style & WS_CHILD) && parent; }
    bool is_visible_flag() const { return style & WS_VISIBLE; }
    bool is_enabled_flag() const { return !(style & WS_DISABLED); }
    bool is_topmost() const { return ex_style & WS_EX_TOPMOST; }
};

} // namespace kivo
