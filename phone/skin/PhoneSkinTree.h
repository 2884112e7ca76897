#pragma once

// The phone link's skin and language trees as the device holds them under "\NAND\App\BT\": the
// skin files and pictures in "skin\default\", the language files in "Lang\". Tests and the
// simulator install them into a device root.

#include "BitmapCanvas.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class Device;

inline constexpr const char16_t* phone_link_folder = u"\\NAND\\App\\BT\\";
inline constexpr const char16_t* phone_skin_folder = u"\\NAND\\App\\BT\\skin\\default\\";
inline constexpr const char16_t* phone_lang_folder = u"\\NAND\\App\\BT\\Lang\\";

// An INI text of the trees, in UTF-8, by its path under the phone link's folder.
struct PhoneTreeText {
    const char16_t* path;
    std::string_view utf8;
};
const std::vector<PhoneTreeText>& phone_tree_texts();

// A picture of the skin: its path under the skin folder, its size, what it shows, and how it is
// drawn (the transparent key where the screen beneath is to show).
struct PhoneSkinPicture {
    const char16_t* path;
    int width;
    int height;
    const char* what;
    std::function<void(BitmapCanvas&)> paint;
};
const std::vector<PhoneSkinPicture>& phone_skin_pictures();

// Writes the trees into the device, making the folders on the way: the INI texts in code page
// 950, the pictures as BMP files. A file already there is kept. Each file is written beside its
// place and moved there whole. False, with the reason, at the first file that cannot be written.
bool install_phone_skin(Device&, std::string* error = nullptr);

// Writes one file of the phone link's install the same way: kept when it is there already,
// folders made on the way, written beside its place and moved there whole.
bool put_phone_file(Device&, const std::u16string& path, std::string_view bytes, std::string* error = nullptr);

} // namespace kivo
