#pragma once

#include "dshow/tests/TestClips.h"
#include "gdi/tests/ScreenshotPixels.h"
#include "kernel/tests/TestDevice.h"
#include "kernel/tests/WindowProgram.h"
#include "storage/tests/DeviceFiles.h"

#include "AudioBookmark.h"
#include "BacklightDriver.h"
#include "CMelodoApp.h"
#include "CMelodoDlg.h"
#include "CParmFileRW.h"
#include "DrawLog.h"
#include "Gdi.h"
#include "HandleMaps.h"
#include "KivoNotify.h"
#include "MediaClasses.h"
#include "SoundDevice.h"
#include "StreamDrivers.h"
#include "TouchInput.h"
#include "VendorFilters.h"
#include "Volumes.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kivo::test {

inline constexpr const char16_t* fake_home_image = u"\\NAND\\App\\FakeHome.exe";
inline constexpr const char16_t* fake_navi_image = u"\\NAND\\App\\FakeNavi.exe";
inline constexpr const char16_t* bookmark_path = u"\\SDMMC\\bmkAud.rom";
inline constexpr const char16_t* list_path = u"\\SDMMC\\listAud.lst";

// What the fake home screen received: notify codes with their argument, and readiness messages.
struct HomeRecord {
    std::vector<std::pair<WPARAM, LPARAM>> notifies;
    std::vector<UINT> ready;
};
inline HomeRecord g_home;

inline LRESULT CALLBACK fake_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_KIVO_NOTIFY) {
        g_home.notifies.emplace_back(wparam, lparam);
        return 0;
    }
    if (message == MSG_AUDIO_READY) {
        g_home.ready.push_back(message);
        return 0;
    }
    return DefWindowProc(window, message, wparam, lparam);
}

// A program with one hidden window of a title: the home screen or the navigation program.
inline int fake_program(std::u16string title)
{
    return kivo::test::run_window_program(u"FakeNeighbour", fake_window, title);
}

// The songs the fixture script made: one, two and three (4, 5 and 6 whole seconds), long (a long
// title) and damaged (text named like a song).
inline std::filesystem::path song_source(const std::string& name)
{
    return std::filesystem::path(MELODO_SONGS) / (name + ".mp3");
}

inline std::u16string song_path(const std::string& name)
{
    return u"\\SDMMC\\Music\\" + std::u16string(name.begin(), name.end()) + u".mp3";
}

class MelodoTest : public ::testing::Test {
public:
    MelodoTest() { set_up_device(); }

    // A new device for each case of a table, set up as the test's first one.
    void start_over()
    {
        device.reset();
        device = make_test_device();
        set_up_device();
    }
    void set_up_device()
    {
        g_home = {};
        install_stream_drivers(*device);
        install_media_classes(*device);
        install_vendor_filters(*device);
        register_melodo(*device);
        device->programs().add(fake_home_image, [](std::u16string_view) { return fake_program(u"hubscreen"); });
        device->programs().add(fake_navi_image, [](std::u16string_view) { return fake_program(NAVI_WINDOW_TITLE); });
        device->component<Gdi>().draw_log().set_recording(true);
    }

    void add_song(const std::string& name)
    {
        auto host = host_path_in(device->root(), song_path(name));
        std::filesystem::create_directories(host.parent_path());
        std::filesystem::copy_file(song_source(name), host, std::filesystem::copy_options::overwrite_existing);
    }

    // A bookmark and list as the player writes them, for the songs named.
    void write_state(const std::vector<std::string>& songs, AudioBookmark bookmark)
    {
        std::vector<std::u16string> paths;
        for (auto& song : songs) {
            add_song(song);
            paths.push_back(song_path(song));
        }
        bookmark.list_count = static_cast<int32_t>(paths.size());
        bookmark.list_bytes = bookmark.list_count * 512;
        auto record = encode_bookmark(bookmark);
        auto slots = encode_list(paths);
        CParmFileRW file;
        ASSERT_EQ(file.Write(bookmark_path, record.data(), static_cast<int>(record.size())), 0);
        ASSERT_EQ(file.Write(list_path, slots.data(), static_cast<int>(slots.size())), 0);
    }
    void write_list(const std::vector<std::string>& songs, int mode = 0)
    {
        AudioBookmark bookmark;
        bookmark.play_mode = mode;
        bookmark.current_path = song_path(songs.front());
        write_state(songs, bookmark);
    }

