// What the main screen shows, checked in the draw log and the pixels, with screenshots written
// for a person to look at.

#include "MelodoTest.h"

#include "Colour.h"
#include "FrameBuffer.h"

namespace kivo::test {
namespace {

using Pictures = MelodoTest;

TEST_F(Pictures, EmptyList)
{
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    auto shot = review_screenshot(*device, "melodo-empty-list");
    EXPECT_TRUE(wrote(u"播放列表為空"));
}

TEST_F(Pictures, Playing)
{
    write_list({ "long", "one", "two" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_play);
    pass(2000);
    auto shot = review_screenshot(*device, "melodo-playing");
}

TEST_F(Pictures, VolumeZeroAndNavigation)
{
    write_list({ "one", "two" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    for (int i = 0; i < 13; ++i)
        tap(*dialog, CMelodoDlg::btn_volume_down);
    review_screenshot(*device, "melodo-volume-0");
}

TEST_F(Pictures, Navigation)
{
    start_program(fake_navi_image);
    write_list({ "one", "two" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    review_screenshot(*device, "melodo-navigation");
}

TEST_F(Pictures, LoadError)
{
    write_list({ "damaged", "one" });
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_play);
    pass(100);
    review_screenshot(*device, "melodo-load-error");
}

} // namespace
} // namespace kivo::test
