#pragma once

#include "CGdiObject.h"

class CRgn : public CGdiObject {
public:
    BOOL CreateRectRgn(int left, int top, int right, int bottom) { return Attach(::CreateRectRgn(left, top, right, bottom)); }
    BOOL CreateRectRgnIndirect(LPCRECT rect) { return Attach(::CreateRectRgnIndirect(rect)); }
    int CombineRgn(const CRgn* first, const CRgn* second, int mode)
    {
        return ::CombineRgn(*this, first ? static_cast<HRGN>(first->m_hObject) : nullptr,
            second ? static_cast<HRGN>(second->m_hObject) : nullptr, mode);
    }
    operator HRGN() const { return static_cast<HRGN>(m_hObject); }
    static CRgn* FromHandle(HRGN handle) { return from_handle<CRgn>(handle); }
};
