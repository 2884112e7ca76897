// The demultiplexer takes whatever the tuner hands it: a damaged or hostile transport stream, cut
// anywhere. With every content kind mapped on pins of their own, what comes out must be whole:
// packets of 188 bytes of a mapped PID, payloads that fit a packet, sections as long as their
// length says, PES payloads within the bound.

#include "TransportStreamDemux.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using kivo::TransportStreamDemux;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte chooses how the rest is cut into the samples the tuner would deliver.
    const size_t chunk = 1 + size_t(data[0]) * 3;
    data += 1;
    size -= 1;

    constexpr uint32_t pids[] = { 0x0000, 0x0010, 0x0011, 0x0012, 0x0100, 0x0101, 0x1000, 0x1FFF };
    TransportStreamDemux demux(4);
    for (size_t pin = 0; pin < 4; ++pin) {
        for (uint32_t pid : pids)
            demux.map(pin, pid, static_cast<MEDIA_SAMPLE_CONTENT>(pin));
    }
    std::vector<TransportStreamDemux::Output> out;
    for (size_t at = 0, round = 0; at < size; at += chunk, ++round) {
        const size_t length = std::min(chunk, size - at);
        // Now and then a retune.
        demux.push({ data + at, length }, round % 17 == 16, REFERENCE_TIME(round) * 100'000, out);
    }

    for (auto& [pin, sample] : out) {
        const auto& bytes = sample->data;
        switch (pin) {
        case MEDIA_TRANSPORT_PACKET: {
            if (bytes.size() != TransportStreamDemux::packet_size || bytes[0] != 0x47)
                std::abort();
            const uint32_t pid = (uint32_t(bytes[1] & 0x1F) << 8) | bytes[2];
            if (!demux.is_mapped(pin, pid))
                std::abort();
            break;
        }
        case MEDIA_ELEMENTARY_STREAM:
            if (bytes.size() > TransportStreamDemux::max_pes_size)
                std::abort();
            break;
        case MEDIA_MPEG2_PSI:
            if (bytes.size() < 3 || bytes.size() != 3 + ((size_t(bytes[1] & 0x0F) << 8) | bytes[2]) || bytes.size() > 4096)
                std::abort();
            break;
        case MEDIA_TRANSPORT_PAYLOAD:
            if (bytes.empty() || bytes.size() > TransportStreamDemux::packet_size - 4)
                std::abort();
            break;
        default:
            std::abort();
        }
        if (sample->has_time && sample->start != sample->stop)
            std::abort();
    }
    return 0;
}
