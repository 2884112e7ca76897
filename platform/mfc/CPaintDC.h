#pragma once

#include "CDC.h"
#include "CWnd.h"

// The context BeginPaint hands a window's WM_PAINT: it paints only what is invalid, and EndPaint
// runs when it goes.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window)
        : m_hWnd(window->m_hWnd)
    {
        Attach(::BeginPaint(m_hWnd, &m_ps));
    }
    ~CPaintDC() override
    {
        Detach();
        ::EndPaint(m_hWnd, &m_ps);
    }

    PAINTSTRUCT m_ps {};

protected:
    HWND m_hWnd = nullptr;
};
