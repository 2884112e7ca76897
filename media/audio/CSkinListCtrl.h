#pragma once

#include "CSkinHScrollBar.h"
#include "CSkinVScrollBar.h"
#include "platform.h"

#include <cstddef>
#include <memory>

// How a skinned list looks: the header's strip picture, font and colour, the pictures of both
// scroll bars, the rows' height and the colours of plain and selected rows. Colours are 0x00BBGGRR.
struct SkinListStyle {
    UINT header_bitmap;
    int header_font_height;
    COLORREF header_text_colour;
    WCHAR header_face[32];
    // Up arrow, up pressed, down arrow, down pressed, track, thumb, thumb pressed.
    UINT vscroll_bitmaps[7];
    // Right arrow, right pressed, left arrow, left pressed, track, thumb, thumb pressed.
    UINT hscroll_bitmaps[7];
    int row_height;
    // Kept with the style; the rows keep the list's own face.
    WCHAR row_face[32];
    COLORREF text_colour;
    COLORREF selected_text_colour;
    COLORREF background_colour;
    COLORREF selected_background_colour;
};
static_assert(sizeof(SkinListStyle) == 216);
static_assert(offsetof(SkinListStyle, vscroll_bitmaps) == 76);
static_assert(offsetof(SkinListStyle, row_height) == 132);
static_assert(offsetof(SkinListStyle, text_colour) == 200);

// A list view's header painted with a stretched strip picture and centred titles.
class CSkinHeaderCtrl : public CHeaderCtrl {
public:
    void SetSkin(UINT bitmap, int font_height, COLORREF text_colour, LPCWSTR face);

    CBitmap m_Bitmap;
    CFont m_Font;
    COLORREF m_TextColour = RGB(255, 255, 255);

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override;
};

// A report-view list in the player's colours: a painted header, painted scroll bars in place of
// the list's own (which a window region cuts away), and a selected row drawn in the style's
// selected colours rather than the platform's highlight.
class CSkinListCtrl : public CListCtrl {
public:
    // Takes the style; the caller sets the list's colours from it afterwards.
    void ApplySkin(const SkinListStyle&);
    // Selects one row of a list and scrolls it to the top; a row past the end selects the last.
    static void SelectRow(CListCtrl* list, int row);
    void SetRowSelected(int row, BOOL on);
    BOOL IsRowSelected(int row) const;

    CSkinHeaderCtrl m_Header;
    CSkinVScrollBar m_VScroll;
    CSkinHScrollBar m_HScroll;
    SkinListStyle m_Style {};
    std::unique_ptr<CFont> m_pRowFont;

protected:
    BOOL OnEraseBkgnd(CDC*) override;
    // The list's custom-draw notification, reflected to the list itself.
    BOOL OnChildNotify(UINT message, WPARAM, LPARAM, LRESULT* result) override;

private:
    // The selected row whose selection is taken away while it is painted, -1 for none.
    int m_nRowUnselected = -1;
};
