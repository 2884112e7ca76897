#include "SkinDrawing.h"

namespace skinkit {

namespace {

// The face selected into a context for as long as it lives.
class SelectedFont {
public:
    SelectedFont(HDC dc, int height, bool bold)
        : m_dc(dc)
        , m_font(CreateFont(height, 0, 0, 0, bold ? 700 : 400, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial"))
        , m_old(SelectObject(dc, m_font))
    {
    }
    ~SelectedFont()
    {
        SelectObject(m_dc, m_old);
        DeleteObject(m_font);
    }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

private:
    HDC m_dc;
    HFONT m_font;
    HGDIOBJ m_old;
};

} // namespace

void draw_text(HDC dc, const RECT& rect, std::u16string_view text, COLORREF colour, int height, bool bold, UINT format)
{
    int saved = SaveDC(dc);
    IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    SelectedFont font(dc, height, bold);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    RECT place = rect;
    std::u16string copy(text);
    DrawText(dc, copy.c_str(), static_cast<int>(copy.size()), &place, format);
    RestoreDC(dc, saved);
}

int text_width(HDC dc, std::u16string_view text, int height, bool bold)
{
    SelectedFont font(dc, height, bold);
    SIZE size {};
    std::u16string copy(text);
    GetTextExtentPoint32(dc, copy.c_str(), static_cast<int>(copy.size()), &size);
    return size.cx;
}

} // namespace skinkit
