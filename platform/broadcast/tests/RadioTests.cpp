// The radio's table in the device root, the multiplexes it copies in and opens, and the defaults
// a fresh root gets.

#include "RadioTestKit.h"
#include "TestDevice.h"
#include "broadcast/DefaultMultiplexes.h"
#include "broadcast/Radio.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace kivo;
using namespace kivo::test;

namespace {

void write(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string read(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

bool has_line(Device& device, const std::string& text)
{
    for (auto& line : debug_lines(device)) {
        if (line.find(text) != std::string::npos)
            return true;
    }
    return false;
}

TEST(RadioTests, TableOutlivesTheDevice)
{
    auto root = test_root();
    {
        auto device = make_test_device();
        RadioTestKit kit(*device);
        kit.put(24, "a.ts", make_test_stream({ 0x100 }, 10, 1'000'000), 55, 15);
        kit.signal(30, 10, 0);
        kit.set_radio_on(false);
    }
    Device device(Device::Options { root, {}, false });
    auto& radio = device.component<Radio>();
    EXPECT_FALSE(radio.on());
    std::vector<RadioStation> expected { { 533'000, "a.ts", 55, 15 }, { 569'000, "", 10, 0 } };
    EXPECT_EQ(radio.stations(), expected);
    EXPECT_EQ(radio.station_carrying("A.TS"), expected[0]);
    // Stored through a side file that is gone once in place.
    EXPECT_FALSE(std::filesystem::exists(radio.folder() / "radio.json.new"));
}

TEST(RadioTests, RefusesBadChangesAndKeepsTheTable)
{
    auto device = make_test_device();
    RadioTestKit kit(*device);
    auto& radio = kit.radio();
    kit.signal(24, 50, 50);
    auto stored = read(radio.folder() / Radio::table_name);
    EXPECT_TRUE(radio.set_signal(533'000, 101, 50));
    EXPECT_TRUE(radio.set_signal(533'000, 50, -1));
    EXPECT_TRUE(radio.set_multiplex(533'000, "../escape.ts"));
    EXPECT_TRUE(radio.put_multiplex(533'000, test_root() / "nothing-here.ts"));
    EXPECT_EQ(read(radio.folder() / Radio::table_name), stored);
    EXPECT_EQ(radio.station(533'000)->strength, 50);
}

TEST(RadioTests, UnreadableTableIsSetAsideAtTheNextWrite)
{
    auto root = test_root();
    std::filesystem::remove_all(root);
    write(root / "radio" / "radio.json", "{\"on\": true, \"stations\": [{\"frequency_khz\": 533000}]}");
    Device device(Device::Options { root, {}, false });
    auto& radio = device.component<Radio>();
    EXPECT_TRUE(radio.stations().empty());
    EXPECT_TRUE(has_line(device, "radio: radio.json cannot be read"));
    EXPECT_FALSE(radio.set_on(false));
    EXPECT_NE(read(root / "radio" / "radio.json.bad").find("533000"), std::string::npos);
    EXPECT_NE(read(root / "radio" / "radio.json").find("\"on\": false"), std::string::npos);
}

TEST(RadioTests, DescriptionComesWithTheFilesItNames)
{
    auto device = make_test_device();
    RadioTestKit kit(*device);
    auto host = test_root() / "host";
    write(host / "mux.json", R"({"services": [{"video": "news.m2v", "audio": "news.mp2", "name": "README"}]})");
    write(host / "news.m2v", "video");
    write(host / "news.mp2", "audio");
    write(host / "README", "not named as a file by a value? it is: copied too");
    write(host / "other.m2v", "not named");
    kit.put_file(26, host / "mux.json");
    auto folder = kit.radio().folder();
    EXPECT_EQ(read(folder / "news.m2v"), "video");
    EXPECT_EQ(read(folder / "news.mp2"), "audio");
    EXPECT_FALSE(std::filesystem::exists(folder / "other.m2v"));
    EXPECT_EQ(kit.radio().station(545'000)->multiplex, "mux.json");
}

TEST(RadioTests, OpensRecordingsAndRefusesWhatDoesNotOpen)
{
    auto device = make_test_device();
    RadioTestKit kit(*device);
    kit.put(24, "good.ts", make_test_stream({ 0x100 }, 10, 1'000'000));
    kit.put(26, "noise.ts", std::vector<uint8_t>(10 * ts_packet_size, 0x55));
    kit.put(28, "empty.json", { '{', '}' });
    std::string error;
    EXPECT_TRUE(kit.radio().open_multiplex("GOOD.TS", error)) << error;
    for (auto name : { "noise.ts", "empty.json", "missing.ts" }) {
        error.clear();
        EXPECT_FALSE(kit.radio().open_multiplex(name, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}

TEST(RadioTests, DefaultMultiplexesAreCopiedIntoTheFolder)
{
    auto source = test_root() / "defaults";
    for (uint32_t channel : default_multiplex_channels) {
        if (channel != 30)
            write(source / "descriptions" / ("channel-" + std::to_string(channel) + ".json"), "{}");
    }
    write(source / "streams" / "news.m2v", "video");
    write(source / "streams" / "news.mp2", "audio");
    auto folder = test_root() / "radio-here";
    std::filesystem::create_directories(folder);
    std::vector<std::string> problems;
    auto stations = install_default_multiplexes(folder, { source / "descriptions", source / "streams" }, problems);
    std::vector<RadioStation> expected {
        { 533'000, "channel-24.json", 80, 100 },
        { 545'000, "channel-26.json", 80, 100 },
        { 557'000, "channel-28.json", 80, 100 },
        { 593'000, "channel-34.json", 80, 100 },
    };
    EXPECT_EQ(stations, expected);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("channel-30.json"), std::string::npos);
    EXPECT_EQ(read(folder / "channel-24.json"), "{}");
    EXPECT_EQ(read(folder / "news.m2v"), "video");
    EXPECT_EQ(read(folder / "news.mp2"), "audio");
}

TEST(RadioTests, FreshRootGetsTheBuiltInDefaults)
{
    auto device = make_test_device();
    auto& radio = device->component<Radio>();
    EXPECT_TRUE(std::filesystem::exists(radio.folder() / Radio::table_name));
    // Each default either came or was named as missing.
    auto built_in = DefaultMultiplexFolders::built_in();
    for (uint32_t channel : default_multiplex_channels) {
        std::string name = "channel-" + std::to_string(channel) + ".json";
        bool there = std::filesystem::exists(built_in.descriptions / name);
        EXPECT_EQ(radio.station_carrying(name).has_value(), there) << name;
        EXPECT_EQ(has_line(*device, "radio: default multiplexes: cannot read " + (built_in.descriptions / name).string()), !there);
    }
}

} // namespace
