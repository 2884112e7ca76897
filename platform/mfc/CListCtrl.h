#pragma once

#include "CHeaderCtrl.h"
#include "CImageList.h"
#include "CWnd.h"

// The list view in report view.
class CListCtrl : public CWnd {
public:
    // The header's name object never owns the header, so it lets go of it without asking.
    ~CListCtrl() override { m_header_name.m_hWnd = nullptr; }
    // The header's own object when the program subclassed it, else an object of the list's that
    // names the header window without owning it.
    CHeaderCtrl* GetHeaderCtrl()
    {
        HWND header = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER));
        if (!header)
            return nullptr;
        if (auto* own = dynamic_cast<CHeaderCtrl*>(CWnd::FromHandlePermanent(header)))
            return own;
        m_header_name.m_hWnd = header;
        return &m_header_name;
    }
    DWORD SetExtendedStyle(DWORD style) { return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style))); }
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    // The list shows the image list without owning it; answers the one it showed before.
    HIMAGELIST SetImageList(CImageList* list, int kind)
    {
        return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(kind), reinterpret_cast<LPARAM>(list ? list->m_hImageList : nullptr)));
    }
    HIMAGELIST GetImageList(int kind) const { return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_GETIMAGELIST, static_cast<WPARAM>(kind))); }
    // Sorts the rows by the caller's comparison of their item data (negative: the first comes first).
    BOOL SortItems(PFNLVCOMPARE compare, DWORD_PTR data) { return static_cast<BOOL>(SendMessage(LVM_SORTITEMS, static_cast<WPARAM>(data), reinterpret_cast<LPARAM>(compare))); }
    BOOL SetItemData(int index, DWORD_PTR data)
    {
        LVITEM item { LVIF_PARAM, index, 0, 0, 0, nullptr, 0, 0, static_cast<LPARAM>(data) };
        return static_cast<BOOL>(SendMessage(LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&item)));
    }
    DWORD_PTR GetItemData(int index) const
    {
        LVITEM item { LVIF_PARAM, index, 0, 0, 0, nullptr, 0, 0, 0 };
        return SendMessage(LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)) ? static_cast<DWORD_PTR>(item.lParam) : 0;
    }
    BOOL SetItem(const LVITEM* item) { return static_cast<BOOL>(SendMessage(LVM_SETITEM, 0, reinterpret_cast<LPARAM>(item))); }
    BOOL GetItem(LVITEM* item) const { return static_cast<BOOL>(SendMessage(LVM_GETITEM, 0, reinterpret_cast<LPARAM>(item))); }
    int InsertItem(const LVITEM* item) { return static_cast<int>(SendMessage(LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(item))); }
    int InsertItem(int index, LPCWSTR text, int image)
    {
        LVITEM item { LVIF_TEXT | LVIF_IMAGE, index, 0, 0, 0, const_cast<LPWSTR>(text), 0, image, 0 };
        return InsertItem(&item);
    }
    BOOL SetBkColor(COLORREF colour) { return static_cast<BOOL>(SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(colour))); }
    COLORREF GetBkColor() const { return static_cast<COLORREF>(SendMessage(LVM_GETBKCOLOR)); }
    BOOL SetTextColor(COLORREF colour) { return static_cast<BOOL>(SendMessage(LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(colour))); }
    COLORREF GetTextColor() const { return static_cast<COLORREF>(SendMessage(LVM_GETTEXTCOLOR)); }
    BOOL SetTextBkColor(COLORREF colour) { return static_cast<BOOL>(SendMessage(LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(colour))); }
    COLORREF GetTextBkColor() const { return static_cast<COLORREF>(SendMessage(LVM_GETTEXTBKCOLOR)); }
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

private:
    CHeaderCtrl m_header_name;
};
