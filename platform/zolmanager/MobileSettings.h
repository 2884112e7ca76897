#pragma once

#include "PhoneData.h"

#include <string>

namespace kivo {

// Writes the activated phone into section "mobile" of the settings file ("name", "phone" for the
// model, "company" for the maker, "IMEI"), in the ANSI code page, keeping every other section and
// key. The new text goes to a file beside it, each write and the close checked, and replaces the
// old file in one step; on failure the old file stays and the answer is false.
bool write_mobile_settings(const std::u16string& path, const PhoneIdentity&);

// The settings text with the phone's keys put in; for the writer and its tests.
std::string merge_mobile_settings(const std::string& old_text, const PhoneIdentity&);

} // namespace kivo
