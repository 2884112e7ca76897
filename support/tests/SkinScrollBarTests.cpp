#include "ControlTest.h"

#include "CSkinHScrollBar.h"
#include "CSkinVScrollBar.h"

#include <optional>

using namespace kivo;
using namespace kivo::test;

namespace {

using P = ControlPictures;

// The vertical bar at (300, 20), 13 by 126: arrows of 13, a track of 100 from y 13 to 113. The
// horizontal bar at (20, 150), 226 by 13: a track of 200 from x 13 to 213.
constexpr POINT vbar_at { 300, 20 };
constexpr POINT hbar_at { 20, 150 };

class SkinScrollBars : public ControlTest {
protected:
    SkinScrollBars()
    {
        list.CreateEx(0, nullptr, u"list", WS_CHILD, 20, 20, 280, 130, dialog.m_hWnd, nullptr);
        list.set(SB_VERT, 0, 99, 10, 0);
        list.set(SB_HORZ, 0, 399, 100, 0);
        vbar.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(vbar_at.x, vbar_at.y, vbar_at.x + 13, vbar_at.y + 126),
            &dialog, 0xFFFF);
        hbar.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(hbar_at.x, hbar_at.y, hbar_at.x + 226, hbar_at.y + 13),
            &dialog, 0xFFFF);
        vbar.SetBitmaps(P::up, P::up_pressed, P::down, P::down_pressed, P::bar_track, P::bar_thumb, P::bar_thumb_pressed);
        hbar.SetBitmaps(P::right, P::right_pressed, P::left, P::left_pressed, P::bar_track, P::bar_thumb, P::bar_thumb_pressed);
        vbar.Layout();
        hbar.Layout();
        vbar.m_pList = &list;
        hbar.m_pList = &list;
        vbar.UpdateThumb();
        hbar.UpdateThumb();
        drain();
    }
    ~SkinScrollBars() override
    {
        vbar.DestroyWindow();
        hbar.DestroyWindow();
        list.DestroyWindow();
    }

    static POINT in_vbar(int y) { return { vbar_at.x + 6, vbar_at.y + y }; }
    static POINT in_hbar(int x) { return { hbar_at.x + x, hbar_at.y + 6 }; }
    // Whether any of the bars' timers still runs (killing it tells).
    bool timers_running()
    {
        bool running = false;
        for (UINT_PTR id : { CSkinVScrollBar::delay_timer, CSkinVScrollBar::repeat_timer, CSkinVScrollBar::page_timer })
            running |= ::KillTimer(vbar.m_hWnd, id) != FALSE;
        for (UINT_PTR id : { CSkinHScrollBar::delay_timer, CSkinHScrollBar::repeat_timer })
            running |= ::KillTimer(hbar.m_hWnd, id) != FALSE;
        return running;
    }
    std::vector<UINT> codes_of(int bar) const
    {
        std::vector<UINT> codes;
        for (auto code : list.codes) {
            if (code.bar == bar)
                codes.push_back(code.code);
        }
        return codes;
    }

    ServedList list;
    CSkinVScrollBar vbar;
    CSkinHScrollBar hbar;
};

