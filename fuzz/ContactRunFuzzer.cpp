// Packed contacts come from the Bluetooth manager and from the contacts file: any bytes must
// unpack without reading past them, and every contact read must pack back to the very bytes it
// came from, so that records the phone link only carries reach the phone side unchanged.

#include "Contacts.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<PhonebookEntry> entries;
    UnpackContactRun(data, size, entries);
    std::vector<BYTE> packed(PACKED_CONTACT_LARGEST);
    size_t position = 0;
    for (auto& entry : entries) {
        int length = PackContact(&entry, packed.data());
        if (length == 0 || position + static_cast<size_t>(length) > size
            || std::memcmp(packed.data(), data + position, static_cast<size_t>(length)) != 0)
            std::abort();
        position += static_cast<size_t>(length);
        std::u16string text;
        GetFirstNumber(&entry, &text);
        FormatNameFirstLast(&entry, &text);
        FormatNameLastFirst(&entry, &text);
        GetContactDisplayName(&entry, &text);
        PhoneDateTime date;
        GetContactDateTime(&entry, &date);
    }
    return 0;
}
