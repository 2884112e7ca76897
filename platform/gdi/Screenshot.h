#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace kivo {

class Device;

// The visible page of the screen (480 × 272, what the frame buffer's first page holds, GDI and
// direct writes alike) as a PNG picture in 8-bit RGB.
std::vector<uint8_t> screenshot_png(Device&);
bool write_screenshot_png(Device&, const std::filesystem::path&);

} // namespace kivo
