#pragma once

#include "kernel/tests/TestDevice.h"
#include "storage/tests/DeviceFiles.h"

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
        return write_device_file(path, bytes);
    }

    static std::optional<std::string> read_file(std::u16string_view path)
    {
        return read_device_file(path);
    }

    static DWORD attributes(std::u16string_view path) { return GetFileAttributes(std::u16string(path).c_str()); }
};

} // namespace kivo::test
