#pragma once

#include "Bitmap.h"
#include "Brush.h"
#include "Font.h"
#include "GdiApi.h"
#include "KernelObject.h"
#include "Pen.h"
#include "Region.h"
#include "Surface.h"

#include <memory>
#include <optional>
#include <vector>

namespace kivo {

// A device context (HDC): a surface to draw on (the screen, or the bitmap selected into a memory
// context), an origin (where its logical 0, 0 lies on the surface), the region it may paint (a
// window's visible part: clipped to its parents, minus the windows above it), the program's own
// clip region, and the selected objects and colours. Everything drawn through it is clipped to
// both regions; direct writes to the frame buffer are not, as on the device.
class DeviceContext final : public KernelObject {
public:
    template<typename T>
    struct Selected {
        std::shared_ptr<T> object;
        HGDIOBJ handle = nullptr;
    };

    // What SaveDC keeps and RestoreDC brings back.
    struct State {
        Selected<Bitmap> bitmap;
        Selected<Font> font;
        Selected<Brush> brush;
        Selected<Pen> pen;
        COLORREF text_colour = RGB(0, 0, 0);
        COLORREF background_colour = RGB(255, 255, 255);
        int background_mode = OPAQUE;
        POINT position { 0, 0 };
        // In surface coordinates; none means the whole visible region.
        std::optional<Region> clip;
    };

    // A context painting on the screen: `visible` is in screen coordinates.
    DeviceContext(Surface screen, POINT origin, Region visible, State initial);
    // A memory context, painting on whatever bitmap is selected into it.
    explicit DeviceContext(State initial);

    const char* kind() const override { return "dc"; }

    bool on_screen() const { return m_on_screen; }
    Surface surface() const;
    POINT origin() const { return m_origin; }
    State& state() { return m_state; }
    const State& state() const { return m_state; }

    // Where the context may paint now, in surface coordinates.
    Region clip() const;
    // The region before the program's own clipping: the visible region, or the whole bitmap.
    Region visible() const;
    void set_visible(Region visible) { m_visible = std::move(visible); }

    RECT to_surface(const RECT&) const;
    POINT to_surface(POINT) const;

    // The nesting level of the saved state, from 1.
    int save();
    // A positive level restores that state; a negative one counts back from the newest.
    bool restore(int level);

private:
    bool m_on_screen;
    Surface m_screen;
    POINT m_origin { 0, 0 };
    Region m_visible;
    State m_state;
    std::vector<State> m_saved;
};

} // namespace kivo
