#pragma once

#include "kernel/Types.h"

class CPoint : public POINT {
public:
    CPoint()
        : POINT { 0, 0 }
    { }
    CPoint(int x_, int y_)
        : POINT { x_, y_ }
    { }
    CPoint(POINT point)
        : POINT(point)
    { }
    void Offset(int dx, int dy)
    {
        x += dx;
        y += dy;
    }
    bool operator==(const POINT& other) const { return x == other.x && y == other.y; }
    bool operator!=(const POINT& other) const { return !(*this == other); }
    CPoint operator+(const POINT& other) const { return { x + other.x, y + other.y }; }
    CPoint operator-(const POINT& other) const { return { x - other.x, y - other.y }; }
};
