#pragma once

#include <string_view>

namespace kivo {

class Device;

// The platform's own shell, which the home screen starts when it ends: an empty desktop window
// that stays until its process is ended.
inline constexpr std::u16string_view explorer_image_path = u"\\windows\\explorer.exe";
inline constexpr std::u16string_view explorer_window_title = u"Desktop";

void register_explorer(Device&);

} // namespace kivo
