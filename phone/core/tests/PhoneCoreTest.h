#pragma once

// A fresh device per test with the phone link's skin and language trees installed, and the phone
// link's program run with a body of the test's on its main thread.

#include "gdi/tests/ScreenshotPixels.h"
#include "kernel/tests/TestDevice.h"
#include "storage/tests/DeviceFiles.h"

#include "BitmapCanvas.h"
#include "BmpFile.h"
#include "Colour.h"
#include "DrawLog.h"
#include "Gdi.h"
#include "PhoneScreen.h"
#include "PhoneSkinTree.h"
#include "Skinkit.h"
#include "TouchInput.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace phone::test {

inline constexpr const char16_t* program_image = u"\\NAND\\App\\BT\\Voxlane.exe";
inline constexpr const char16_t* english = u"\\NAND\\App\\BT\\Lang\\Lang.ini";
inline constexpr const char16_t* chinese = u"\\NAND\\App\\BT\\Lang\\Lang_0404.ini";

class PhoneCoreTest : public ::testing::Test {
protected:
    std::unique_ptr<kivo::Device> device = kivo::test::make_test_device();

    PhoneCoreTest()
    {
        std::string error;
        EXPECT_TRUE(kivo::install_phone_skin(*device, &error)) << error;
        device->component<kivo::Gdi>().draw_log().set_recording(true);
    }

    ~PhoneCoreTest() override { device->run_until_idle(); }

    // Starts the phone link's program with its skin folder and language set, running `body`, and
    // returns when every thread waits (a dialog of the body is open then) or the body is done.
    void start(std::function<void()> body, const char16_t* language = english)
    {
        std::u16string lang = language;
        device->programs().add(program_image, [lang, body](std::u16string_view) {
            SetSkinFolder(kivo::phone_skin_folder);
            SetLanguageFile(lang.c_str());
            body();
            return 0;
        });
        DWORD error = 0;
        ASSERT_TRUE(device->create_process(program_image, u"", error));
        device->run_until_idle();
    }

    // Writes a file under the skin folder.
    static void write_skin_file(std::u16string_view name, std::string_view bytes)
    {
        ASSERT_EQ(kivo::test::write_device_file(std::u16string(kivo::phone_skin_folder) + std::u16string(name), bytes), 0u);
    }

    // A picture under the skin folder drawn by code.
    void write_picture(std::u16string_view name, int width, int height, const std::function<void(kivo::BitmapCanvas&)>& paint)
    {
        auto bitmap = kivo::Bitmap::create_compatible(width, height);
        kivo::BitmapCanvas canvas(*bitmap, device->component<kivo::Gdi>().fonts());
        paint(canvas);
        auto bytes = kivo::encode_bmp(*bitmap);
        write_skin_file(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

    void tap(int x, int y)
    {
        device->component<kivo::TouchInput>().tap(x, y);
        device->run_until_idle();
    }

    kivo::test::DecodedPng shot(const std::string& name) { return kivo::test::review_screenshot(*device, name); }
    kivo::DrawLog& draw_log() { return device->component<kivo::Gdi>().draw_log(); }
    static uint16_t c565(COLORREF colour) { return kivo::rgb565_of_colorref(colour); }
};

} // namespace phone::test
