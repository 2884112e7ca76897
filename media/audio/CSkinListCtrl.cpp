#include "CSkinListCtrl.h"

#include <algorithm>

namespace {

// A font of a face and height, everything else left to the system.
void make_font(CFont& font, int height, const WCHAR* face)
{
    LOGFONT description {};
    description.lfHeight = height;
    wcsncpy(description.lfFaceName, face, LF_FACESIZE - 1);
    font.DeleteObject();
    font.CreateFontIndirect(&description);
}

} // namespace

void CSkinHeaderCtrl::SetSkin(UINT bitmap, int font_height, COLORREF text_colour, LPCWSTR face)
{
    m_Bitmap.DeleteObject();
    m_Bitmap.LoadBitmap(bitmap);
    make_font(m_Font, font_height, face);
    m_TextColour = text_colour;
    if (m_hWnd)
        Invalidate(FALSE);
}

void CSkinHeaderCtrl::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    BITMAP strip {};
    bool has_strip = m_Bitmap.GetSafeHandle() && m_Bitmap.GetBitmap(&strip);
    CDC source;
    source.CreateCompatibleDC(&dc);
    CBitmap* previous_bitmap = has_strip ? source.SelectObject(&m_Bitmap) : nullptr;
    auto stretch = [&](const CRect& place) {
        if (has_strip)
            dc.StretchBlt(place.left, place.top, place.Width(), place.Height(), &source, 0, 0, strip.bmWidth, strip.bmHeight, SRCCOPY);
    };

    int count = GetItemCount();
    // Without titles the strip still fills the header, which erases nothing itself.
    if (count == 0)
        stretch(client);
    CFont* previous_font = dc.SelectObject(&m_Font);
    dc.SetTextColor(m_TextColour);
    dc.SetBkMode(TRANSPARENT);
    for (int index = 0; index < count; ++index) {
        WCHAR text[128] {};
        HDITEM item { HDI_TEXT, 0, text, nullptr, 128, 0, 0 };
        CRect place;
        if (!GetItem(index, &item) || !GetItemRect(index, &place))
            continue;
        // The last title's strip reaches the header's right edge, so no bare header shows beside it.
        CRect strip_place = place;
        if (index == count - 1)
            strip_place.right = std::max(strip_place.right, client.right);
        stretch(strip_place);
        dc.DrawText(text, -1, &place, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    dc.SelectObject(previous_font);
    if (previous_bitmap)
        source.SelectObject(previous_bitmap);
}

BOOL CSkinHeaderCtrl::OnEraseBkgnd(CDC*)
{
    // The paint covers the whole header with the strip.
    return FALSE;
}

void CSkinListCtrl::ApplySkin(const SkinListStyle& style)
{
    m_Style = style;

    // The header: the list's own header window, painted by this object from now on. It is as tall
    // as its titles' font.
    HWND header = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER));
    if (header && !m_Header.m_hWnd)
        m_Header.SubclassWindow(header);
    m_Header.SetSkin(style.header_bitmap, style.header_font_height, style.header_text_colour, style.header_face);
    if (m_Header.m_hWnd) {
        CRect header_rect;
        m_Header.GetWindowRect(&header_rect);
        m_Header.SetWindowPos(nullptr, 0, 0, header_rect.Width(), style.header_font_height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    const UINT* v = style.vscroll_bitmaps;
    const UINT* h = style.hscroll_bitmaps;
    m_VScroll.SetBitmaps(v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
    m_HScroll.SetBitmaps(h[0], h[1], h[2], h[3], h[4], h[5], h[6]);

    // The list keeps its rectangle but shows only what lies left of a vertical and above a
    // horizontal bar's width; the painted bars take those strips, as children of the dialog.
    CRect list_rect;
    GetWindowRect(&list_rect);
    CWnd* parent = GetParent();
    CRect parent_rect;
    if (parent)
        parent->GetWindowRect(&parent_rect);
    CRect place = list_rect;
    place.OffsetRect(-parent_rect.left, -parent_rect.top);
    int bar_width = GetSystemMetrics(SM_CXVSCROLL);
    int bar_height = GetSystemMetrics(SM_CYHSCROLL);
    int inner_width = place.Width() - bar_width;
    int inner_height = place.Height() - bar_height;
    SetWindowRgn(::CreateRectRgn(0, 0, inner_width, inner_height), TRUE);

    CRect vertical(place.left + inner_width, place.top, place.left + inner_width + bar_width, place.top + inner_height);
    CRect horizontal(place.left, place.top + inner_height, place.left + inner_width, place.top + inner_height + bar_height);
    auto place_bar = [&](CWnd& bar, const CRect& rect) {
        if (bar.m_hWnd)
            bar.MoveWindow(&rect);
        else
            bar.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, rect, parent, 0xFFFF);
    };
    place_bar(m_VScroll, vertical);
    place_bar(m_HScroll, horizontal);
    m_VScroll.m_pList = this;
    m_HScroll.m_pList = this;
    m_VScroll.Layout();
    m_HScroll.Layout();
    m_VScroll.UpdateThumb();
    m_HScroll.UpdateThumb();

    // The rows keep the list's face at the style's height; the rows are as tall as it.
    LOGFONT description {};
    if (CFont* current = GetFont())
        current->GetLogFont(&description);
    description.lfHeight = style.row_height;
    auto row_font = std::make_unique<CFont>();
    row_font->CreateFontIndirect(&description);
    SetFont(row_font.get(), TRUE);
    m_pRowFont = std::move(row_font);
}

void CSkinListCtrl::SelectRow(CListCtrl* list, int row)
{
    int count = list->GetItemCount();
    int mark = list->GetSelectionMark();
    if (mark >= 0)
        list->SetItemState(mark, 0, LVIS_SELECTED);
    if (count == 0)
        return;
    // A row outside the list names its nearest end; -1 would select every row.
    row = std::clamp(row, 0, count - 1);
    list->SetSelectionMark(row);
    list->SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
    CRect first;
    if (list->GetItemRect(row, &first, LVIR_BOUNDS))
        list->Scroll(CSize(0, (row - list->GetTopIndex()) * first.Height()));
}

void CSkinListCtrl::SetRowSelected(int row, BOOL on)
{
    SetItemState(row, on ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

BOOL CSkinListCtrl::IsRowSelected(int row) const
{
    return (GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

BOOL CSkinListCtrl::OnEraseBkgnd(CDC* dc)
{
    if (m_VScroll.m_hWnd)
        m_VScroll.UpdateThumb();
    if (m_HScroll.m_hWnd)
        m_HScroll.UpdateThumb();
    return CListCtrl::OnEraseBkgnd(dc);
}

BOOL CSkinListCtrl::OnChildNotify(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result)
{
    auto* header = reinterpret_cast<const NMHDR*>(lparam);
    if (message != WM_NOTIFY || !header || header->hwndFrom != m_hWnd || header->code != NM_CUSTOMDRAW)
        return CListCtrl::OnChildNotify(message, wparam, lparam, result);
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lparam);
    LRESULT answer = CDRF_DODEFAULT;
    int row = static_cast<int>(draw->nmcd.dwItemSpec);
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        answer = CDRF_NOTIFYITEMDRAW;
        break;
    case CDDS_ITEMPREPAINT:
        // A selected row is drawn in the style's colours: its selection is taken away while it
        // is painted, so that the platform's highlight does not cover them, and given back after.
        if (IsRowSelected(row)) {
            draw->clrText = m_Style.selected_text_colour;
            draw->clrTextBk = m_Style.selected_background_colour;
            SetRowSelected(row, FALSE);
            m_nRowUnselected = row;
            answer = CDRF_NOTIFYPOSTPAINT;
        }
        break;
    case CDDS_ITEMPOSTPAINT:
        if (row == m_nRowUnselected) {
            SetRowSelected(row, TRUE);
            m_nRowUnselected = -1;
        }
        break;
    default:
        break;
    }
    if (result)
        *result = answer;
    return TRUE;
}
