// A simulated phone's file is edited by people and read at every start: any text must load
// without harm, and what was loaded must write out to a text that loads back whole to the same.

#include "PhoneTextForm.h"
#include "WideText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kivo::PhoneData phone;
    kivo::PhoneTextForm::read(std::string_view(reinterpret_cast<const char*>(data), size), phone);
    std::string written = kivo::PhoneTextForm::write(phone);
    kivo::PhoneData again;
    if (kivo::PhoneTextForm::read(written, again) != 0 || !(again == phone) || kivo::PhoneTextForm::write(again) != written
        || !kivo::is_utf8(written))
        std::abort();
    return 0;
}
