// The phone link's start-up: the start modes of its command line, one copy at a time, and the
// choice of the language file.

#include "DialdeckTest.h"
#include "FileSystem.h"

#include <filesystem>

using namespace dialdeck::test;

namespace {

// The default phone's identity with a start mode of the settings file.
std::string settings_with_show_ui(int showUI)
{
    return "[mobile]\r\nname=Dana's Lumo\r\nphone=Lumo 6\r\ncompany=Varda\r\nIMEI=356938035643809\r\nShowUI="
        + std::to_string(showUI) + "\r\n";
}

} // namespace

TEST_F(DialdeckTest, EachStartModeShowsTheDeclaredPanelAndOkHidesOrEnds)
{
    struct Case {
        const char16_t* command_line;
        int show_ui; // -1: the settings file has none
        bool visible;
        const char* show;          // after the start
        const char* close_window;
        bool ok_ends;
    };
    const Case cases[] = {
        { u"-h", -1, false, "absent", "0", false },
        { u"-type:0", -1, false, "absent", "0", false },
        { u"-type:1", -1, true, "1", "1", true },
        { u"-type:2", -1, true, "1", "0", false },
        { u"-type:3", -1, false, "absent", "1", true },
        // The command line wins over the settings file.
        { u"-h", 1, false, "absent", "0", false },
        // Compared whole and with case: these name no mode, and ShowUI decides.
        { u"-type:1 ", 2, true, "1", "0", false },
        { u"-TYPE:1", 3, false, "absent", "1", true },
        { u"", -1, false, "absent", "0", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(kivo::to_utf8(c.command_line) + " ShowUI " + std::to_string(c.show_ui));
        start_over([&] {
            if (c.show_ui >= 0)
                write_settings(settings_with_show_ui(c.show_ui));
        });
        auto process = start(c.command_line);
        settle();
        HWND panel = panel_window();
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(IsWindowVisible(panel) != FALSE, c.visible);
        EXPECT_EQ(voxlane_value(u"Show"), c.show);
        EXPECT_EQ(voxlane_value(u"CloseWindow"), c.close_window);

        PostMessage(panel, WM_COMMAND, IDOK, 0);
        settle();
        if (c.ok_ends) {
            EXPECT_TRUE(process->ended());
            EXPECT_EQ(panel_window(), nullptr);
        } else {
            EXPECT_FALSE(process->ended());
            EXPECT_FALSE(IsWindowVisible(panel));
            EXPECT_EQ(voxlane_value(u"Show"), "0");
        }
    }
}

TEST_F(DialdeckTest, ASecondStartEndsWithOneAndShowsAHiddenCopyOnlyWhenAskedTo)
{
    struct Case {
        const char16_t* command_line;
        int show_ui;
        bool shown;
    };
    const Case cases[] = {
        { u"-type:2", 0, true },
        { u"-h", 0, false },
        { u"-type:1", 0, false },
        { u"", 2, true },
        { u"", 1, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(kivo::to_utf8(c.command_line) + " ShowUI " + std::to_string(c.show_ui));
        start_over([&] { write_settings(settings_with_show_ui(c.show_ui)); });
        auto running = start(u"-h");
        HWND panel = panel_window();
        ASSERT_NE(panel, nullptr);
        auto second = start(c.command_line);
        EXPECT_TRUE(second->ended());
        EXPECT_EQ(second->exit_code(), 1u);
        EXPECT_FALSE(running->ended());
        EXPECT_EQ(panel_window(), panel);
        EXPECT_EQ(IsWindowVisible(panel) != FALSE, c.shown);
        EXPECT_EQ(voxlane_value(u"Show"), c.shown ? "1" : "absent");
        // One watchdog, started by the first copy.
        EXPECT_EQ(g_heard.watchdog_starts.size(), 1u);
    }
}

TEST_F(DialdeckTest, ASecondStartRestoresADisabledCopy)
{
    auto running = start(u"-type:2");
    HWND panel = panel_window();
    ShowWindow(panel, SW_HIDE);
    EnableWindow(panel, FALSE);
    device->run_until_idle();
    auto second = start(u"-h");
    EXPECT_EQ(second->exit_code(), 1u);
    EXPECT_TRUE(IsWindowVisible(panel));
}

TEST_F(DialdeckTest, ADeviceFolderThatCannotBeMadeLeavesThePairedDeviceFileUnnamed)
{
    auto running = start(u"-type:2");
    EXPECT_EQ(app(*running).m_deviceFile, u"\\NAND\\My Documents\\Deviceinfo");

    // A flash disk that refuses the folder: the program runs on without a paired-device file.
    start_over();
    std::filesystem::remove_all(device->root() / "NAND" / "My Documents");
    device->component<kivo::FileSystem>().file_faults().fail_create_directory(u"\\NAND\\My Documents", ERROR_ACCESS_DENIED);
    auto process = start(u"-type:2");
    EXPECT_NE(panel_window(), nullptr) << "the panel opens all the same";
    EXPECT_TRUE(app(*process).m_deviceFile.empty());
}

TEST_F(DialdeckTest, TheLanguageFollowsDefaultLCIDWithEachFallback)
{
    struct Case {
        const char* what;
        std::function<void()> set;
        const char16_t* title;
    };
    auto lcid = [](DWORD id) {
        return [id] { set_value(u"nls", u"DefaultLCID", REG_DWORD, &id, sizeof(id)); };
    };
    const Case cases[] = {
        { "a fresh device", [] {}, u"藍牙電話" },
        { "English", lcid(0x0409), u"Phone Link" },
        { "a language without its file", lcid(0x0411), u"Phone Link" },
        { "a value of another type", [] { set_value(u"nls", u"DefaultLCID", REG_SZ, u"1028", 10); }, u"Phone Link" },
        { "a value of another size", [] {
             uint64_t id = 0x0404;
             set_value(u"nls", u"DefaultLCID", REG_BINARY, &id, sizeof(id));
         },
            u"Phone Link" },
        { "no value", [] {
             HKEY key = nullptr;
             RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"nls", 0, KEY_ALL_ACCESS, &key);
             RegDeleteValue(key, u"DefaultLCID");
             RegCloseKey(key);
         },
            u"Phone Link" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        c.set();
        draw_log().clear();
        start(u"-type:2");
        EXPECT_TRUE(draw_log().find_shown_text(c.title, 0).has_value());
    }
}
