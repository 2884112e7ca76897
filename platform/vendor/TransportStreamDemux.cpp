#include "TransportStreamDemux.h"

#include <algorithm>
#include <utility>

namespace kivo {

namespace {

constexpr uint64_t pts_wrap = uint64_t(1) << 33;
// A PCR further than this from the last one is a jump (a loop, a splice), not the clock running.
constexpr uint64_t pcr_jump_90khz = 90'000 * 2;

REFERENCE_TIME from_90khz(int64_t ticks) { return ticks * 1'000 / 9; }

// The signed distance from `from` to `to` on the 33-bit clock of PTS and PCR.
int64_t wrapped_distance(uint64_t from, uint64_t to)
{
    int64_t distance = int64_t((to - from) & (pts_wrap - 1));
    return distance >= int64_t(pts_wrap / 2) ? distance - int64_t(pts_wrap) : distance;
}

bool is_pes_with_header(uint8_t stream_id)
{
    // Program stream map, padding, private stream 2, ECM, EMM, directory, DSM-CC and H.222.1 type E
    // carry no optional header.
    switch (stream_id) {
    case 0xBC:
    case 0xBE:
    case 0xBF:
    case 0xF0:
    case 0xF1:
    case 0xF2:
    case 0xF8:
    case 0xFF:
        return false;
    default:
        return true;
    }
}

uint64_t read_timestamp(const uint8_t* bytes)
{
    return (uint64_t(bytes[0] & 0x0E) << 29) | (uint64_t(bytes[1]) << 22) | (uint64_t(bytes[2] & 0xFE) << 14) | (uint64_t(bytes[3]) << 7)
        | (uint64_t(bytes[4]) >> 1);
}

} // namespace

TransportStreamDemux::TransportStreamDemux(size_t pins)
    : m_pins(pins)
{
}

std::vector<std::pair<uint32_t, MEDIA_SAMPLE_CONTENT>> TransportStreamDemux::mapped(size_t pin) const
{
    std::vector<std::pair<uint32_t, MEDIA_SAMPLE_CONTENT>> list;
    for (auto& [pid, mapping] : m_pins.at(pin))
        list.emplace_back(pid, mapping.content);
    return list;
}

bool TransportStreamDemux::is_mapped(size_t pin, uint32_t pid) const
{
    return m_pins.at(pin).contains(pid);
}

void TransportStreamDemux::map(size_t pin, uint32_t pid, MEDIA_SAMPLE_CONTENT content)
{
    Mapping fresh;
    fresh.content = content;
    m_pins.at(pin)[pid] = std::move(fresh);
}

void TransportStreamDemux::unmap(size_t pin, uint32_t pid)
{
    m_pins.at(pin).erase(pid);
}

void TransportStreamDemux::forget_units()
{
    for (auto& pin : m_pins) {
        for (auto& [pid, mapping] : pin)
            mapping = Mapping { mapping.content, -1, false, true, {} };
    }
    m_partial.clear();
}

void TransportStreamDemux::reset()
{
    forget_units();
    m_pcr_pid.reset();
    m_anchor_pcr.reset();
}

void TransportStreamDemux::push(std::span<const uint8_t> bytes, bool discontinuity, REFERENCE_TIME stream_now, std::vector<Output>& out)
{
    if (discontinuity)
        reset();
    size_t at = 0;
    if (!m_partial.empty()) {
        size_t wanted = std::min(packet_size - m_partial.size(), bytes.size());
        m_partial.insert(m_partial.end(), bytes.begin(), bytes.begin() + wanted);
        at = wanted;
        if (m_partial.size() < packet_size)
            return;
        take_packet(m_partial.data(), stream_now, out);
        m_partial.clear();
    }
    while (at < bytes.size()) {
        if (bytes[at] != ts_sync_byte) {
            ++at; // lost sync: look for the next packet's start
            continue;
        }
        if (bytes.size() - at < packet_size) {
            m_partial.assign(bytes.begin() + at, bytes.end());
            return;
        }
        take_packet(bytes.data() + at, stream_now, out);
        at += packet_size;
    }
}

void TransportStreamDemux::take_packet(const uint8_t* packet, REFERENCE_TIME stream_now, std::vector<Output>& out)
{
    if (packet[1] & 0x80)
        return; // the transport error indicator: the tuner could not correct it
    const bool unit_start = packet[1] & 0x40;
    const uint32_t pid = (uint32_t(packet[1] & 0x1F) << 8) | packet[2];
    const int adaptation = (packet[3] >> 4) & 3;
    const int counter = packet[3] & 0x0F;
    size_t payload_at = 4;
    bool discontinuity_indicated = false;
    if (adaptation & 2) {
        const size_t length = packet[4];
        payload_at = 5 + length;
        if (payload_at > packet_size)
            return;
        if (length > 0) {
            const uint8_t flags = packet[5];
            discontinuity_indicated = flags & 0x80;
            if ((flags & 0x10) && length >= 7) {
                uint64_t base = (uint64_t(packet[6]) << 25) | (uint64_t(packet[7]) << 17) | (uint64_t(packet[8]) << 9) | (uint64_t(packet[9]) << 1)
                    | (packet[10] >> 7);
                if (!m_pcr_pid)
                    m_pcr_pid = pid;
                if (*m_pcr_pid == pid)
                    take_pcr(base, discontinuity_indicated, stream_now);
            }
        }
    }
    const bool has_payload = adaptation & 1;
    std::span<const uint8_t> payload;
    if (has_payload)
        payload = { packet + payload_at, packet + packet_size };

    for (size_t pin = 0; pin < m_pins.size(); ++pin) {
        auto found = m_pins[pin].find(pid);
        if (found == m_pins[pin].end())
            continue;
        Mapping& mapping = found->second;
        if (has_payload) {
            const bool repeated = counter == mapping.last_counter;
            const bool lost = mapping.last_counter >= 0 && !repeated && counter != ((mapping.last_counter + 1) & 0x0F) && !discontinuity_indicated;
            if (repeated && !discontinuity_indicated)
                continue; // sent twice: the first was taken
            if (lost || discontinuity_indicated) {
                mapping.in_unit = false;
                mapping.unit.clear();
                mapping.discontinuity = true;
            }
            mapping.last_counter = counter;
        }
        switch (mapping.content) {
        case MEDIA_TRANSPORT_PACKET:
            emit(pin, mapping, std::vector<uint8_t>(packet, packet + packet_size), out);
            break;
        case MEDIA_TRANSPORT_PAYLOAD:
            if (!payload.empty())
                emit(pin, mapping, std::vector<uint8_t>(payload.begin(), payload.end()), out);
            break;
        case MEDIA_ELEMENTARY_STREAM:
            if (has_payload)
                take_pes_bytes(pin, mapping, unit_start, payload, out);
            break;
        case MEDIA_MPEG2_PSI:
            if (has_payload)
                take_section_bytes(pin, mapping, unit_start, payload, out);
            break;
        }
    }
}

void TransportStreamDemux::take_pcr(uint64_t pcr, bool discontinuity, REFERENCE_TIME stream_now)
{
    ++m_pcr_count;
    const int64_t step = m_last_pcr ? wrapped_distance(m_last_pcr_raw, pcr) : 0;
    const bool jumped = discontinuity || step < 0 || uint64_t(step) > pcr_jump_90khz;
    // The clock the PCR gives runs on across a jump rather than with it.
    m_last_pcr = m_last_pcr ? *m_last_pcr + (jumped ? 0 : from_90khz(step)) : 0;
    m_last_pcr_raw = pcr;
    if (!m_anchor_pcr || jumped) {
        m_anchor_pcr = pcr;
        m_anchor_time = stream_now;
    }
}

std::optional<REFERENCE_TIME> TransportStreamDemux::stream_time_of(uint64_t pts) const
{
    if (!m_anchor_pcr)
        return std::nullopt;
    return m_anchor_time + from_90khz(wrapped_distance(*m_anchor_pcr, pts));
}

void TransportStreamDemux::take_pes_bytes(size_t pin, Mapping& mapping, bool unit_start, std::span<const uint8_t> payload, std::vector<Output>& out)
{
    if (unit_start) {
        // A PES packet without a length ends where the next one starts; one with a length that has
        // not come whole lost its end.
        if (mapping.in_unit && mapping.unit.size() >= 6 && mapping.unit[4] == 0 && mapping.unit[5] == 0)
            finish_pes(pin, mapping, out);
        mapping.unit.assign(payload.begin(), payload.end());
        mapping.in_unit = true;
    } else {
        if (!mapping.in_unit)
            return; // the middle of a PES packet whose start was missed
        mapping.unit.insert(mapping.unit.end(), payload.begin(), payload.end());
    }
    if (mapping.unit.size() >= 6) {
        const size_t length = (size_t(mapping.unit[4]) << 8) | mapping.unit[5];
        if (length != 0 && mapping.unit.size() >= 6 + length) {
            mapping.unit.resize(6 + length);
            finish_pes(pin, mapping, out);
        } else if (mapping.unit.size() > max_pes_size) {
            mapping.in_unit = false;
            mapping.unit.clear();
            mapping.discontinuity = true;
        }
    }
}

void TransportStreamDemux::finish_pes(size_t pin, Mapping& mapping, std::vector<Output>& out)
{
    std::vector<uint8_t> pes = std::move(mapping.unit);
    mapping.unit.clear();
    mapping.in_unit = false;
    if (pes.size() < 6 || pes[0] != 0 || pes[1] != 0 || pes[2] != 1) {
        mapping.discontinuity = true;
        return;
    }
    size_t payload_at = 6;
    std::optional<REFERENCE_TIME> time;
    if (is_pes_with_header(pes[3])) {
        if (pes.size() < 9 || (pes[6] & 0xC0) != 0x80) {
            mapping.discontinuity = true;
            return;
        }
        const size_t header_length = pes[8];
        payload_at = 9 + header_length;
        if (payload_at > pes.size()) {
            mapping.discontinuity = true;
            return;
        }
        if ((pes[7] & 0x80) && header_length >= 5)
            time = stream_time_of(read_timestamp(pes.data() + 9));
    }
    pes.erase(pes.begin(), pes.begin() + ptrdiff_t(payload_at));
    emit(pin, mapping, std::move(pes), out, time);
}

void TransportStreamDemux::take_section_bytes(size_t pin, Mapping& mapping, bool unit_start, std::span<const uint8_t> payload, std::vector<Output>& out)
{
    if (unit_start) {
        // A start whose adaptation field fills the packet has no room for the pointer field.
        if (payload.empty() || 1 + size_t(payload[0]) > payload.size()) {
            mapping.in_unit = false;
            mapping.unit.clear();
            mapping.discontinuity = true;
            return;
        }
        const size_t pointer = payload[0];
        // The bytes before the pointer end the section in progress; a new one starts after them.
        if (mapping.in_unit) {
            mapping.unit.insert(mapping.unit.end(), payload.begin() + 1, payload.begin() + 1 + ptrdiff_t(pointer));
            emit_sections(pin, mapping, out);
        }
        mapping.unit.assign(payload.begin() + 1 + ptrdiff_t(pointer), payload.end());
        mapping.in_unit = true;
    } else {
        if (!mapping.in_unit)
            return;
        mapping.unit.insert(mapping.unit.end(), payload.begin(), payload.end());
    }
    emit_sections(pin, mapping, out);
    // Whatever follows the last whole section in a packet is stuffing or a section's start.
    if (!mapping.unit.empty() && mapping.unit[0] == 0xFF)
        mapping.unit.clear();
    mapping.in_unit = !mapping.unit.empty();
}

void TransportStreamDemux::emit_sections(size_t pin, Mapping& mapping, std::vector<Output>& out)
{
    size_t at = 0;
    auto& unit = mapping.unit;
    while (unit.size() - at >= 3 && unit[at] != 0xFF) {
        const size_t length = (size_t(unit[at + 1] & 0x0F) << 8) | unit[at + 2];
        if (length > 4093) {
            // No section is that long: the rest cannot be trusted.
            unit.clear();
            mapping.discontinuity = true;
            return;
        }
        if (unit.size() - at < 3 + length)
            break;
        emit(pin, mapping, std::vector<uint8_t>(unit.begin() + ptrdiff_t(at), unit.begin() + ptrdiff_t(at + 3 + length)), out);
        at += 3 + length;
    }
    unit.erase(unit.begin(), unit.begin() + ptrdiff_t(at));
}

void TransportStreamDemux::emit(size_t pin, Mapping& mapping, std::vector<uint8_t> data, std::vector<Output>& out, std::optional<REFERENCE_TIME> time)
{
    auto sample = std::make_shared<MediaSample>();
    sample->data = std::move(data);
    if (time) {
        sample->has_time = true;
        sample->start = sample->stop = *time;
    }
    sample->discontinuity = std::exchange(mapping.discontinuity, false);
    out.push_back({ pin, std::move(sample) });
}

} // namespace kivo
