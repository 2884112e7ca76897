#include "CDC.h"

#include "HandleMaps.h"

#include <memory>
#include <utility>

using namespace kivo;

CDC::~CDC()
{
    if (!m_temporary && m_hDC)
        DeleteDC();
}

BOOL CDC::Attach(HDC dc)
{
    if (!dc || m_hDC)
        return FALSE;
    m_hDC = dc;
    if (!m_temporary)
        HandleMaps::current().attach_context(dc, this);
    return TRUE;
}

HDC CDC::Detach()
{
    HDC dc = std::exchange(m_hDC, nullptr);
    if (dc && !m_temporary)
        HandleMaps::current().detach_context(dc, this);
    return dc;
}

CDC* CDC::FromHandle(HDC dc)
{
    if (!dc)
        return nullptr;
    auto& maps = HandleMaps::current();
    if (auto* attached = maps.context(dc))
        return attached;
    auto& slot = maps.temporaries().contexts[dc];
    if (!slot) {
        slot = std::make_unique<CDC>();
        slot->m_temporary = true;
        slot->m_hDC = dc;
    }
    return slot.get();
}

bool CDC::has_object(HDC dc)
{
    auto& maps = HandleMaps::current();
    return maps.context(dc) || maps.temporaries().contexts.count(dc);
}

void CDC::release_temporary(HDC dc)
{
    auto& map = HandleMaps::current().temporaries().contexts;
    if (auto it = map.find(dc); it != map.end()) {
        it->second->m_hDC = nullptr;
        map.erase(it);
    }
}

BOOL CDC::CreateCompatibleDC(CDC* other)
{
    return Attach(::CreateCompatibleDC(other ? other->m_hDC : nullptr));
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC)
        return FALSE;
    return ::DeleteDC(Detach());
}

HGDIOBJ CDC::select(HGDIOBJ object)
{
    return object ? ::SelectObject(m_hDC, object) : nullptr;
}

CPen* CDC::SelectObject(CPen* pen)
{
    return CPen::FromHandle(static_cast<HPEN>(select(pen ? pen->m_hObject : nullptr)));
}

CBrush* CDC::SelectObject(CBrush* brush)
{
    return CBrush::FromHandle(static_cast<HBRUSH>(select(brush ? brush->m_hObject : nullptr)));
}

CFont* CDC::SelectObject(CFont* font)
{
    return CFont::FromHandle(static_cast<HFONT>(select(font ? font->m_hObject : nullptr)));
}

CBitmap* CDC::SelectObject(CBitmap* bitmap)
{
    return CBitmap::FromHandle(static_cast<HBITMAP>(select(bitmap ? bitmap->m_hObject : nullptr)));
}

int CDC::SelectObject(CRgn* region)
{
    return SelectClipRgn(region);
}

CGdiObject* CDC::SelectStockObject(int index)
{
    return CGdiObject::FromHandle(select(::GetStockObject(index)));
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int source_x, int source_y, DWORD rop)
{
    return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, source_x, source_y, rop);
}

BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int source_x, int source_y, int source_width,
    int source_height, DWORD rop)
{
    return ::StretchBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, source_x, source_y, source_width,
        source_height, rop);
}

BOOL CDC::TransparentImage(int x, int y, int width, int height, CDC* source, int source_x, int source_y, int source_width,
    int source_height, COLORREF key)
{
    return ::TransparentImage(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, source_x, source_y,
        source_width, source_height, key);
}

BOOL CDC::TransparentImage(int x, int y, int width, int height, CBitmap* source, int source_x, int source_y,
    int source_width, int source_height, COLORREF key)
{
    return ::TransparentImage(m_hDC, x, y, width, height, source ? source->m_hObject : nullptr, source_x, source_y,
        source_width, source_height, key);
}

void CDC::FillSolidRect(LPCRECT rect, COLORREF colour)
{
    ::SetBkColor(m_hDC, colour);
    ::ExtTextOut(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
}

void CDC::FillSolidRect(int x, int y, int width, int height, COLORREF colour)
{
    RECT rect { x, y, x + width, y + height };
    FillSolidRect(&rect, colour);
}

CPoint CDC::MoveTo(int x, int y)
{
    POINT previous {};
    ::MoveToEx(m_hDC, x, y, &previous);
    return CPoint(previous.x, previous.y);
}

CSize CDC::GetTextExtent(LPCWSTR text, int count) const
{
    SIZE size {};
    ::GetTextExtentPoint32(m_hDC, text, count, &size);
    return CSize(size.cx, size.cy);
}
