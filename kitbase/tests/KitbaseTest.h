#pragma once

#include "kernel/tests/TestDevice.h"

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
        HANDLE file = CreateFile(std::u16string(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return ok && written == bytes.size();
    }

    static std::optional<std::string> read_file(std::u16string_view path)
    {
        HANDLE file = CreateFile(std::u16string(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return std::nullopt;
        std::string bytes(GetFileSize(file, nullptr), '\0');
        DWORD read = 0;
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        CloseHandle(file);
        bytes.resize(read);
        return bytes;
    }

    // Runs the body as a program of its own process and waits until that process has ended.
    void run_in_process(const std::u16string& image, std::function<void()> body)
    {
        device->programs().add(image, [body](std::u16string_view) {
            body();
            return 0;
        });
        PROCESS_INFORMATION process {};
        ASSERT_TRUE(CreateProcess(image.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &process));
        EXPECT_EQ(WaitForSingleObject(process.hProcess, INFINITE), WAIT_OBJECT_0);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
};

} // namespace kitbase::test
