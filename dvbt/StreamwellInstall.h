#pragma once

// What a fresh device holds for the television library: the radio background picture that the
// player shows behind radio services, drawn here and put beside the programs.

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {
class Device;
}

// The radio colour (red 0, green 17, blue 56) with a broadcast emblem in its middle: one 480 x 272
// picture in planar YUV 4:2:0 (BT.601, limited range), 195 840 bytes.
std::vector<uint8_t> make_radio_background();

// Writes "\NAND\App\RadioBG.yuv" unless it is there; false with the reason when it cannot.
bool install_streamwell(kivo::Device&, std::string* error = nullptr);
