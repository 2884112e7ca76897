#pragma once

#include "CBitmap.h"
#include "CBrush.h"
#include "CFont.h"
#include "CObject.h"
#include "CPen.h"
#include "CPoint.h"
#include "CRect.h"
#include "CRgn.h"
#include "CSize.h"
#include "CString.h"

// A device context as a C++ object. It deletes its context when it goes (a context made by
// CreateCompatibleDC), unless the handle was detached; the window contexts below release theirs.
// FromHandle gives the object attached to a context, or a temporary one of the calling thread's.
class CDC : public CObject {
public:
    CDC() = default;
    ~CDC() override;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    BOOL Attach(HDC);
    HDC Detach();
    static CDC* FromHandle(HDC);
    // Whether a context has an object already, and dropping the temporary object of a context
    // that was released.
    static bool has_object(HDC);
    static void release_temporary(HDC);

    BOOL CreateCompatibleDC(CDC* other);
    BOOL DeleteDC();
    int SaveDC() { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }

    // Each returns the object it replaced, as its own class.
    CPen* SelectObject(CPen*);
    CBrush* SelectObject(CBrush*);
    CFont* SelectObject(CFont*);
    CBitmap* SelectObject(CBitmap*);
    // Selects the region as the clip region; answers the region's kind.
    int SelectObject(CRgn*);
    CGdiObject* SelectStockObject(int index);

    // Clipping.
    int SelectClipRgn(CRgn* region) { return ::SelectClipRgn(m_hDC, region ? static_cast<HRGN>(*region) : nullptr); }
    int IntersectClipRect(int left, int top, int right, int bottom) { return ::IntersectClipRect(m_hDC, left, top, right, bottom); }
    int IntersectClipRect(LPCRECT rect) { return IntersectClipRect(rect->left, rect->top, rect->right, rect->bottom); }
    int ExcludeClipRect(int left, int top, int right, int bottom) { return ::ExcludeClipRect(m_hDC, left, top, right, bottom); }
    int GetClipBox(LPRECT rect) const { return ::GetClipBox(m_hDC, rect); }

    // Copies.
    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int source_x, int source_y, DWORD rop);
    BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int source_x, int source_y, int source_width,
        int source_height, DWORD rop);
    BOOL TransparentImage(int x, int y, int width, int height, CDC* source, int source_x, int source_y, int source_width,
        int source_height, COLORREF key);
    BOOL TransparentImage(int x, int y, int width, int height, CBitmap* source, int source_x, int source_y,
        int source_width, int source_height, COLORREF key);

    // Shapes.
    void FillRect(LPCRECT rect, CBrush* brush) { ::FillRect(m_hDC, rect, brush ? static_cast<HBRUSH>(*brush) : nullptr); }
    // Fills with a colour through the background colour, which keeps that colour afterwards.
    void FillSolidRect(LPCRECT rect, COLORREF colour);
    void FillSolidRect(int x, int y, int width, int height, COLORREF colour);
    BOOL Rectangle(int left, int top, int right, int bottom) { return ::Rectangle(m_hDC, left, top, right, bottom); }
    BOOL Rectangle(LPCRECT rect) { return Rectangle(rect->left, rect->top, rect->right, rect->bottom); }
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT point) { return MoveTo(point.x, point.y); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    BOOL LineTo(POINT point) { return LineTo(point.x, point.y); }
    COLORREF SetPixel(int x, int y, COLORREF colour) { return ::SetPixel(m_hDC, x, y, colour); }
    COLORREF SetPixel(POINT point, COLORREF colour) { return SetPixel(point.x, point.y, colour); }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    COLORREF GetPixel(POINT point) const { return GetPixel(point.x, point.y); }

    // Text.
    int DrawText(LPCWSTR text, int count, LPRECT rect, UINT format) { return ::DrawText(m_hDC, text, count, rect, format); }
    int DrawText(const CString& text, LPRECT rect, UINT format) { return DrawText(text, text.GetLength(), rect, format); }
    BOOL TextOut(int x, int y, LPCWSTR text, int count) { return ExtTextOut(x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr); }
    BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text, text.GetLength()); }
    BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count, const int* dx)
    {
        return ::ExtTextOut(m_hDC, x, y, options, rect, text, count, dx);
    }
    BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, const CString& text, const int* dx)
    {
        return ExtTextOut(x, y, options, rect, text, static_cast<UINT>(text.GetLength()), dx);
    }
    CSize GetTextExtent(LPCWSTR text, int count) const;
    CSize GetTextExtent(const CString& text) const { return GetTextExtent(text, text.GetLength()); }
    COLORREF SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }
    COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
    COLORREF SetBkColor(COLORREF colour) { return ::SetBkColor(m_hDC, colour); }
    COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    int GetBkMode() const { return ::GetBkMode(m_hDC); }

private:
    HGDIOBJ select(HGDIOBJ);
    bool m_temporary = false;
};
