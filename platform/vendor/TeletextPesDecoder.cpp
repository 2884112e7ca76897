#include "TeletextPesDecoder.h"

#include "TeletextCoding.h"
#include "WideText.h"

#include <algorithm>
#include <cstring>

namespace kivo {

namespace {

constexpr uint8_t private_stream_1 = 0xBD;
constexpr uint8_t teletext_framing_code = 0xE4; // 0x27 as the line sends it, bit-reversed
constexpr size_t pes_header_size = 6;           // start code, stream, length

bool starts_pes(std::span<const uint8_t> bytes)
{
    return bytes.size() >= 3 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1;
}

// The magazine as people number it: 8 comes as 0.
unsigned shown_magazine(DWORD magazine) { return magazine == 0 ? 8 : magazine; }

// Subcode digits S1 to S4 from the four page-address nibbles that carry them (with control or
// magazine bits above S2 and S4).
DWORD subcode_of(const int nibbles[4]) { return DWORD(nibbles[0] | (nibbles[1] & 7) << 4 | nibbles[2] << 8 | (nibbles[3] & 3) << 12); }

} // namespace

TeletextPesDecoder::TeletextPesDecoder(PacketSink packet, DropSink dropped)
    : m_packet(std::move(packet))
    , m_drop(std::move(dropped))
{
}

void TeletextPesDecoder::drop(const std::u16string& reason)
{
    if (m_drop)
        m_drop(reason);
}

void TeletextPesDecoder::reset()
{
    m_pes.clear();
    m_assembling = false;
    m_skipping_said = false;
}

void TeletextPesDecoder::push(std::span<const uint8_t> bytes, bool discontinuity)
{
    if (discontinuity && m_assembling) {
        drop(u"teletext: a PES broken by a discontinuity dropped");
        reset();
    }
    size_t offset = 0;
    while (offset < bytes.size()) {
        auto rest = bytes.subspan(offset);
        if (!m_assembling) {
            // A PES starts at the start of a sample, or right after the one before it.
            if (!starts_pes(rest)) {
                if (!m_skipping_said)
                    drop(u"teletext: bytes outside a PES skipped");
                m_skipping_said = true;
                return;
            }
            m_skipping_said = false;
            m_assembling = true;
            m_pes.clear();
        } else if (offset == 0 && starts_pes(rest)) {
            // Teletext data never starts a sample with a start code: the PES before lost a part.
            drop(u"teletext: a PES cut short dropped");
            m_pes.clear();
        }
        const size_t wanted = m_pes.size() < pes_header_size ? pes_header_size : pes_header_size + (size_t(m_pes[4]) << 8 | m_pes[5]);
        const size_t take = std::min(wanted - m_pes.size(), rest.size());
        m_pes.insert(m_pes.end(), rest.begin(), rest.begin() + take);
        offset += take;
        if (m_pes.size() < wanted)
            continue;
        if (wanted == pes_header_size) {
            if (m_pes[4] == 0 && m_pes[5] == 0) {
                // Teletext PES always say their length; without it the end cannot be found.
                drop(u"teletext: a PES without a length dropped");
                m_assembling = false;
                m_skipping_said = true;
                return;
            }
            continue;
        }
        decode_pes();
        m_assembling = false;
    }
}

void TeletextPesDecoder::decode_pes()
{
    const std::vector<uint8_t>& pes = m_pes;
    if (pes[3] != private_stream_1) {
        drop(format_wide(u"teletext: a PES of stream 0x%02X dropped", unsigned(pes[3])));
        return;
    }
    // The optional header: two flag bytes and its length.
    if (pes.size() < 9 || size_t(9) + pes[8] >= pes.size()) {
        drop(u"teletext: a PES without data dropped");
        return;
    }
    size_t at = size_t(9) + pes[8];
    const uint8_t data_identifier = pes[at++];
    if (data_identifier < 0x10 || data_identifier > 0x1F) {
        drop(format_wide(u"teletext: a PES with data identifier 0x%02X dropped", unsigned(data_identifier)));
        return;
    }
    while (at < pes.size()) {
        if (pes.size() - at < 2 || pes[at + 1] > pes.size() - at - 2) {
            drop(u"teletext: a data unit running past its PES dropped");
            return;
        }
        const uint8_t unit_id = pes[at];
        const uint8_t length = pes[at + 1];
        at += 2;
        // 0x02 teletext, 0x03 teletext subtitles; the others (stuffing, other services) are passed over.
        if (unit_id == 0x02 || unit_id == 0x03) {
            if (length == 44)
                decode_unit(std::span<const uint8_t, 44>(pes.data() + at, 44));
            else
                drop(format_wide(u"teletext: a data unit of %u bytes dropped", unsigned(length)));
        }
        at += length;
    }
}

void TeletextPesDecoder::decode_unit(std::span<const uint8_t, 44> unit)
{
    // unit[0] holds the field and line the packet came on, which nothing needs.
    if (unit[1] != teletext_framing_code) {
        drop(format_wide(u"teletext: a packet with framing code 0x%02X dropped", unsigned(unit[1])));
        return;
    }
    uint8_t bytes[42];
    for (size_t i = 0; i < 42; ++i)
        bytes[i] = reverse_bits(unit[2 + i]);
    const int address_low = decode_hamming_8_4(bytes[0]);
    const int address_high = decode_hamming_8_4(bytes[1]);
    if (address_low < 0 || address_high < 0) {
        drop(u"teletext: a packet whose address fails its Hamming code dropped");
        return;
    }
    const DWORD magazine = DWORD(address_low & 7);
    const DWORD packet = DWORD(address_low >> 3 | address_high << 1);
    const uint8_t* data = bytes + 2;

    auto decode_nibbles = [&](int* nibbles, size_t count, const uint8_t* from) {
        for (size_t i = 0; i < count; ++i) {
            nibbles[i] = decode_hamming_8_4(from[i]);
            if (nibbles[i] < 0) {
                drop(format_wide(u"teletext: packet %u/%u dropped, byte %u fails its Hamming code", shown_magazine(magazine),
                    unsigned(packet), unsigned(from - bytes + i + 4)));
                return false;
            }
        }
        return true;
    };

    if (packet == 0) {
        // Page units and tens, then S1, S2 with C4, S3, S4 with C5 and C6, C7 to C10, C11 to C14.
        int nibbles[8];
        if (!decode_nibbles(nibbles, 8, data))
            return;
        TeletextHeaderPacket header {};
        header.magazine = magazine;
        header.packet = packet;
        header.page_units = DWORD(nibbles[0]);
        header.page_tens = DWORD(nibbles[1]);
        const int subcode[4] = { nibbles[2], nibbles[3], nibbles[4], nibbles[5] };
        header.subcode = subcode_of(subcode);
        header.control_bits = DWORD((nibbles[3] >> 3) << 4 | (nibbles[5] >> 2) << 5 | nibbles[6] << 7 | nibbles[7] << 11);
        std::memcpy(header.text, data + 8, sizeof header.text);
        m_packet(header);
    } else if (packet <= 25) {
        TeletextRowPacket row {};
        row.magazine = magazine;
        row.packet = packet;
        std::memcpy(row.text, data, sizeof row.text);
        m_packet(row);
    } else if (packet == 26) {
        int designation = 0;
        if (!decode_nibbles(&designation, 1, data))
            return;
        TeletextEnhancementPacket enhancement {};
        enhancement.magazine = magazine;
        enhancement.packet = packet;
        enhancement.designation = DWORD(designation);
        for (size_t i = 0; i < 13; ++i) {
            const int32_t triplet = decode_hamming_24_18(data + 1 + 3 * i);
            if (triplet < 0) {
                drop(format_wide(u"teletext: packet %u/26 dropped, triplet %u fails its Hamming code", shown_magazine(magazine), unsigned(i + 1)));
                return;
            }
            enhancement.triplets[i] = { uint8_t(triplet & 0x3F), uint8_t((triplet >> 6) & 0x1F), uint8_t((triplet >> 11) & 0x7F) };
        }
        m_packet(enhancement);
    } else if (packet == 30 && magazine == 0) {
        // Designation, then the initial page: units, tens, S1, S2 with M1, S3, S4 with M2 and M3.
        int nibbles[7];
        if (!decode_nibbles(nibbles, 7, data))
            return;
        // Designations 0 to 3 are the two formats; the others are reserved and carry who knows what.
        if (nibbles[0] > 3)
            return;
        TeletextServicePacket service {};
        service.magazine = magazine;
        service.packet = packet;
        service.designation = DWORD(nibbles[0]);
        service.initial_page_units = DWORD(nibbles[1]);
        service.initial_page_tens = DWORD(nibbles[2]);
        const int subcode[4] = { nibbles[3], nibbles[4], nibbles[5], nibbles[6] };
        service.initial_subcode = subcode_of(subcode);
        // The magazine bits count from the packet's own magazine (8, sent as 0, so no change here).
        const DWORD relative = DWORD(nibbles[4] >> 3 | ((nibbles[6] >> 2) & 1) << 1 | (nibbles[6] >> 3) << 2);
        service.initial_magazine = relative ^ magazine;
        m_packet(service);
    }
    // Packets 27 to 29 and 31, and packet 30 of magazines 1 to 7, are not delivered.
}

} // namespace kivo
