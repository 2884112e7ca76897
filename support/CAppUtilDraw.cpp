#include "CAppUtil.h"

#include "BitmapSource.h"
#include "DAPI.h"

#include <algorithm>

namespace {

using namespace support_painting;

constexpr int normal_weight = 400;
// The text font's fixed parameters: output quality 1, the Swiss family at its default pitch.
constexpr BYTE text_quality = 1;
constexpr BYTE text_pitch_and_family = DEFAULT_PITCH | FF_SWISS;
// A text fits a scrolling title only with this much room to spare.
constexpr int title_margin = 30;

// The window's context for one painting call, released when it goes.
class WindowDC {
public:
    explicit WindowDC(CWnd* window)
        : m_window(window)
        , m_dc(window ? window->GetDC() : nullptr)
    {
    }
    ~WindowDC()
    {
        if (m_dc)
            m_window->ReleaseDC(m_dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    CDC* get() const { return m_dc; }
    explicit operator bool() const { return m_dc && m_dc->m_hDC; }

private:
    CWnd* m_window;
    CDC* m_dc;
};

// The text font, selected into a context while it lives.
class TextFont {
public:
    TextFont(CDC* dc, int height, int weight)
        : m_dc(dc)
    {
        m_font.CreateFont(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
            CLIP_DEFAULT_PRECIS, text_quality, text_pitch_and_family, u"Arial");
        m_old = m_dc->SelectObject(&m_font);
    }
    ~TextFont()
    {
        if (m_old)
            m_dc->SelectObject(m_old);
    }
    TextFont(const TextFont&) = delete;
    TextFont& operator=(const TextFont&) = delete;

private:
    CDC* m_dc;
    CFont m_font;
    CFont* m_old = nullptr;
};

void draw_text(CWnd* window, const RECT& rect, const CString& text, UINT format, COLORREF text_colour,
    COLORREF background_colour, int font_height, int weight)
{
    WindowDC dc(window);
    if (!dc)
        return;
    TextFont font(dc.get(), font_height, weight);
    dc.get()->SetTextColor(text_colour);
    // Black cannot be asked for as a background: 0 means none.
    if (background_colour == 0) {
        dc.get()->SetBkMode(TRANSPARENT);
    } else {
        dc.get()->SetBkMode(OPAQUE);
        dc.get()->SetBkColor(background_colour);
    }
    RECT area = rect;
    dc.get()->DrawText(text, &area, format);
}

// The width of each character as the window's context measures it, as it comes.
int character_width(CDC* dc, const CString& text, int index)
{
    return dc->GetTextExtent(text.str().c_str() + index, 1).cx;
}

// How many characters from `start` stay before the one at which the running sum reaches `limit`.
int characters_before(CDC* dc, const CString& text, int start, int limit)
{
    int sum = 0;
    int index = start;
    for (; index < text.GetLength(); ++index) {
        sum += character_width(dc, text, index);
        if (sum >= limit)
            break;
    }
    return index - start;
}

} // namespace

void CAppUtil::DrawBitmap(CWnd* window, int x, int y, int width, int height, int source_x, int source_y, CBitmap* bitmap)
{
    if (!has_picture(bitmap))
        return;
    WindowDC dc(window);
    if (!dc)
        return;
    if (width == 0 && height == 0) {
        SIZE size = size_of(*bitmap);
        width = size.cx;
        height = size.cy;
    }
    BitmapSource source(dc.get(), bitmap);
    dc.get()->BitBlt(x, y, width, height, source.get(), source_x, source_y, SRCCOPY);
}

void CAppUtil::DrawBitmapTransparent(CWnd* window, int x, int y, CBitmap* bitmap, COLORREF key)
{
    if (!has_picture(bitmap))
        return;
    WindowDC dc(window);
    if (!dc)
        return;
    SIZE size = size_of(*bitmap);
    BitmapSource source(dc.get(), bitmap);
    dc.get()->TransparentImage(x, y, size.cx, size.cy, source.get(), 0, 0, size.cx, size.cy, key);
}

void CAppUtil::DrawBitmapOverBackground(CWnd* window, int x, int y, CBitmap* background, UINT bitmap_id, COLORREF key)
{
    CBitmap picture;
    if (!picture.LoadBitmap(bitmap_id) || !has_picture(background))
        return;
    WindowDC dc(window);
    if (!dc)
        return;
    SIZE size = size_of(picture);
    {
        BitmapSource source(dc.get(), background);
        dc.get()->BitBlt(x, y, size.cx, size.cy, source.get(), x, y, SRCCOPY);
    }
    BitmapSource source(dc.get(), &picture);
    dc.get()->TransparentImage(x, y, size.cx, size.cy, source.get(), 0, 0, size.cx, size.cy, key);
}

void CAppUtil::DrawBitmapStretched(
    CWnd* window, int x, int y, int width, int height, int source_x, int source_y, CBitmap* bitmap)
{
    if (!has_picture(bitmap))
        return;
    WindowDC dc(window);
    if (!dc)
        return;
    SIZE size = size_of(*bitmap);
    BitmapSource source(dc.get(), bitmap);
    dc.get()->StretchBlt(x, y, width, height, source.get(), source_x, source_y, size.cx, size.cy, SRCCOPY);
}

void CAppUtil::DrawText(CWnd* window, int x, int y, int width, int height, CString text, UINT format,
    COLORREF text_colour, COLORREF background_colour, int font_height)
{
    draw_text(window, { x, y, x + width, y + height }, text, format, text_colour, background_colour, font_height,
        normal_weight);
}

void CAppUtil::DrawTextWeight(CWnd* window, int x, int y, int width, int height, CString text, UINT format,
    COLORREF text_colour, COLORREF background_colour, int font_height, int weight)
{
    draw_text(window, { x, y, x + width, y + height }, text, format, text_colour, background_colour, font_height, weight);
}

void CAppUtil::DrawTextOverBackground(CWnd* window, int x, int y, int width, int height, CString text, UINT,
    COLORREF text_colour, COLORREF background_colour, int font_height, CBitmap* background)
{
    RECT rect { x, y, x + width, y + height };
    if (has_picture(background)) {
        DrawBitmap(window, x, y, width, height, x, y, background);
    } else {
        // The frame-buffer fill takes its bottom row inclusive.
        RECT fill { x, y, x + width, y + height - 1 };
        DAPI_FillRect(&fill, background_colour);
    }
    WindowDC dc(window);
    if (!dc)
        return;
    TextFont font(dc.get(), font_height, normal_weight);
    dc.get()->SetTextColor(text_colour);
    dc.get()->SetBkMode(TRANSPARENT);
    dc.get()->ExtTextOut(x, y, ETO_CLIPPED, &rect, text, nullptr);
}

int CAppUtil::EllipsizeText(CWnd* window, int width, CString& text)
{
    WindowDC dc(window);
    if (!dc)
        return -1;
    if (dc.get()->GetTextExtent(text).cx <= width)
        return -1;
    text = text.Left(characters_before(dc.get(), text, 0, width)) + u"...";
    return 0;
}

void CAppUtil::StripEnds(CString& text)
{
    text = text.GetLength() < 2 ? CString() : text.Mid(1, text.GetLength() - 2);
}

int CAppUtil::EllipsizeItem(CWnd* window, int width, CString& text)
{
    if (text.GetLength() == 0 || text[0] != u'<')
        return EllipsizeText(window, width, text);
    StripEnds(text);
    int result = EllipsizeText(window, width, text);
    text = u"<" + text + u">";
    return result;
}

int CAppUtil::ClipTextFrom(CWnd* window, CString& text, WORD start, int width)
{
    WindowDC dc(window);
    if (!dc)
        return -1;
    if (dc.get()->GetTextExtent(text).cx + title_margin <= width)
        return -1;
    int first = std::min<int>(start, text.GetLength());
    text = text.Mid(first, characters_before(dc.get(), text, first, width));
    return 0;
}
