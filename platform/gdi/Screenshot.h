#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace kivo {

class Device;

// What the screen shows (480 × 272: the frame buffer's first page, GDI and direct writes alike,
// with the video plane under the video key colour) as a PNG picture in 8-bit RGB.
std::vector<uint8_t> screenshot_png(Device&);
// Any picture of 8-bit RGB rows, top first, as PNG (the simulator's window, say); empty when the
// size does not match the bytes or the encoder fails.
std::vector<uint8_t> png_of_rgb(int width, int height, std::span<const uint8_t> rgb);
bool write_screenshot_png(Device&, const std::filesystem::path&);
// Writes PNG bytes to a file through a temporary file beside it: false (the old file kept) when
// there are no bytes or the write fails.
bool write_png_file(const std::filesystem::path&, const std::vector<uint8_t>& png);

} // namespace kivo
