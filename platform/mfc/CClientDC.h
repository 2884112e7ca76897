#pragma once

#include "CDC.h"
#include "CWnd.h"

// A window's client-area context, released when it goes.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* window)
        : m_hWnd(window ? window->m_hWnd : nullptr)
    {
        Attach(::GetDC(m_hWnd));
    }
    ~CClientDC() override { ::ReleaseDC(m_hWnd, Detach()); }

protected:
    HWND m_hWnd = nullptr;
};
