#pragma once

#include "kernel/tests/TestDevice.h"
#include "storage/tests/DeviceFiles.h"

#include "Kitbase.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace kitbase::test {

// A fresh device per test with the library's folder made, and helpers that go through the
// device's own file calls.
class KitbaseTest : public ::testing::Test {
protected:
    static constexpr const char16_t* folder = u"\\NAND\\App\\BT\\";

    std::unique_ptr<kivo::Device> device = kivo::test::make_test_device();

    KitbaseTest()
    {
        CreateDirectory(u"\\NAND\\App", nullptr);
        CreateDirectory(u"\\NAND\\App\\BT", nullptr);
    }

    static bool write_file(std::u16string_view path, std::string_view bytes)
    {
        return kivo::test::write_device_file(path, bytes) == 0;
    }

    static std::optional<std::string> read_file(std::u16string_view path)
    {
        return kivo::test::read_device_file(path);
    }

    // Runs the body as a program of its own process and waits until that process has ended.
    void run_in_process(const std::u16string& image, std::function<void()> body)
    {
        ASSERT_TRUE(kivo::test::run_program_to_end(*device, image, std::move(body)));
    }
};

} // namespace kitbase::test
