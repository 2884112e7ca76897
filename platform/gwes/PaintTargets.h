#pragma once

#include "GwesApi.h"
#include "kernel/Region.h"

#include <functional>
#include <optional>

namespace kivo {

class Device;
struct DrawingCalls;

// The window system as the drawing layer sees it, and nothing more: where a window's context
// draws, and the drawing layer's own join. The drawing layer is built on the window system, so
// it includes this rather than the window manager's insides.
class PaintTargets {
public:
    // What a window's context paints, read in one step under the window system's lock, so that a
    // window moved or covered by another thread meanwhile is seen wholly before or wholly after.
    struct Target {
        // The client area's top-left corner on the screen (windows have no frame).
        POINT origin {};
        // The part of the window that shows, in screen coordinates: clipped to its ancestors and
        // the screen, minus the windows above it (and its children with WS_CLIPCHILDREN).
        Region visible;
        // BeginPaint's only: the update region in client coordinates, its bounds, and whether
        // the background is to be erased.
        Region update;
        RECT update_bounds {};
        bool erase = false;
    };

    // The window system draws nothing itself: the drawing layer hands it the means to send
    // WM_ERASEBKGND with a context of the window, to fill a background with a brush, and the
    // calls the controls and message boxes paint with.
    struct Painter {
        std::function<void(HWND)> send_erase;
        std::function<void(HDC, HWND, HBRUSH)> fill_background;
        const DrawingCalls* calls = nullptr;
    };

    static PaintTargets& of(Device&);

    // GetDC's target: none for a refused window.
    virtual std::optional<Target> paint_target(HWND) = 0;
    // BeginPaint's: the same with the window's update region, which it takes (the window is
    // valid afterwards).
    virtual std::optional<Target> begin_paint(HWND) = 0;
    virtual void set_painter(Painter) = 0;
    // A window's region in window coordinates (none: its whole rectangle); false for a refused
    // window. Invalidates what the change shows of it (with `redraw`) and of the windows below.
    virtual bool set_window_region(HWND, std::optional<Region>, bool redraw) = 0;
    virtual std::optional<Region> window_region(HWND) = 0;

protected:
    ~PaintTargets() = default;
};

} // namespace kivo
