// The skinned list as the play list editor shows it: the selected row in the style's colours,
// painted scroll bars where the list's own would be, rows selected and brought to the top, and
// the header's strip under centred titles.

#include "ListHost.h"

#include "Colour.h"
#include "Controls.h"

namespace kivo::test {
namespace {

using SkinList = ListHostTest;

constexpr uint16_t c565(COLORREF colour) { return rgb565_of_colorref(colour); }

// Where a row lies on the screen.
CRect row_on_screen(CSkinListCtrl& list, int row)
{
    CRect rect;
    list.GetItemRect(row, &rect, LVIR_BOUNDS);
    rect.OffsetRect(list_place.left, list_place.top);
    return rect;
}

int pixels_of(const DecodedPng& shot, const RECT& rect, COLORREF colour)
{
    int count = 0;
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        for (LONG x = rect.left; x < rect.right; ++x)
            count += shot.pixel_565(x, y) == c565(colour);
    }
    return count;
}

RECT bounds_of(const std::vector<RECT>& rects)
{
    RECT box { 0, 0, 0, 0 };
    for (size_t i = 0; i < rects.size(); ++i) {
        const RECT& r = rects[i];
        box = i == 0 ? r : RECT { std::min(box.left, r.left), std::min(box.top, r.top), std::max(box.right, r.right), std::max(box.bottom, r.bottom) };
    }
    return box;
}

TEST_F(SkinList, ASelectedRowIsDrawnInTheStylesColoursInsteadOfTheHighlight)
{
    ASSERT_NE(host_window(), nullptr);
    list().SetRowSelected(2, TRUE);
    device->run_until_idle();
    auto shot = review_screenshot(*device, "skinlist-selected-row");

    CRect selected = row_on_screen(list(), 2);
    CRect plain = row_on_screen(list(), 1);
    EXPECT_EQ(selected.Height(), 24) << "rows are as tall as the style's row font";
    // Beside the file name, in the row's own background.
    EXPECT_EQ(shot.pixel_565(selected.left + 190, selected.CenterPoint().y), c565(RGB(255, 157, 11)));
    EXPECT_EQ(shot.pixel_565(plain.left + 190, plain.CenterPoint().y), c565(RGB(48, 97, 110)));
    CRect name_place(selected.left, selected.top, selected.left + 200, selected.bottom);
    EXPECT_GT(pixels_of(shot, name_place, RGB(1, 0, 1)), 20) << "dark text on the orange";
    EXPECT_EQ(pixels_of(shot, selected, look::highlight), 0) << "no platform highlight";
    EXPECT_EQ(pixels_of(shot, { plain.left, plain.top, plain.left + 200, plain.bottom }, RGB(1, 0, 1)), 0);

    auto name = device->component<Gdi>().draw_log().last_text(row_name(2));
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(name->colour, RGB(1, 0, 1));
    EXPECT_EQ(device->component<Gdi>().draw_log().last_text(row_name(1))->colour, RGB(255, 255, 255));
    // The selection taken away for the paint is back.
    EXPECT_TRUE(list().IsRowSelected(2));
    EXPECT_FALSE(list().IsRowSelected(1));
}

TEST_F(SkinList, PaintedBarsStandWhereTheListsOwnWouldBe)
{
    ASSERT_NE(host_window(), nullptr);
    // The list shows only left of and above a bar's width (13 pixels here).
    EXPECT_EQ(CRect(bounds_of(visible(list().m_hWnd))), CRect(4, 11, 366, 253));
    struct Bar {
        CWnd& bar;
        CRect place;
        // The arrow at the bar's start: up, left.
        UINT first_picture;
    } bars[] = {
        { list().m_VScroll, { 366, 11, 379, 253 }, IDB_VSCROLL_FIRST },
        { list().m_HScroll, { 4, 253, 366, 266 }, IDB_HSCROLL_FIRST + 2 },
    };
    auto entries = drawn();
    for (auto& b : bars) {
        SCOPED_TRACE(b.first_picture);
        CRect rect;
        b.bar.GetWindowRect(&rect);
        EXPECT_EQ(rect, b.place);
        EXPECT_TRUE(b.bar.IsWindowVisible());
        EXPECT_EQ(b.bar.GetDlgCtrlID(), 0xFFFF);
        EXPECT_EQ(::GetParent(b.bar.m_hWnd), host_window());
        EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [&](auto& e) {
            return e.bitmap_id == b.first_picture && e.rect.left == b.place.left && e.rect.top == b.place.top && e.painted;
        }));
    }

    // The bars serve the list: the down arrow tapped scrolls it a row and moves the thumb.
    int thumb_top = list().m_VScroll.m_rcThumb.top;
    tap(372, 246);
    EXPECT_EQ(list().GetTopIndex(), 1);
    EXPECT_GT(list().m_VScroll.m_rcThumb.top, thumb_top);
}

