// A picture comes from the card or the flash disk: the image probe must read any bytes without
// reading past what it got, claim only a picture it read fully, and leave an unclaimed file as
// either unrecognised or a JPEG whose frame header could not be reached.

#include "FileApi.h"
#include "FuzzDevice.h"
#include "MediaInfo.h"
#include "image/ImageProbe.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_device();
    write_fuzz_file(u"\\NAND\\fuzz.picture", data, size);

    HANDLE file = open_fuzz_file(u"\\NAND\\fuzz.picture");
    _tag_MEDIA_INFO info = new_media_info();
    int claimed = ProbeImage(info, file);
    CloseHandle(file);

    bool picture = info.format >= MEDIA_JPEG && info.format <= MEDIA_PNG;
    if (claimed && (info.status != S_OK || !picture))
        std::abort();
    if (!claimed && (info.format != MEDIA_NONE || (info.status != 1 && info.status != E_FAIL)))
        std::abort();
    if (size < 64 && (claimed || info.file_size != 0 || info.status != 1))
        std::abort();
    if (info.status != 1 && info.file_size != int64_t(size))
        std::abort();
    return 0;
}
