#pragma once

#include "kernel/tests/TestDevice.h"
#include "storage/tests/DeviceFiles.h"

#include "FileApi.h"
#include "KernelApi.h"
#include "Volumes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kivo::test {

// A fresh device per test, with helpers that go through the device's own file calls.
class StorageTest : public ::testing::Test {
protected:
    std::unique_ptr<Device> device = make_test_device();
    Volumes& volumes = device->component<Volumes>();

    // Creates (or replaces) a file with the given bytes; answers the error, 0 on success.
    static DWORD write_file(std::u16string_view path, std::string_view bytes)
    {
        return write_device_file(path, bytes);
    }

    static std::optional<std::string> read_file(std::u16string_view path)
    {
        return read_device_file(path);
    }

    static DWORD attributes(std::u16string_view path) { return GetFileAttributes(std::u16string(path).c_str()); }

    // The names a search finds, in the order it answers them; the search must end cleanly.
    static std::vector<std::u16string> find_all(std::u16string_view pattern)
    {
        std::vector<std::u16string> names;
        WIN32_FIND_DATA data;
        HANDLE search = FindFirstFile(std::u16string(pattern).c_str(), &data);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do
            names.push_back(data.cFileName);
        while (FindNextFile(search, &data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(search));
        return names;
    }
};

} // namespace kivo::test
