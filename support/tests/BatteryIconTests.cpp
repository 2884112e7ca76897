#include "PaintTest.h"

#include "BatteryPictures.h"
#include "CBatteryIcon.h"

#include <algorithm>
#include <memory>
#include <set>
#include <string>

using namespace kivo;
using namespace kivo::test;

namespace {

// The home screen's icon: id 1, its area taken from the background at (412, 7), drawn at (420, 15).
class BatteryIcon : public PaintTest {
protected:
    static constexpr POINT at { 420, 15 };
    static constexpr int hidden = -1;

    std::unique_ptr<CBatteryIcon> make_icon(CWnd* parent, UINT id, POINT where = at)
    {
        const UINT first = TestPictures::first_battery;
        const POINT from = TestPictures::battery_background;
        return std::make_unique<CBatteryIcon>(parent, id, first, first + 1, first + 2, first + 3, first + 4, first + 5,
            TestPictures::background, from.x, from.y, where.x, where.y);
    }

    // Which picture the screen shows at a place: its index, `hidden` for the restored background
    // alone, -2 for anything else. The key frame always shows the restored background.
    int shown(POINT where = at)
    {
        if (pixel(where.x + 1, where.y + 1) != c565(TestPictures::battery_area_colour))
            return -2;
        uint16_t body = pixel(where.x + 12, where.y + 7);
        if (body == c565(TestPictures::battery_area_colour))
            return hidden;
        const auto& colours = TestPictures::battery_colours;
        for (int i = 0; i < 6; ++i) {
            if (body == c565(colours[i]))
                return i;
        }
        return -2;
    }

