// Playback on the virtual clock: the order of the play modes, failing songs, seeking, volume,
// the time display and the notify codes.

#include "MelodoTest.h"

#include <algorithm>
#include <set>

namespace kivo::test {
namespace {

using Playback = MelodoTest;

TEST_F(Playback, EachModeGoesOnAfterASongAsItSays)
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

} // namespace
} // namespace kivo::test
