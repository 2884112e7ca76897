#pragma once

#include "MediaInfo.h"
#include "MediaParser.h"

#include "kernel/tests/TestDevice.h"
#include "storage/tests/DeviceFiles.h"

#include "Volumes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace player_test {

// Bytes of a little-endian or big-endian field.
inline std::string le16(uint32_t v) { return { char(v), char(v >> 8) }; }
inline std::string le32(uint32_t v) { return le16(v) + le16(v >> 16); }
inline std::string be16(uint32_t v) { return { char(v >> 8), char(v) }; }
inline std::string be32(uint32_t v) { return be16(v >> 16) + be16(v); }

// Bytes padded with zeros to `size`.
inline std::string padded(std::string bytes, size_t size)
{
    bytes.resize(std::max(bytes.size(), size), '\0');
    return bytes;
}

// The headers of the four pictures, as far as the probe reads them, padded to 64 bytes.
inline std::string gif_head(uint32_t width, uint32_t height, uint8_t packed = 0x70, std::string_view version = "89a")
{
    return padded("GIF" + std::string(version) + le16(width) + le16(height) + char(packed), 64);
}
inline std::string bmp_head(uint32_t width, int32_t height, uint32_t bits)
{
    return padded("BM" + le32(0) + le32(0) + le32(54) + le32(40) + le32(width) + le32(uint32_t(height)) + le16(1) + le16(bits), 64);
}
inline std::string png_head(uint32_t width, uint32_t height, uint8_t depth, std::string_view chunk = "IHDR")
{
    return padded("\x89PNG\r\n\x1a\n" + be32(13) + std::string(chunk) + be32(width) + be32(height) + char(depth) + char(2), 64);
}

// A JPEG marker segment: marker, length (counting itself) and body.
inline std::string segment(uint8_t marker, std::string_view body)
{
    return std::string { char(0xFF), char(marker) } + be16(uint32_t(body.size() + 2)) + std::string(body);
}
// The body of a frame header.
inline std::string frame_body(uint32_t width, uint32_t height, uint8_t components, uint8_t precision = 8)
{
    return char(precision) + be16(height) + be16(width) + char(components) + std::string(3 * components, '\x11');
}
inline const std::string start_of_image = "\xFF\xD8";
inline const std::string end_of_image = "\xFF\xD9";

// A fresh device per test, with files written through its own calls.
class PlayerTest : public ::testing::Test {
protected:
    std::unique_ptr<kivo::Device> device = kivo::test::make_test_device();

    static void write(std::u16string_view path, std::string_view bytes)
    {
        ASSERT_EQ(kivo::test::write_device_file(path, bytes), 0u);
    }

    // A sparse file on the flash disk's host folder: `head`, then zeros up to `size` bytes.
    void write_sparse(std::string_view name, std::string_view head, uint64_t size)
    {
        auto host = device->component<kivo::Volumes>().host_folder(kivo::VolumeId::Nand) / name;
        std::ofstream(host, std::ios::binary).write(head.data(), std::streamsize(head.size()));
        std::filesystem::resize_file(host, size);
    }

    // The record a parser leaves for a file; `opened` gets what Open answered.
    template <typename Parser = CMediaParser>
    static _tag_MEDIA_INFO probe(std::u16string_view path, HRESULT* opened = nullptr)
    {
        Parser parser;
        HRESULT result = parser.Open(std::u16string(path).c_str());
        if (opened)
            *opened = result;
        return parser.info();
    }
};

} // namespace player_test
