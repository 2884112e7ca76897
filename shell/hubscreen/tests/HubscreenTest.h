#pragma once

#include "kernel/tests/TestDevice.h"
#include "kernel/tests/WindowProgram.h"

#include "BacklightDriver.h"
#include "Board.h"
#include "CHubscreenApp.h"
#include "CHubscreenDlg.h"
#include "CParmFileRW.h"
#include "DrawLog.h"
#include "Explorer.h"
#include "Gdi.h"
#include "KivoNotify.h"
#include "SettingRecord.h"
#include "SoundDevice.h"
#include "StreamDrivers.h"
#include "TouchInput.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace kivo::test {

inline constexpr const char16_t* fake_image = u"\\NAND\\App\\FakeProgram.exe";

// What each fake program's window received, by its title.
inline std::map<std::u16string, std::vector<std::pair<WPARAM, LPARAM>>> g_received;
// The WM_COPYDATA blocks each received: wParam, dwData and the bytes.
struct CopyReceived {
    WPARAM wparam;
    ULONG_PTR kind;
    std::string bytes;
    bool operator==(const CopyReceived&) const = default;
};
inline std::map<std::u16string, std::vector<CopyReceived>> g_copies;

// Fake programs close on APP_CLOSE and report it with their id, as the media programs do, while
// this is set.
inline bool g_answer_close = false;
// The fixed private messages each received.
inline std::map<std::u16string, std::vector<UINT>> g_messages;

inline LRESULT CALLBACK recorder_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    WCHAR title[64] = {};
    if (message == WM_KIVO_NOTIFY || message == MSG_BATT_CRITICAL || message == MSG_SHUTDOWN)
        GetWindowText(window, title, 64);
    if (message == WM_KIVO_NOTIFY) {
        g_received[title].emplace_back(wparam, lparam);
        if (g_answer_close && wparam == APP_CLOSE) {
            const std::pair<std::u16string, LPARAM> ids[] = { { u"audio", 3 }, { u"video", 2 }, { u"photo", 4 }, { u"setting", 6 } };
            for (auto& [name, id] : ids) {
                if (name == title) {
                    PostMessage(FindWindow(nullptr, u"hubscreen"), WM_KIVO_NOTIFY, APP_CLOSED, id);
                    DestroyWindow(window);
                }
            }
        }
        return 0;
    }
    if (message == MSG_BATT_CRITICAL || message == MSG_SHUTDOWN) {
        g_messages[title].push_back(message);
        return 0;
    }
    if (message == WM_COPYDATA) {
        WCHAR title[64] = {};
        GetWindowText(window, title, 64);
        auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
        g_copies[title].push_back({ wparam, copy->dwData, std::string(static_cast<const char*>(copy->lpData), copy->cbData) });
        return TRUE;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProc(window, message, wparam, lparam);
}

// A program whose hidden window, titled by its command line, notes the notify codes it receives.
inline int recorder_main(std::u16string_view title)
{
    return kivo::test::run_window_program(u"FakeRecorder", recorder_window, title);
}

class HubscreenTest : public ::testing::Test {
protected:
    HubscreenTest()
    {
        g_received.clear();
        g_copies.clear();
        g_messages.clear();
        g_answer_close = false;
        set_up_device();
    }

    // A new device for each case of a table, set up as the test's first one.
    void start_over()
    {
        device.reset();
        device = make_test_device();
        set_up_device();
    }
    void set_up_device()
    {
        install_stream_drivers(*device);
        register_hubscreen(*device);
        register_explorer(*device);
        device->programs().add(fake_image, recorder_main);
        device->component<Gdi>().draw_log().set_recording(true);
    }

    void write_settings(SettingRecord record)
    {
        CParmFileRW file;
        ASSERT_EQ(file.Write(SETTING_FILE_NAME, &record, sizeof(record)), 0);
    }
    std::string settings_bytes()
    {
        HANDLE file = CreateFile(SETTING_FILE_NAME, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return {};
        std::string bytes(GetFileSize(file, nullptr), '\0');
        DWORD read = 0;
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        CloseHandle(file);
        return bytes;
    }

    HWND start(const char16_t* image = nullptr, const char16_t* command_line = u"")
    {
        DWORD error = 0;
        std::u16string path = image ? image : std::u16string(hubscreen_image_path);
        EXPECT_TRUE(device->create_process(path, command_line, error)) << error;
        device->run_until_idle();
        return FindWindow(nullptr, image ? command_line : HOME_WINDOW_TITLE);
    }

    // A fake program at an image, whose window has the title.
    void add_fake(const char16_t* image, std::u16string title)
    {
        device->programs().add(image, [title](std::u16string_view) { return recorder_main(title); });
    }
    void tap(int x, int y)
    {
        device->component<TouchInput>().tap(x, y);
        device->run_until_idle();
    }
    bool window(const char16_t* title) { return FindWindow(nullptr, title) != nullptr; }

    std::vector<DrawLog::Entry> drawn() { return device->component<Gdi>().draw_log().entries(); }
    std::vector<DrawLog::Entry> drawn_bitmaps(UINT id)
    {
        std::vector<DrawLog::Entry> result;
        for (auto& entry : drawn()) {
            if (entry.bitmap_id == id)
                result.push_back(entry);
        }
        return result;
    }
    bool bitmap_at(UINT id, LONG x, LONG y)
    {
        auto entries = drawn_bitmaps(id);
        return std::any_of(entries.begin(), entries.end(), [&](auto& e) { return e.rect.left == x && e.rect.top == y && e.painted; });
    }
    bool wrote_debug(const std::string& line)
    {
        auto lines = debug_lines(*device);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::unique_ptr<Device> device = make_test_device();
    BacklightDriver& backlight() { return device->component<BacklightDriver>(); }
};

} // namespace kivo::test