    void start_program(const char16_t* image)
    {
        DWORD error = 0;
        ASSERT_TRUE(device->create_process(image, u"", error)) << error;
        device->run_until_idle();
    }
    void start_home() { start_program(fake_home_image); }
    // Starts the player and answers its main screen, or null when it did not come up.
    CMelodoDlg* start()
    {
        start_program(melodo_image_path.data());
        HWND window = FindWindow(nullptr, u"audio");
        auto process = device->find_process(melodo_image_path);
        if (!window || !process)
            return nullptr;
        // The program's windows are known by their objects only inside its own process.
        CMelodoDlg* dialog = nullptr;
        device->create_thread(*process, [&] {
            dialog = dynamic_cast<CMelodoDlg*>(device->component<HandleMaps>().window(window, true));
            return DWORD { 0 };
        });
        device->run_until_idle();
        return dialog;
    }
    bool running() const { return FindWindow(nullptr, u"audio") != nullptr; }

    void tap(int x, int y)
    {
        device->component<TouchInput>().tap(x, y);
        device->run_until_idle();
    }
    void tap(CMelodoDlg& dialog, CMelodoDlg::Button button)
    {
        const CImgBtn& b = dialog.m_Buttons[button];
        tap((b.m_nLeft + b.m_nRight) / 2, (b.m_nTop + b.m_nBottom) / 2);
    }
    void pass(uint64_t ms)
    {
        device->advance(ms);
        device->run_until_idle();
    }
    void notify(WPARAM code, LPARAM value = 0)
    {
        PostMessage(FindWindow(nullptr, u"audio"), WM_KIVO_NOTIFY, code, value);
        device->run_until_idle();
    }
    // Closes the player by a notify code and lets its exit run to the end.
    void close_by(WPARAM code)
    {
        notify(code);
        pass(1000);
        EXPECT_EQ(device->find_process(melodo_image_path), nullptr);
    }

    // Lets the current song play to its end, and half a second further: the next one has begun by
    // then, or the player has stopped.
    void play_to_end()
    {
        auto& sound = device->component<SoundDevice>();
        size_t runs = sound.stream_plays().size();
        device->run_until([&] {
            auto plays = sound.stream_plays();
            return plays.size() > runs || (!plays.empty() && plays.back().stop_ms);
        }, 10000);
        pass(500);
    }

    std::vector<DrawLog::Entry> drawn() const { return device->component<Gdi>().draw_log().entries(); }
    void forget_drawing() { device->component<Gdi>().draw_log().clear(); }
    // The last list position written ("2/3"), empty when none was.
    std::u16string last_position() const
    {
        auto entries = drawn();
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            // Centred text is logged where its line went, inside the place (25, 155, 85, 35).
            if (it->call == "DrawText" && it->rect.left >= 25 && it->rect.left < 110 && it->rect.top >= 155 && it->rect.top < 190)
                return it->text;
        }
        return {};
    }
    bool wrote(std::u16string_view text) const { return device->component<Gdi>().draw_log().last_text(text).has_value(); }

    static int state(CMelodoDlg& dialog) { return dialog.m_Player.Getsts(); }
    // The list number of the current song, as the position text gives it.
    static int current_song(CMelodoDlg& dialog) { return dialog.m_Order[static_cast<size_t>(dialog.m_nCurPos)] + 1; }

    BacklightDriver::State backlight() { return device->component<BacklightDriver>().state(); }

    std::unique_ptr<Device> device = make_test_device();
};

} // namespace kivo::test
