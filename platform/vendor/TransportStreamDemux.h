#pragma once

#include "MediaType.h"
#include "broadcast/TransportPacket.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace kivo {

// The demultiplexer's work without the filter around it: transport-stream packets in, and for each
// output the packets of the PIDs mapped to it in the form its map asks for (MEDIA_SAMPLE_CONTENT):
// whole packets, the payload of PES packets with their time stamps, whole sections, or the payload
// of each packet. Packets need not arrive aligned: bytes before a sync byte are skipped. A packet
// with its error bit set is dropped; a lost packet (a gap in the continuity counter) drops what
// its PID had half assembled. Each PES payload's time stamp is its PTS on the stream's time,
// placed by the PCR: the first PCR after a start or a discontinuity is taken to fall at the
// stream time then current. Not thread-safe: the filter guards it.
class TransportStreamDemux {
public:
    static constexpr size_t packet_size = ts_packet_size;
    static constexpr uint32_t max_pid = 0x1FFF;
    // A PES packet of unbounded length (video) is given up past this size.
    static constexpr size_t max_pes_size = 2 * 1024 * 1024;

    struct Output {
        size_t pin;
        SamplePtr sample;
    };

    explicit TransportStreamDemux(size_t pins);

    // The PIDs mapped to a pin, in ascending order.
    std::vector<std::pair<uint32_t, MEDIA_SAMPLE_CONTENT>> mapped(size_t pin) const;
    bool is_mapped(size_t pin, uint32_t pid) const;
    // Maps (or maps again, with a fresh start) a PID to a pin.
    void map(size_t pin, uint32_t pid, MEDIA_SAMPLE_CONTENT);
    void unmap(size_t pin, uint32_t pid);

    // Takes bytes of the stream; `stream_now` is the stream time now (100-ns units), where a first
    // PCR is placed. A discontinuity (a retune, a loop) forgets every half-assembled unit, a
    // partial packet and the PCR's place. What comes out is appended to `out`, in stream order.
    void push(std::span<const uint8_t> bytes, bool discontinuity, REFERENCE_TIME stream_now, std::vector<Output>& out);
    // Forgets everything half assembled and the PCR's place (a stop); the maps stay.
    void reset();

    // The last PCR's value in 100-ns units, continued across discontinuities so that it never
    // jumps (none before the first PCR); `pcr_count` counts the PCRs seen.
    std::optional<REFERENCE_TIME> last_pcr() const { return m_last_pcr; }
    uint64_t pcr_count() const { return m_pcr_count; }

private:
    struct Mapping {
        MEDIA_SAMPLE_CONTENT content = MEDIA_TRANSPORT_PACKET;
        int last_counter = -1;
        bool in_unit = false;      // a PES packet or a section is being assembled
        bool discontinuity = true; // the next sample out follows a gap
        std::vector<uint8_t> unit;
    };

    void take_packet(const uint8_t* packet, REFERENCE_TIME stream_now, std::vector<Output>& out);
    void take_pcr(uint64_t pcr_90khz, bool discontinuity, REFERENCE_TIME stream_now);
    void take_pes_bytes(size_t pin, Mapping&, bool unit_start, std::span<const uint8_t> payload, std::vector<Output>& out);
    void finish_pes(size_t pin, Mapping&, std::vector<Output>& out);
    void take_section_bytes(size_t pin, Mapping&, bool unit_start, std::span<const uint8_t> payload, std::vector<Output>& out);
    void emit_sections(size_t pin, Mapping&, std::vector<Output>& out);
    void emit(size_t pin, Mapping&, std::vector<uint8_t> data, std::vector<Output>& out, std::optional<REFERENCE_TIME> time = {});
    std::optional<REFERENCE_TIME> stream_time_of(uint64_t pts_90khz) const;
    void forget_units();

    std::vector<std::map<uint32_t, Mapping>> m_pins;
    std::vector<uint8_t> m_partial; // the start of a packet cut by the end of the bytes pushed

    // Where the stream's PCR stands: the PCR PID is the first PID seen carrying one.
    std::optional<uint32_t> m_pcr_pid;
    std::optional<uint64_t> m_anchor_pcr; // 90 kHz
    REFERENCE_TIME m_anchor_time = 0;
    std::optional<REFERENCE_TIME> m_last_pcr;
    uint64_t m_last_pcr_raw = 0;
    uint64_t m_pcr_count = 0;
};

} // namespace kivo
