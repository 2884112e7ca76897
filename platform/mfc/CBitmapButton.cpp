#include "CBitmapButton.h"

#include "CDC.h"
#include "kernel/KernelApi.h"

BOOL CBitmapButton::LoadBitmaps(UINT up, UINT down, UINT focus, UINT disabled)
{
    m_nUp = up;
    m_nDown = down;
    m_nFocus = focus;
    m_nDisabled = disabled;
    struct Face {
        CBitmap& bitmap;
        UINT id;
    };
    for (auto [bitmap, id] : { Face { m_bitmap, up }, Face { m_bitmapSel, down }, Face { m_bitmapFocus, focus }, Face { m_bitmapDisabled, disabled } }) {
        bitmap.DeleteObject();
        if (id && !bitmap.LoadBitmap(id))
            NKDbgPrintfW(u"CBitmapButton: no bitmap %u\r\n", id);
    }
    return m_bitmap.m_hObject != nullptr;
}

UINT CBitmapButton::CurrentBitmapId() const
{
    UINT state = GetState();
    if ((state & BST_PUSHED) && m_nDown)
        return m_nDown;
    if (!IsWindowEnabled() && m_nDisabled)
        return m_nDisabled;
    if ((state & BST_FOCUS) && m_nFocus)
        return m_nFocus;
    return m_nUp;
}

void CBitmapButton::SizeToContent()
{
    BITMAP info {};
    if (!m_bitmap.m_hObject || !m_bitmap.GetBitmap(&info)) {
        OutputDebugString(u"CBitmapButton::SizeToContent: no bitmaps loaded\r\n");
        return;
    }
    SetWindowPos(nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CBitmap& CBitmapButton::face(UINT item_state)
{
    if ((item_state & ODS_SELECTED) && m_bitmapSel.m_hObject)
        return m_bitmapSel;
    if ((item_state & ODS_DISABLED) && m_bitmapDisabled.m_hObject)
        return m_bitmapDisabled;
    if ((item_state & ODS_FOCUS) && m_bitmapFocus.m_hObject)
        return m_bitmapFocus;
    return m_bitmap;
}

void CBitmapButton::DrawItem(LPDRAWITEMSTRUCT item)
{
    CBitmap& bitmap = face(item->itemState);
    BITMAP info {};
    if (!bitmap.m_hObject || !bitmap.GetBitmap(&info))
        return;
    bool known = CDC::has_object(item->hDC);
    CDC* dc = CDC::FromHandle(item->hDC);
    CDC memory;
    memory.CreateCompatibleDC(dc);
    CBitmap* previous = memory.SelectObject(&bitmap);
    dc->BitBlt(item->rcItem.left, item->rcItem.top, info.bmWidth, info.bmHeight, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(previous);
    if (!known)
        CDC::release_temporary(item->hDC);
}
