#include "RadioTestKit.h"
#include "broadcast/TsFileSource.h"

#include <gtest/gtest.h>

using namespace kivo;
using namespace kivo::test;

namespace {

TEST(TsFileSourceTests, PlaysAtThePcrRateAndLoops)
{
    std::string error;
    auto source = TsFileSource::from_bytes(make_test_stream({ 0x100, 0x101 }, 50, 3'000'000), error);
    ASSERT_TRUE(source) << error;
    EXPECT_NEAR(double(source->bits_per_second()), 3'000'000.0, 3'000.0);
    std::vector<uint8_t> out;
    SYSTEMTIME now {};
    EXPECT_FALSE(source->read(50, now, out));
    EXPECT_TRUE(source->read(3, now, out));
    ASSERT_EQ(out.size(), 53 * ts_packet_size);
    // After the last packet comes the first again.
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 3 * ts_packet_size, out.begin() + 50 * ts_packet_size));
}

TEST(TsFileSourceTests, WithoutPcrTheDefaultRate)
{
    auto bytes = make_test_stream({ 0x100 }, 4, 1'000'000);
    bytes[3] &= ~0x20; // the PCR's adaptation field gone: the packet is payload only
    std::string error;
    auto source = TsFileSource::from_bytes(bytes, error);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->bits_per_second(), TsFileSource::default_bits_per_second);
}

TEST(TsFileSourceTests, RefusesWhatIsNoTransportStream)
{
    auto good = make_test_stream({ 0x100 }, 4, 1'000'000);
    auto no_sync = good;
    no_sync[2 * ts_packet_size] = 0x00;
    auto cut = good;
    cut.pop_back();
    for (auto& bytes : { no_sync, cut, std::vector<uint8_t>(), std::vector<uint8_t>(ts_packet_size, 0x00) }) {
        std::string error;
        EXPECT_FALSE(TsFileSource::from_bytes(bytes, error));
        EXPECT_NE(error.find("not a transport stream"), std::string::npos) << error;
    }
}

} // namespace
