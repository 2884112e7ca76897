// Text that comes from outside the device (host files, scripts) is decoded from UTF-8: any byte
// sequence must decode, and what it decodes to must survive a round trip unchanged.

#include "WideText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::u16string decoded = kivo::to_utf16(bytes);
    std::string encoded = kivo::to_utf8(decoded);
    if (kivo::to_utf16(encoded) != decoded)
        std::abort();
    // Well-formed bytes come back exactly, malformed ones never do; what is written is always
    // well-formed.
    if (kivo::is_utf8(bytes) != (encoded == bytes) || !kivo::is_utf8(encoded))
        std::abort();
    return 0;
}
