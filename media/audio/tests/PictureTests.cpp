// What the main screen shows, checked in the draw log and the pixels, with screenshots written
// for a person to look at.

#include "MelodoTest.h"

#include "FrameBuffer.h"

namespace kivo::test {
namespace {

using MelodoPictures = MelodoTest;

bool bitmap_at(const std::vector<DrawLog::Entry>& entries, UINT id, LONG x, LONG y)
{
    return std::any_of(entries.begin(), entries.end(),
        [&](auto& e) { return e.bitmap_id == id && e.rect.left == x && e.rect.top == y && e.painted; });
}

TEST_F(MelodoPictures, AnEmptyListSaysSoAndOffersNoTransport)
{
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    auto shot = review_screenshot(*device, "melodo-empty-list");
    EXPECT_TRUE(wrote(u"播放列表為空"));
    for (auto button : { CMelodoDlg::btn_previous, CMelodoDlg::btn_next, CMelodoDlg::btn_stop, CMelodoDlg::btn_play }) {
        EXPECT_EQ(dialog->m_Buttons[button].m_bEnabled, 0) << button;
    }
    EXPECT_FALSE(dialog->m_Slider.IsWindowEnabled());
    // Where the play button would stand, the transport strip's background shows.
    EXPECT_EQ(shot.pixel_565(328, 233), shot.pixel_565(400, 233));
    tap(*dialog, CMelodoDlg::btn_play);
    EXPECT_EQ(state(*dialog), State_Stopped);
}

TEST_F(MelodoPictures, PlayingShowsTheSongsFactsAndWhereItIs)
{
    write_list({ "one", "two", "three" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_next);
    pass(2300);
    auto shot = review_screenshot(*device, "melodo-playing");
    auto entries = drawn();
    EXPECT_TRUE(wrote(u"Second Song"));
    EXPECT_TRUE(wrote(u"Beta"));
    EXPECT_EQ(last_position(), u"2/3");
    EXPECT_TRUE(bitmap_at(entries, IDB_EQ_LABEL_FIRST, 110, 70)) << "NORMAL";
    EXPECT_TRUE(bitmap_at(entries, IDB_MODE_LABEL_FIRST, 35, 120));
    EXPECT_TRUE(bitmap_at(entries, IDB_DIGIT_FIRST + 2, 366, 70)) << "00:00:02";
    EXPECT_TRUE(bitmap_at(entries, IDB_PAUSE, 300, 205));
    // 2 of 5 whole seconds: the thumb stands two fifths along the bar.
    EXPECT_EQ(dialog->m_Slider.GetPos(), 400);
    int white_at = -1;
    for (int x = 20; x < 406; ++x) {
        if (shot.pixel_565(x, 25) == FrameBuffer::rgb565(255, 255, 255))
            white_at = x;
    }
    EXPECT_NEAR(white_at, 20 + 386 * 2 / 5, 10) << "the thumb's white rim";
}

TEST_F(MelodoPictures, VolumeNoneCrossesTheSpeakerOutAndHidesTheNumber)
{
    write_list({ "one", "two" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(wrote(u"12"));
    for (int i = 0; i < 12; ++i)
        tap(*dialog, CMelodoDlg::btn_volume_down);
    auto shot = review_screenshot(*device, "melodo-volume-0");
    EXPECT_TRUE(bitmap_at(drawn(), IDB_SPEAKER_MUTED, 30, 70));
    // The number's place shows the panel only.
    for (int x = 56; x < 81; ++x)
        EXPECT_EQ(shot.pixel_565(x, 80), FrameBuffer::rgb565(48, 97, 110)) << x;
}

// The word ALL stays whole inside its pictures: the mode button that selects repeat all (shown in
// repeat one) and the repeat-all label keep their last columns free of it.
TEST_F(MelodoPictures, TheRepeatAllWordStaysInsideItsPictures)
{
    write_list({ "one", "two" }, 1);
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    auto shot = review_screenshot(*device, "melodo-mode-repeat-one");
    // The mode button at 414, 104: its face left of the symbol, and its columns right of the box
    // (above and below, its rounded corners).
    auto face = shot.pixel_565(417, 121);
    for (int x = 463; x <= 466; ++x) {
        for (int y = 112; y < 131; ++y)
            EXPECT_EQ(shot.pixel_565(x, y), face) << x << ", " << y;
    }
    tap(*dialog, CMelodoDlg::btn_mode);
    shot = review_screenshot(*device, "melodo-mode-repeat-all");
    // The label at 35, 120, 60 wide.
    for (int x = 92; x <= 94; ++x) {
        for (int y = 120; y < 148; ++y)
            EXPECT_EQ(shot.pixel_565(x, y), FrameBuffer::rgb565(48, 97, 110)) << x << ", " << y;
    }
}

} // namespace
} // namespace kivo::test
