// The contacts the loader lists follow one another within their buffer, which holds at most the
// file less its shortest header (34 bytes and an IMEI of at least its zero); each has a field
// count of 0 to 26 and packs back to its own bytes. A file loaded without contacts has no buffer.
#include "StoredFileFuzz.h"

#include "Contacts.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::u16string path = u"\\SDMMC\\My Documents\\Contacts";
    write_stored_fuzz_file(path, data, size);
    ContactList contacts;
    SharedBuffer buffer;
    bool loaded = LoadContactsFile(path, contacts, buffer);
    if (loaded && contacts.empty() && buffer.data)
        std::abort();
    if (contacts.empty())
        return 0;
    const size_t shortest_header = 36;
    if (size < shortest_header)
        std::abort();
    const BYTE* end = buffer.data + (size - shortest_header);
    const BYTE* next = buffer.data;
    auto entry = std::make_unique<PhonebookEntry>();
    std::vector<BYTE> packed(PACKED_CONTACT_LARGEST);
    for (BYTE* contact : contacts) {
        if (contact != next || contact >= end)
            std::abort();
        int length = UnpackContact(contact, static_cast<size_t>(end - contact), entry.get());
        if (length == 0 || PackContact(entry.get(), packed.data()) != length
            || std::memcmp(packed.data(), contact, static_cast<size_t>(length)) != 0)
            std::abort();
        next = contact + length;
    }
    return 0;
}
