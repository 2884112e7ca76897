#include "TeletextCoding.h"
#include "TeletextPesDecoder.h"
#include "TeletextTestStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

template<size_t Size>
std::string hex(const BYTE (&bytes)[Size])
{
    std::string text;
    char digits[4];
    for (BYTE byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += digits;
    }
    return text;
}

// A record as one line, every field in it, so that a difference shows where it is.
std::string describe(const TeletextPesDecoder::Packet& packet)
{
    char line[512];
    if (auto* header = std::get_if<TeletextHeaderPacket>(&packet)) {
        std::snprintf(line, sizeof line, "%u/%u units %u tens %u subcode %04X control %04X ", header->magazine, header->packet,
            header->page_units, header->page_tens, header->subcode, header->control_bits);
        return line + hex(header->text);
    }
    if (auto* row = std::get_if<TeletextRowPacket>(&packet)) {
        std::snprintf(line, sizeof line, "%u/%u ", row->magazine, row->packet);
        return line + hex(row->text);
    }
    if (auto* enhancement = std::get_if<TeletextEnhancementPacket>(&packet)) {
        std::snprintf(line, sizeof line, "%u/%u designation %u", enhancement->magazine, enhancement->packet, enhancement->designation);
        std::string text = line;
        for (const TeletextTriplet& triplet : enhancement->triplets) {
            std::snprintf(line, sizeof line, " %u:%u:%u", triplet.address, triplet.mode, triplet.data);
            text += line;
        }
        return text;
    }
    const auto& service = std::get<TeletextServicePacket>(packet);
    std::snprintf(line, sizeof line, "%u/%u designation %u initial %u units %u tens %u subcode %04X", service.magazine, service.packet,
        service.designation, service.initial_magazine, service.initial_page_units, service.initial_page_tens, service.initial_subcode);
    return line;
}

void put_parity_text(BYTE* out, std::string_view text, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        out[i] = BYTE(vbi_par8(i < text.size() ? uint8_t(text[i]) : ' '));
}

// The records as the decoder must deliver them, made by hand. magazine as sent (8 is 0).
TeletextHeaderPacket header_record(DWORD magazine, DWORD units, DWORD tens, DWORD subcode, DWORD control, std::string_view text)
{
    TeletextHeaderPacket header { magazine, 0, units, tens, subcode, control, {} };
    put_parity_text(header.text, text, 32);
    return header;
}

TeletextRowPacket row_record(DWORD magazine, DWORD row, std::string_view text)
{
    TeletextRowPacket record { magazine, row, {} };
    put_parity_text(record.text, text, 40);
    return record;
}

struct Decoded {
    std::vector<std::string> packets;
    std::vector<std::string> drops;
};

// Feeds the samples to a decoder and describes what came out.
Decoded decode(const std::vector<std::vector<uint8_t>>& samples, const std::vector<bool>& discontinuities = {})
{
    Decoded decoded;
    TeletextPesDecoder decoder([&](const TeletextPesDecoder::Packet& packet) { decoded.packets.push_back(describe(packet)); },
        [&](const std::u16string& reason) { decoded.drops.push_back(narrow(reason)); });
    for (size_t i = 0; i < samples.size(); ++i)
        decoder.push(samples[i], i < discontinuities.size() && discontinuities[i]);
    return decoded;
}

std::vector<std::string> describe_all(const std::vector<TeletextPesDecoder::Packet>& packets)
{
    std::vector<std::string> lines;
    for (const auto& packet : packets)
        lines.push_back(describe(packet));
    return lines;
}

constexpr Triplet enhancement_triplets[13] = { { 41, 4, 0 }, { 5, 12, 0x41 }, { 63, 7, 0 }, { 0, 0, 7 }, { 39, 31, 127 }, { 40, 1, 0 },
    { 20, 15, 0x2A }, { 63, 31, 127 }, { 1, 2, 3 }, { 50, 4, 0 }, { 10, 9, 0x61 }, { 40, 0, 0 }, { 63, 31, 127 } };

TeletextEnhancementPacket enhancement_record(DWORD magazine, DWORD designation)
{
    TeletextEnhancementPacket record { magazine, 26, designation, {} };
    for (size_t i = 0; i < 13; ++i)
        record.triplets[i] = { BYTE(enhancement_triplets[i].address), BYTE(enhancement_triplets[i].mode), BYTE(enhancement_triplets[i].data) };
    return record;
}

