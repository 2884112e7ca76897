#include "ScreenTest.h"

#include "gdi/tests/ScreenshotPixels.h"
#include "gwes/TouchInput.h"

#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr COLORREF key = RGB(255, 102, 255);
constexpr COLORREF header_colour = RGB(20, 40, 160);
constexpr COLORREF row_colour = RGB(48, 97, 110);
constexpr COLORREF chosen_text = RGB(1, 0, 1);
constexpr COLORREF chosen_colour = RGB(255, 157, 11);
constexpr COLORREF folder_colour = RGB(250, 210, 0);
constexpr COLORREF file_colour = RGB(0, 200, 90);
constexpr COLORREF parent_colour = RGB(0, 0, 0);

// A header that paints its titles itself, from what the header says of its items.
class PaintedHeader : public CHeaderCtrl {
public:
    void OnPaint() override
    {
        CPaintDC dc(this);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(RGB(255, 255, 255));
        for (int index = 0; index < GetItemCount(); ++index) {
            WCHAR text[32] {};
            HDITEM item { HDI_TEXT, 0, text, nullptr, 32, 0, 0 };
            CRect rect;
            if (!GetItem(index, &item) || !GetItemRect(index, &rect))
                continue;
            dc.FillSolidRect(&rect, header_colour);
            dc.DrawText(text, -1, &rect, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
            titles.push_back(text);
        }
    }
    BOOL OnEraseBkgnd(CDC*) override { return FALSE; }
    std::vector<std::u16string> titles;
};

// A list that draws its selected rows in its own colours: it clears the selection while a row is
// painted, so that the platform's highlight stays away, and sets it again after.
class SkinnedList : public CListCtrl {
public:
    BOOL OnChildNotify(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override
    {
        auto* draw = reinterpret_cast<LPNMLVCUSTOMDRAW>(lparam);
        if (message != WM_NOTIFY || draw->nmcd.hdr.code != NM_CUSTOMDRAW)
            return CListCtrl::OnChildNotify(message, wparam, lparam, result);
        stages.push_back(draw->nmcd.dwDrawStage);
        int row = static_cast<int>(draw->nmcd.dwItemSpec);
        switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            *result = CDRF_NOTIFYITEMDRAW;
            break;
        case CDDS_ITEMPREPAINT:
            *result = CDRF_DODEFAULT;
            if (GetItemState(row, LVIS_SELECTED)) {
                draw->clrText = chosen_text;
                draw->clrTextBk = chosen_colour;
                SetItemState(row, 0, LVIS_SELECTED);
                cleared = row;
                *result = CDRF_NOTIFYPOSTPAINT;
            }
            break;
        case CDDS_ITEMPOSTPAINT:
            if (cleared == row)
                SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
            cleared = -1;
            *result = CDRF_DODEFAULT;
            break;
        default:
            *result = CDRF_DODEFAULT;
        }
        return TRUE;
    }
    std::vector<DWORD> stages;
    int cleared = -1;
};

class Parent : public CWnd {
public:
    BOOL OnEraseBkgnd(CDC* dc) override
    {
        CRect client;
        GetClientRect(&client);
        dc->FillSolidRect(&client, parent_colour);
        return TRUE;
    }
};

class ListViews : public ScreenTest {
protected:
    ListViews() { parent.CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr); }
    ~ListViews() override { parent.DestroyWindow(); }

    // Two 33 x 24 pictures, each its colour with its right third in the mask colour.
    void make_icons(CImageList& list)
    {
        CDC memory;
        memory.CreateCompatibleDC(nullptr);
        CBitmap strip;
        strip.CreateCompatibleBitmap(&memory, 66, 24);
        CBitmap* previous = memory.SelectObject(&strip);
        memory.FillSolidRect(0, 0, 22, 24, folder_colour);
        memory.FillSolidRect(33, 0, 22, 24, file_colour);
        memory.FillSolidRect(22, 0, 11, 24, key);
        memory.FillSolidRect(55, 0, 11, 24, key);
        memory.SelectObject(previous);
        ASSERT_TRUE(list.Create(33, 24, ILC_COLOR16 | ILC_MASK, 2, 1));
        ASSERT_EQ(list.Add(&strip, key), 0);
    }
    void settle()
    {
        parent.UpdateWindow();
        drain();
    }

