#pragma once

// A fresh device with the phone link installed as a fresh root has it (its files, the default
// phones, the manager beside it), a fake watchdog and a fake home screen; the phone link started
// with a command line and watched through the manager's record, the registry and its panel.

#include "gdi/tests/ScreenshotPixels.h"
#include "kernel/tests/TestDevice.h"
#include "kernel/tests/WindowProgram.h"

#include "CDialdeckApp.h"
#include "Colour.h"
#include "CDialdeckDlg.h"
#include "Device.h"
#include "DialdeckInstall.h"
#include "DrawLog.h"
#include "Gdi.h"
#include "KivoNotify.h"
#include "PhoneSkinTree.h"
#include "Process.h"
#include "ProgramImages.h"
#include "SimulatedPhones.h"
#include "StreamDrivers.h"
#include "TouchInput.h"
#include "WideText.h"
#include "ZolRecord.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace dialdeck::test {

inline constexpr kivo::PhoneAddress dana = 0x001A2B3C4D5Eull;
inline constexpr const char16_t* watchdog_image = u"\\NAND\\App\\BT\\ZolDog.exe";
inline constexpr const char16_t* home_image = u"\\NAND\\App\\FakeHome.exe";
inline constexpr const char16_t* settings_path = u"\\NAND\\App\\BT\\mobile_setting.ini";

// What the fake watchdog and the fake home screen heard.
struct Neighbours {
    std::vector<std::u16string> watchdog_starts;
    int watchdog_closes = 0;
    std::vector<std::pair<WPARAM, LPARAM>> home_notifies;
};
inline Neighbours g_heard;

inline LRESULT CALLBACK neighbour_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_KIVO_NOTIFY) {
        g_heard.home_notifies.emplace_back(wparam, lparam);
        return 0;
    }
    if (message == WM_CLOSE) {
        ++g_heard.watchdog_closes;
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProc(window, message, wparam, lparam);
}

// A program with one hidden window of a title, ending when the window is closed.
inline int neighbour_program(const char16_t* title)
{
    return kivo::test::run_window_program(u"DialdeckNeighbour", neighbour_window, title);
}

class DialdeckTest : public ::testing::Test {
public:
    std::unique_ptr<kivo::Device> device;

    DialdeckTest() { start_over(); }
    ~DialdeckTest() override
    {
        if (device)
            device->run_until_idle();
    }

    // A new device, set up as a fresh root: for each case of a table. `before_install` writes what
    // the install is to keep.
    void start_over(const std::function<void()>& before_install = {}, bool with_drivers = true)
    {
        g_heard = {};
        device.reset();
        device = kivo::test::make_test_device();
        if (with_drivers)
            kivo::install_stream_drivers(*device);
        register_dialdeck(*device);
        device->programs().add(watchdog_image, [](std::u16string_view command_line) {
            g_heard.watchdog_starts.emplace_back(command_line);
            return neighbour_program(u"ZOLWATCHDOG");
        });
        device->programs().add(home_image, [](std::u16string_view) { return neighbour_program(u"hubscreen"); });
        device->component<kivo::ProgramImages>().install();
        device->component<kivo::Gdi>().draw_log().set_recording(true);
        if (before_install)
            before_install();
        std::string error;
        ASSERT_TRUE(install_dialdeck(*device, &error)) << error;
    }

    // Starts the phone link and runs until every thread waits.
    std::shared_ptr<kivo::Process> start(std::u16string_view command_line)
    {
        DWORD error = 0;
        auto process = device->create_process(dialdeck_image_path, command_line, error);
        EXPECT_TRUE(process) << error;
        device->run_until_idle();
        return process;
    }

    void start_home()
    {
        DWORD error = 0;
        EXPECT_TRUE(device->create_process(home_image, u"", error));
        device->run_until_idle();
    }

    // Lets the manager's connection (1.5 s) and its reports run.
    void settle() { device->advance(3000); }

    HWND panel_window() { return FindWindow(nullptr, u"ZOL_VOXLANE"); }
    CDialdeckApp& app(kivo::Process& process) { return *dialdeck_app_of(process); }
    CDialdeckDlg& panel(kivo::Process& process) { return *static_cast<CDialdeckDlg*>(app(process).m_pMainWnd); }

    bool enabled(kivo::Process& process, const char16_t* button)
    {
        CLayoutBtn* found = panel(process).FindButton(button);
        EXPECT_NE(found, nullptr) << kivo::to_utf8(button);
        return found && !found->m_bDisabled;
    }

    // A text value under HKLM "Software\ZOLSOFT\Voxlane", "absent" when there is none.
    static std::string voxlane_value(const char16_t* name)
    {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, VOXLANE_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "absent";
        WCHAR text[16] = {};
        DWORD size = sizeof(text) - sizeof(WCHAR);
        LONG read = RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
        return read == ERROR_SUCCESS ? kivo::to_utf8(text) : "absent";
    }

    static void set_value(const char16_t* subkey, const char16_t* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition), ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueEx(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // A Skinkit setting of the phone link (a number).
    static void set_setting(const char16_t* section, const char16_t* key, DWORD value)
    {
        set_value((u"Software\\ZOLSOFT\\Skinkit\\" + std::u16string(section)).c_str(), key, REG_DWORD, &value, sizeof(value));
    }

    // The settings file, written before the install so that it is kept.
    static void write_settings(const std::string& text)
    {
        CreateDirectory(u"\\NAND\\App", nullptr);
        CreateDirectory(u"\\NAND\\App\\BT", nullptr);
        HANDLE file = CreateFile(settings_path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr));
        CloseHandle(file);
    }

    // The entries the phone link's process called, in order, as "ZOL_X(arguments)".
    std::vector<std::string> manager_calls(kivo::Process& process)
    {
        std::vector<std::string> calls;
        for (auto& call : device->component<kivo::ZolRecord>().calls())
            if (call.process == process.id())
                calls.push_back(call.entry + "(" + call.arguments + ")");
        return calls;
    }

    kivo::SimulatedPhones& phones() { return device->component<kivo::SimulatedPhones>(); }
    kivo::DrawLog& draw_log() { return device->component<kivo::Gdi>().draw_log(); }
    kivo::test::DecodedPng shot(const std::string& name) { return kivo::test::review_screenshot(*device, name); }

    bool debug_has(const std::string& text)
    {
        auto lines = kivo::test::debug_lines(*device);
        return std::any_of(lines.begin(), lines.end(), [&](auto& line) { return line.find(text) != std::string::npos; });
    }
};

} // namespace dialdeck::test