// The teletext lines libzvbi's own DVB demultiplexer finds in a stream of PES packets.
std::vector<LinePacket> libzvbi_lines(std::vector<uint8_t> stream)
{
    // It hands on a field's lines once a line of the next field comes.
    const auto flush = teletext_pes({ teletext_unit(address_packet(1, 31)) }, 0x10, 0xBD, 0x7FFFFFFF);
    stream.insert(stream.end(), flush.begin(), flush.end());
    std::vector<LinePacket> lines;
    vbi_dvb_demux* demux = vbi_dvb_pes_demux_new(nullptr, nullptr);
    const uint8_t* at = stream.data();
    unsigned left = unsigned(stream.size());
    vbi_sliced sliced[64];
    int64_t pts = 0;
    while (left > 0) {
        const unsigned count = vbi_dvb_demux_cor(demux, sliced, 64, &pts, &at, &left);
        for (unsigned i = 0; i < count; ++i) {
            LinePacket line;
            std::copy_n(sliced[i].data, line.size(), line.begin());
            if (sliced[i].id & VBI_SLICED_TELETEXT_B)
                lines.push_back(line);
        }
    }
    vbi_dvb_demux_delete(demux);
    return lines;
}

} // namespace

// The decoder's codes against libzvbi's: every byte through Hamming 8/4 and the bit reversal, and
// every triplet through Hamming 24/18.
TEST(TeletextCoding, HammingCodesAndBitReversalAgreeWithLibzvbi)
{
    for (unsigned byte = 0; byte < 256; ++byte) {
        EXPECT_EQ(decode_hamming_8_4(uint8_t(byte)), vbi_unham8(byte)) << byte;
        EXPECT_EQ(reverse_bits(uint8_t(byte)), vbi_rev8(byte)) << byte;
    }
    for (unsigned data = 0; data < 16; ++data)
        EXPECT_EQ(encode_hamming_8_4(data), vbi_ham8(data)) << data;

    size_t disagreements = 0;
    for (uint32_t word = 0; word < (1u << 24); ++word) {
        const uint8_t triplet[3] = { uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16) };
        const int32_t ours = decode_hamming_24_18(triplet);
        const int theirs = vbi_unham24p(triplet);
        if (ours != (theirs < 0 ? -1 : theirs) && disagreements++ < 5)
            ADD_FAILURE() << "triplet " << std::hex << word << ": " << ours << " against libzvbi's " << theirs;
    }
    EXPECT_EQ(disagreements, 0u);
}

// Pages 100 to 102 with the initial page first, one of them with enhancements, and a page of
// magazine 8, sent as transport payload and decoded packet for packet in order.
TEST(TeletextDecoder, PagesDecodeAsSentInOrder)
{
    std::vector<DataUnit> units;
    std::vector<TeletextPesDecoder::Packet> expected;
    units.push_back(teletext_unit(service_packet(1, 1, 0x00, 0x3F7F)));
    expected.push_back(TeletextServicePacket { 0, 30, 1, 0, 0, 0x3F7F, 1 });
    // Control bits: erase and national option 4 + 1; subtitle and suppress header; update and
    // inhibit display with C9, C11 and C13.
    const unsigned controls[3] = { 0x10 | 0x1000 | 0x4000, 0x40 | 0x80, 0x100 | 0x200 | 0x400 | 0x800 | 0x2000 };
    for (unsigned page = 0; page < 3; ++page) {
        const std::string title = "KIVO 10" + std::to_string(page) + " Teletext   12:00:0" + std::to_string(page);
        units.push_back(teletext_unit(header_packet(1, page, page * 0x1001, controls[page], title)));
        expected.push_back(header_record(1, page, 0, page * 0x1001, controls[page], title));
        for (unsigned row = 1; row <= 25; ++row) {
            if (page == 2 && row % 5 != 0)
                continue;
            const std::string text = "Page 10" + std::to_string(page) + " row " + std::to_string(row) + " \x7F\x01 end";
            units.push_back(teletext_unit(row_packet(1, row, text), page == 1 ? 0x03 : 0x02));
            expected.push_back(row_record(1, row, text));
        }
        if (page == 1) {
            units.push_back(teletext_unit(enhancement_packet(1, 0, enhancement_triplets)));
            expected.push_back(enhancement_record(1, 0));
        }
    }
    units.push_back(teletext_unit(header_packet(8, 0x00, 0, 0, "MAGAZINE 8")));
    expected.push_back(header_record(0, 0, 0, 0, 0, "MAGAZINE 8"));
    units.push_back(teletext_unit(row_packet(8, 24, "Fastext")));
    expected.push_back(row_record(0, 24, "Fastext"));

    // Seven units a PES at most, as a multiplexer packs them.
    std::vector<uint8_t> stream;
    for (size_t at = 0; at < units.size(); at += 7) {
        std::vector<DataUnit> part(units.begin() + at, units.begin() + std::min(units.size(), at + 7));
        auto pes = teletext_pes(part, uint8_t(0x10 + at % 16), 0xBD, uint32_t(at * 3600));
        stream.insert(stream.end(), pes.begin(), pes.end());
    }
    // The stream as libzvbi reads it: the packets sent, so the encoder lays them out as it must.
    std::vector<LinePacket> sent;
    for (const DataUnit& unit : units) {
        LinePacket line;
        for (size_t i = 0; i < line.size(); ++i)
            line[i] = uint8_t(vbi_rev8(unit.bytes[2 + i]));
        sent.push_back(line);
    }
    EXPECT_EQ(libzvbi_lines(stream), sent);

    Decoded decoded = decode(transport_payloads(stream));
    EXPECT_EQ(decoded.packets, describe_all(expected));
    EXPECT_TRUE(decoded.drops.empty()) << decoded.drops.front();

    // The same stream as whole PES packets, and as all of it in one sample.
    std::vector<std::vector<uint8_t>> whole;
    for (size_t at = 0; at < units.size(); at += 7)
        whole.push_back(teletext_pes(std::vector<DataUnit>(units.begin() + at, units.begin() + std::min(units.size(), at + 7)), 0x10));
    EXPECT_EQ(decode(whole).packets, describe_all(expected));
    EXPECT_EQ(decode({ stream }).packets, describe_all(expected));
}