    Parent parent;
};

} // namespace

TEST_F(ListViews, SkinnedListPaintsItsHeaderRowsPicturesAndChosenRowInItsOwnColours)
{
    SkinnedList list;
    ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(4, 11, 379, 211), &parent, 1008));
    PaintedHeader header;
    ASSERT_TRUE(header.SubclassWindow(list.GetHeaderCtrl()->m_hWnd));
    EXPECT_EQ(list.GetHeaderCtrl(), &header) << "the subclassed header is the list's header object";
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    CFont rows;
    rows.CreateFont(24, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
    list.SetFont(&rows);
    EXPECT_EQ(list.GetFont(), &rows);
    CImageList icons;
    make_icons(icons);
    list.SetImageList(&icons, LVSIL_SMALL);
    list.SetBkColor(row_colour);
    list.SetTextColor(RGB(255, 255, 255));
    list.SetTextBkColor(row_colour);
    list.InsertColumn(0, u"檔案名稱", 0, 200);
    list.InsertColumn(1, u"資料夾", 0, 200);
    for (int row = 0; row < 5; ++row) {
        list.InsertItem(row, row == 0 ? u"Music" : u"song.mp3", row == 0 ? 0 : 1);
        list.SetItemText(row, 1, u"\\SDMMC\\");
    }
    list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    settle();
    review_screenshot(*device, "skinned_list");

    EXPECT_EQ(header.titles, (std::vector<std::u16string> { u"檔案名稱", u"資料夾" }));
    CRect header_rect;
    header.GetWindowRect(&header_rect);
    EXPECT_EQ(header_rect.Height(), 20);
    EXPECT_EQ(pixel(6, 12), c565(header_colour));
    // Rows are as tall as the font, below the header: row r from y 31 + 24 r.
    CRect first;
    ASSERT_TRUE(list.GetItemRect(0, &first, LVIR_BOUNDS));
    EXPECT_EQ(first.Height(), 24);
    EXPECT_EQ(first.top, 20);
    struct Case {
        int x;
        int y;
        COLORREF colour;
        const char* what;
    };
    const Case cases[] = {
        { 300, 33, row_colour, "a plain row's cells on the text background" },
        { 300, 57, chosen_colour, "the chosen row, the whole row in its colour" },
        { 8, 35, folder_colour, "the first row's picture" },
        { 8, 59, file_colour, "the next row's picture" },
        { 33, 35, row_colour, "the picture's masked part shows the row" },
        { 300, 190, row_colour, "the list's background below the rows" },
        { 2, 100, parent_colour, "the parent outside the list" },
    };
    for (auto& c : cases)
        EXPECT_EQ(pixel(c.x, c.y), c565(c.colour)) << c.what;
    EXPECT_TRUE(list.GetItemState(1, LVIS_SELECTED)) << "set again after its row was painted";
    EXPECT_EQ(pixels_not({ 320, 33, 375, 53 }, row_colour), 0) << "no platform highlight on plain rows";

    // The stages of one paint: the start, then each row before and (for the chosen one) after.
    const std::vector<DWORD> expected { CDDS_PREPAINT, CDDS_ITEMPREPAINT, CDDS_ITEMPREPAINT, CDDS_ITEMPOSTPAINT, CDDS_ITEMPREPAINT,
        CDDS_ITEMPREPAINT, CDDS_ITEMPREPAINT };
    ASSERT_GE(list.stages.size(), expected.size());
    EXPECT_EQ(std::vector<DWORD>(list.stages.end() - static_cast<long>(expected.size()), list.stages.end()), expected);
    // Clearing and setting the selection while painting asks for no new paint.
    size_t painted = list.stages.size();
    settle();
    pass(100);
    EXPECT_EQ(list.stages.size(), painted);
}

