#pragma once

#include "kernel/Types.h"

class CSize : public SIZE {
public:
    CSize()
        : SIZE { 0, 0 }
    { }
    CSize(int cx_, int cy_)
        : SIZE { cx_, cy_ }
    { }
    CSize(SIZE size)
        : SIZE(size)
    { }
    bool operator==(const SIZE& other) const { return cx == other.cx && cy == other.cy; }
    bool operator!=(const SIZE& other) const { return !(*this == other); }
};
