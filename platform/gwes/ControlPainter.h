#pragma once

#include "DrawingCalls.h"

#include <optional>
#include <string_view>

namespace kivo {

// Paints a window of the window system in its WM_PAINT: BeginPaint when made, EndPaint when it
// goes. Without the drawing layer (a device that never draws) it paints nothing.
class ControlPainter {
public:
    explicit ControlPainter(HWND);
    ~ControlPainter();
    ControlPainter(const ControlPainter&) = delete;
    ControlPainter& operator=(const ControlPainter&) = delete;

    explicit operator bool() const { return m_dc != nullptr; }
    HDC dc() const { return m_dc; }
    const RECT& client() const { return m_client; }

    void fill(const RECT&, COLORREF);
    void fill(const RECT&, HBRUSH);
    void frame(const RECT&, COLORREF, int thickness = 1);
    // Text on a transparent background, in a colour or in the context's text colour.
    void text(RECT, std::u16string_view, UINT format, COLORREF);
    void text(RECT, std::u16string_view, UINT format);
    // A bitmap at its own size with its top-left corner at (x, y); false when it is none.
    bool bitmap(HANDLE, int x, int y);
    // Selects a font (none: nothing) and answers the one it replaced, to be selected back.
    HGDIOBJ select_font(HGDIOBJ);
    // A picture of an image list with its top-left corner at (x, y).
    void image(HIMAGELIST, int index, int x, int y);

    // The size of a bitmap, for a window that fits itself to one.
    static std::optional<SIZE> bitmap_size(HANDLE);
    // The height of one line of text in a font (the system font's without one), measured with the
    // window's context; none without the drawing layer.
    static std::optional<int> text_height(HWND, HGDIOBJ font);
    // The size of an image list's pictures.
    static std::optional<SIZE> image_size(HIMAGELIST);

private:
    HWND m_hwnd;
    const DrawingCalls* m_calls = nullptr;
    PAINTSTRUCT m_paint {};
    HDC m_dc = nullptr;
    RECT m_client {};
};

} // namespace kivo