TEST_F(ListViews, CustomDrawAnswersDecideWhichStagesFollowAndWhatIsPainted)
{
    class AnsweringList : public CListCtrl {
    public:
        BOOL OnChildNotify(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override
        {
            auto* draw = reinterpret_cast<LPNMCUSTOMDRAW>(lparam);
            if (message != WM_NOTIFY || draw->hdr.code != NM_CUSTOMDRAW)
                return CListCtrl::OnChildNotify(message, wparam, lparam, result);
            stages.push_back(draw->dwDrawStage);
            if (draw->dwDrawStage == CDDS_ITEMPREPAINT)
                reinterpret_cast<LPNMLVCUSTOMDRAW>(lparam)->clrTextBk = RGB(200, 0, 0);
            *result = (draw->dwDrawStage & CDDS_ITEM) ? item_answer : paint_answer;
            return TRUE;
        }
        LRESULT paint_answer = CDRF_DODEFAULT;
        LRESULT item_answer = CDRF_DODEFAULT;
        std::vector<DWORD> stages;
    };
    struct Case {
        LRESULT paint_answer;
        LRESULT item_answer;
        std::vector<DWORD> stages;
        COLORREF row;
    };
    constexpr DWORD pre = CDDS_PREPAINT;
    constexpr DWORD post = CDDS_POSTPAINT;
    constexpr DWORD item_pre = CDDS_ITEMPREPAINT;
    constexpr DWORD item_post = CDDS_ITEMPOSTPAINT;
    constexpr COLORREF white = RGB(255, 255, 255);
    const Case cases[] = {
        { CDRF_DODEFAULT, CDRF_DODEFAULT, { pre }, white },
        { CDRF_NOTIFYITEMDRAW, CDRF_DODEFAULT, { pre, item_pre, item_pre }, RGB(200, 0, 0) },
        { CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT, CDRF_NOTIFYPOSTPAINT, { pre, item_pre, item_post, item_pre, item_post, post }, RGB(200, 0, 0) },
        { CDRF_NOTIFYITEMDRAW, CDRF_SKIPDEFAULT, { pre, item_pre, item_pre }, white },
        { CDRF_SKIPDEFAULT | CDRF_NOTIFYITEMDRAW, CDRF_DODEFAULT, { pre }, white },
    };
    for (auto& c : cases) {
        AnsweringList list;
        ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER, CRect(0, 0, 200, 100), &parent, 1));
        list.InsertColumn(0, u"", 0, 200);
        list.InsertItem(0, u"");
        list.InsertItem(1, u"");
        list.paint_answer = c.paint_answer;
        list.item_answer = c.item_answer;
        settle();
        list.stages.clear();
        list.Invalidate();
        settle();
        EXPECT_EQ(list.stages, c.stages) << c.paint_answer << " " << c.item_answer;
        EXPECT_EQ(pixel(100, 10), c565(c.row)) << c.paint_answer << " " << c.item_answer;
        list.DestroyWindow();
    }
}

TEST_F(ListViews, RowsAreAsTallAsTheFontOrTheSmallPictures)
{
    CImageList icons;
    make_icons(icons);
    struct Case {
        int font_height;
        bool pictures;
        int row_height;
    };
    const Case cases[] = { { 0, false, 20 }, { 30, false, 30 }, { 12, true, 24 }, { 0, true, 24 } };
    for (auto& c : cases) {
        CListCtrl list;
        ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 200, 200), &parent, 1));
        list.InsertColumn(0, u"", 0, 200);
        list.InsertItem(0, u"one");
        CFont font;
        if (c.font_height) {
            font.CreateFont(c.font_height, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
            list.SetFont(&font);
        }
        if (c.pictures)
            list.SetImageList(&icons, LVSIL_SMALL);
        CRect row;
        ASSERT_TRUE(list.GetItemRect(0, &row, LVIR_BOUNDS));
        EXPECT_EQ(row.Height(), c.row_height) << c.font_height << " " << c.pictures;
        EXPECT_EQ(list.GetCountPerPage(), (200 - 20) / c.row_height);
        list.DestroyWindow();
    }
}

