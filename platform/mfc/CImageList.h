#pragma once

#include "CBitmap.h"
#include "CObject.h"
#include "CPoint.h"

class CDC;

// An image list (ImageList_* in the drawing layer) as an object that owns it: pictures of one size
// drawn by index, which a list view can show beside its items (CListCtrl::SetImageList).
class CImageList : public CObject {
public:
    CImageList() = default;
    ~CImageList() override { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    HIMAGELIST m_hImageList = nullptr;
    operator HIMAGELIST() const { return m_hImageList; }
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    int Add(CBitmap* bitmap, COLORREF mask);
    BOOL Draw(CDC*, int image, POINT, UINT style);
    int GetImageCount() const { return ::ImageList_GetImageCount(m_hImageList); }
    BOOL Remove(int image) { return ::ImageList_Remove(m_hImageList, image); }
    BOOL DeleteImageList();
    COLORREF SetBkColor(COLORREF colour) { return ::ImageList_SetBkColor(m_hImageList, colour); }
    COLORREF GetBkColor() const { return ::ImageList_GetBkColor(m_hImageList); }
};
