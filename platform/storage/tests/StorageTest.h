#pragma once

#include "kernel/tests/TestDevice.h"

#include "FileApi.h"
#include "KernelApi.h"
#include "Volumes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kivo::test {

// A fresh device per test, with helpers that go through the device's own file calls.
class StorageTest : public ::testing::Test {
protected:
    std::unique_ptr<Device> device = make_test_device();
    Volumes& volumes = device->component<Volumes>();

    // Creates (or replaces) a file with the given bytes; answers the error, 0 on success.
    static DWORD write_file(std::u16string_view path, std::string_view bytes)
    {
        HANDLE file = CreateFile(std::u16string(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return GetLastError();
        DWORD written = 0;
        BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        DWORD error = ok ? 0 : GetLastError();
        CloseHandle(file);
        return error;
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

    static DWORD attributes(std::u16string_view path) { return GetFileAttributes(std::u16string(path).c_str()); }
};

} // namespace kivo::test
