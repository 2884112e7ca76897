// Any media file goes through the whole probe chain from a device file: opening must succeed,
// a recognised file must name its format, and every tag text must end within its slot.

#include "FileApi.h"
#include "FuzzDevice.h"
#include "MediaParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_device();
    write_fuzz_file(u"\\NAND\\fuzz.media", data, size);

    CMediaParser parser;
    if (parser.Open(u"\\NAND\\fuzz.media") != S_OK)
        std::abort();
    const _tag_MEDIA_INFO& info = parser.info();
    if (info.status == S_OK && info.format == MEDIA_NONE)
        std::abort();
    for (const auto& text : info.tags) {
        if (text[MEDIA_TAG_CHARS - 1] != 0)
            std::abort();
    }
    return 0;
}
