#pragma once

#include "CWnd.h"

// The header control of a list view (CListCtrl::GetHeaderCtrl), which a program may subclass to
// paint the column titles itself.
class CHeaderCtrl : public CWnd {
public:
    int GetItemCount() const { return static_cast<int>(SendMessage(HDM_GETITEMCOUNT)); }
    BOOL GetItem(int index, HDITEM* item) const { return static_cast<BOOL>(SendMessage(HDM_GETITEM, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item))); }
    BOOL SetItem(int index, HDITEM* item) { return static_cast<BOOL>(SendMessage(HDM_SETITEM, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item))); }
    BOOL GetItemRect(int index, LPRECT rect) const { return static_cast<BOOL>(SendMessage(HDM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect))); }
};