// Hamming bytes correct one flipped bit and refuse two, which drops the packet with a line; row
// bytes carry no Hamming code and arrive as received.
TEST(TeletextDecoder, DamagedHammingBytesAreCorrectedOrTheirPacketDropped)
{
    const LinePacket header = header_packet(1, 0x00, 0x0001, 0x10 | 0x400, "HEADER");
    const LinePacket row = row_packet(1, 7, "ROW SEVEN");
    const LinePacket enhancement = enhancement_packet(1, 2, enhancement_triplets);
    const LinePacket service = service_packet(0, 1, 0x00, 0);
    const std::string header_ok = describe(header_record(1, 0, 0, 0x0001, 0x10 | 0x400, "HEADER"));
    const std::string enhancement_ok = describe(enhancement_record(1, 2));
    const std::string service_ok = describe(TeletextServicePacket { 0, 30, 0, 0, 0, 0, 1 });
    TeletextRowPacket flipped_row = row_record(1, 7, "ROW SEVEN");
    flipped_row.text[2] ^= 0x04;

    struct Case {
        const char* what;
        const LinePacket& packet;
        size_t byte;           // in the line's packet: 0 and 1 the address, 2 on the data
        uint8_t flip;          // bits flipped as the line sends them
        std::string delivered; // empty: dropped
        const char* drop_line;
    };
    const Case cases[] = {
        { "one bit of the address", header, 0, 0x08, header_ok, nullptr },
        { "two bits of the address", header, 1, 0x03, "", "teletext: a packet whose address fails its Hamming code dropped" },
        { "two bits of the page units", header, 2, 0x81, "", "teletext: packet 1/0 dropped, byte 6 fails its Hamming code" },
        { "one bit of C7 to C10", header, 8, 0x40, header_ok, nullptr },
        { "two bits of C11 to C14", header, 9, 0x0C, "", "teletext: packet 1/0 dropped, byte 13 fails its Hamming code" },
        { "a row byte", row, 4, 0x04, describe(flipped_row), nullptr },
        { "two bits of the designation", enhancement, 2, 0x30, "", "teletext: packet 1/26 dropped, byte 6 fails its Hamming code" },
        { "one bit of triplet 5", enhancement, 3 + 3 * 4 + 1, 0x10, enhancement_ok, nullptr },
        { "one parity bit of triplet 13", enhancement, 3 + 3 * 12 + 2, 0x80, enhancement_ok, nullptr },
        { "two bits of triplet 5", enhancement, 3 + 3 * 4, 0x06, "", "teletext: packet 1/26 dropped, triplet 5 fails its Hamming code" },
        { "one bit of the initial page", service, 3, 0x02, service_ok, nullptr },
        { "two bits of the initial magazine", service, 8, 0xC0, "", "teletext: packet 8/30 dropped, byte 12 fails its Hamming code" },
    };
    for (const Case& c : cases) {
        LinePacket damaged = c.packet;
        damaged[c.byte] ^= c.flip;
        Decoded decoded = decode(transport_payloads(teletext_pes({ teletext_unit(damaged) })));
        if (c.delivered.empty()) {
            EXPECT_TRUE(decoded.packets.empty()) << c.what;
            EXPECT_EQ(decoded.drops, std::vector<std::string> { c.drop_line }) << c.what;
        } else {
            EXPECT_EQ(decoded.packets, std::vector<std::string> { c.delivered }) << c.what;
            EXPECT_TRUE(decoded.drops.empty()) << c.what;
        }
    }
}

