#pragma once

#include "CWnd.h"

// A program's main window made from code; it deletes itself when its window goes.
class CFrameWnd : public CWnd {
public:
    using CWnd::Create;
    BOOL Create(LPCWSTR class_name, LPCWSTR title, DWORD style = WS_OVERLAPPED | WS_VISIBLE, const RECT& rect = rectDefault,
        CWnd* parent = nullptr, LPCWSTR menu_name = nullptr, DWORD ex_style = 0);
    void PostNcDestroy() override { delete this; }

    static const RECT rectDefault;
};
