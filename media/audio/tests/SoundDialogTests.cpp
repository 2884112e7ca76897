// The sound dialog: the equaliser tiles and the surround switch reach the wave driver at once,
// "OK" keeps the choice for the main screen and its bookmark, "X" puts the driver back, and the
// home screen's close codes end the dialog and the player.

#include "MelodoTest.h"

#include "CSoundDlg.h"
#include "FrameBuffer.h"

#include <functional>
#include <tuple>

namespace kivo::test {
namespace {

using Wave = std::tuple<UINT, DWORD_PTR, DWORD_PTR>;
const Wave surround_on { 1045, 0, 0 };
const Wave surround_off { 1046, 0, 0 };
Wave preset(DWORD_PTR p) { return { 1044, p, 1 }; }

constexpr POINT on_button { 166, 233 };
constexpr POINT off_button { 313, 233 };
constexpr POINT ok_button { 428, 39 };
constexpr POINT x_button { 444, 230 };

POINT tile_centre(int p)
{
    return { CSoundDlg::tile_left[p] + CSoundDlg::tile_width / 2, CSoundDlg::tile_top + CSoundDlg::tile_height / 2 };
}

class MelodoSound : public MelodoTest {
public:
    // A saved state of three songs with the preset and surround given.
    void write_sound_state(int eq_preset, bool surround)
    {
        AudioBookmark bookmark;
        bookmark.eq_preset = eq_preset;
        bookmark.surround = surround ? 1 : 0;
        bookmark.current_path = song_path("one");
        write_state({ "one", "two", "three" }, bookmark);
    }

    SoundDevice& sound() { return device->component<SoundDevice>(); }
    // Where the driver's messages from now on begin.
    uint64_t wave_mark()
    {
        auto kept = sound().messages_since(0);
        return kept.empty() ? 0 : kept.back().first + 1;
    }
    std::vector<SoundDevice::Message> wave_records_since(uint64_t mark)
    {
        std::vector<SoundDevice::Message> records;
        for (auto& [sequence, message] : sound().messages_since(mark))
            records.push_back(message);
        return records;
    }
    std::vector<Wave> wave_since(uint64_t mark)
    {
        std::vector<Wave> waves;
        for (auto& m : wave_records_since(mark))
            waves.emplace_back(m.message, m.first, m.second);
        return waves;
    }

    // The sound dialog: the window the main screen owns.
    HWND sound_window()
    {
        HWND main = FindWindow(nullptr, u"audio");
        if (!main)
            return nullptr;
        for (HWND w = GetWindow(main, GW_HWNDFIRST); w; w = GetWindow(w, GW_HWNDNEXT)) {
            if (GetWindow(w, GW_OWNER) == main && IsWindowVisible(w))
                return w;
        }
        return nullptr;
    }
    // Taps the sound button and answers the dialog it opened, or null.
    CSoundDlg* open_sound(CMelodoDlg& dialog)
    {
        tap(dialog, CMelodoDlg::btn_sound);
        HWND window = sound_window();
        auto process = device->find_process(melodo_image_path);
        if (!window || !process)
            return nullptr;
        CSoundDlg* sound_dialog = nullptr;
        device->create_thread(*process, [&] {
            sound_dialog = dynamic_cast<CSoundDlg*>(device->component<HandleMaps>().window(window, true));
            return DWORD { 0 };
        });
        device->run_until_idle();
        return sound_dialog;
    }
    void tap(POINT point) { MelodoTest::tap(point.x, point.y); }
    using MelodoTest::tap;

