#pragma once

#include "Bitmap.h"
#include "FontEngine.h"
#include "GdiApi.h"

#include <string_view>

namespace kivo {

// What a program's picture is drawn with: each bitmap of a resource table is a small function
// over this canvas (filled shapes, outlines, arrows, labels), rendered at the exact size the
// program's screens use. Pixels left in the transparent key are not painted by the transparent
// copies.
class BitmapCanvas {
public:
    static constexpr COLORREF transparent_key = RGB(255, 102, 255);

    // The device family's colours.
    struct Palette {
        static constexpr COLORREF black = RGB(0, 0, 0);
        static constexpr COLORREF white = RGB(255, 255, 255);
        static constexpr COLORREF panel = RGB(16, 40, 72);
        static constexpr COLORREF panel_light = RGB(48, 96, 152);
        static constexpr COLORREF frame = RGB(160, 184, 208);
        static constexpr COLORREF highlight = RGB(255, 176, 32);
        static constexpr COLORREF warning = RGB(208, 32, 32);
        static constexpr COLORREF ok = RGB(48, 176, 72);
        static constexpr COLORREF grey = RGB(128, 128, 128);
    };

    enum class Direction {
        Left,
        Right,
        Up,
        Down,
    };

    BitmapCanvas(Bitmap&, FontEngine&);

    int width() const { return m_surface.width(); }
    int height() const { return m_surface.height(); }
    RECT bounds() const { return m_surface.bounds(); }

    void fill(COLORREF);
    void fill_rect(const RECT&, COLORREF);
    void frame_rect(const RECT&, COLORREF, int thickness = 1);
    void fill_round_rect(const RECT&, int radius, COLORREF);
    void fill_ellipse(const RECT&, COLORREF);
    void vertical_gradient(const RECT&, COLORREF top, COLORREF bottom);
    void line(int x0, int y0, int x1, int y1, COLORREF);
    // A filled triangle pointing in a direction, filling the rectangle.
    void arrow(const RECT&, Direction, COLORREF);
    // Text centred in the rectangle, in the Arial stand-in of a cell height.
    void label(const RECT&, std::u16string_view, COLORREF, int height, bool bold = false);

private:
    void plot(int x, int y, COLORREF);

    Surface m_surface;
    Region m_all;
    FontEngine& m_fonts;
};

} // namespace kivo
