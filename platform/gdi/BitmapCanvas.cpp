#include "BitmapCanvas.h"

#include "Colour.h"
#include "TextPainter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kivo {

BitmapCanvas::BitmapCanvas(Bitmap& bitmap, FontEngine& fonts)
    : m_surface(bitmap.surface())
    , m_all(bitmap.surface().bounds())
    , m_fonts(fonts)
{
}

void BitmapCanvas::plot(int x, int y, COLORREF colour)
{
    if (x >= 0 && y >= 0 && x < width() && y < height())
        m_surface.set(x, y, rgb565_of_colorref(colour));
}

void BitmapCanvas::fill(COLORREF colour)
{
    fill_rect(bounds(), colour);
}

void BitmapCanvas::fill_rect(const RECT& rect, COLORREF colour)
{
    m_surface.fill(rect, rgb565_of_colorref(colour), m_all);
}

void BitmapCanvas::frame_rect(const RECT& rect, COLORREF colour, int thickness)
{
    fill_rect({ rect.left, rect.top, rect.right, rect.top + thickness }, colour);
    fill_rect({ rect.left, rect.bottom - thickness, rect.right, rect.bottom }, colour);
    fill_rect({ rect.left, rect.top, rect.left + thickness, rect.bottom }, colour);
    fill_rect({ rect.right - thickness, rect.top, rect.right, rect.bottom }, colour);
}

void BitmapCanvas::fill_round_rect(const RECT& rect, int radius, COLORREF colour)
{
    radius = std::min<int>(radius, std::min(rect.right - rect.left, rect.bottom - rect.top) / 2);
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        // How far the row is inside a corner's circle decides how much of its ends is cut off.
        int from_edge = static_cast<int>(std::min(y - rect.top, rect.bottom - 1 - y));
        int inset = 0;
        if (from_edge < radius) {
            double dy = radius - from_edge - 0.5;
            inset = static_cast<int>(std::lround(radius - std::sqrt(double(radius) * radius - dy * dy)));
        }
        fill_rect({ rect.left + inset, y, rect.right - inset, y + 1 }, colour);
    }
}

void BitmapCanvas::fill_ellipse(const RECT& rect, COLORREF colour)
{
    double cx = (rect.left + rect.right) / 2.0;
    double cy = (rect.top + rect.bottom) / 2.0;
    double rx = (rect.right - rect.left) / 2.0;
    double ry = (rect.bottom - rect.top) / 2.0;
    if (rx <= 0 || ry <= 0)
        return;
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        double dy = (y + 0.5 - cy) / ry;
        if (dy * dy > 1)
            continue;
        double half = rx * std::sqrt(1 - dy * dy);
        fill_rect({ static_cast<LONG>(std::lround(cx - half)), y, static_cast<LONG>(std::lround(cx + half)), y + 1 }, colour);
    }
}

void BitmapCanvas::vertical_gradient(const RECT& rect, COLORREF top, COLORREF bottom)
{
    LONG rows = std::max<LONG>(1, rect.bottom - rect.top - 1);
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        auto mix = [&](BYTE a, BYTE b) { return static_cast<BYTE>(a + (int(b) - int(a)) * (y - rect.top) / rows); };
        COLORREF colour = RGB(mix(GetRValue(top), GetRValue(bottom)), mix(GetGValue(top), GetGValue(bottom)),
            mix(GetBValue(top), GetBValue(bottom)));
        fill_rect({ rect.left, y, rect.right, y + 1 }, colour);
    }
}

void BitmapCanvas::line(int x0, int y0, int x1, int y1, COLORREF colour)
{
    int dx = std::abs(x1 - x0);
    int dy = -std::abs(y1 - y0);
    int step_x = x0 < x1 ? 1 : -1;
    int step_y = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    while (true) {
        plot(x0, y0, colour);
        if (x0 == x1 && y0 == y1)
            return;
        int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += step_x;
        }
        if (twice <= dx) {
            error += dx;
            y0 += step_y;
        }
    }
}

void BitmapCanvas::arrow(const RECT& rect, Direction direction, COLORREF colour)
{
    bool horizontal = direction == Direction::Left || direction == Direction::Right;
    LONG length = horizontal ? rect.right - rect.left : rect.bottom - rect.top;
    LONG breadth = horizontal ? rect.bottom - rect.top : rect.right - rect.left;
    for (LONG step = 0; step < length; ++step) {
        // The triangle widens from its tip to its base.
        LONG span = breadth * (step + 1) / length;
        LONG start = (breadth - span) / 2;
        switch (direction) {
        case Direction::Right:
            fill_rect({ rect.right - 1 - step, rect.top + start, rect.right - step, rect.top + start + span }, colour);
            break;
        case Direction::Left:
            fill_rect({ rect.left + step, rect.top + start, rect.left + step + 1, rect.top + start + span }, colour);
            break;
        case Direction::Down:
            fill_rect({ rect.left + start, rect.bottom - 1 - step, rect.left + start + span, rect.bottom - step }, colour);
            break;
        case Direction::Up:
            fill_rect({ rect.left + start, rect.top + step, rect.left + start + span, rect.top + step + 1 }, colour);
            break;
        }
    }
}

void BitmapCanvas::label(const RECT& rect, std::u16string_view text, COLORREF colour, int height, bool bold)
{
    LOGFONT logical {};
    logical.lfHeight = height;
    logical.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    TextPainter painter(m_fonts, m_fonts.style_for(logical));
    int x = rect.left + (rect.right - rect.left - painter.width(text)) / 2;
    int y = rect.top + (rect.bottom - rect.top - painter.style().height()) / 2;
    Region clip(rect);
    clip.intersect(bounds());
    painter.draw(m_surface, clip, x, y, text, rgb565_of_colorref(colour));
}

} // namespace kivo