    uint64_t now() { return device->clock().now_ms(); }
};

bool tile_drawn(const std::vector<DrawLog::Entry>& entries, int p, bool selected)
{
    UINT id = IDB_TILE_FIRST + 2 * static_cast<UINT>(p) + (selected ? 1 : 0);
    return std::any_of(entries.begin(), entries.end(), [&](auto& e) {
        return e.bitmap_id == id && e.rect.left == CSoundDlg::tile_left[p] && e.rect.top == CSoundDlg::tile_top && e.painted;
    });
}

TEST_F(MelodoSound, ATapOnATileSendsItsPresetOnceAndOnTheSelectedTileOrBesideTheTilesNothing)
{
    struct Case {
        const char* name;
        POINT point;
        int chosen; // -1: no tile
    };
    // CLASSIC (2) is the saved preset.
    const Case cases[] = {
        { "NORMAL", tile_centre(0), 0 },
        { "ROCK", tile_centre(1), 1 },
        { "CLASSIC, selected already", tile_centre(2), 2 },
        { "JAZZ", tile_centre(3), 3 },
        { "POP", tile_centre(4), 4 },
        { "NORMAL's top left corner", { 16, 65 }, 0 },
        { "NORMAL's bottom right corner", { 102, 175 }, 0 },
        { "between NORMAL and ROCK", { 104, 120 }, -1 },
        { "above ROCK", { 150, 64 }, -1 },
        { "below POP", { 420, 176 }, -1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_over();
        write_sound_state(2, false);
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        CSoundDlg* sound_dialog = open_sound(*dialog);
        ASSERT_NE(sound_dialog, nullptr);
        EXPECT_EQ(dialog->m_bSoundDlgOpen, 1);
        EXPECT_TRUE(tile_drawn(drawn(), 2, true));
        uint64_t mark = wave_mark();
        forget_drawing();
        tap(c.point);
        pass(100);
        bool changes = c.chosen >= 0 && c.chosen != 2;
        EXPECT_EQ(wave_since(mark), changes ? std::vector<Wave> { preset(static_cast<DWORD_PTR>(c.chosen)) } : std::vector<Wave> {});
        EXPECT_EQ(sound_dialog->m_nShown, changes ? c.chosen : 2);
        if (changes) {
            EXPECT_TRUE(tile_drawn(drawn(), c.chosen, true));
            EXPECT_TRUE(tile_drawn(drawn(), 2, false)) << "the tile chosen before is drawn plain";
        } else {
            EXPECT_TRUE(drawn().empty());
        }
        // A second tap on the same place changes nothing more.
        mark = wave_mark();
        forget_drawing();
        tap(c.point);
        pass(100);
        EXPECT_TRUE(wave_since(mark).empty());
        EXPECT_TRUE(drawn().empty());
    }
}

TEST_F(MelodoSound, MusicThatPlaysIsPausedFiftyMillisecondsAroundAPresetChangeAndOtherwiseLeftAsItIs)
{
    struct Case {
        const char* name;
        std::vector<CMelodoDlg::Button> taps;
        int state;
    };
    // The saved song is loaded paused at start.
    const Case cases[] = {
        { "playing", { CMelodoDlg::btn_play }, State_Running },
        { "paused", { CMelodoDlg::btn_play, CMelodoDlg::btn_play }, State_Paused },
        { "stopped", { CMelodoDlg::btn_stop }, State_Stopped },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_over();
        write_sound_state(0, false);
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        for (auto button : c.taps) {
            tap(*dialog, button);
            pass(500);
        }
        ASSERT_EQ(state(*dialog), c.state);
        ASSERT_NE(open_sound(*dialog), nullptr);
        size_t runs_before = sound().stream_plays().size();
        uint64_t mark = wave_mark();
        uint64_t tapped = now();
        tap(tile_centre(3));
        pass(200);
        auto records = wave_records_since(mark);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].message, 1044u);
        EXPECT_EQ(records[0].first, 3u);
        EXPECT_EQ(state(*dialog), c.state);
        EXPECT_EQ(backlight().backlight_off_allowed, c.state != State_Running) << "the tile's key click";
        auto runs = sound().stream_plays();
        if (c.state == State_Running) {
            EXPECT_EQ(records[0].time_ms, tapped + 50);
            // The run that played at the tap ended there; the next began after the message.
            ASSERT_EQ(runs.size(), runs_before + 1);
            EXPECT_EQ(runs[runs_before - 1].stop_ms, tapped);
            EXPECT_GE(runs[runs_before].start_ms, records[0].time_ms);
            EXPECT_LE(runs[runs_before].start_ms, tapped + 100);
        } else {
            EXPECT_EQ(records[0].time_ms, tapped);
            EXPECT_EQ(runs.size(), runs_before);
        }
    }
}

TEST_F(MelodoSound, OnAndOffSendTheirMessageOnlyWhenTheyChangeTheStateAndShowItInOrange)
{
    write_sound_state(0, false);
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    CSoundDlg* sound_dialog = open_sound(*dialog);
    ASSERT_NE(sound_dialog, nullptr);
    EXPECT_EQ(sound_dialog->m_On.m_nUp, IDB_ON_TEAL);
    EXPECT_EQ(sound_dialog->m_Off.m_nUp, IDB_OFF_ORANGE);
    struct Step {
        POINT button;
        std::vector<Wave> sent;
        UINT on_picture;
        UINT off_picture;
    };
    const Step steps[] = {
        { on_button, { surround_on }, IDB_ON_ORANGE, IDB_OFF_TEAL },
        { on_button, {}, IDB_ON_ORANGE, IDB_OFF_TEAL },
        { off_button, { surround_off }, IDB_ON_TEAL, IDB_OFF_ORANGE },
        { off_button, {}, IDB_ON_TEAL, IDB_OFF_ORANGE },
    };
    int step = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(step++);
        uint64_t mark = wave_mark();
        tap(s.button);
        EXPECT_EQ(wave_since(mark), s.sent);
        EXPECT_EQ(sound_dialog->m_On.m_nUp, s.on_picture);
        EXPECT_EQ(sound_dialog->m_On.m_nDown, s.on_picture + 1);
        EXPECT_EQ(sound_dialog->m_Off.m_nUp, s.off_picture);
    }
    EXPECT_EQ(dialog->m_bSurround, 0) << "nothing is kept before OK";
}

