#pragma once

#include <string_view>

namespace kivo {

// The layer's demonstration program, which the simulator boots while the suite's home screen does
// not exist yet: a window with a picture, text in both fonts, a button and a clock on a timer.
inline constexpr std::u16string_view demo_image_path = u"\\NAND\\App\\Demo.exe";

void register_demo_program(class Device&);

} // namespace kivo
