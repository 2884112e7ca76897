// Playback on the virtual clock: the order of the play modes, failing songs, seeking, volume,
// the time display and the notify codes.

#include "MelodoTest.h"

#include <algorithm>
#include <set>

namespace kivo::test {
namespace {

using MelodoPlayback = MelodoTest;

TEST_F(MelodoPlayback, EachModeGoesOnAfterASongAsItSays)
{
    struct Case {
        int mode;
        std::vector<int> songs_after_each_end; // the list numbers, as the position text shows them
        int state_at_last;
    };
    const Case cases[] = {
        { 0, { 2, 3, 1 }, State_Stopped },
        { 1, { 1, 1, 1 }, State_Running },
        { 2, { 2, 3, 1 }, State_Running },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        start_over();
        write_list({ "one", "two", "three" }, c.mode);
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(last_position(), u"1/3");
        tap(*dialog, CMelodoDlg::btn_play);
        std::vector<int> songs;
        for (size_t i = 0; i < c.songs_after_each_end.size(); ++i) {
            play_to_end();
            songs.push_back(current_song(*dialog));
            EXPECT_EQ(last_position(), std::u16string(1, char16_t(u'0' + songs.back())) + u"/3");
        }
        EXPECT_EQ(songs, c.songs_after_each_end);
        EXPECT_EQ(state(*dialog), c.state_at_last);
    }
}

TEST_F(MelodoPlayback, ShuffleKeepsTheCurrentSongOnEntryAndShufflesAgainAtTheWrap)
{
    write_list({ "one", "two", "three" }, 2);
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_play);
    play_to_end();
    ASSERT_EQ(current_song(*dialog), 2);
    tap(*dialog, CMelodoDlg::btn_mode);
    ASSERT_EQ(dialog->m_nPlayMode, 3);
    EXPECT_EQ(current_song(*dialog), 2) << "the song playing stays current";
    EXPECT_EQ(state(*dialog), State_Running);
    auto is_permutation = [&] {
        std::set<int> entries(dialog->m_Order.begin(), dialog->m_Order.begin() + 3);
        return entries == std::set<int> { 0, 1, 2 };
    };
    EXPECT_TRUE(is_permutation());
    // Play on to the end of the order and one song past it.
    int songs_left = 3 - dialog->m_nCurPos;
    for (int i = 0; i < songs_left; ++i) {
        play_to_end();
        EXPECT_EQ(last_position(), std::u16string(1, char16_t(u'0' + current_song(*dialog))) + u"/3")
            << "the position text gives the song's list number";
    }
    EXPECT_EQ(dialog->m_nCurPos, 0);
    EXPECT_TRUE(is_permutation());
    EXPECT_EQ(state(*dialog), State_Running);
}

TEST_F(MelodoPlayback, PreviousAtTheFirstSongWrapsToTheLast)
{
    write_list({ "one", "two", "three" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_previous);
    pass(300);
    EXPECT_EQ(last_position(), u"3/3");
    EXPECT_EQ(state(*dialog), State_Running);
    tap(*dialog, CMelodoDlg::btn_next);
    pass(300);
    EXPECT_EQ(last_position(), u"1/3");
}

TEST_F(MelodoPlayback, SongsThatDoNotLoadAreSkippedWithTheirReason)
{
    struct Case {
        const char* name;
        std::vector<std::string> songs;
        std::vector<std::string> removed_after_start;
        std::u16string text;
        bool plays;
    };
    // The bad song comes second: the first is loaded at start, and next goes to the second.
    const Case cases[] = {
        { "damaged", { "one", "damaged", "two" }, {}, u"檔案毀損", true },
        { "missing", { "one", "two", "three" }, { "two" }, u"受保護檔案", true },
        { "all bad", { "one", "damaged", "two" }, { "one", "two" }, u"受保護檔案", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_over();
        write_list(c.songs);
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        for (auto& song : c.removed_after_start)
            std::filesystem::remove(host_path_in(device->root(), song_path(song)));
        tap(*dialog, CMelodoDlg::btn_next);
        pass(300);
        EXPECT_TRUE(wrote(c.text));
        if (c.plays) {
            EXPECT_EQ(state(*dialog), State_Running);
            EXPECT_EQ(last_position(), u"3/3");
            EXPECT_EQ(dialog->m_Buttons[CMelodoDlg::btn_play].m_bEnabled, 1);
        } else {
            EXPECT_EQ(state(*dialog), State_Stopped);
            EXPECT_EQ(dialog->m_nCurPos, 0) << "each song was tried once, the last one the first";
            EXPECT_EQ(dialog->m_Buttons[CMelodoDlg::btn_play].m_bEnabled, 0);
            forget_drawing();
            tap(*dialog, CMelodoDlg::btn_play);
            pass(300);
            EXPECT_FALSE(wrote(c.text)) << "a disabled play button does nothing";
        }
        if (c.name == std::string("all bad"))
            review_screenshot(*device, "melodo-load-error");
    }
}

// The digit last drawn at a place of the time display, -1 when none was.
int digit_at(const std::vector<DrawLog::Entry>& entries, LONG x)
{
    int digit = -1;
    for (auto& entry : entries) {
        if (entry.bitmap_id >= IDB_DIGIT_FIRST && entry.bitmap_id <= IDB_DIGIT_FIRST + 9 && entry.rect.left == x && entry.rect.top == 70)
            digit = static_cast<int>(entry.bitmap_id - IDB_DIGIT_FIRST);
    }
    return digit;
}

TEST_F(MelodoPlayback, SeekingWhileStoppedStartsThereAndWhilePausedOrRunningSeeks)
{
    write_list({ "three" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_stop);
    // The bar runs from x 20 to 406: a tap at its middle is about 500 per mille, 3 s of 6.5.
    tap(20 + 193, 25);
    EXPECT_EQ(state(*dialog), State_Stopped);
    EXPECT_NEAR(dialog->m_nSeekPos, 500, 3);
    tap(*dialog, CMelodoDlg::btn_play);
    pass(1000);
    EXPECT_EQ(digit_at(drawn(), 366), 4) << "play began at 3.2 s";

    tap(*dialog, CMelodoDlg::btn_play); // pause
    ASSERT_EQ(state(*dialog), State_Paused);
    tap(20 + 39, 25); // about 100 per mille
    EXPECT_EQ(state(*dialog), State_Paused);
    EXPECT_EQ(digit_at(drawn(), 366), 0);
    tap(*dialog, CMelodoDlg::btn_play);
    pass(1000);
    EXPECT_EQ(digit_at(drawn(), 366), 1);

    tap(20 + 290, 25); // about 750 per mille, running
    EXPECT_EQ(state(*dialog), State_Running);
    pass(1000);
    EXPECT_EQ(digit_at(drawn(), 366), 5);
}

TEST_F(MelodoPlayback, TheTimerNeverMovesTheBarBack)
{
    write_list({ "three" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_play);
    pass(1000);
    tap(*dialog, CMelodoDlg::btn_play); // pause
    int bar_before = dialog->m_Slider.GetPos();
    // A finger held on the bar at 900 per mille: remembered, not yet sought.
    HWND bar = dialog->m_Slider.GetSafeHwnd();
    PostMessage(FindWindow(nullptr, u"audio"), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 900), reinterpret_cast<LPARAM>(bar));
    device->run_until_idle();
    tap(*dialog, CMelodoDlg::btn_play);
    pass(2000);
    EXPECT_EQ(state(*dialog), State_Running);
    EXPECT_EQ(dialog->m_nSeekPos, 900);
    EXPECT_EQ(dialog->m_Slider.GetPos(), bar_before) << "the ticks, behind 900, left the bar alone";
}

TEST_F(MelodoPlayback, VolumeStopsAtNoneAndFull)
{
    write_list({ "one" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    auto& sound = device->component<SoundDevice>();
    for (int i = 0; i < 14; ++i)
        tap(*dialog, CMelodoDlg::btn_volume_down);
    EXPECT_EQ(dialog->m_nVolume, 0);
    EXPECT_EQ(sound.volume_changes().back().second, 0u);
    EXPECT_EQ(dialog->m_Buttons[CMelodoDlg::btn_volume_down].m_bEnabled, 0);
    EXPECT_TRUE(device->component<Gdi>().draw_log().last_bitmap(IDB_SPEAKER_MUTED).has_value());
    for (int i = 0; i < 27; ++i)
        tap(*dialog, CMelodoDlg::btn_volume_up);
    EXPECT_EQ(dialog->m_nVolume, 25);
    EXPECT_EQ(sound.volume_changes().back().second, 0xFFFFFFFFu);
    EXPECT_EQ(dialog->m_Buttons[CMelodoDlg::btn_volume_up].m_bEnabled, 0);
    EXPECT_TRUE(wrote(u"25"));
}

TEST_F(MelodoPlayback, OnlyTheTimeDigitsThatChangeAreRedrawn)
{
    write_list({ "three" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_play);
    pass(1000);
    forget_drawing();
    pass(1000); // 00:00:01 becomes 00:00:02
    std::vector<LONG> places;
    int colons = 0;
    for (auto& entry : drawn()) {
        if (entry.bitmap_id >= IDB_DIGIT_FIRST && entry.bitmap_id <= IDB_DIGIT_FIRST + 9)
            places.push_back(entry.rect.left);
        colons += entry.bitmap_id == IDB_COLON;
    }
    EXPECT_EQ(places, std::vector<LONG> { 366 });
    EXPECT_EQ(colons, 2);
}

TEST_F(MelodoPlayback, ALongTitleScrollsByACharacterASecond)
{
    write_list({ "long" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_play);
    pass(2000);
    forget_drawing();
    std::vector<std::u16string> shown;
    for (int tick = 0; tick < 2; ++tick) {
        pass(1000);
        for (auto& entry : drawn()) {
            if (!entry.text.empty() && entry.rect.top == 155 && entry.rect.left == 135)
                shown.push_back(entry.text);
        }
        forget_drawing();
    }
    const std::u16string title = u"A title far too long to fit beside the icon on the screen";
    ASSERT_EQ(shown.size(), 2u);
    // Each tick starts the shown part one character further into the title, cut to the width.
    size_t first = title.find(shown[0]);
    ASSERT_NE(first, std::u16string::npos);
    EXPECT_GT(first, 0u);
    EXPECT_EQ(title.find(shown[1]), first + 1);
    EXPECT_LT(shown[0].size(), title.size() - first);
}

TEST_F(MelodoPlayback, BacklightIsHeldWhilePlayingAndLetGoWhenPausedOrStopped)
{
    write_list({ "three" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(backlight().backlight_off_allowed);
    tap(*dialog, CMelodoDlg::btn_play);
    EXPECT_FALSE(backlight().backlight_off_allowed);
    tap(*dialog, CMelodoDlg::btn_volume_up);
    EXPECT_FALSE(backlight().backlight_off_allowed) << "a tap while playing keeps it held";
    tap(*dialog, CMelodoDlg::btn_play);
    EXPECT_TRUE(backlight().backlight_off_allowed);
    tap(*dialog, CMelodoDlg::btn_play);
    EXPECT_FALSE(backlight().backlight_off_allowed);
    tap(*dialog, CMelodoDlg::btn_stop);
    EXPECT_EQ(state(*dialog), State_Stopped);
    EXPECT_TRUE(backlight().backlight_off_allowed);
}

TEST_F(MelodoPlayback, RunAndPauseCodesActOnlyOnceTheScreenWasHandedToNavigation)
{
    start_home();
    write_list({ "three" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_play);
    notify(APP_MEDIA_PAUSE);
    EXPECT_EQ(state(*dialog), State_Running) << "on screen, the player is not paused from outside";

    tap(*dialog, CMelodoDlg::btn_navigation);
    EXPECT_TRUE(dialog->m_Buttons[CMelodoDlg::btn_navigation].m_bEnabled == 0) << "off outside navigation mode";
    tap(*dialog, CMelodoDlg::btn_play);
    EXPECT_EQ(state(*dialog), State_Paused);
    tap(*dialog, CMelodoDlg::btn_play);
    ASSERT_EQ(state(*dialog), State_Running);
}

TEST_F(MelodoPlayback, NavigationModeHandsTheScreenOverAndFollowsTheHomeScreensCodes)
{
    start_home();
    start_program(fake_navi_image);
    write_list({ "three" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(backlight().backlight_off_allowed) << "held from the start";
    EXPECT_EQ(dialog->m_Buttons[CMelodoDlg::btn_volume_down].m_bEnabled, 0);
    EXPECT_EQ(dialog->m_Buttons[CMelodoDlg::btn_volume_up].m_bEnabled, 0);
    EXPECT_EQ(dialog->m_Buttons[CMelodoDlg::btn_navigation].m_bEnabled, 1);
    tap(*dialog, CMelodoDlg::btn_play);
    tap(*dialog, CMelodoDlg::btn_play);
    EXPECT_EQ(state(*dialog), State_Paused);
    EXPECT_FALSE(backlight().backlight_off_allowed) << "left held in navigation mode";
    tap(*dialog, CMelodoDlg::btn_play);

    tap(*dialog, CMelodoDlg::btn_navigation);
    HWND window = FindWindow(nullptr, u"audio");
    EXPECT_FALSE(IsWindowVisible(window));
    ASSERT_FALSE(g_home.notifies.empty());
    EXPECT_EQ(g_home.notifies.back(), (std::pair<WPARAM, LPARAM> { APP_SHOW_NAVI, 0 }));

    notify(APP_MEDIA_PAUSE);
    EXPECT_EQ(state(*dialog), State_Paused);
    notify(APP_MEDIA_RUN);
    EXPECT_EQ(state(*dialog), State_Running);
    notify(APP_SWITCH_AUDIO);
    EXPECT_TRUE(IsWindowVisible(window));
    notify(APP_MEDIA_PAUSE);
    EXPECT_EQ(state(*dialog), State_Running) << "back on screen, the codes do nothing";
    notify(APP_MEDIA_STOP);
    pass(300);
    EXPECT_EQ(state(*dialog), State_Stopped);
    review_screenshot(*device, "melodo-navigation");
}

} // namespace
} // namespace kivo::test
