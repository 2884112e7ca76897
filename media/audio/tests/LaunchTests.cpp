// The player's start and end as the home screen sees them, and the state of play it keeps on the
// card between runs.

#include "MelodoTest.h"

namespace kivo::test {
namespace {

using Launch = MelodoTest;

TEST_F(Launch, TellsTheHomeScreenOnceReadyAndOnceClosedAndASecondStartEndsSilently)
{
    start_home();
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(g_home.ready, std::vector<UINT> { MSG_AUDIO_READY });

    start_program(melodo_image_path.data());
    EXPECT_EQ(g_home.ready.size(), 1u) << "the second start never showed a window";
    EXPECT_TRUE(g_home.notifies.empty()) << "the second start reports no close";
    EXPECT_TRUE(running());

    close_by(APP_CLOSE);
    EXPECT_EQ(g_home.notifies, (std::vector<std::pair<WPARAM, LPARAM>> { { APP_CLOSED, APPID_AUDIO } }));
}

TEST_F(Launch, CardTroubleAndUsbCloseThePlayer)
{
    for (WPARAM code : { DRV_SD_RMV2, APP_USB_CONNECTED, APP_CLOSE }) {
        SCOPED_TRACE(code);
        ASSERT_NE(start(), nullptr);
        close_by(code);
    }
}

} // namespace
} // namespace kivo::test
