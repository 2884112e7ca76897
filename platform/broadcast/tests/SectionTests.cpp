// The builder's codings against the standards' check values and an independent teletext library.

#include "broadcast/Crc32.h"
#include "broadcast/DvbText.h"
#include "broadcast/Sections.h"
#include "broadcast/Teletext.h"

#include <gtest/gtest.h>
#include <libzvbi.h>

#include <cstring>

namespace kivo {
namespace {

TEST(Crc32Mpeg2, GivesTheCheckValueAndChecksAWholeSectionToZero)
{
    const char* check = "123456789";
    EXPECT_EQ(crc32_mpeg2(reinterpret_cast<const uint8_t*>(check), std::strlen(check)), 0x0376E6E7u);

    Bytes section = pat_section(7, {{0, 0x10}, {101, 0x100}});
    EXPECT_EQ(crc32_mpeg2(section.data(), section.size()), 0u);
    section[9] ^= 1;
    EXPECT_NE(crc32_mpeg2(section.data(), section.size()), 0u);
}

TEST(DvbText, EncodesEachTableOrRefuses)
{
    struct Case {
        DvbText text;
        std::optional<Bytes> bytes;
    };
    const Case cases[] = {
        {{0, "Caf\u00e9 \u00fc"}, Bytes{'C', 'a', 'f', 0xC2, 'e', ' ', 0xC8, 'u'}}, // mark before the letter
        {{0x14, "\u4e2d\u8996"}, Bytes{0x14, 0x4E, 0x2D, 0x89, 0x96}},
        {{0x11, "A"}, Bytes{0x11, 0x00, 'A'}},
        {{0x15, "\u00e9"}, Bytes{0x15, 0xC3, 0xA9}},
        {{0, ""}, Bytes{}},
        {{0, "\u4e2d"}, std::nullopt},        // no Chinese in the default table
        {{0x14, "\U0001F600"}, std::nullopt}, // beyond 16 bits
        {{0x07, "x"}, std::nullopt},          // a table the builder does not write
        {{0x15, "\xC3"}, std::nullopt},       // not UTF-8
    };
    for (const Case& c : cases)
        EXPECT_EQ(encode_dvb_text(c.text), c.bytes) << c.text.text;
}

TEST(TeletextCoding, HammingAndParityDecodeWithZvbi)
{
    for (uint8_t nibble = 0; nibble < 16; ++nibble)
        EXPECT_EQ(vbi_unham8(hamming_8_4(nibble)), nibble);
    for (uint32_t value = 0; value < (1u << 18); value += 7) {
        uint8_t coded[3];
        hamming_24_18(value, coded);
        ASSERT_EQ(vbi_unham24p(coded), static_cast<int>(value)) << value;
    }
    for (uint8_t c = 0x20; c < 0x7F; ++c)
        EXPECT_EQ(vbi_unpar8(odd_parity(c)), c);
    EXPECT_EQ(reverse_bits(0x27), 0xE4); // the framing code as DVB carries it
}

TEST(TeletextCoding, PacketEightThirtyCarriesTimeAndOffset)
{
    const int64_t utc = days_from_civil(2026, 12, 11) * 86400 + 10 * 3600 + 20 * 60 + 30;
    TeletextPacket packet = teletext_830_packet(100, 0x3001, utc, 480, "KIVO");
    time_t decoded = 0;
    int seconds_east = 0;
    ASSERT_TRUE(vbi_decode_teletext_8301_local_time(&decoded, &seconds_east, packet.data()));
    EXPECT_EQ(decoded, utc);
    EXPECT_EQ(seconds_east, 8 * 3600);
    EXPECT_EQ(vbi_unham8(packet[3]), 0);                     // initial page units
    EXPECT_EQ(vbi_unham8(packet[4]), 0);                     // tens
    EXPECT_EQ(vbi_unham8(packet[6]) >> 3 | (vbi_unham8(packet[8]) >> 2) << 1, 1); // magazine 1
}

TEST(TeletextCoding, RowsRefuseWhatTheyCannotCarry)
{
    auto row = make_teletext_row("Caf\u00e9");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->characters[3], 'e');
    ASSERT_EQ(row->accents.size(), 1u);
    EXPECT_EQ(row->accents[0].column, 3);
    EXPECT_EQ(row->accents[0].mark, 2); // acute
    EXPECT_FALSE(make_teletext_row(std::string(41, 'x')));
    EXPECT_FALSE(make_teletext_row("\u4e2d"));
    EXPECT_FALSE(make_teletext_row("tab\there"));
}

} // namespace
} // namespace kivo
