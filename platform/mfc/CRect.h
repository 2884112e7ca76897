#pragma once

#include "CPoint.h"
#include "CSize.h"
#include "gwes/GwesApi.h"

#include <algorithm>

class CRect : public RECT {
public:
    CRect()
        : RECT { 0, 0, 0, 0 }
    { }
    CRect(int l, int t, int r, int b)
        : RECT { l, t, r, b }
    { }
    CRect(const RECT& rect)
        : RECT(rect)
    { }
    CRect(POINT point, SIZE size)
        : RECT { point.x, point.y, point.x + size.cx, point.y + size.cy }
    { }

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return { Width(), Height() }; }
    CPoint TopLeft() const { return { left, top }; }
    CPoint BottomRight() const { return { right, bottom }; }
    CPoint CenterPoint() const { return { (left + right) / 2, (top + bottom) / 2 }; }
    BOOL IsRectEmpty() const { return Width() <= 0 || Height() <= 0; }
    BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    BOOL PtInRect(POINT point) const { return ::PtInRect(this, point); }
    void SetRect(int l, int t, int r, int b) { *this = CRect(l, t, r, b); }
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    void CopyRect(LPCRECT rect) { *this = CRect(*rect); }
    void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
    void OffsetRect(POINT point) { OffsetRect(point.x, point.y); }
    void InflateRect(int dx, int dy) { ::InflateRect(this, dx, dy); }
    void DeflateRect(int dx, int dy) { ::InflateRect(this, -dx, -dy); }
    void NormalizeRect()
    {
        if (left > right)
            std::swap(left, right);
        if (top > bottom)
            std::swap(top, bottom);
    }
    BOOL IntersectRect(LPCRECT a, LPCRECT b) { return ::IntersectRect(this, a, b); }
    BOOL UnionRect(LPCRECT a, LPCRECT b) { return ::UnionRect(this, a, b); }
    bool operator==(const RECT& other) const { return EqualRect(this, &other); }
    bool operator!=(const RECT& other) const { return !(*this == other); }
};
