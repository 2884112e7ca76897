// The player's start and end as the home screen sees them, and the state of play it keeps on the
// card between runs.

#include "MelodoTest.h"

namespace kivo::test {
namespace {

using MelodoLaunch = MelodoTest;

TEST_F(MelodoLaunch, TellsTheHomeScreenOnceReadyAndOnceClosedAndASecondStartEndsSilently)
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

TEST_F(MelodoLaunch, CardTroubleAndUsbCloseThePlayer)
{
    for (WPARAM code : { DRV_SD_RMV2, APP_USB_CONNECTED, APP_CLOSE }) {
        SCOPED_TRACE(code);
        ASSERT_NE(start(), nullptr);
        close_by(code);
    }
}

TEST_F(MelodoLaunch, AnExitWhileTheWorkerChangesSongsEnds)
{
    write_list({ "one", "two" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    // The next song and the close are queued together: the exit waits for a worker that is
    // loading and starting the song, and must not wait for ever.
    const CImgBtn& next = dialog->m_Buttons[CMelodoDlg::btn_next];
    device->component<TouchInput>().tap((next.m_nLeft + next.m_nRight) / 2, (next.m_nTop + next.m_nBottom) / 2);
    PostMessage(FindWindow(nullptr, u"audio"), WM_KIVO_NOTIFY, APP_CLOSE, 0);
    device->run_until([&] { return device->find_process(melodo_image_path) == nullptr; }, 5000);
    EXPECT_EQ(device->find_process(melodo_image_path), nullptr);
}

TEST_F(MelodoLaunch, TheBatteryFollowsTheDriverCodes)
{
    ASSERT_NE(start(), nullptr);
    auto battery_picture = [&] {
        auto entry = device->component<Gdi>().draw_log().entries();
        int picture = -1;
        for (auto& e : entry) {
            if (e.bitmap_id >= IDB_BATTERY_FIRST && e.bitmap_id < IDB_BATTERY_FIRST + 6 && e.rect.left == 420 && e.rect.top == 15)
                picture = static_cast<int>(e.bitmap_id - IDB_BATTERY_FIRST);
        }
        return picture;
    };
    notify(DRV_BATT_LEVEL, 3);
    EXPECT_EQ(battery_picture(), 1);
    notify(DRV_BATT_AC_CHANGE, 1);
    EXPECT_EQ(battery_picture(), 4) << "on the mains adapter";
}

} // namespace
} // namespace kivo::test
