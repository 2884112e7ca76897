#pragma once

#include "gdi/tests/ScreenshotPixels.h"
#include "kernel/tests/TestDevice.h"
#include "storage/tests/DeviceFiles.h"

#include "BitmapCanvas.h"
#include "BmpFile.h"
#include "Gdi.h"
#include "Skinkit.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace skinkit::test {

inline constexpr const char16_t* program_image = u"\\NAND\\App\\BT\\Voxlane.exe";
inline constexpr const char16_t* skin_folder = u"\\NAND\\App\\BT\\skin\\default\\";

// A fresh device per test with the phone link's folders, and helpers that write skin files and
// pictures and run code in a program of its own.
class SkinkitTest : public ::testing::Test {
protected:
    std::unique_ptr<kivo::Device> device = kivo::test::make_test_device();

    SkinkitTest()
    {
        for (auto folder : { u"\\NAND\\App", u"\\NAND\\App\\BT", u"\\NAND\\App\\BT\\skin", u"\\NAND\\App\\BT\\skin\\default",
                 u"\\NAND\\App\\BT\\skin\\default\\Test" })
            CreateDirectory(folder, nullptr);
    }

    static void write_text(std::u16string_view path, std::string_view bytes)
    {
        ASSERT_EQ(kivo::test::write_device_file(path, bytes), 0u);
    }

    // A picture drawn by code, stored as a BMP file.
    void write_picture(std::u16string_view path, int width, int height, const std::function<void(kivo::BitmapCanvas&)>& paint)
    {
        auto bitmap = kivo::Bitmap::create_compatible(width, height);
        kivo::BitmapCanvas canvas(*bitmap, device->component<kivo::Gdi>().fonts());
        paint(canvas);
        auto bytes = kivo::encode_bmp(*bitmap);
        write_text(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

    // Runs the body as the phone link's program (a process of its own) until it ends.
    void run_in_process(std::function<void()> body, const std::u16string& image = program_image)
    {
        ASSERT_TRUE(kivo::test::run_program_to_end(*device, image, std::move(body)));
    }
};

} // namespace skinkit::test
