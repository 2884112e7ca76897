// The SMS loader lists no more records than the file holds after its header.
#include "StoredFileFuzz.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::u16string path = u"\\SDMMC\\My Documents\\SMS";
    write_stored_fuzz_file(path, data, size);
    SmsList messages;
    LoadSMSFile(path, messages);
    if (messages.size() > size / sizeof(SmsRecord))
        std::abort();
    return 0;
}
