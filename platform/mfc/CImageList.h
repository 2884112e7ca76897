#pragma once

#include "CBitmap.h"
#include "CObject.h"
#include "CPoint.h"

#include <vector>

class CDC;

// How an image list keeps its pictures (the colour depth is the screen's whatever is asked) and
// how it draws them.
inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR = 0x0000;
inline constexpr UINT ILC_COLOR4 = 0x0004;
inline constexpr UINT ILC_COLOR8 = 0x0008;
inline constexpr UINT ILC_COLOR16 = 0x0010;
inline constexpr UINT ILC_COLOR24 = 0x0018;
inline constexpr UINT ILC_COLOR32 = 0x0020;
inline constexpr UINT ILD_NORMAL = 0x0000;
inline constexpr UINT ILD_TRANSPARENT = 0x0001;
inline constexpr COLORREF CLR_NONE = 0xFFFFFFFF;

// Pictures of one size kept side by side in one bitmap, drawn by index. A list made with
// ILC_MASK leaves out each picture's mask colour (the one given to Add) when it draws it
// transparently: always with ILD_TRANSPARENT, and with ILD_NORMAL while the list's background
// colour is CLR_NONE (else the left-out pixels take the background colour).
class CImageList : public CObject {
public:
    CImageList() = default;
    ~CImageList() override = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    // Room for `initial` pictures of cx by cy, growing by `grow` pictures at a time.
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // Adds the bitmap cut into pictures of the list's width (at least one); answers the index of
    // the first, or -1.
    int Add(CBitmap* bitmap, COLORREF mask);
    BOOL Draw(CDC*, int image, POINT, UINT style);
    int GetImageCount() const { return static_cast<int>(m_masks.size()); }
    // Removes one picture (the later ones move down by one), or all of them with -1.
    BOOL Remove(int image);
    BOOL DeleteImageList();
    COLORREF SetBkColor(COLORREF colour);
    COLORREF GetBkColor() const { return m_background; }

private:
    bool reserve(int count);

    CBitmap m_strip;
    int m_cx = 0;
    int m_cy = 0;
    int m_capacity = 0;
    int m_grow = 1;
    UINT m_flags = 0;
    COLORREF m_background = CLR_NONE;
    // Each picture's mask colour, CLR_NONE when it has none.
    std::vector<COLORREF> m_masks;
};