TEST_F(ListViews, AWindowRegionHoldsPaintingAndTouchesToItself)
{
    class Pad : public CWnd {
    public:
        explicit Pad(COLORREF colour)
            : m_colour(colour)
        {
        }
        BOOL OnEraseBkgnd(CDC* dc) override
        {
            dc->FillSolidRect(0, 0, 480, 272, m_colour);
            return TRUE;
        }
        void OnLButtonDown(UINT, CPoint) override { ++presses; }
        COLORREF m_colour;
        int presses = 0;
    };
    constexpr COLORREF below_colour = RGB(0, 0, 200);
    constexpr COLORREF above_colour = RGB(200, 0, 0);
    Pad below(below_colour);
    below.CreateEx(0, nullptr, u"below", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr);
    Pad above(above_colour);
    above.CreateEx(0, nullptr, u"above", WS_POPUP | WS_VISIBLE, 100, 50, 200, 150, nullptr, nullptr);
    // The region cuts away the right 40 and the bottom 30 pixels, as a list's own bars would be.
    CRgn region;
    region.CreateRectRgn(0, 0, 160, 120);
    ASSERT_TRUE(above.SetWindowRgn(region, TRUE));
    region.Detach();
    below.UpdateWindow();
    above.UpdateWindow();
    drain();
    review_screenshot(*device, "window_region");
    EXPECT_EQ(pixels_not({ 100, 50, 260, 170 }, above_colour), 0);
    EXPECT_EQ(pixels_not({ 260, 50, 300, 200 }, below_colour), 0) << "the cut-away part shows what lies below";
    EXPECT_EQ(pixels_not({ 100, 170, 300, 200 }, below_colour), 0);

    CRgn copy;
    copy.CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(::GetWindowRgn(above, copy), SIMPLEREGION);
    CRgn expected;
    expected.CreateRectRgn(0, 0, 160, 120);
    EXPECT_EQ(copy.CombineRgn(&copy, &expected, RGN_XOR), NULLREGION) << "the copy is the region given";

    auto& touch = device->component<TouchInput>();
    struct Tap {
        int x;
        int y;
        int above;
        int below;
    };
    const Tap taps[] = { { 150, 100, 1, 0 }, { 280, 100, 1, 1 }, { 150, 185, 1, 2 } };
    for (auto& tap : taps) {
        touch.tap(tap.x, tap.y);
        drain();
        device->advance(600);
        EXPECT_EQ(above.presses, tap.above) << tap.x << "," << tap.y;
        EXPECT_EQ(below.presses, tap.below) << tap.x << "," << tap.y;
    }

    // Without a region the window is whole again (raised first: the taps below it raised the other).
    above.BringWindowToTop();
    ASSERT_TRUE(above.SetWindowRgn(nullptr, TRUE));
    EXPECT_EQ(::GetWindowRgn(above, copy), RGN_ERROR);
    above.UpdateWindow();
    drain();
    EXPECT_EQ(pixels_not({ 100, 50, 300, 200 }, above_colour), 0);
    EXPECT_FALSE(::SetWindowRgn(nullptr, nullptr, TRUE));
    above.DestroyWindow();
    below.DestroyWindow();
}

TEST_F(ListViews, ThePlatformsHighlightCoversTheWholeRowOrTheLabelAndLeavesThePicture)
{
    CImageList icons;
    make_icons(icons);
    constexpr COLORREF highlight = RGB(0, 84, 166);
    struct Case {
        DWORD ex_style;
        COLORREF label;
        COLORREF second_column;
    };
    const Case cases[] = { { LVS_EX_FULLROWSELECT, highlight, highlight }, { 0, highlight, row_colour } };
    for (auto& c : cases) {
        CListCtrl list;
        ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER, CRect(0, 0, 400, 100), &parent, 1));
        list.SetExtendedStyle(c.ex_style);
        list.SetImageList(&icons, LVSIL_SMALL);
        list.SetTextBkColor(row_colour);
        list.InsertColumn(0, u"", 0, 200);
        list.InsertColumn(1, u"", 0, 200);
        list.InsertItem(0, u"", 0);
        list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
        settle();
        EXPECT_EQ(pixel(8, 12), c565(folder_colour)) << c.ex_style;
        EXPECT_EQ(pixel(30, 12), c565(c.ex_style ? highlight : row_colour)) << "the picture's masked part: " << c.ex_style;
        EXPECT_EQ(pixel(100, 12), c565(c.label)) << c.ex_style;
        EXPECT_EQ(pixel(300, 12), c565(c.second_column)) << c.ex_style;
        list.DestroyWindow();
    }
}
