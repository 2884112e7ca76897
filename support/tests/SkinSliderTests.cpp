#include "ControlTest.h"

#include "CSkinSlider.h"

using namespace kivo;
using namespace kivo::test;

namespace {

using Notice = NoticeDialog::Notice;
constexpr int slider_id = 1013;
// A 300 by 20 seek bar at (90, 120) with the players' range 0 to 999.
constexpr RECT slider_place { 90, 120, 390, 140 };
constexpr int mid_y = 130;

class SkinSlider : public ControlTest {
protected:
    SkinSlider()
    {
        // As in a player: the dialog's progress control, subclassed.
        CreateWindowEx(0, PROGRESS_CLASS, nullptr, WS_CHILD | WS_VISIBLE, slider_place.left, slider_place.top,
            slider_place.right - slider_place.left, slider_place.bottom - slider_place.top, dialog.m_hWnd,
            reinterpret_cast<HMENU>(slider_id), nullptr, nullptr);
        slider.SubclassDlgItem(slider_id, &dialog);
        slider.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, 999));
        using P = ControlPictures;
        slider.SetBitmaps(P::slider_track, P::slider_filled, P::slider_thumb, P::slider_thumb_pressed);
        drain();
    }
    ~SkinSlider() override { slider.DestroyWindow(); }

    static POINT at(int client_x) { return { slider_place.left + client_x, mid_y }; }
    Notice notice(UINT code, int position) const { return { code, position, slider.m_hWnd }; }
    // Where the thumb's left edge is on the screen, from the pixels: the first thumb column.
    int thumb_left(COLORREF colour) const
    {
        for (int x = slider_place.left; x < slider_place.right; ++x) {
            if (pixel(x, mid_y) == c565(colour))
                return x - 2; // the thumb's body starts 2 pixels into its picture
        }
        return -1;
    }

    CSkinSlider slider;
};

TEST_F(SkinSlider, StylusPostsTrackingCodesAndThePositionOnRelease)
{
    enum Kind { press,
        move,
        release };
    struct Step {
        Kind kind;
        int x; // in the slider's client coordinates
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::pair<UINT, int>> notices;
    };
    const Case cases[] = {
        { "tap in the middle", { { press, 150 }, { release, 150 } }, { { 5, 500 }, { 0, 500 } } },
        { "tap on the left edge", { { press, 0 }, { release, 0 } }, { { 5, 0 }, { 0, 0 } } },
        { "last pixel", { { press, 299 }, { release, 299 } }, { { 5, 996 }, { 0, 996 } } },
        { "drag past the left edge", { { press, 150 }, { move, -30 }, { release, -30 } }, { { 5, 500 }, { 5, 0 }, { 0, 0 } } },
        // The right edge gives the range's upper end + 1.
        { "drag past the right edge", { { press, 150 }, { move, 350 }, { release, 350 } },
            { { 5, 500 }, { 5, 1000 }, { 0, 1000 } } },
        { "drag from the far left", { { press, 0 }, { move, 3 }, { move, 6 }, { release, 6 } },
            { { 5, 0 }, { 5, 10 }, { 5, 20 }, { 0, 20 } } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.notices.clear();
        for (const auto& step : c.steps) {
            if (step.kind == press)
                this->press(at(step.x));
            else if (step.kind == move)
                this->move(at(step.x));
            else
                this->release(at(step.x));
        }
        std::vector<Notice> expected;
        for (auto [code, position] : c.notices)
            expected.push_back(notice(code, position));
        EXPECT_EQ(dialog.notices, expected);
        EXPECT_EQ(slider.GetPos(), c.notices.back().second);
    }
    // A move with the stylus up (it came down elsewhere) is not the slider's.
    dialog.notices.clear();
    slider.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(40, 10));
    drain();
    EXPECT_TRUE(dialog.notices.empty());
}

TEST_F(SkinSlider, ThumbShowsThePositionPressedWhileHeld)
{
    const int room = 300 - ControlPictures::slider_thumb_width;
    press(at(150));
    EXPECT_EQ(thumb_left(ControlPictures::thumb_pressed_colour), slider_place.left + room * 500 / 1000);
    release(at(150));
    int left = thumb_left(ControlPictures::thumb_colour);
    EXPECT_EQ(left, slider_place.left + room * 500 / 1000);
    // Filled up to the thumb's centre, empty after it.
    EXPECT_EQ(pixel(left - 1, mid_y), c565(ControlPictures::filled_colour));
    EXPECT_EQ(pixel(left + ControlPictures::slider_thumb_width, mid_y), c565(ControlPictures::track_colour));
}

TEST_F(SkinSlider, SetPosRepaintsOnlyWhenAsked)
{
    const int room = 300 - ControlPictures::slider_thumb_width;
    gdi.draw_log().clear();
    slider.SetPos(250, FALSE);
    drain();
    EXPECT_EQ(slider.GetPos(), 250);
    EXPECT_TRUE(blitted().empty()) << "without repaint the position is only stored";

    slider.SetPos(750);
    drain();
    EXPECT_EQ(thumb_left(ControlPictures::thumb_colour), slider_place.left + room * 750 / 1000);
    EXPECT_TRUE(dialog.notices.empty()) << "the dialog's own moves are not reported back";
}

TEST_F(SkinSlider, DisabledSliderIgnoresTheStylusAndKeepsItsPicture)
{
    slider.SetPos(300);
    drain();
    slider.EnableWindow(FALSE);
    drain();
    gdi.draw_log().clear();
    press(at(150));
    move(at(200));
    release(at(200));
    EXPECT_TRUE(dialog.notices.empty());
    EXPECT_EQ(slider.GetPos(), 300);
    EXPECT_TRUE(blitted().empty());

    slider.EnableWindow(TRUE);
    press(at(150));
    release(at(150));
    EXPECT_EQ(dialog.notices.back(), notice(0, 500));
}

TEST_F(SkinSlider, SliderWithoutWidthKeepsItsPosition)
{
    slider.SetPos(400);
    slider.MoveWindow(slider_place.left, slider_place.top, 0, 20);
    drain();
    slider.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, 5));
    slider.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(0, 5));
    drain();
    EXPECT_EQ(dialog.notices, (std::vector<Notice> { notice(5, 400), notice(0, 400) }));
}

} // namespace
