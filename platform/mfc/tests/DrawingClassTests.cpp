#include "ScreenTest.h"

#include "BitmapCanvas.h"

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr COLORREF red = RGB(255, 0, 0);
constexpr COLORREF blue = RGB(0, 0, 255);
constexpr COLORREF green = RGB(0, 255, 0);

// A window that paints its whole client area red through CPaintDC and records its contexts.
class PaintedWindow : public CWnd {
public:
    void OnPaint() override
    {
        CPaintDC dc(this);
        paint_rects.push_back(dc.m_ps.rcPaint);
        CRect client;
        GetClientRect(client);
        dc.FillSolidRect(client, red);
    }
    BOOL OnEraseBkgnd(CDC* dc) override
    {
        erase_contexts.push_back(dc ? dc->m_hDC : nullptr);
        return TRUE;
    }

    std::vector<RECT> paint_rects;
    std::vector<HDC> erase_contexts;
};

class DrawingClasses : public ScreenTest { };

} // namespace

TEST_F(DrawingClasses, PaintContextPaintsOnlyTheInvalidPart)
{
    PaintedWindow window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, u"painted", WS_POPUP | WS_VISIBLE, 100, 50, 200, 100, nullptr, nullptr));
    UpdateWindow(window.m_hWnd);
    ASSERT_FALSE(window.erase_contexts.empty());
    EXPECT_NE(window.erase_contexts.back(), nullptr) << "OnEraseBkgnd gets a real context";
    EXPECT_EQ(pixels_not({ 100, 50, 300, 150 }, red), 0);

    // Paint the window's area over from outside, then invalidate a part of it.
    fill_screen(blue);
    RECT part { 20, 10, 60, 40 };
    window.InvalidateRect(&part, FALSE);
    window.UpdateWindow();
    ASSERT_FALSE(window.paint_rects.empty());
    EXPECT_EQ(CRect(window.paint_rects.back()), CRect(part));
    EXPECT_EQ(pixels_not({ 120, 60, 160, 90 }, red), 0) << "the invalid part is painted";
    EXPECT_EQ(pixels_not({ 160, 90, 300, 150 }, blue), 0) << "the rest is clipped away";
    EXPECT_EQ(pixels_not({ 0, 0, 100, 272 }, blue), 0) << "nothing outside the window";
    window.DestroyWindow();
}

TEST_F(DrawingClasses, FillSolidRectFillsAndKeepsTheBackgroundColour)
{
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(nullptr));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&memory, 20, 10));
    memory.SelectObject(&bitmap);
    memory.FillSolidRect(0, 0, 20, 10, blue);
    memory.FillSolidRect(CRect(5, 2, 8, 4), green);
    EXPECT_EQ(memory.GetBkColor(), green);
    struct Case {
        int x, y;
        COLORREF colour;
    };
    for (auto [x, y, colour] : { Case { 5, 2, green }, Case { 7, 3, green }, Case { 8, 3, blue }, Case { 4, 2, blue }, Case { 5, 4, blue } })
        EXPECT_EQ(memory.GetPixel(x, y), colour) << x << "," << y;
    // Nothing is drawn outside the given rectangle on the screen either.
    fill_screen(red);
    CDC* screen = CDC::FromHandle(GetDC(nullptr));
    screen->FillSolidRect(10, 10, 30, 20, blue);
    ReleaseDC(nullptr, *screen);
    EXPECT_EQ(pixels_not({ 10, 10, 40, 30 }, blue), 0);
    EXPECT_EQ(pixels_not({ 40, 10, 60, 30 }, red), 0);
}

TEST_F(DrawingClasses, SelectObjectAnswersThePreviousObjectAsItsClass)
{
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    CFont big, small;
    ASSERT_TRUE(big.CreateFont(22, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, DRAFT_QUALITY, FF_SWISS, u"Arial"));
    ASSERT_TRUE(small.CreateFont(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, DRAFT_QUALITY, FF_SWISS, u"Arial"));
    CFont* stock = dc.SelectObject(&big);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(stock->m_hObject, GetStockObject(SYSTEM_FONT)) << "a fresh context has the system font";
    EXPECT_EQ(dc.SelectObject(&small), &big) << "an attached object comes back as itself";
    EXPECT_EQ(dc.GetTextExtent(CString(u"Wide")).cy, 12);
    EXPECT_EQ(dc.SelectObject(stock), &small);
    EXPECT_EQ(dc.GetTextExtent(u"Wide", 4).cy, 16);

    CPen pen(PS_SOLID, 1, red);
    CBrush brush(green);
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&dc, 4, 4));
    EXPECT_EQ(dc.SelectObject(&pen)->m_hObject, GetStockObject(BLACK_PEN));
    EXPECT_EQ(dc.SelectObject(&brush)->m_hObject, GetStockObject(WHITE_BRUSH));
    CBitmap* first = dc.SelectObject(&bitmap);
    ASSERT_NE(first, nullptr);
    BITMAP info {};
    ASSERT_TRUE(first->GetBitmap(&info));
    EXPECT_EQ(info.bmWidth, 1) << "memory contexts start with a one-pixel bitmap";
    EXPECT_EQ(dc.SelectStockObject(BLACK_PEN)->m_hObject, pen.m_hObject);
    EXPECT_EQ(dc.SelectObject(first), &bitmap);

    // The selected objects draw: a rectangle with the red pen and green brush.
    dc.SelectObject(&bitmap);
    dc.SelectObject(&pen);
    dc.Rectangle(0, 0, 4, 4);
    EXPECT_EQ(dc.GetPixel(0, 0), red);
    EXPECT_EQ(dc.GetPixel(2, 2), green);
}