TEST_F(SkinList, SelectRowSelectsOneRowAndBringsItToTheTop)
{
    ASSERT_NE(host_window(), nullptr);
    ASSERT_EQ(list().GetCountPerPage(), 9);
    struct Case {
        int asked;
        int selected;
        int top;
    } cases[] = {
        { 5, 5, 5 },
        { 12, 12, 12 },
        // Near the end the list cannot scroll the row any higher than its last page allows.
        { 25, 25, 21 },
        { 99, 29, 21 },
        { 3, 3, 3 },
        { -4, 0, 0 },
    };
    // Where the thumb stood after each case: it follows the list as it scrolls.
    std::vector<std::pair<int, LONG>> thumbs;
    for (auto& c : cases) {
        SCOPED_TRACE(c.asked);
        CSkinListCtrl::SelectRow(&list(), c.asked);
        device->run_until_idle();
        std::vector<int> selected;
        for (int row = 0; row < list_rows; ++row) {
            if (list().IsRowSelected(row))
                selected.push_back(row);
        }
        EXPECT_EQ(selected, std::vector<int> { c.selected });
        EXPECT_EQ(list().GetSelectionMark(), c.selected);
        EXPECT_EQ(list().GetTopIndex(), c.top);
        thumbs.emplace_back(c.top, list().m_VScroll.m_rcThumb.top);
    }
    for (size_t i = 1; i < thumbs.size(); ++i) {
        auto [top_before, thumb_before] = thumbs[i - 1];
        auto [top, thumb] = thumbs[i];
        EXPECT_EQ(top > top_before, thumb > thumb_before) << i;
        EXPECT_EQ(top == top_before, thumb == thumb_before) << i;
    }
    EXPECT_EQ(list().m_VScroll.m_rcThumb.top, list().m_VScroll.m_rcTrack.top);
    auto shot = review_screenshot(*device, "skinlist-first-row");
    EXPECT_EQ(shot.pixel_565(200, row_on_screen(list(), 0).CenterPoint().y), c565(RGB(255, 157, 11)));
}

TEST_F(SkinList, SelectRowInAnEmptyListSelectsNothing)
{
    ASSERT_NE(host_window(), nullptr);
    list().DeleteAllItems();
    CSkinListCtrl::SelectRow(&list(), 3);
    device->run_until_idle();
    EXPECT_EQ(list().GetSelectionMark(), -1);
    EXPECT_EQ(list().GetTopIndex(), 0);
}

TEST_F(SkinList, TheHeaderStretchesItsStripUnderCentredTitlesAndTakesTaps)
{
    ASSERT_NE(host_window(), nullptr);
    CRect header;
    list().m_Header.GetWindowRect(&header);
    EXPECT_EQ(header.Height(), 22) << "as tall as its font";
    EXPECT_EQ(row_on_screen(list(), 0).top, 11 + 22);

    auto entries = drawn();
    std::vector<RECT> strips;
    for (auto& e : entries) {
        if (e.bitmap_id == IDB_LIST_HEADER && e.painted)
            strips.push_back(e.rect);
    }
    ASSERT_GE(strips.size(), 2u);
    // The first column's strip is its own width; the last reaches past the list's visible edge.
    EXPECT_EQ(CRect(strips[0]), CRect(4, 11, 204, 33));
    EXPECT_EQ(strips[1].left, 204);
    EXPECT_GE(strips[1].right, 366);

    struct Title {
        std::u16string_view text;
        int centre;
    } titles[] = { { u"檔案名稱", 104 }, { u"資料夾", 304 } };
    for (auto& t : titles) {
        auto drawn_title = device->component<Gdi>().draw_log().last_text(t.text);
        ASSERT_TRUE(drawn_title.has_value());
        EXPECT_EQ(drawn_title->colour, RGB(255, 255, 255));
        EXPECT_NEAR((drawn_title->rect.left + drawn_title->rect.right) / 2, t.centre, 2);
        EXPECT_GE(drawn_title->rect.top, 11);
        EXPECT_LE(drawn_title->rect.bottom, 33);
    }
    // Painting its own titles, the header still tells the list of taps on them.
    tap(300, 22);
    EXPECT_EQ(g_host.column_clicked, 1);
    tap(100, 22);
    EXPECT_EQ(g_host.column_clicked, 0);
}

} // namespace
} // namespace kivo::test