// What is not teletext, or not whole, is dropped with one line each, and decoding goes on with
// the next PES.
TEST(TeletextDecoder, BrokenOrForeignStreamsAreDroppedWithALine)
{
    const LinePacket header = header_packet(2, 0x34, 0, 0, "NEXT");
    const std::string header_ok = describe(header_record(2, 4, 3, 0, 0, "NEXT"));
    const auto good = teletext_pes({ teletext_unit(header) });
    // A PES of two transport packets: its first payload alone is a PES cut short.
    std::vector<DataUnit> five(5, teletext_unit(row_packet(2, 1, "ROW")));
    const auto long_pes = teletext_pes(five);
    DataUnit short_unit = teletext_unit(header);
    short_unit.bytes.resize(40);
    DataUnit unframed = teletext_unit(header);
    unframed.bytes[1] = 0x27;
    auto unbounded = good;
    unbounded[4] = unbounded[5] = 0;
    auto overrun = teletext_pes({ teletext_unit(header) });
    overrun[46 + 1] = 200; // the first unit's length

    struct Case {
        const char* what;
        std::vector<std::vector<uint8_t>> samples;
        std::vector<bool> discontinuities;
        std::vector<std::string> drops;
        size_t delivered; // packets, the last one the good header
    };
    const Case cases[] = {
        { "data identifier 0x0F", { teletext_pes({ teletext_unit(header) }, 0x0F), good }, {}, { "teletext: a PES with data identifier 0x0F dropped" }, 1 },
        { "data identifier 0x20", { teletext_pes({ teletext_unit(header) }, 0x20), good }, {}, { "teletext: a PES with data identifier 0x20 dropped" }, 1 },
        { "data identifier 0x99", { teletext_pes({ teletext_unit(header) }, 0x99), good }, {}, { "teletext: a PES with data identifier 0x99 dropped" }, 1 },
        { "data identifier 0x1F", { teletext_pes({ teletext_unit(header) }, 0x1F) }, {}, {}, 1 },
        { "another stream", { teletext_pes({ teletext_unit(header) }, 0x10, 0xC0), good }, {}, { "teletext: a PES of stream 0xC0 dropped" }, 1 },
        { "a unit of 40 bytes", { teletext_pes({ short_unit, teletext_unit(header) }) }, {}, { "teletext: a data unit of 40 bytes dropped" }, 1 },
        { "another framing code", { teletext_pes({ unframed }), good }, {}, { "teletext: a packet with framing code 0x27 dropped" }, 1 },
        { "units of other services", { teletext_pes({ DataUnit { 0xC3, std::vector<uint8_t>(13, 0x55) }, teletext_unit(header) }) }, {}, {}, 1 },
        { "a start in the middle", { { long_pes.begin() + 184, long_pes.end() }, good }, {}, { "teletext: bytes outside a PES skipped" }, 1 },
        { "a PES cut short", { { long_pes.begin(), long_pes.begin() + 184 }, good }, {}, { "teletext: a PES cut short dropped" }, 1 },
        { "a discontinuity", { { long_pes.begin(), long_pes.begin() + 184 }, { long_pes.begin() + 184, long_pes.end() }, good }, { false, true },
            { "teletext: a PES broken by a discontinuity dropped", "teletext: bytes outside a PES skipped" }, 1 },
        { "two PES in one sample", { concatenate({ long_pes, good }) }, {}, {}, 6 },
        { "no length", { unbounded, good }, {}, { "teletext: a PES without a length dropped" }, 1 },
        { "a unit past its PES", { overrun, good }, {}, { "teletext: a data unit running past its PES dropped" }, 1 },
    };
    for (const Case& c : cases) {
        Decoded decoded = decode(c.samples, c.discontinuities);
        EXPECT_EQ(decoded.drops, c.drops) << c.what;
        ASSERT_EQ(decoded.packets.size(), c.delivered) << c.what;
        EXPECT_EQ(decoded.packets.back(), header_ok) << c.what;
    }
}

// Packets that carry nothing the records hold go by without a record and without a line.
TEST(TeletextDecoder, PacketsWithoutARecordPassSilently)
{
    std::vector<DataUnit> units;
    for (unsigned packet : { 27u, 28u, 29u, 31u })
        units.push_back(teletext_unit(address_packet(1, packet)));
    units.push_back(teletext_unit(address_packet(3, 30)));      // independent data of magazine 3
    units.push_back(teletext_unit(service_packet(4, 1, 0, 0))); // a reserved format of 8/30
    Decoded decoded = decode(transport_payloads(teletext_pes(units)));
    EXPECT_TRUE(decoded.packets.empty()) << decoded.packets.front();
    EXPECT_TRUE(decoded.drops.empty()) << decoded.drops.front();
}
