#pragma once

#include "CWnd.h"

// The list view in report view.
class CListCtrl : public CWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) { return CWnd::Create(WC_LISTVIEW, nullptr, style, rect, parent, id); }
    int InsertColumn(int index, LPCWSTR heading, int format = 0, int width = -1, int = -1)
    {
        LVCOLUMN column { LVCF_TEXT | (width >= 0 ? LVCF_WIDTH : 0u), format, width, const_cast<LPWSTR>(heading), 0, 0 };
        return static_cast<int>(SendMessage(LVM_INSERTCOLUMN, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
    }
    BOOL SetColumnWidth(int column, int width) { return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(static_cast<WORD>(width), 0))); }
    int GetColumnWidth(int column) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column))); }
    int InsertItem(int index, LPCWSTR text)
    {
        LVITEM item { LVIF_TEXT, index, 0, 0, 0, const_cast<LPWSTR>(text), 0, 0, 0 };
        return static_cast<int>(SendMessage(LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item)));
    }
    BOOL SetItemText(int index, int sub_item, LPCWSTR text)
    {
        LVITEM item { LVIF_TEXT, index, sub_item, 0, 0, const_cast<LPWSTR>(text), 0, 0, 0 };
        return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    }
    CString GetItemText(int index, int sub_item) const
    {
        WCHAR buffer[260] {};
        LVITEM item { LVIF_TEXT, index, sub_item, 0, 0, buffer, 260, 0, 0 };
        SendMessage(LVM_GETITEMTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        return CString(buffer);
    }
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    BOOL DeleteItem(int index) { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index))); }
    BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
    BOOL GetItemRect(int index, LPRECT rect, UINT code) const
    {
        rect->left = static_cast<LONG>(code);
        return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
    }
    BOOL Scroll(SIZE size) { return static_cast<BOOL>(SendMessage(LVM_SCROLL, static_cast<WPARAM>(size.cx), size.cy)); }
    int GetTopIndex() const { return static_cast<int>(SendMessage(LVM_GETTOPINDEX)); }
    int GetCountPerPage() const { return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE)); }
    BOOL EnsureVisible(int index, BOOL partial) { return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), partial)); }
    BOOL SetItemState(int index, UINT state, UINT mask)
    {
        LVITEM item { LVIF_STATE, index, 0, state, mask, nullptr, 0, 0, 0 };
        return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    }
    UINT GetItemState(int index, UINT mask) const { return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(index), mask)); }
    int GetNextItem(int index, int flags) const { return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(index), flags)); }
    int GetSelectionMark() const { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
    int SetSelectionMark(int index) { return static_cast<int>(SendMessage(LVM_SETSELECTIONMARK, 0, index)); }
};
