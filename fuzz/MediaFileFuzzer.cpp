// A media file comes from the card or the flash disk: any bytes, read through the device's files by
// libavformat, must open as media or be refused with an HRESULT, reading its packets must end, its
// first packets must decode or be refused, and a seek must land or fail with an HRESULT.

#include "FileApi.h"
#include "FuzzDevice.h"
#include "KernelApi.h"
#include "MediaDecoder.h"
#include "MediaFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // FFmpeg's warnings go to the debug log: keep only the newest.
    fuzz_device().trace_limit().set(256);
    write_fuzz_file(u"\\NAND\\fuzz.media", data, size);

    std::unique_ptr<kivo::MediaFile> media;
    HRESULT result = kivo::MediaFile::open(u"\\NAND\\fuzz.media", media);
    if (result != S_OK) {
        if (media || result != VFW_E_INVALID_FILE_FORMAT)
            std::abort();
        return 0;
    }
    if (media->streams().empty())
        std::abort();
    std::vector<std::unique_ptr<kivo::MediaDecoder>> decoders(media->streams().size());
    for (const kivo::MediaStream& stream : media->streams()) {
        if (stream.decodable && !stream.attached_picture && stream.kind != kivo::MediaStream::Kind::Other)
            kivo::MediaDecoder::create(*media, stream.index, decoders[size_t(stream.index)]);
    }
    AVPacket* packet = av_packet_alloc();
    std::vector<kivo::DecodedFrame> frames;
    // Decoding is dear: only the first packets are decoded, every one is read.
    auto read_and_decode = [&](int limit, int decoded) {
        bool before_landing = false;
        for (int packets = 0; packets < limit && media->read_packet(*packet, &before_landing) == 0; ++packets) {
            // Streams may turn up while the file is read: those have no decoder.
            size_t stream = size_t(packet->stream_index);
            if (packets < decoded && stream < decoders.size() && decoders[stream])
                decoders[stream]->decode(packet, frames, before_landing);
            frames.clear();
            av_packet_unref(packet);
        }
    };
    read_and_decode(2000, 60);
    LONGLONG landing = 0;
    if (SUCCEEDED(media->seek(media->duration() / 2, false, landing))) {
        if (landing != media->duration() / 2)
            std::abort();
        for (auto& decoder : decoders) {
            if (decoder)
                decoder->flush();
        }
        read_and_decode(200, 30);
    }
    for (auto& decoder : decoders) {
        if (decoder)
            decoder->decode(nullptr, frames);
    }
    av_packet_free(&packet);
    return 0;
}
