#pragma once

#include "kernel/KernelObject.h"

namespace kivo {

// A drawing object a program holds by handle (HBITMAP, HBRUSH, HPEN, HFONT, HRGN) and selects
// into device contexts. A device context keeps what it has selected alive, so deleting a selected
// object only drops the program's handle.
class GdiObject : public KernelObject {
public:
    enum class Type {
        Bitmap,
        Brush,
        Pen,
        Font,
        Region,
    };
    virtual Type type() const = 0;
};

} // namespace kivo
