#include "TransportStreamDemux.h"
#include "broadcast/Crc32.h"
#include "TsStreams.h"

#include <gtest/gtest.h>

#include <map>

using namespace kivo;
using namespace kivo::test;

namespace {

using Output = TransportStreamDemux::Output;

std::vector<Output> push_all(TransportStreamDemux& demux, std::span<const uint8_t> bytes, size_t chunk = 188 * 7)
{
    std::vector<Output> out;
    for (size_t at = 0; at < bytes.size(); at += chunk)
        demux.push(bytes.subspan(at, std::min(chunk, bytes.size() - at)), false, 0, out);
    return out;
}

std::vector<std::vector<uint8_t>> data_of(const std::vector<Output>& out, size_t pin)
{
    std::vector<std::vector<uint8_t>> list;
    for (auto& [at, sample] : out) {
        if (at == pin)
            list.push_back(sample->data);
    }
    return list;
}

// A section of `length` bytes in all (table id, length field, body of `fill`), without a CRC:
// the demultiplexer does not check one.
std::vector<uint8_t> section(uint8_t table_id, size_t length, uint8_t fill)
{
    std::vector<uint8_t> bytes(length, fill);
    bytes[0] = table_id;
    bytes[1] = uint8_t(0xB0 | ((length - 3) >> 8));
    bytes[2] = uint8_t(length - 3);
    return bytes;
}

std::vector<uint8_t> join(std::initializer_list<std::span<const uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (auto part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

// One real stream, each content kind on a pin of its own: the packets, payloads, PES payloads and
// sections that come out are checked against what the standard says they must be.
TEST(TransportStreamDemux, EachContentKindGivesWhatItsMapAsksFor)
{
    const auto& stream = mpeg2_stream(720, 480, 1);
    ASSERT_EQ(stream.size() % 188, 0u);
    TransportStreamDemux demux(5);
    demux.map(0, 0, MEDIA_MPEG2_PSI);
    demux.map(0, pmt_pid, MEDIA_MPEG2_PSI);
    demux.map(1, video_pid, MEDIA_ELEMENTARY_STREAM);
    demux.map(2, audio_pid, MEDIA_TRANSPORT_PAYLOAD);
    demux.map(3, audio_pid, MEDIA_TRANSPORT_PACKET);
    auto out = push_all(demux, stream);

    // Sections: whole, each with a good CRC, only of the tables mapped.
    std::map<int, int> tables;
    for (auto& bytes : data_of(out, 0)) {
        ASSERT_GE(bytes.size(), 3u);
        EXPECT_EQ(bytes.size(), 3u + (((bytes[1] & 0x0F) << 8) | bytes[2]));
        EXPECT_EQ(crc32_mpeg2(bytes.data(), bytes.size()), 0u) << "section of table " << int(bytes[0]) << " cut or joined wrongly";
        ++tables[bytes[0]];
    }
    EXPECT_GT(tables[0x00], 0);
    EXPECT_GT(tables[0x02], 0);
    EXPECT_EQ(tables.size(), 2u);

    // PES payloads: one a picture, the first with the sequence header, stamped 40 ms apart.
    std::vector<REFERENCE_TIME> times;
    for (auto& [pin, sample] : out) {
        if (pin != 1)
            continue;
        ASSERT_TRUE(sample->has_time);
        times.push_back(sample->start);
        ASSERT_GE(sample->data.size(), 4u);
        EXPECT_EQ(sample->data[0] | sample->data[1] | (sample->data[2] ^ 1), 0) << "a payload does not start with a start code";
    }
    // The last picture's PES has no successor to end it.
    EXPECT_EQ(times.size(), 24u);
    EXPECT_EQ(data_of(out, 1).front()[3], 0xB3);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_EQ(times[i] - times[i - 1], 400'000) << "picture " << i;

    // Packets: the mapped PID's, whole and in order; their payloads chain into PES packets.
    auto pids = packet_pids(stream);
    auto packets = data_of(out, 3);
    EXPECT_EQ(packets.size(), size_t(std::count(pids.begin(), pids.end(), audio_pid)));
    for (auto& packet : packets) {
        ASSERT_EQ(packet.size(), 188u);
        EXPECT_EQ(packet[0], 0x47);
        EXPECT_EQ(((packet[1] & 0x1F) << 8) | packet[2], int(audio_pid));
    }
    std::vector<uint8_t> payloads;
    for (auto& payload : data_of(out, 2))
        payloads.insert(payloads.end(), payload.begin(), payload.end());
    size_t at = 0;
    int pes_count = 0;
    while (at + 6 <= payloads.size()) {
        ASSERT_EQ(payloads[at] | payloads[at + 1] | (payloads[at + 2] ^ 1), 0) << "payloads do not chain into PES packets at " << at;
        EXPECT_EQ(payloads[at + 3], 0xC0);
        at += 6 + ((payloads[at + 4] << 8) | payloads[at + 5]);
        ++pes_count;
    }
    EXPECT_EQ(at, payloads.size());
    EXPECT_GE(pes_count, 5);
}

// Bytes cut anywhere, or with garbage between packets, give what whole packets give.
TEST(TransportStreamDemux, CutOrShiftedInputGivesTheSameUnits)
{
    const auto& stream = mpeg2_stream(720, 480, 1);
    auto run = [&](size_t chunk, bool garbage) {
        TransportStreamDemux demux(2);
        demux.map(0, video_pid, MEDIA_ELEMENTARY_STREAM);
        demux.map(1, 0, MEDIA_MPEG2_PSI);
        std::vector<uint8_t> input = stream;
        if (garbage)
            input.insert(input.begin() + 188 * 3, { 0x00, 0x12, 0x34 });
        auto out = push_all(demux, input, chunk);
        return std::make_pair(data_of(out, 0), data_of(out, 1));
    };
    auto whole = run(188, false);
    ASSERT_FALSE(whole.first.empty());
    for (auto [chunk, garbage] : { std::pair { size_t(1), false }, { size_t(187), false }, { size_t(1000), true } }) {
        auto other = run(chunk, garbage);
        EXPECT_EQ(other.first, whole.first) << "chunk " << chunk;
        EXPECT_EQ(other.second, whole.second) << "chunk " << chunk;
    }
}

// Section assembly over hand-made packets: several sections in one packet, one over three packets,
// stuffing, a lost packet, a packet with its error bit, a pointer past the payload or no room for it.
TEST(TransportStreamDemux, SectionsAreAssembledAcrossPacketsAndLossDropsTheBrokenOne)
{
    const auto small_a = section(0x42, 20, 0xA1);
    const auto small_b = section(0x4E, 30, 0xB2);
    const auto big = section(0x50, 400, 0xC3);
    const auto next = section(0x70, 8, 0xD4);
    const uint8_t zero[] = { 0 };

    struct Case {
        const char* name;
        std::vector<std::vector<uint8_t>> packets;
        std::vector<std::vector<uint8_t>> sections;
    };
    const auto big_first = join({ zero, std::span(big).first(183) });
    const auto big_second = std::vector<uint8_t>(big.begin() + 183, big.begin() + 183 + 184);
    const uint8_t pointer_rest[] = { uint8_t(big.size() - 183 - 184) };
    const auto big_third = join({ pointer_rest, std::span(big).subspan(183 + 184), next });
    // A unit start whose adaptation field fills the whole packet: no byte is left for the pointer.
    std::vector<uint8_t> no_room(188, 0xFF);
    no_room[0] = 0x47;
    no_room[1] = 0x40;
    no_room[2] = 0x12;
    no_room[3] = 0x30;
    no_room[4] = 183;
    no_room[5] = 0x00;
    Case cases[] = {
        { "two in one packet, then stuffing", { ts_packet(0x12, true, 0, join({ zero, small_a, small_b })) }, { small_a, small_b } },
        { "one over three packets, the next after the pointer",
            { ts_packet(0x12, true, 0, big_first), ts_packet(0x12, false, 1, big_second), ts_packet(0x12, true, 2, big_third) }, { big, next } },
        { "the middle packet lost", { ts_packet(0x12, true, 0, big_first), ts_packet(0x12, true, 2, big_third) }, { next } },
        { "the middle packet sent twice",
            { ts_packet(0x12, true, 0, big_first), ts_packet(0x12, false, 1, big_second), ts_packet(0x12, false, 1, big_second),
                ts_packet(0x12, true, 2, big_third) },
            { big, next } },
        { "a pointer past the payload", { ts_packet(0x12, true, 0, std::vector<uint8_t> { 200 }), ts_packet(0x12, true, 1, join({ zero, small_a })) }, { small_a } },
        { "a start with no room for the pointer", { no_room, ts_packet(0x12, true, 1, join({ zero, small_a })) }, { small_a } },
        { "another PID's packets", { ts_packet(0x13, true, 0, join({ zero, small_a })) }, {} },
    };
    auto errored = ts_packet(0x12, true, 0, join({ zero, small_a }));
    errored[1] |= 0x80;
    for (auto& c : cases) {
        TransportStreamDemux demux(1);
        demux.map(0, 0x12, MEDIA_MPEG2_PSI);
        std::vector<Output> out;
        demux.push(errored, false, 0, out);
        for (auto& packet : c.packets)
            demux.push(packet, false, 0, out);
        EXPECT_EQ(data_of(out, 0), c.sections) << c.name;
    }
}

// PES packets end at their length or at the next start; their time is their PTS placed by the PCR.
TEST(TransportStreamDemux, PesPayloadsEndAtTheirLengthAndCarryTheirPtsOnTheStreamTime)
{
    auto pes = [](uint8_t stream_id, uint64_t pts, std::vector<uint8_t> payload, bool with_length) {
        std::vector<uint8_t> bytes { 0, 0, 1, stream_id, 0, 0, 0x80, 0x80, 5, uint8_t(0x21 | ((pts >> 29) & 0x0E)), uint8_t(pts >> 22),
            uint8_t(((pts >> 14) & 0xFE) | 1), uint8_t(pts >> 7), uint8_t(((pts << 1) & 0xFE) | 1) };
        bytes.insert(bytes.end(), payload.begin(), payload.end());
        if (with_length) {
            bytes[4] = uint8_t((bytes.size() - 6) >> 8);
            bytes[5] = uint8_t(bytes.size() - 6);
        }
        return bytes;
    };
    auto pcr_field = [](uint64_t base) {
        return std::vector<uint8_t> { 7, 0x10, uint8_t(base >> 25), uint8_t(base >> 17), uint8_t(base >> 9), uint8_t(base >> 1), uint8_t((base & 1) << 7 | 0x7E), 0 };
    };
    TransportStreamDemux demux(1);
    demux.map(0, 0x44, MEDIA_ELEMENTARY_STREAM);
    std::vector<Output> out;
    // The PCR 90 000 falls at stream time 5 s; the PTS 135 000 is half a second later.
    const REFERENCE_TIME now = 50'000'000;
    std::vector<uint8_t> payload(160, 0x5A);
    demux.push(ts_packet(0x44, true, 0, pes(0xC0, 135'000, payload, true), pcr_field(90'000)), false, now, out);
    ASSERT_EQ(out.size(), 1u) << "a PES packet with its length was not handed on at once";
    EXPECT_EQ(out[0].sample->data, payload);
    EXPECT_TRUE(out[0].sample->has_time);
    EXPECT_EQ(out[0].sample->start, now + 5'000'000);

    // Without a length: handed on when the next starts; its PTS wraps past 2^33.
    const uint64_t wrap = uint64_t(1) << 33;
    auto long_pes = pes(0xE0, 135'000 + 3'600, std::vector<uint8_t>(174, 0x11), false);
    long_pes.resize(184);
    demux.push(ts_packet(0x44, true, 1, long_pes), false, now, out);
    demux.push(ts_packet(0x44, false, 2, std::vector<uint8_t>(184, 0x22)), false, now, out);
    EXPECT_EQ(out.size(), 1u);
    demux.push(ts_packet(0x44, true, 3, pes(0xE0, 0, {}, true), pcr_field(wrap - 10)), true, now, out);
    // The discontinuity dropped the unfinished one; the empty one after it came whole.
    ASSERT_EQ(out.size(), 2u);

    // Now with the discontinuity's new PCR just before the wrap: a PTS after the wrap is later.
    demux.push(ts_packet(0x44, true, 4, pes(0xE0, 80, std::vector<uint8_t>(100, 0x33), true)), false, now, out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[2].sample->start, now + (90 * 10'000'000LL) / 90'000);
    EXPECT_TRUE(out[1].sample->discontinuity);
}
