#include "ControlTest.h"

#include "CImgBtn.h"

#include <array>
#include <string>

using namespace kivo;
using namespace kivo::test;

namespace {

using P = ControlPictures;

// Two buttons side by side as on a player's control bar, the dialog hit-testing them with the
// shared routine and keeping which one is held.
class ImgBtn : public ControlTest {
protected:
    ImgBtn()
    {
        buttons[0].Create(100, 200, 60, 40, P::first_normal, P::first_pressed);
        buttons[1].Create(160, 200, 60, 40, P::second_normal, P::second_pressed);
        for (int i = 0; i < 2; ++i)
            buttons[i].m_pfnOnRelease = [this, i](CWnd* owner) {
                EXPECT_EQ(owner, &dialog);
                // The handler runs after the button is drawn released.
                auto drawn = blitted();
                ASSERT_FALSE(drawn.empty());
                EXPECT_EQ(drawn.back(), i == 0 ? P::first_normal : P::second_normal);
                clicks += std::to_string(i);
            };
    }

    void stylus_down(POINT at) { held = CImgBtn::StylusDown(&dialog, buttons.data(), 2, at); }
    void stylus_up(POINT at)
    {
        CImgBtn::StylusUp(&dialog, buttons.data(), 2, held, at);
        held = 2;
    }

    std::array<CImgBtn, 2> buttons;
    int held = 2;
    std::string clicks;
};

TEST_F(ImgBtn, ClickCountsOnlyWhenPressAndReleaseFallOnTheSameButton)
{
    struct Case {
        const char* name;
        POINT down;
        POINT up;
        std::vector<UINT> drawn;
        std::string clicks;
    };
    const Case cases[] = {
        { "tap on the first", { 130, 220 }, { 130, 220 }, { P::first_pressed, P::first_normal }, "0" },
        { "tap on the second", { 190, 220 }, { 200, 230 }, { P::second_pressed, P::second_normal }, "1" },
        { "press on one, release on the other", { 130, 220 }, { 190, 220 }, { P::first_pressed, P::first_normal }, "" },
        { "release off every button", { 130, 220 }, { 300, 100 }, { P::first_pressed, P::first_normal }, "" },
        // Edges belong to no button: the shared edge, the top and the left.
        { "shared edge", { 160, 220 }, { 160, 220 }, {}, "" },
        { "top edge", { 130, 200 }, { 130, 200 }, {}, "" },
        { "left edge", { 100, 220 }, { 100, 220 }, {}, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clicks.clear();
        gdi.draw_log().clear();
        stylus_down(c.down);
        stylus_up(c.up);
        EXPECT_EQ(blitted(), c.drawn);
        EXPECT_EQ(clicks, c.clicks);
    }
}

TEST_F(ImgBtn, ButtonDisabledWhileHeldStillActsOnRelease)
{
    stylus_down({ 130, 220 });
    buttons[0].Enable(FALSE);
    gdi.draw_log().clear();
    stylus_up({ 130, 220 });
    EXPECT_EQ(blitted(), std::vector<UINT> { P::first_normal }) << "drawn released";
    EXPECT_EQ(clicks, "0");
}

TEST_F(ImgBtn, DisabledButtonTakesNoPressAndKeepsNoClick)
{
    buttons[1].Enable(FALSE);
    gdi.draw_log().clear();
    stylus_down({ 190, 220 });
    stylus_up({ 190, 220 });
    EXPECT_TRUE(blitted().empty());
    EXPECT_EQ(clicks, "");
    EXPECT_EQ(buttons[1].m_bPending, 0) << "a refused click must not fire at the next press";

    buttons[1].Enable(TRUE);
    stylus_down({ 190, 220 });
    EXPECT_EQ(clicks, "") << "a press alone runs nothing";
    stylus_up({ 190, 220 });
    EXPECT_EQ(clicks, "1");
}

TEST_F(ImgBtn, EnableShowsAndHidesAtTheNextPaint)
{
    struct Case {
        BOOL on;
        BYTE flags;
        std::vector<UINT> painted;
    };
    // Only the low byte counts.
    const Case cases[] = { { FALSE, 0, {} }, { TRUE, 1, { P::first_normal } }, { 0x100, 0, {} }, { 0x101, 1, { P::first_normal } } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.on);
        buttons[0].Enable(c.on);
        EXPECT_EQ(buttons[0].m_bEnabled, c.flags);
        EXPECT_EQ(buttons[0].m_bVisible, c.flags);
        gdi.draw_log().clear();
        buttons[0].Paint(&dialog);
        EXPECT_EQ(blitted(), c.painted);
    }
}

TEST_F(ImgBtn, SetBitmapsDrawsTheNewPictureWhenAsked)
{
    gdi.draw_log().clear();
    buttons[0].SetBitmaps(&dialog, P::second_normal, P::second_pressed, FALSE);
    EXPECT_TRUE(blitted().empty());
    buttons[0].SetBitmaps(&dialog, P::second_normal, P::second_pressed, TRUE);
    auto drawn = gdi.draw_log().last_bitmap(P::second_normal);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(CRect(drawn->rect), CRect(100, 200, 160, 240)) << "at the button's corner in its own size";
}

} // namespace
