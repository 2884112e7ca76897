#include "broadcast/Teletext.h"

#include "broadcast/DvbText.h"
#include "broadcast/Pes.h"

#include <cstdlib>

namespace kivo {

namespace {

constexpr uint8_t hamming_table[16] = {0x15, 0x02, 0x49, 0x5E, 0x64, 0x73, 0x38, 0x2F,
                                       0xD0, 0xC7, 0x8C, 0x9B, 0xA1, 0xB6, 0xFD, 0xEA};

// Magazine and packet number: the two Hamming-coded bytes that start every packet.
void put_address(TeletextPacket& packet, unsigned magazine, unsigned number)
{
    packet[0] = hamming_8_4(static_cast<uint8_t>((magazine & 7) | ((number & 1) << 3)));
    packet[1] = hamming_8_4(static_cast<uint8_t>(number >> 1));
}

void put_text(TeletextPacket& packet, size_t offset, const std::string& text, size_t width)
{
    for (size_t i = 0; i < width; ++i) {
        char c = i < text.size() ? text[i] : ' ';
        packet[offset + i] = odd_parity(c >= 0x20 && c < 0x7F ? static_cast<uint8_t>(c) : ' ');
    }
}

uint8_t plus_one_bcd_digit(unsigned digit) { return static_cast<uint8_t>((digit + 1) & 0x0F); }

} // namespace

uint8_t hamming_8_4(uint8_t nibble) { return hamming_table[nibble & 15]; }

uint8_t odd_parity(uint8_t character)
{
    uint8_t c = character & 0x7F;
    return (__builtin_popcount(c) & 1) ? c : static_cast<uint8_t>(c | 0x80);
}

uint8_t reverse_bits(uint8_t byte)
{
    uint8_t result = 0;
    for (int i = 0; i < 8; ++i)
        if (byte & (1 << i))
            result |= static_cast<uint8_t>(0x80 >> i);
    return result;
}

void hamming_24_18(uint32_t data, uint8_t out[3])
{
    // Bit positions 1 to 24; the data bits fill every position that is not a power of two below 24.
    bool bits[25] = {};
    int next_data = 0;
    for (int position = 1; position <= 23; ++position) {
        if ((position & (position - 1)) == 0)
            continue;
        bits[position] = (data >> next_data++) & 1;
    }
    for (int check = 1; check <= 16; check <<= 1) {
        bool parity = false;
        for (int position = 1; position <= 23; ++position)
            if ((position & check) && position != check)
                parity ^= bits[position];
        bits[check] = !parity; // odd parity over the covered positions
    }
    bool all = false;
    for (int position = 1; position <= 23; ++position)
        all ^= bits[position];
    bits[24] = !all;
    for (int byte = 0; byte < 3; ++byte) {
        out[byte] = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (bits[byte * 8 + bit + 1])
                out[byte] |= static_cast<uint8_t>(1 << bit);
    }
}

std::optional<TeletextRow> make_teletext_row(const std::string& utf8)
{
    auto code_points = decode_utf8(utf8);
    if (!code_points || code_points->size() > 40)
        return std::nullopt;
    TeletextRow row;
    row.characters.fill(' ');
    for (size_t column = 0; column < code_points->size(); ++column) {
        char32_t code = (*code_points)[column];
        if (code >= 0x20 && code < 0x7F) {
            row.characters[column] = static_cast<uint8_t>(code);
            continue;
        }
        // A letter with a mark: the default DVB table writes it as the mark (0xC1 to 0xCF) then the letter.
        if (code < 0xA0)
            return std::nullopt;
        auto encoded = encode_dvb_text({0, encode_utf8(code)});
        if (!encoded || encoded->size() != 2 || (*encoded)[0] < 0xC1 || (*encoded)[0] > 0xCF || (*encoded)[1] >= 0x80)
            return std::nullopt;
        row.characters[column] = (*encoded)[1];
        row.accents.push_back({static_cast<uint8_t>(column), static_cast<uint8_t>((*encoded)[0] - 0xC0), (*encoded)[1]});
    }
    return row;
}

std::vector<TeletextPacket> teletext_page_packets(const TeletextPage& page, const std::string& header)
{
    unsigned magazine = page.number / 100 % 8;
    unsigned tens = page.number / 10 % 10;
    unsigned units = page.number % 10;
    std::vector<TeletextPacket> packets;

    TeletextPacket head{};
    put_address(head, magazine, 0);
    head[2] = hamming_8_4(static_cast<uint8_t>(units));
    head[3] = hamming_8_4(static_cast<uint8_t>(tens));
    head[4] = hamming_8_4(0);   // subcode S1
    head[5] = hamming_8_4(0x8); // S2 0, C4 erase page
    head[6] = hamming_8_4(0);   // S3
    head[7] = hamming_8_4(0);   // S4, C5, C6
    head[8] = hamming_8_4(0);   // C7 to C10
    head[9] = hamming_8_4(0);   // C11 serial off, C12 to C14 national option 0 (English)
    put_text(head, 10, header, 32);
    packets.push_back(head);

    // The accents first, as X/26 triplets: a row address (set active position) then the column
    // with mode 0x10 + mark and the letter; the last packet ends with termination markers.
    std::vector<uint32_t> triplets;
    for (size_t index = 0; index < page.rows.size(); ++index) {
        const TeletextRow& row = page.rows[index];
        if (row.accents.empty())
            continue;
        unsigned row_number = static_cast<unsigned>(index + 1);
        unsigned row_address = row_number == 24 ? 40 : 40 + row_number;
        triplets.push_back(row_address | (0x04 << 6));
        for (const TeletextRow::Accent& accent : row.accents)
            triplets.push_back(accent.column | (static_cast<uint32_t>(0x10 | accent.mark) << 6) |
                               (static_cast<uint32_t>(accent.letter) << 11));
    }
    for (size_t first = 0, designation = 0; first < triplets.size() && designation < 16; first += 13, ++designation) {
        TeletextPacket enhancement{};
        put_address(enhancement, magazine, 26);
        enhancement[2] = hamming_8_4(static_cast<uint8_t>(designation));
        for (size_t k = 0; k < 13; ++k) {
            uint32_t triplet = first + k < triplets.size() ? triplets[first + k] : 63 | (0x1F << 6);
            hamming_24_18(triplet, &enhancement[3 + 3 * k]);
        }
        packets.push_back(enhancement);
    }

    for (size_t index = 0; index < page.rows.size() && index < 25; ++index) {
        TeletextPacket row{};
        put_address(row, magazine, static_cast<unsigned>(index + 1));
        for (size_t column = 0; column < 40; ++column)
            row[2 + column] = odd_parity(page.rows[index].characters[column]);
        packets.push_back(row);
    }
    return packets;
}

TeletextPacket teletext_830_packet(uint16_t initial_page, uint16_t network_id, int64_t utc, int offset_minutes,
                                   const std::string& status)
{
    TeletextPacket packet{};
    put_address(packet, 0, 30);  // magazine 8
    packet[2] = hamming_8_4(0);  // designation: format 1
    unsigned magazine = initial_page / 100 % 8;
    packet[3] = hamming_8_4(static_cast<uint8_t>(initial_page % 10));
    packet[4] = hamming_8_4(static_cast<uint8_t>(initial_page / 10 % 10));
    packet[5] = hamming_8_4(0xF);                                                 // any subcode
    packet[6] = hamming_8_4(static_cast<uint8_t>(0x7 | ((magazine & 1) << 3)));
    packet[7] = hamming_8_4(0xF);
    packet[8] = hamming_8_4(static_cast<uint8_t>(0x3 | ((magazine >> 1) << 2)));
    packet[9] = reverse_bits(static_cast<uint8_t>(network_id >> 8));
    packet[10] = reverse_bits(static_cast<uint8_t>(network_id));
    unsigned half_hours = static_cast<unsigned>(std::abs(offset_minutes) / 30) & 0x1F;
    packet[11] = static_cast<uint8_t>(0x81 | (half_hours << 1) | (offset_minutes < 0 ? 0x40 : 0));
    int64_t days = utc / 86400;
    int64_t second_of_day = utc % 86400;
    unsigned mjd = static_cast<unsigned>(days + 40587);
    packet[12] = plus_one_bcd_digit(mjd / 10000 % 10);
    packet[13] = static_cast<uint8_t>((plus_one_bcd_digit(mjd / 1000 % 10) << 4) | plus_one_bcd_digit(mjd / 100 % 10));
    packet[14] = static_cast<uint8_t>((plus_one_bcd_digit(mjd / 10 % 10) << 4) | plus_one_bcd_digit(mjd % 10));
    unsigned fields[3] = {static_cast<unsigned>(second_of_day / 3600), static_cast<unsigned>(second_of_day / 60 % 60),
                          static_cast<unsigned>(second_of_day % 60)};
    for (int i = 0; i < 3; ++i)
        packet[15 + i] = static_cast<uint8_t>((plus_one_bcd_digit(fields[i] / 10) << 4) | plus_one_bcd_digit(fields[i] % 10));
    for (int i = 18; i < 22; ++i)
        packet[i] = hamming_8_4(0);
    put_text(packet, 22, status, 20);
    return packet;
}

Bytes teletext_pes(const std::vector<TeletextPacket>& packets, uint64_t pts, uint8_t data_unit_id)
{
    // 45 bytes of PES header, the data identifier, then units of 46 bytes: a multiple of 184 when
    // the count of units is 3 more than a multiple of 4.
    size_t units = packets.size();
    while (units % 4 != 3)
        ++units;
    Bytes payload{0x10};
    for (size_t i = 0; i < units; ++i) {
        if (i < packets.size()) {
            payload.push_back(data_unit_id);
            payload.push_back(44);
            payload.push_back(0xE0); // field parity 1, line offset undefined
            payload.push_back(0xE4); // framing code 0x27, bit-reversed
            for (uint8_t byte : packets[i])
                payload.push_back(reverse_bits(byte));
        } else {
            payload.push_back(0xFF);
            payload.push_back(44);
            payload.insert(payload.end(), 44, 0xFF);
        }
    }
    return make_pes(0xBD, pts, payload, 36);
}

} // namespace kivo
