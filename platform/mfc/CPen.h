#pragma once

#include "CGdiObject.h"

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF colour) { CreatePen(style, width, colour); }
    BOOL CreatePen(int style, int width, COLORREF colour) { return Attach(::CreatePen(style, width, colour)); }
    BOOL CreateStockObject(int index) { return Attach(::GetStockObject(index)); }
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
    static CPen* FromHandle(HPEN handle) { return from_handle<CPen>(handle); }
};
