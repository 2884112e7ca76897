#pragma once

#include "PhoneData.h"

#include <string>
#include <string_view>

namespace kivo {

// The text form in which a simulated phone's identity, data and pairing are kept in the device
// root (docs/phones.md): UTF-8 lines of tab-separated fields, the first naming the record. Lines
// that cannot be understood are skipped and counted; what is written reads back to the same data.
class PhoneTextForm {
public:
    // Fills `phone` from the text (records absent keep their defaults); answers the lines skipped.
    // `has_address` tells whether an address line was read, without which the phone has no name
    // in the root.
    static size_t read(std::string_view text, PhoneData& phone, bool* has_address = nullptr);
    static std::string write(const PhoneData&);
};

} // namespace kivo