TEST_F(DrawingClasses, ObjectsGoWithTheirOwnersUnlessDetached)
{
    HGDIOBJ kept = nullptr;
    HGDIOBJ deleted = nullptr;
    {
        CBrush detached(red);
        CBrush owned(blue);
        deleted = owned.m_hObject;
        kept = detached.Detach();
    }
    BITMAP unused {};
    RECT rect { 0, 0, 1, 1 };
    CDC* screen = CDC::FromHandle(GetDC(nullptr));
    EXPECT_TRUE(::FillRect(*screen, &rect, static_cast<HBRUSH>(kept)));
    EXPECT_FALSE(::FillRect(*screen, &rect, static_cast<HBRUSH>(deleted)));
    EXPECT_EQ(::GetObject(deleted, sizeof unused, &unused), 0);
    ReleaseDC(nullptr, *screen);
    CDC::release_temporary(screen->m_hDC);
    // A temporary object deletes the handle when asked, and goes with it.
    EXPECT_TRUE(CBrush::FromHandle(static_cast<HBRUSH>(kept))->DeleteObject());
    EXPECT_FALSE(::DeleteObject(kept));
}

TEST_F(DrawingClasses, BitmapsLoadByNumberWithTheirSize)
{
    resources().add_bitmap(207, 64, 40, [](BitmapCanvas& canvas) { canvas.fill(green); });
    CBitmap picture;
    ASSERT_TRUE(picture.LoadBitmap(207));
    BITMAP info {};
    ASSERT_TRUE(picture.GetBitmap(&info));
    EXPECT_EQ(info.bmWidth, 64);
    EXPECT_EQ(info.bmHeight, 40);
    CBitmap missing;
    EXPECT_FALSE(missing.LoadBitmap(208));
    EXPECT_EQ(missing.m_hObject, nullptr);

    // Drawn through a memory context, the draw log names the bitmap.
    CDC* screen = CDC::FromHandle(GetDC(nullptr));
    CDC memory;
    memory.CreateCompatibleDC(screen);
    CBitmap* old = memory.SelectObject(&picture);
    screen->BitBlt(80, 60, 64, 40, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
    ReleaseDC(nullptr, *screen);
    CDC::release_temporary(screen->m_hDC);
    auto entry = gdi.draw_log().last_bitmap(207);
    ASSERT_TRUE(entry);
    EXPECT_EQ(CRect(entry->rect), CRect(80, 60, 144, 100));
    EXPECT_EQ(pixels_not({ 80, 60, 144, 100 }, green), 0);
}

TEST_F(DrawingClasses, TextClipAndSavedStates)
{
    fill_screen(RGB(255, 255, 255));
    CDC* screen = CDC::FromHandle(GetDC(nullptr));
    int saved = screen->SaveDC();
    screen->IntersectClipRect(10, 10, 50, 30);
    CRect box;
    EXPECT_NE(screen->GetClipBox(box), RGN_ERROR);
    EXPECT_EQ(box, CRect(10, 10, 50, 30));
    screen->SetTextColor(red);
    screen->SetBkMode(TRANSPARENT);
    CRect line(0, 0, 200, 40);
    screen->DrawText(CString(u"Clipped text"), line, DT_LEFT | DT_SINGLELINE);
    EXPECT_EQ(pixels_not({ 50, 0, 200, 40 }, RGB(255, 255, 255)), 0) << "nothing drawn outside the clip";
    EXPECT_GT(pixels_not({ 10, 10, 50, 30 }, RGB(255, 255, 255)), 0);
    screen->RestoreDC(saved);
    screen->GetClipBox(box);
    EXPECT_EQ(box, CRect(0, 0, 480, 272));
    EXPECT_EQ(screen->GetTextColor(), RGB(0, 0, 0));
    screen->TextOut(300, 100, CString(u"Out"));
    ASSERT_TRUE(gdi.draw_log().last_text(u"Out"));
    screen->MoveTo(5, 5);
    EXPECT_EQ(screen->MoveTo(9, 9), CPoint(5, 5));
    ReleaseDC(nullptr, *screen);
    CDC::release_temporary(screen->m_hDC);
}
