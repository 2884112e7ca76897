// Packed contacts come from the Bluetooth manager and from the contacts file: any bytes must
// unpack without reading past them, and every contact read must pack back to the same bytes.

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
    for (auto& entry : entries) {
        int length = PackContact(&entry, packed.data());
        PhonebookEntry again;
        if (length == 0 || UnpackContact(packed.data(), static_cast<size_t>(length), &again) != length
            || std::memcmp(&again, &entry, sizeof(entry)) != 0)
            std::abort();
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
