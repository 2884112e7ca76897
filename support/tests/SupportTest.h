#pragma once

#include "kernel/tests/TestDevice.h"
#include "storage/tests/DeviceFiles.h"

#include "Device.h"
#include "StreamDrivers.h"
#include "Volumes.h"
#include "WideText.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

namespace kivo::test {

// A fresh device with the board's stream drivers and the volumes, and file helpers that go
// through the device's own calls.
class SupportTest : public ::testing::Test {
protected:
    std::unique_ptr<Device> device = make_test_device();
    Volumes& volumes = device->component<Volumes>();

    SupportTest() { install_stream_drivers(*device); }

    static bool write_file(std::u16string_view path, std::string_view bytes)
    {
        return write_device_file(path, bytes) == 0;
    }

    static std::optional<std::string> read_file(std::u16string_view path)
    {
        return read_device_file(path);
    }

    // A mono 8-bit PCM sound of `ms` milliseconds at 8000 samples a second.
    static std::string wave_of(uint32_t ms)
    {
        uint32_t data = ms * 8;
        std::string bytes;
        auto put32 = [&](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
        auto put16 = [&](uint16_t v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
        bytes += "RIFF";
        put32(36 + data);
        bytes += "WAVEfmt ";
        put32(16);
        put16(1);
        put16(1);
        put32(8000);
        put32(8000);
        put16(1);
        put16(8);
        bytes += "data";
        put32(data);
        bytes.append(data, '\x80');
        return bytes;
    }

    // The debug lines written since the last mark.
    void mark_debug() { m_debug_mark = device->debug_log().size(); }
    std::vector<std::string> debug()
    {
        auto lines = debug_lines(*device);
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(m_debug_mark, lines.size())));
        return lines;
    }

private:
    size_t m_debug_mark = 0;
};

} // namespace kivo::test
