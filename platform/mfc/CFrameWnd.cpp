#include "CFrameWnd.h"

const RECT CFrameWnd::rectDefault { CW_USEDEFAULT, CW_USEDEFAULT, 0, 0 };

BOOL CFrameWnd::Create(LPCWSTR class_name, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent, LPCWSTR, DWORD ex_style)
{
    bool default_place = rect.left == CW_USEDEFAULT;
    int width = default_place ? CW_USEDEFAULT : rect.right - rect.left;
    int height = default_place ? CW_USEDEFAULT : rect.bottom - rect.top;
    return CreateEx(ex_style, class_name, title, style, rect.left, default_place ? CW_USEDEFAULT : rect.top, width, height,
        parent ? parent->m_hWnd : nullptr, nullptr);
}
