#include "broadcast/Pes.h"

#include <algorithm>

namespace kivo {

namespace {

void put_header(TsPacket& packet, uint16_t pid, bool unit_start, uint8_t adaptation_control)
{
    packet[0] = ts_sync_byte;
    packet[1] = static_cast<uint8_t>((unit_start ? 0x40 : 0) | (pid >> 8));
    packet[2] = static_cast<uint8_t>(pid);
    packet[3] = static_cast<uint8_t>(adaptation_control << 4);
}

} // namespace

Bytes make_pes(uint8_t stream_id, uint64_t pts, const Bytes& payload, size_t header_data_length)
{
    header_data_length = std::max<size_t>(header_data_length, 5);
    Bytes pes{0, 0, 1, stream_id, 0, 0, 0x84, 0x80, static_cast<uint8_t>(header_data_length)}; // aligned, PTS only
    pts &= (uint64_t{1} << 33) - 1;
    pes.push_back(static_cast<uint8_t>(0x21 | ((pts >> 29) & 0x0E)));
    pes.push_back(static_cast<uint8_t>(pts >> 22));
    pes.push_back(static_cast<uint8_t>(0x01 | ((pts >> 14) & 0xFE)));
    pes.push_back(static_cast<uint8_t>(pts >> 7));
    pes.push_back(static_cast<uint8_t>(0x01 | ((pts << 1) & 0xFE)));
    pes.insert(pes.end(), header_data_length - 5, 0xFF);
    pes.insert(pes.end(), payload.begin(), payload.end());
    size_t length = pes.size() - 6;
    if (length <= 0xFFFF) {
        pes[4] = static_cast<uint8_t>(length >> 8);
        pes[5] = static_cast<uint8_t>(length);
    }
    return pes;
}

std::vector<TsPacket> packetize_pes(uint16_t pid, const Bytes& pes)
{
    std::vector<TsPacket> packets;
    size_t offset = 0;
    while (offset < pes.size()) {
        TsPacket packet;
        size_t left = pes.size() - offset;
        bool first = offset == 0;
        if (left >= 184) {
            put_header(packet, pid, first, 1);
            std::copy_n(pes.begin() + static_cast<ptrdiff_t>(offset), 184, packet.begin() + 4);
            offset += 184;
        } else {
            // Stuff the last packet through an adaptation field.
            put_header(packet, pid, first, 3);
            size_t field = 183 - left; // adaptation_field_length
            packet[4] = static_cast<uint8_t>(field);
            if (field > 0) {
                packet[5] = 0; // no flags
                std::fill(packet.begin() + 6, packet.begin() + 5 + static_cast<ptrdiff_t>(field), 0xFF);
            }
            std::copy_n(pes.begin() + static_cast<ptrdiff_t>(offset), left, packet.begin() + 5 + static_cast<ptrdiff_t>(field));
            offset += left;
        }
        packets.push_back(packet);
    }
    return packets;
}

std::vector<TsPacket> packetize_section(uint16_t pid, const Bytes& section)
{
    std::vector<TsPacket> packets;
    size_t offset = 0;
    bool first = true;
    while (offset < section.size() || first) {
        TsPacket packet;
        packet.fill(0xFF);
        put_header(packet, pid, first, 1);
        size_t start = 4;
        if (first)
            packet[start++] = 0; // pointer field
        size_t take = std::min(section.size() - offset, ts_packet_size - start);
        std::copy_n(section.begin() + static_cast<ptrdiff_t>(offset), take, packet.begin() + static_cast<ptrdiff_t>(start));
        offset += take;
        first = false;
        packets.push_back(packet);
    }
    return packets;
}

TsPacket pcr_packet(uint16_t pid, uint64_t pcr)
{
    TsPacket packet;
    packet.fill(0xFF);
    put_header(packet, pid, false, 2);
    packet[4] = 183;
    packet[5] = 0x10; // PCR flag
    write_pcr(&packet[6], pcr);
    return packet;
}

void write_pcr(uint8_t* field, uint64_t pcr)
{
    uint64_t base = (pcr / 300) & ((uint64_t{1} << 33) - 1);
    uint64_t extension = pcr % 300;
    field[0] = static_cast<uint8_t>(base >> 25);
    field[1] = static_cast<uint8_t>(base >> 17);
    field[2] = static_cast<uint8_t>(base >> 9);
    field[3] = static_cast<uint8_t>(base >> 1);
    field[4] = static_cast<uint8_t>(((base & 1) << 7) | 0x7E | (extension >> 8));
    field[5] = static_cast<uint8_t>(extension);
}

TsPacket null_packet()
{
    TsPacket packet;
    packet.fill(0xFF);
    put_header(packet, null_pid, false, 1);
    return packet;
}

void set_continuity(TsPacket& packet, uint8_t counter)
{
    packet[3] = static_cast<uint8_t>((packet[3] & 0xF0) | (counter & 0x0F));
}

} // namespace kivo
