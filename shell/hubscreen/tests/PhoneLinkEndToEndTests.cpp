#include "HubscreenTest.h"

#include "CDialdeckApp.h"
#include "DialdeckInstall.h"
#include "Process.h"
#include "ProgramImages.h"
#include "SimulatedPhones.h"

#include <algorithm>

using namespace kivo;
using namespace kivo::test;

namespace {

// The home page with the real phone link installed as a fresh device has it (its default phone
// paired and in range), and a program that hears the broadcasts.
class PhoneLinkEndToEnd : public HubscreenTest {
protected:
    PhoneLinkEndToEnd()
    {
        register_dialdeck(*device);
        device->component<ProgramImages>().install();
        std::string error;
        EXPECT_TRUE(install_dialdeck(*device, &error)) << error;
    }

    bool heard(WPARAM code, LPARAM value)
    {
        auto& codes = g_received[u"listener"];
        return std::find(codes.begin(), codes.end(), std::pair<WPARAM, LPARAM>(code, value)) != codes.end();
    }
    bool indicator_shows(UINT picture)
    {
        auto shown = device->component<Gdi>().draw_log().last_bitmap(picture);
        return shown && shown->rect.left == 370 && shown->rect.top == 15;
    }
};

TEST_F(PhoneLinkEndToEnd, TheHomeScreenBringsThePhoneLinkUpHiddenAndFollowsItsCalls)
{
    HWND page = start();
    ASSERT_NE(page, nullptr);
    ASSERT_NE(start(fake_image, u"listener"), nullptr);
    device->advance(6000);
    auto link = device->find_process(dialdeck_image_path);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->command_line(), u"-h");
    HWND panel = FindWindow(nullptr, PHONELINK_WINDOW_TITLE);
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(IsWindowVisible(panel));
    auto& phones = device->component<SimulatedPhones>();
    ASSERT_TRUE(phones.connected_phone());
    // The idle state reached the subscribed page.
    EXPECT_TRUE(indicator_shows(IDB_LINK_SYMBOL));
    EXPECT_FALSE(indicator_shows(IDB_LINK_CROSSED));

    // The phone icon shows the panel, which asks the page for the key-click setting.
    tap(340, 100);
    device->advance(500);
    EXPECT_TRUE(IsWindowVisible(panel));
    EXPECT_TRUE(heard(APP_KEYSOUND, 1));
    EXPECT_EQ(device->find_process(dialdeck_image_path), link) << "no second copy";

    // A call pauses the media and its end resumes them.
    ASSERT_EQ(phones.ring(*phones.connected_phone(), u"0955123456"), PhoneError::None);
    device->advance(500);
    EXPECT_TRUE(heard(APP_MEDIA_PAUSE, 0));
    EXPECT_FALSE(heard(APP_MEDIA_RUN, 0));
    ASSERT_EQ(phones.hang_up(*phones.connected_phone()), PhoneError::None);
    device->advance(500);
    EXPECT_TRUE(heard(APP_MEDIA_RUN, 0));

    // Out of range: no phone.
    ASSERT_EQ(phones.set_in_range(*phones.current_phone(), false), PhoneError::None);
    device->advance(1000);
    EXPECT_TRUE(indicator_shows(IDB_LINK_CROSSED));
}

} // namespace
