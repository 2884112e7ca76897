#include "CImageList.h"

#include "CDC.h"

#include <utility>

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    if (m_hImageList)
        return FALSE;
    m_hImageList = ::ImageList_Create(cx, cy, flags, initial, grow);
    return m_hImageList != nullptr;
}

int CImageList::Add(CBitmap* bitmap, COLORREF mask)
{
    if (!m_hImageList || !bitmap)
        return -1;
    return ::ImageList_AddMasked(m_hImageList, static_cast<HBITMAP>(bitmap->m_hObject), mask);
}

BOOL CImageList::Draw(CDC* dc, int image, POINT at, UINT style)
{
    return dc ? ::ImageList_Draw(m_hImageList, image, dc->m_hDC, at.x, at.y, style) : FALSE;
}

BOOL CImageList::DeleteImageList()
{
    HIMAGELIST list = std::exchange(m_hImageList, nullptr);
    return list ? ::ImageList_Destroy(list) : FALSE;
}
