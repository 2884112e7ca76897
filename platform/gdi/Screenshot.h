#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace kivo {

class Device;

// What the screen shows (480 × 272: the frame buffer's first page, GDI and direct writes alike,
// with the video plane under the video key colour) as a PNG picture in 8-bit RGB.
std::vector<uint8_t> screenshot_png(Device&);
bool write_screenshot_png(Device&, const std::filesystem::path&);

} // namespace kivo
