#pragma once

#include "CDC.h"
#include "CWnd.h"

// The whole window's context (windows have no frame, so the client area's), released when it
// goes.
class CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd* window)
        : m_hWnd(window ? window->m_hWnd : nullptr)
    {
        Attach(::GetWindowDC(m_hWnd));
    }
    ~CWindowDC() override { ::ReleaseDC(m_hWnd, Detach()); }

protected:
    HWND m_hWnd = nullptr;
};
