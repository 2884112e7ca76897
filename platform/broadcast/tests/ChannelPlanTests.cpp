// The channel plans against the frequencies Debian's dtv-scan-tables lists for Taiwan, Australia
// and Germany.

#include "broadcast/ChannelPlan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace kivo;

namespace {

const std::filesystem::path scan_tables = "/usr/share/dvb/dvb-t";

struct Listed {
    std::string file;
    uint32_t frequency_khz;
};

// The frequencies of the files whose name starts with `prefix` that the tables give `bandwidth_hz`.
std::vector<Listed> listed(const std::string& prefix, uint32_t bandwidth_hz)
{
    std::vector<Listed> found;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(scan_tables, error); !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        auto name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0)
            continue;
        std::ifstream in(it->path());
        std::string line;
        uint64_t frequency = 0;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string key, equals;
            uint64_t value = 0;
            if (!(words >> key >> equals >> value) || equals != "=")
                continue;
            if (key == "FREQUENCY")
                frequency = value;
            else if (key == "BANDWIDTH_HZ" && value == bandwidth_hz && frequency)
                found.push_back({ name, static_cast<uint32_t>(frequency / 1000) });
        }
    }
    return found;
}

// Every listed frequency lies within `offset_khz` of a channel of the plan (transmitters may sit
// off the centre, as Australia's do by 125 kHz).
void expect_on_plan(const ChannelPlan& plan, const std::vector<Listed>& frequencies, uint32_t offset_khz)
{
    ASSERT_FALSE(frequencies.empty()) << "dtv-scan-tables is not installed";
    for (auto& listed : frequencies) {
        bool near = false;
        for (uint32_t channel = plan.lowest(); channel <= plan.highest() && !near; ++channel) {
            auto centre = plan.frequency_khz(channel);
            near = centre && uint32_t(std::abs(int64_t(*centre) - int64_t(listed.frequency_khz))) <= offset_khz;
        }
        EXPECT_TRUE(near) << listed.file << " lists " << listed.frequency_khz << " kHz, on no channel of the plan";
    }
}

TEST(ChannelPlanTests, PlansAgreeWithTheScanTables)
{
    expect_on_plan(ChannelPlan::of_country(886), listed("tw-", 6'000'000), 0);
    expect_on_plan(ChannelPlan::of_country(49), listed("de-", 8'000'000), 0);
    // The capitals' transmitters; a few regional files list stray values. Channel 9A (205.5 MHz)
    // has no number of its own.
    std::vector<Listed> australia;
    for (auto prefix : { "au-Sydney", "au-Melbourne", "au-Brisbane", "au-Adelaide", "au-Perth", "au-Hobart", "au-Darwin", "au-Canberra" }) {
        for (auto& entry : listed(prefix, 7'000'000)) {
            if (entry.frequency_khz / 1000 != 205)
                australia.push_back(entry);
        }
    }
    expect_on_plan(ChannelPlan::of_country(61), australia, 125);
}

TEST(ChannelPlanTests, RangesAndEdges)
{
    struct Case {
        int32_t country;
        uint32_t lowest, highest;
        uint32_t channel;
        std::optional<uint32_t> frequency_khz;
    } cases[] = {
        { 886, 14, 69, 24, 533'000 },
        { 886, 14, 69, 14, 473'000 },
        { 886, 14, 69, 69, 803'000 },
        { 886, 14, 69, 13, std::nullopt },
        { 886, 14, 69, 70, std::nullopt },
        { 1, 14, 69, 34, 593'000 },
        { 61, 6, 69, 6, 177'500 },
        { 61, 6, 69, 12, 226'500 },
        { 61, 6, 69, 20, std::nullopt },
        { 61, 6, 69, 28, 529'500 },
        { 44, 21, 69, 21, 474'000 },
        { 9999, 21, 69, 69, 858'000 },
        { 9999, 21, 69, 20, std::nullopt },
        { -1, 0, 0, 0, std::nullopt },
        { -1, 0, 0, 24, std::nullopt },
    };
    for (auto& c : cases) {
        auto plan = ChannelPlan::of_country(c.country);
        EXPECT_EQ(plan.lowest(), c.lowest) << c.country;
        EXPECT_EQ(plan.highest(), c.highest) << c.country;
        EXPECT_EQ(plan.frequency_khz(c.channel), c.frequency_khz) << c.country << " channel " << c.channel;
        if (c.frequency_khz) {
            EXPECT_EQ(plan.channel_at(*c.frequency_khz), c.channel);
        }
    }
}

} // namespace