TEST_F(MelodoSound, CloseRestoresExactlyThePresetAndSurroundOfTheOpening)
{
    struct Case {
        const char* name;
        std::vector<POINT> taps;
        std::vector<Wave> sent_by_x;
    };
    // Opened at CLASSIC with surround on.
    const Case cases[] = {
        { "nothing changed", {}, {} },
        { "several changes", { tile_centre(4), tile_centre(0), off_button, on_button, off_button }, { preset(2), surround_on } },
        { "changed and changed back", { tile_centre(3), tile_centre(2), off_button, on_button }, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_over();
        write_sound_state(2, true);
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        ASSERT_NE(open_sound(*dialog), nullptr);
        for (POINT point : c.taps)
            tap(point);
        pass(100);
        uint64_t mark = wave_mark();
        tap(x_button);
        pass(100);
        EXPECT_EQ(sound_window(), nullptr) << "the dialog has ended";
        EXPECT_EQ(wave_since(mark), c.sent_by_x);
        EXPECT_EQ(dialog->m_nEqPreset, 2);
        EXPECT_EQ(dialog->m_bSurround, 1);
        EXPECT_EQ(dialog->m_bSoundDlgOpen, 0);
    }
}

TEST_F(MelodoSound, OkKeepsTheChoiceIntoTheBookmarkAndTheNextStartSendsIt)
{
    write_sound_state(0, false);
    uint64_t mark = wave_mark();
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(wave_since(mark), std::vector<Wave> { preset(0) }) << "a saved surround off sends nothing at start";
    ASSERT_NE(open_sound(*dialog), nullptr);
    tap(tile_centre(1));
    tap(on_button);
    pass(100);
    tap(ok_button);
    pass(100);
    EXPECT_EQ(sound_window(), nullptr);
    EXPECT_EQ(dialog->m_nEqPreset, 1);
    EXPECT_EQ(dialog->m_bSurround, 1);

    mark = wave_mark();
    close_by(APP_CLOSE);
    EXPECT_EQ(wave_since(mark), (std::vector<Wave> { preset(0), surround_off })) << "the driver is left plain at exit";
    auto saved = read_device_file(bookmark_path);
    ASSERT_TRUE(saved.has_value());
    ASSERT_EQ(saved->size(), 16 + bookmark_bytes);
    auto bookmark = decode_bookmark(std::span<const uint8_t, bookmark_bytes>(reinterpret_cast<const uint8_t*>(saved->data()) + 16, bookmark_bytes));
    EXPECT_EQ(bookmark.eq_preset, 1);
    EXPECT_EQ(bookmark.surround, 1);

    mark = wave_mark();
    dialog = start();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(wave_since(mark), (std::vector<Wave> { preset(1), surround_on }));
}

TEST_F(MelodoSound, TheHomeScreensCloseCodesEndTheDialogAndThePlayerOnce)
{
    struct Case {
        const char* name;
        WPARAM code;
        bool broadcast;
        bool closes;
    };
    const Case cases[] = {
        { "card removed", DRV_SD_RMV2, false, true },
        { "USB connected", APP_USB_CONNECTED, false, true },
        { "close", APP_CLOSE, false, true },
        { "close to every window", APP_CLOSE, true, true },
        { "battery level", DRV_BATT_LEVEL, false, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_over();
        write_sound_state(0, false);
        CMelodoDlg* dialog = start();
        ASSERT_NE(dialog, nullptr);
        ASSERT_NE(open_sound(*dialog), nullptr);
        // A choice not kept with OK stays out of the bookmark.
        tap(tile_centre(4));
        pass(100);
        uint64_t mark = wave_mark();
        PostMessage(c.broadcast ? HWND_BROADCAST : sound_window(), WM_KIVO_NOTIFY, c.code, 2);
        pass(1000);
        if (!c.closes) {
            EXPECT_NE(sound_window(), nullptr);
            EXPECT_TRUE(running());
            continue;
        }
        EXPECT_FALSE(running());
        EXPECT_EQ(device->find_process(melodo_image_path), nullptr);
        // The exit ran once: one plain preset and one surround off.
        EXPECT_EQ(wave_since(mark), (std::vector<Wave> { preset(0), surround_off }));
        auto saved = read_device_file(bookmark_path);
        ASSERT_TRUE(saved.has_value());
        auto bookmark = decode_bookmark(std::span<const uint8_t, bookmark_bytes>(reinterpret_cast<const uint8_t*>(saved->data()) + 16, bookmark_bytes));
        EXPECT_EQ(bookmark.eq_preset, 0);
        EXPECT_EQ(bookmark.list_count, 3);
    }
}

TEST_F(MelodoSound, TheNextSongStartsWhileTheDialogIsOpenAndItsTitleWaitsForTheDialogToClose)
{
    write_sound_state(0, false);
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    tap(*dialog, CMelodoDlg::btn_play);
    pass(500);
    ASSERT_NE(open_sound(*dialog), nullptr);
    forget_drawing();
    auto covered = decode_png(screenshot_png(*device));
    play_to_end();
    EXPECT_EQ(current_song(*dialog), 2);
    EXPECT_EQ(state(*dialog), State_Running) << "the worker went on to the next song";
    EXPECT_FALSE(wrote(u"Second Song")) << "no title is drawn under the dialog";
    EXPECT_EQ(decode_png(screenshot_png(*device)).rgb, covered.rgb) << "the time and position drawn meanwhile stay hidden";
    tap(x_button);
    pass(100);
    EXPECT_TRUE(wrote(u"Second Song")) << "uncovering the screen paints it";
}

TEST_F(MelodoSound, TheDialogShowsRockAndSurroundOnAndTheMainScreenTheirLabelsAfterOk)
{
    write_sound_state(0, false);
    CMelodoDlg* dialog = start();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(open_sound(*dialog), nullptr);
    tap(tile_centre(1));
    tap(on_button);
    pass(100);
    auto shot = review_screenshot(*device, "melodo-sound-rock-surround");
    // ROCK's frame is orange, NORMAL's not; ON is orange and OFF teal.
    const auto orange = FrameBuffer::rgb565(255, 157, 11);
    EXPECT_EQ(shot.pixel_565(CSoundDlg::tile_left[1] + 43, CSoundDlg::tile_top + 1), orange);
    EXPECT_NE(shot.pixel_565(CSoundDlg::tile_left[0] + 43, CSoundDlg::tile_top + 1), orange);
    EXPECT_EQ(shot.pixel_565(on_button.x, on_button.y - 18), orange);
    EXPECT_EQ(shot.pixel_565(off_button.x, off_button.y - 18), FrameBuffer::rgb565(22, 138, 146));

    forget_drawing();
    tap(ok_button);
    pass(100);
    review_screenshot(*device, "melodo-after-sound-rock-surround");
    auto entries = drawn();
    auto drawn_at = [&](UINT id, LONG x, LONG y) {
        return std::any_of(entries.begin(), entries.end(),
            [&](auto& e) { return e.bitmap_id == id && e.rect.left == x && e.rect.top == y && e.painted; });
    };
    EXPECT_TRUE(drawn_at(IDB_EQ_LABEL_FIRST + 1, 110, 70)) << "ROCK";
    EXPECT_TRUE(drawn_at(IDB_SURROUND, 190, 70));
}

} // namespace
} // namespace kivo::test