    // How often the icon's area has been restored from the background: once per drawing.
    size_t drawings()
    {
        auto entries = gdi.draw_log().entries();
        return static_cast<size_t>(std::count_if(entries.begin(), entries.end(),
            [](const DrawLog::Entry& entry) { return entry.bitmap_id == TestPictures::background && entry.painted; }));
    }
};

TEST_F(BatteryIcon, EachStateShowsItsPictureAndOnlyTheLowStateBlinks)
{
    auto icon = make_icon(&window, 1);
    EXPECT_EQ(icon->GetState(), 3);
    EXPECT_EQ(icon->GetPrevState(), 5);
    EXPECT_EQ(drawings(), 0u) << "a new icon draws nothing";

    struct Step {
        int state;
        int picture;
        size_t blinks_in_a_second;
    };
    const Step steps[] = {
        { 0, 0, 0 },
        { 1, 0, 0 },
        { 2, 0, 2 },
        { 3, 1, 0 },
        { 4, 2, 0 },
        { 5, 3, 0 },
        { 6, 5, 0 },
        { 7, 4, 0 },
        { 8, 4, 0 }, // above 7 the picture stays
        { 9, 4, 0 },
        { 5, 3, 0 },
    };
    int previous = icon->GetState();
    for (const auto& step : steps) {
        SCOPED_TRACE("state " + std::to_string(step.state));
        icon->SetState(step.state, 1);
        EXPECT_EQ(icon->GetState(), step.state);
        EXPECT_EQ(icon->GetPrevState(), previous);
        EXPECT_EQ(shown(), step.picture);
        size_t before = drawings();
        pass(1000);
        EXPECT_EQ(drawings() - before, step.blinks_in_a_second);
        previous = step.state;
    }

    // Without drawing, the state is only remembered.
    size_t before = drawings();
    icon->SetState(6, 0);
    EXPECT_EQ(drawings(), before);
    EXPECT_EQ(shown(), 3);
    icon->Refresh(1);
    EXPECT_EQ(shown(), 5);
}

TEST_F(BatteryIcon, AStateAboveSevenKeepsTheFirstPicture)
{
    auto icon = make_icon(&window, 1);
    icon->SetState(9, 1);
    EXPECT_EQ(shown(), 3);
    EXPECT_EQ(icon->GetPrevState(), 3);
}

TEST_F(BatteryIcon, TheLowStateBlinksEvery500MsOfDeviceTimeUntilTheStateChanges)
{
    auto icon = make_icon(&window, 1);
    icon->SetState(2, 1);
    EXPECT_EQ(shown(), 0) << "drawn at once";
    size_t drawn = drawings();
    pass(499);
    EXPECT_EQ(drawings(), drawn);
    // Each tick draws; the shared counter makes it alternate, starting with the picture.
    const int phases[] = { 0, hidden, 0, hidden, 0 };
    for (int phase : phases) {
        pass(1);
        EXPECT_EQ(drawings(), ++drawn);
        EXPECT_EQ(shown(), phase);
        pass(499);
        EXPECT_EQ(drawings(), drawn);
    }
    icon->SetState(3, 1);
    EXPECT_EQ(shown(), 1);
    drawn = drawings();
    pass(3000);
    EXPECT_EQ(drawings(), drawn) << "leaving the low state stops the blinking";
}

TEST_F(BatteryIcon, RefreshAndMovingKeepTheBlinkingRight)
{
    auto icon = make_icon(&window, 1);
    icon->SetState(2, 1);
    icon->Refresh(0);
    EXPECT_EQ(shown(), hidden);
    size_t drawn = drawings();
    pass(2000);
    EXPECT_EQ(drawings(), drawn) << "a refresh without the icon stops the blinking";

    icon->Refresh(1);
    EXPECT_EQ(shown(), 0);
    drawn = drawings();
    pass(500);
    EXPECT_EQ(drawings(), drawn + 1);

    // Moving draws nothing and blinks on at the new place.
    const POINT moved { 100, 100 };
    icon->SetPosition(moved.x, moved.y);
    drawn = drawings();
    EXPECT_EQ(drawings(), drawn);
    pass(1000);
    EXPECT_EQ(drawings(), drawn + 2);
    auto last = gdi.draw_log().last_bitmap(TestPictures::background);
    ASSERT_TRUE(last);
    EXPECT_EQ(CRect(last->rect), CRect(moved.x, moved.y, moved.x + 24, moved.y + 14));

    // A still icon is drawn without blinking by a refresh.
    icon->SetState(7, 0);
    icon->Refresh(1);
    EXPECT_EQ(shown(moved), 4);
    drawn = drawings();
    pass(1000);
    EXPECT_EQ(drawings(), drawn);
}

TEST_F(BatteryIcon, AnIconWhoseFirstPictureIsMissingDrawsNothing)
{
    const UINT missing = 900;
    const UINT first = TestPictures::first_battery;
    const POINT from = TestPictures::battery_background;
    CBatteryIcon icon(&window, 1, missing, first + 1, first + 2, first + 3, first + 4, first + 5, TestPictures::background,
        from.x, from.y, at.x, at.y);
    const COLORREF dirt = RGB(200, 0, 200);
    fill_screen(dirt);
    icon.SetState(2, 1);
    icon.Refresh(1);
    pass(1000);
    EXPECT_EQ(drawings(), 0u);
    EXPECT_EQ(pixels_not({ 0, 0, 480, 272 }, dirt), 0) << "the screen is untouched";
}

TEST_F(BatteryIcon, IdsBeyondTheTableAreRefused)
{
    struct Case {
        UINT id;
        size_t blinks_in_a_second;
        bool refused;
    };
    for (auto c : { Case { 31, 2, false }, Case { 32, 0, true }, Case { 4000, 0, true } }) {
        SCOPED_TRACE(c.id);
        size_t lines = debug_lines(*device).size();
        auto icon = make_icon(&window, c.id);
        icon->SetState(2, 1);
        EXPECT_EQ(shown(), 0) << "the icon still draws";
        size_t drawn = drawings();
        pass(1000);
        EXPECT_EQ(drawings() - drawn, c.blinks_in_a_second);
        auto added = debug_lines(*device).size() - lines;
        EXPECT_EQ(added, c.refused ? 1u : 0u);
        if (c.refused) {
            EXPECT_EQ(debug_lines(*device).back(), "CBatteryIcon: id " + std::to_string(c.id) + " is outside the icon table");
        }
    }
}

TEST_F(BatteryIcon, AGoneIconLeavesNoEntryBehindButKeepsAnotherIconsEntry)
{
    CWnd other;
    ASSERT_TRUE(other.CreateEx(0, nullptr, u"other", WS_POPUP | WS_VISIBLE, 0, 200, 240, 72, nullptr, nullptr));
    drain();
    const POINT elsewhere { 100, 20 }; // in the other window

    // The first icon blinks on the test window; a second one with the same id on another
    // window takes the entry and goes again. The first one's ticks then find no icon: nothing is
    // drawn and the shared blink counter stays where it was.
    auto first = make_icon(&window, 1);
    first->SetState(2, 1);
    make_icon(&other, 1, elsewhere).reset();
    size_t drawn = drawings();
    pass(1500);
    EXPECT_EQ(drawings(), drawn);

    // An icon that goes while another holds its id leaves that icon blinking, from the phase
    // the counter gives: its first tick shows the picture, the next one removes it.
    auto third = make_icon(&other, 1, elsewhere);
    third->SetState(2, 1);
    first.reset();
    const POINT on_screen { elsewhere.x, 200 + elsewhere.y };
    for (int phase : { 0, static_cast<int>(hidden), 0 }) {
        drawn = drawings();
        pass(500);
        EXPECT_EQ(drawings(), drawn + 1);
        EXPECT_EQ(shown(on_screen), phase);
    }
    third.reset();
    other.DestroyWindow();
}

// Two programs side by side, each with its icon 1 in the low state: each has its own table and
// blink counter, so both blink in the same phase and neither draws the other's icon.
TEST_F(BatteryIcon, EachProgramHasItsOwnTableAndBlinkCounter)
{
    window.ShowWindow(SW_HIDE);
    drain();
    const char16_t* images[] = { u"\\NAND\\App\\Left.exe", u"\\NAND\\App\\Right.exe" };
    for (int i = 0; i < 2; ++i) {
        TestPictures::add(gdi.resources(device->register_module(images[i])));
        device->programs().add(images[i], [this, i](std::u16string_view) {
            CWnd side;
            side.CreateEx(0, nullptr, i == 0 ? u"left" : u"right", WS_POPUP | WS_VISIBLE, 240 * i, 0, 240, 272, nullptr,
                nullptr);
            auto icon = make_icon(&side, 1, { 20, 15 });
            icon->SetState(2, 1);
            MSG message {};
            while (GetMessage(&message, nullptr, 0, 0) > 0 && message.message != WM_APP)
                DispatchMessage(&message);
            icon.reset();
            side.DestroyWindow();
            return 0;
        });
        DWORD error = 0;
        ASSERT_TRUE(device->create_process(images[i], u"", error)) << error;
        device->run_until_idle();
    }
    const POINT left { 20, 15 };
    const POINT right { 260, 15 };
    EXPECT_EQ(shown(left), 0);
    EXPECT_EQ(shown(right), 0);
    for (int phase : { 0, static_cast<int>(hidden), 0, static_cast<int>(hidden) }) {
        device->advance(500);
        device->run_until_idle();
        EXPECT_EQ(shown(left), phase);
        EXPECT_EQ(shown(right), phase);
    }
    for (const char16_t* title : { u"left", u"right" })
        PostMessage(FindWindow(nullptr, title), WM_APP, 0, 0);
    device->run_until_idle();
}

TEST_F(BatteryIcon, TheSharedPicturesServeAnyProgramsIds)
{
    // As the television program numbers them: 189 to 194.
    add_battery_pictures(resources(), 189);
    const POINT from = TestPictures::battery_background;
    CBatteryIcon icon(&window, 1, 189, 190, 191, 192, 193, 194, TestPictures::background, from.x, from.y, at.x, at.y);
    std::set<std::vector<uint16_t>> looks;
    for (int state : { 0, 3, 4, 5, 7, 6 }) {
        icon.SetState(state, 1);
        std::vector<uint16_t> look;
        for (int y = 0; y < battery_picture_height; ++y) {
            for (int x = 0; x < battery_picture_width; ++x)
                look.push_back(pixel(at.x + x, at.y + y));
        }
        looks.insert(look);
        EXPECT_EQ(pixel(at.x + 2, at.y), c565(TestPictures::battery_area_colour)) << "the key lets the background through";
    }
    EXPECT_EQ(looks.size(), 6u) << "each picture looks different";
}

} // namespace
