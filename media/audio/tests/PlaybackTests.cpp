// Playback on the virtual clock: the order of the play modes, failing songs, seeking, volume,
// the time display and the notify codes.

#include "MelodoTest.h"

namespace kivo::test {
namespace {

using Playback = MelodoTest;

TEST_F(Playback, ModeOnceStopsAfterTheLastSongShowingTheFirst)
{
    write_list({ "one", "two", "three" }, 0);
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(last_position(), u"1/3");
    tap(*dialog, CMelodoDlg::btn_play);
    EXPECT_EQ(state(*dialog), State_Running);
    pass(4700);
    EXPECT_EQ(last_position(), u"2/3");
    EXPECT_EQ(state(*dialog), State_Running);
    pass(5700);
    EXPECT_EQ(last_position(), u"3/3");
    pass(6700);
    EXPECT_EQ(last_position(), u"1/3");
    EXPECT_EQ(state(*dialog), State_Stopped);
}

} // namespace
} // namespace kivo::test
