// An MPEG audio file comes from the card or the flash disk: any bytes, read through the device's
// files, must be claimed or left alone without reading outside the file's buffers, and what the
// probe records must be whole: texts ended within their slots, rates and counts in their ranges.

#include "FileApi.h"
#include "FuzzDevice.h"
#include "mpegaudio/MpegAudioProbe.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_device();
    write_fuzz_file(u"\\NAND\\fuzz.mp3", data, size);

    HANDLE file = open_fuzz_file(u"\\NAND\\fuzz.mp3");
    _tag_MEDIA_INFO info = new_media_info();
    int claimed = ProbeMpegAudio(info, file);
    CloseHandle(file);

    if (!claimed) {
        if (info.status != 1 || info.format != MEDIA_NONE || info.file_size != 0)
            std::abort();
        return 0;
    }
    if (size < 1024 || info.file_size != int64_t(size))
        std::abort();
    if (info.status != S_OK && info.status != 1 && info.status != E_FAIL && info.status != E_OUTOFMEMORY)
        std::abort();
    for (const auto& text : info.tags) {
        if (text[MEDIA_TAG_CHARS - 1] != 0)
            std::abort();
    }
    if (info.genre_index < -1 || info.genre_index > 254)
        std::abort();
    if (info.status == S_OK) {
        if (info.format != MEDIA_MP3 || info.sample_rate < 7350 || info.sample_rate > 96000 || info.channels < 0
            || info.channels > 8 || info.audio_bit_rate < 0 || info.duration < 0)
            std::abort();
    }
    return 0;
}
