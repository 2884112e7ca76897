#pragma once

#include "CGdiObject.h"

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF colour) { CreateSolidBrush(colour); }
    BOOL CreateSolidBrush(COLORREF colour) { return Attach(::CreateSolidBrush(colour)); }
    BOOL CreateStockObject(int index) { return Attach(::GetStockObject(index)); }
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
    static CBrush* FromHandle(HBRUSH handle) { return from_handle<CBrush>(handle); }
};