TEST_F(SkinScrollBars, HeldArrowWaitsThenRepeatsAndAddsALineOnRelease)
{
    struct Case {
        const char* name;
        int bar;
        POINT at;
        UINT code;
        uint32_t hold_ms;
        size_t while_held;
    };
    const Case cases[] = {
        { "down, tapped", SB_VERT, in_vbar(120), SB_LINEDOWN, 100, 0 },
        { "down, just the delay", SB_VERT, in_vbar(120), SB_LINEDOWN, 250, 0 },
        // The repeat starts 50 ms after the delay: at 300, 350, 400, 450 and 500 ms.
        { "down, held", SB_VERT, in_vbar(120), SB_LINEDOWN, 500, 5 },
        { "up, held", SB_VERT, in_vbar(5), SB_LINEUP, 500, 5 },
        { "right, tapped", SB_HORZ, in_hbar(220), SB_LINERIGHT, 100, 0 },
        { "right, held", SB_HORZ, in_hbar(220), SB_LINERIGHT, 500, 5 },
        { "left, held", SB_HORZ, in_hbar(5), SB_LINELEFT, 300, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        list.codes.clear();
        press(c.at);
        pass(c.hold_ms);
        EXPECT_EQ(codes_of(c.bar), std::vector<UINT>(c.while_held, c.code));
        release(c.at);
        EXPECT_EQ(codes_of(c.bar), std::vector<UINT>(c.while_held + 1, c.code));
        EXPECT_FALSE(timers_running()) << "the delay and the repeat end with the release";
    }
}

TEST_F(SkinScrollBars, TrackPagesTowardTheStylus)
{
    // Horizontal: once, on the release, toward the tapped side of the thumb (13 to 64).
    press(in_hbar(150));
    EXPECT_TRUE(list.codes.empty());
    release(in_hbar(150));
    EXPECT_EQ(codes_of(SB_HORZ), std::vector<UINT> { SB_PAGERIGHT });
    list.set(SB_HORZ, 0, 399, 100, 200);
    hbar.UpdateThumb();
    list.codes.clear();
    press(in_hbar(50));
    release(in_hbar(50));
    EXPECT_EQ(codes_of(SB_HORZ), std::vector<UINT> { SB_PAGELEFT });

    // Vertical: at once and every 250 ms until the thumb (11 long, moving 10 a page) covers y 60.
    list.codes.clear();
    press(in_vbar(60));
    EXPECT_EQ(codes_of(SB_VERT), std::vector<UINT> { SB_PAGEDOWN });
    pass(2000);
    EXPECT_EQ(codes_of(SB_VERT), std::vector<UINT>(4, SB_PAGEDOWN));
    EXPECT_TRUE(vbar.m_rcThumb.PtInRect(CPoint(6, 60)));
    release(in_vbar(60));
    EXPECT_EQ(list.codes.size(), 4u);
    EXPECT_FALSE(timers_running()) << "paging ends with the release";
}

TEST_F(SkinScrollBars, ThumbFollowsTheListsScrollState)
{
    struct Case {
        const char* name;
        int bar;
        int min, max;
        UINT page;
        int position;
        int start, end; // along the bar; the track runs from 13
    };
    const Case cases[] = {
        { "top", SB_VERT, 0, 99, 10, 0, 13, 24 },
        { "middle", SB_VERT, 0, 99, 10, 50, 63, 74 },
        // 103 to 114 would pass the track's end at 113: moved back, its length kept.
        { "bottom", SB_VERT, 0, 99, 10, 90, 102, 113 },
        { "page 0", SB_VERT, 0, 99, 0, 0, 13, 14 },
        { "left", SB_HORZ, 0, 399, 100, 0, 13, 64 },
        { "right", SB_HORZ, 0, 399, 100, 300, 163, 214 },
        { "page 0, across", SB_HORZ, 0, 399, 0, 200, 113, 114 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        list.set(c.bar, c.min, c.max, c.page, c.position);
        gdi.draw_log().clear();
        if (c.bar == SB_VERT) {
            vbar.UpdateThumb();
            EXPECT_EQ(std::pair(vbar.m_rcThumb.top, vbar.m_rcThumb.bottom), std::pair(c.start, c.end));
        } else {
            hbar.UpdateThumb();
            EXPECT_EQ(std::pair(hbar.m_rcThumb.left, hbar.m_rcThumb.right), std::pair(c.start, c.end));
        }
        auto thumb = gdi.draw_log().last_bitmap(P::bar_thumb);
        ASSERT_TRUE(thumb);
        RECT expected = c.bar == SB_VERT ? RECT { vbar_at.x, vbar_at.y + c.start, vbar_at.x + 13, vbar_at.y + c.end }
                                         : RECT { hbar_at.x + c.start, hbar_at.y, hbar_at.x + c.end, hbar_at.y + 13 };
        EXPECT_EQ(CRect(thumb->rect), CRect(expected)) << "the thumb is painted where it lies";
    }
}

TEST_F(SkinScrollBars, StateWithoutPositionsLeavesTheThumb)
{
    for (auto [min, max] : { std::pair(0, -1), std::pair(5, 3) }) {
        list.set(SB_VERT, min, max, 10, 0);
        list.set(SB_HORZ, min, max, 10, 0);
        vbar.UpdateThumb();
        hbar.UpdateThumb();
        EXPECT_EQ(std::pair(vbar.m_rcThumb.top, vbar.m_rcThumb.bottom), std::pair(13, 24));
        EXPECT_EQ(std::pair(hbar.m_rcThumb.left, hbar.m_rcThumb.right), std::pair(13, 64));
    }
}

TEST_F(SkinScrollBars, ThumbDragScrollsTheList)
{
    struct Case {
        const char* name;
        int bar;
        UINT page; // the ranges are 0 to 99 (vertical) and 0 to 399 (horizontal)
        POINT press, to;
        std::optional<std::pair<int, int>> scroll;
    };
    const Case cases[] = {
        // 10 below the thumb's end, over a room of 100 - 11, by items of 20, to a limit of 90.
        { "vertical, below the thumb", SB_VERT, 10, in_vbar(15), in_vbar(34), std::pair(0, 10 * 20 * 90 / 89) },
        { "vertical, inside the thumb", SB_VERT, 10, in_vbar(15), in_vbar(22), std::nullopt },
        // (100 - 51 / 2 - 13) × 300 / (200 - 51) = 124.8 from position 0.
        { "horizontal", SB_HORZ, 100, in_hbar(30), in_hbar(100), std::pair(124, 0) },
        // Thumbs as long as their tracks or longer: nothing to drag along.
        { "vertical, thumb fills the track", SB_VERT, 99, in_vbar(15), in_vbar(120), std::nullopt },
        { "horizontal, thumb fills the track", SB_HORZ, 399, in_hbar(30), in_hbar(220), std::nullopt },
        { "horizontal, thumb past the track", SB_HORZ, 400, in_hbar(30), in_hbar(220), std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        list.set(c.bar, 0, c.bar == SB_VERT ? 99 : 399, c.page, 0);
        vbar.UpdateThumb();
        hbar.UpdateThumb();
        list.scrolls.clear();
        press(c.press);
        move(c.to);
        if (c.scroll)
            EXPECT_EQ(list.scrolls, (std::vector<std::pair<int, int>> { *c.scroll }));
        else
            EXPECT_TRUE(list.scrolls.empty());
        release(c.to);
    }
}

} // namespace
