// A media file comes from the card or the flash disk: any bytes, read through the device's files by
// libavformat, must open as media or be refused with an HRESULT, and reading its packets must end.

#include "FileApi.h"
#include "FuzzDevice.h"
#include "KernelApi.h"
#include "MediaFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" {
#include <libavcodec/avcodec.h>
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // FFmpeg's warnings go to the debug log: keep only the newest.
    fuzz_device().trace_limit().set(256);
    HANDLE file = CreateFile(u"\\NAND\\fuzz.media", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        std::abort();
    DWORD written = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written != size)
        std::abort();
    CloseHandle(file);

    std::unique_ptr<kivo::MediaFile> media;
    HRESULT result = kivo::MediaFile::open(u"\\NAND\\fuzz.media", media);
    if (result != S_OK) {
        if (media || result != VFW_E_INVALID_FILE_FORMAT)
            std::abort();
        return 0;
    }
    if (media->streams().empty())
        std::abort();
    AVPacket* packet = av_packet_alloc();
    for (int packets = 0; packets < 2000 && media->read_packet(*packet) == 0; ++packets)
        av_packet_unref(packet);
    av_packet_free(&packet);
    return 0;
}
