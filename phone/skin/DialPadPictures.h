#pragma once

#include "PhoneSkinTree.h"

namespace kivo {

// The skin's list with the dial pad's pictures after it.
std::vector<PhoneSkinPicture> with_dial_pad_pictures(std::vector<PhoneSkinPicture> pictures);

} // namespace kivo
