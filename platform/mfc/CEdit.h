#pragma once

#include "CWnd.h"

class CEdit : public CWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) { return CWnd::Create(WC_EDIT, nullptr, style, rect, parent, id); }
    int GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
    BOOL LineScroll(int lines, int characters = 0) { return static_cast<BOOL>(SendMessage(EM_LINESCROLL, static_cast<WPARAM>(characters), lines)); }
    int GetFirstVisibleLine() const { return static_cast<int>(SendMessage(EM_GETFIRSTVISIBLELINE)); }
    BOOL SetReadOnly(BOOL read_only = TRUE) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, static_cast<WPARAM>(read_only))); }
    void SetSel(int start, int end) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
    void GetSel(int& start, int& end) const
    {
        DWORD first = 0;
        DWORD last = 0;
        SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&last));
        start = static_cast<int>(first);
        end = static_cast<int>(last);
    }
    void ReplaceSel(LPCWSTR text) { SendMessage(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text)); }
    void LimitText(int count = 0) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(count)); }
    int LineIndex(int line = -1) const { return static_cast<int>(SendMessage(EM_LINEINDEX, static_cast<WPARAM>(line))); }
    int LineLength(int index = -1) const { return static_cast<int>(SendMessage(EM_LINELENGTH, static_cast<WPARAM>(index))); }
    int GetLine(int line, LPWSTR buffer, int max_count) const
    {
        if (!buffer || max_count < 1)
            return 0;
        *reinterpret_cast<WORD*>(buffer) = static_cast<WORD>(max_count);
        return static_cast<int>(SendMessage(EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer)));
    }
};
