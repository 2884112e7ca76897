// A skin's pictures come from the card or the flash disk: any bytes must decode without reading
// past them, a refusal names its reason, and a picture that decodes has a size within the bitmap
// limit.

#include "BmpFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DWORD error = 0;
    auto bitmap = kivo::decode_bmp(std::span(data, size), error);
    if (!bitmap) {
        if (error == 0)
            std::abort();
        return 0;
    }
    if (error != 0 || bitmap->width() <= 0 || bitmap->height() <= 0
        || int64_t(bitmap->width()) * bitmap->height() > kivo::Bitmap::largest_pixels)
        std::abort();
    return 0;
}
