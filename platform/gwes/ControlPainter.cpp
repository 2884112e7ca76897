#include "ControlPainter.h"

#include "WindowManager.h"

#include <algorithm>

namespace kivo {

namespace {

const DrawingCalls* drawing_calls()
{
    return WindowManager::current().painter().calls;
}

} // namespace

ControlPainter::ControlPainter(HWND hwnd)
    : m_hwnd(hwnd)
    , m_calls(drawing_calls())
{
    GetClientRect(hwnd, &m_client);
    if (m_calls)
        m_dc = m_calls->begin_paint(hwnd, &m_paint);
}

ControlPainter::~ControlPainter()
{
    if (m_dc)
        m_calls->end_paint(m_hwnd, &m_paint);
}

void ControlPainter::fill(const RECT& rect, COLORREF colour)
{
    if (!m_dc)
        return;
    HBRUSH brush = m_calls->create_solid_brush(colour);
    m_calls->fill_rect(m_dc, &rect, brush);
    m_calls->delete_object(brush);
}

void ControlPainter::fill(const RECT& rect, HBRUSH brush)
{
    if (m_dc)
        m_calls->fill_rect(m_dc, &rect, brush);
}

void ControlPainter::frame(const RECT& rect, COLORREF colour, int thickness)
{
    int t = std::min({ thickness, static_cast<int>(rect.right - rect.left), static_cast<int>(rect.bottom - rect.top) });
    if (t <= 0)
        return;
    fill({ rect.left, rect.top, rect.right, rect.top + t }, colour);
    fill({ rect.left, rect.bottom - t, rect.right, rect.bottom }, colour);
    fill({ rect.left, rect.top + t, rect.left + t, rect.bottom - t }, colour);
    fill({ rect.right - t, rect.top + t, rect.right, rect.bottom - t }, colour);
}

void ControlPainter::text(RECT rect, std::u16string_view text, UINT format, COLORREF colour)
{
    if (!m_dc)
        return;
    m_calls->set_text_colour(m_dc, colour);
    this->text(rect, text, format);
}

void ControlPainter::text(RECT rect, std::u16string_view text, UINT format)
{
    if (!m_dc || text.empty())
        return;
    m_calls->set_bk_mode(m_dc, TRANSPARENT);
    m_calls->draw_text(m_dc, text.data(), static_cast<int>(text.size()), &rect, format | DT_NOPREFIX);
}

bool ControlPainter::bitmap(HANDLE bitmap, int x, int y)
{
    auto size = bitmap_size(bitmap);
    if (!m_dc || !size)
        return false;
    HDC memory = m_calls->create_compatible_dc(m_dc);
    HGDIOBJ previous = m_calls->select_object(memory, bitmap);
    m_calls->bit_blt(m_dc, x, y, size->cx, size->cy, memory, 0, 0, SRCCOPY);
    m_calls->select_object(memory, previous);
    m_calls->delete_dc(memory);
    return true;
}

HGDIOBJ ControlPainter::select_font(HGDIOBJ font)
{
    return m_dc && font ? m_calls->select_object(m_dc, font) : nullptr;
}

void ControlPainter::image(HIMAGELIST list, int index, int x, int y)
{
    if (m_dc && list)
        m_calls->image_list_draw(list, index, m_dc, x, y, ILD_TRANSPARENT);
}

std::optional<int> ControlPainter::text_height(HWND hwnd, HGDIOBJ font)
{
    auto* calls = drawing_calls();
    HDC dc = calls ? calls->get_dc(hwnd) : nullptr;
    if (!dc)
        return std::nullopt;
    HGDIOBJ previous = font ? calls->select_object(dc, font) : nullptr;
    SIZE size {};
    bool measured = calls->get_text_extent(dc, u"X", 1, &size);
    if (previous)
        calls->select_object(dc, previous);
    calls->release_dc(hwnd, dc);
    return measured ? std::optional<int>(size.cy) : std::nullopt;
}

std::optional<SIZE> ControlPainter::image_size(HIMAGELIST list)
{
    auto* calls = drawing_calls();
    int cx = 0;
    int cy = 0;
    if (!calls || !list || !calls->image_list_get_icon_size(list, &cx, &cy))
        return std::nullopt;
    return SIZE { cx, cy };
}

std::optional<SIZE> ControlPainter::bitmap_size(HANDLE bitmap)
{
    auto* calls = drawing_calls();
    BITMAP info {};
    if (!calls || !bitmap || !calls->get_object(bitmap, sizeof info, &info))
        return std::nullopt;
    return SIZE { info.bmWidth, info.bmHeight };
}

} // namespace kivo
