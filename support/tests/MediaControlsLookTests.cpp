#include "ControlTest.h"

#include "CImgBtn.h"
#include "CSkinHScrollBar.h"
#include "CSkinSlider.h"
#include "CSkinVScrollBar.h"
#include "gdi/tests/ScreenshotPixels.h"

using namespace kivo;
using namespace kivo::test;

namespace {

using P = ControlPictures;

class PlayerControls : public ControlTest { };

TEST_F(PlayerControls, DrawTogetherOnADialog)
{
    // A list area with its two bars, a seek bar under it and two buttons, as on a player's screen.
    ServedList list;
    list.CreateEx(0, nullptr, u"list", WS_CHILD, 20, 20, 407, 120, dialog.m_hWnd, nullptr);
    list.set(SB_VERT, 0, 99, 25, 30);
    list.set(SB_HORZ, 0, 399, 100, 100);
    CSkinVScrollBar vbar;
    vbar.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(427, 20, 440, 140), &dialog, 0xFFFF);
    vbar.SetBitmaps(P::up, P::up_pressed, P::down, P::down_pressed, P::bar_track, P::bar_thumb, P::bar_thumb_pressed);
    vbar.Layout();
    vbar.m_pList = &list;
    CSkinHScrollBar hbar;
    hbar.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(20, 140, 427, 153), &dialog, 0xFFFF);
    hbar.SetBitmaps(P::right, P::right_pressed, P::left, P::left_pressed, P::bar_track, P::bar_thumb, P::bar_thumb_pressed);
    hbar.Layout();
    hbar.m_pList = &list;

    CreateWindowEx(0, PROGRESS_CLASS, nullptr, WS_CHILD | WS_VISIBLE, 90, 170, 300, 20, dialog.m_hWnd,
        reinterpret_cast<HMENU>(1013), nullptr, nullptr);
    CSkinSlider slider;
    slider.SubclassDlgItem(1013, &dialog);
    slider.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, 999));
    slider.SetBitmaps(P::slider_track, P::slider_filled, P::slider_thumb, P::slider_thumb_pressed);
    slider.SetPos(350);

    CImgBtn buttons[2];
    buttons[0].Create(180, 210, 60, 40, P::first_normal, P::first_pressed);
    buttons[1].Create(240, 210, 60, 40, P::second_normal, P::second_pressed);
    drain();
    for (auto& button : buttons)
        button.Paint(&dialog);
    buttons[1].Press(&dialog, TRUE);

    DecodedPng shot = review_screenshot(*device, "support_player_controls");
    ASSERT_EQ(shot.width, 480u);
    // The thumbs start 94 × 30 / 100 into the vertical track and 381 × 100 / 400 into the horizontal.
    EXPECT_EQ(shot.pixel_565(433, 20 + 13 + 28 + 5), c565(P::bar_thumb_colour));
    EXPECT_EQ(shot.pixel_565(20 + 13 + 95 + 5, 146), c565(P::bar_thumb_colour));
    EXPECT_EQ(shot.pixel_565(90 + 280 * 350 / 1000 + 10, 180), c565(P::thumb_colour));
    EXPECT_EQ(shot.pixel_565(185, 215), c565(P::button_colour));
    EXPECT_EQ(shot.pixel_565(245, 215), c565(P::button_pressed_colour));

    buttons[1].Press(&dialog, FALSE);
    slider.DestroyWindow();
    vbar.DestroyWindow();
    hbar.DestroyWindow();
    list.DestroyWindow();
}

} // namespace
