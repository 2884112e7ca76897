#pragma once

#include "PhoneSkinTree.h"

namespace kivo {

// The dial pad's pictures, added to the skin's list.
void append_dial_pad_pictures(std::vector<PhoneSkinPicture>& pictures);

} // namespace kivo
