// The five multiplexes every fresh device root gets: what the television's users will find in them.

#include "broadcast/MultiplexBuilder.h"
#include "broadcast/MultiplexDescription.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace kivo {
namespace {

namespace fs = std::filesystem;

const int channels[] = {24, 26, 28, 30, 34};

fs::path description_path(int channel) { return fs::path(KIVO_DEFAULT_DESCRIPTIONS) / ("channel-" + std::to_string(channel) + ".json"); }

MultiplexDescription read(int channel)
{
    std::ifstream file(description_path(channel));
    std::stringstream text;
    text << file.rdbuf();
    std::string error;
    auto description = parse_multiplex_description(text.str(), error);
    EXPECT_TRUE(description) << channel << ": " << error;
    return description.value_or(MultiplexDescription{});
}

bool has_accent(const std::string& utf8)
{
    auto code_points = decode_utf8(utf8);
    return code_points && std::any_of(code_points->begin(), code_points->end(), [](char32_t c) { return c >= 0xC0 && c < 0x250; });
}

TEST(DefaultMultiplexes, HoldTheServicesOfAFreshDevice)
{
    int television = 0, radio = 0, nameless = 0, chinese = 0, latin = 0, accented = 0, most_on_one_channel = 0;
    std::vector<uint16_t> teletext_pages;
    for (int channel : channels) {
        const MultiplexDescription d = read(channel);
        EXPECT_EQ(d.frequency_khz, 533000u + (channel - 24) * 6000u) << channel; // the 6 MHz plan
        EXPECT_EQ(d.local_time_offset_minutes, 480);
        int television_here = 0;
        for (const ServiceDescription& service : d.services) {
            (service.service_type == 0x01 ? television : radio)++;
            television_here += service.service_type == 0x01;
            if (service.name.text.empty())
                ++nameless;
            else if (service.name.selector == 0x14)
                ++chinese;
            else if (service.name.selector == 0)
                ++latin;
            accented += has_accent(service.name.text);

            // Every service has a day of programmes, each with short and extended texts in Chinese
            // (16-bit units) and English.
            ASSERT_FALSE(service.rota.empty()) << service.service_id;
            unsigned minutes = 0;
            for (const RotaEntry& entry : service.rota) {
                minutes += entry.minutes;
                ASSERT_EQ(entry.texts.size(), 2u);
                EXPECT_EQ(entry.texts[0].language, "chi");
                EXPECT_EQ(entry.texts[0].name.selector, 0x14);
                EXPECT_FALSE(entry.texts[0].extended.text.empty());
                EXPECT_EQ(entry.texts[1].language, "eng");
                EXPECT_FALSE(entry.texts[1].extended.text.empty());
            }
            EXPECT_EQ(minutes, 24u * 60) << service.service_id;

            for (const StreamDescription& stream : service.streams)
                if (stream.kind == StreamKind::teletext)
                    for (const TeletextPage& page : stream.pages)
                        teletext_pages.push_back(page.number);
        }
        most_on_one_channel = std::max(most_on_one_channel, television_here);
    }
    EXPECT_EQ(television, 10);
    EXPECT_EQ(radio, 3);
    EXPECT_EQ(most_on_one_channel, 4);
    EXPECT_EQ(nameless, 1);
    EXPECT_GT(chinese, 0);
    EXPECT_GT(latin, 0);
    EXPECT_EQ(accented, 1);
    EXPECT_EQ(teletext_pages, (std::vector<uint16_t>{100, 101, 102}));
}

// The picture of each television service shows the name its SDT carries (Chinese names drawn in
// Chinese), and every picture of the streams table belongs to a service.
TEST(DefaultMultiplexes, EachPictureShowsTheNameTheServiceCarries)
{
    std::ifstream file(fs::path(KIVO_DEFAULT_DESCRIPTIONS) / "streams.json");
    const auto table = nlohmann::json::parse(file);
    std::map<std::string, std::string> drawn_name_of; // slug → the name the picture shows
    for (const auto& entry : table.at("streams"))
        if (entry.contains("video"))
            drawn_name_of[entry.at("slug").get<std::string>()] = entry.at("video").at("name").get<std::string>();
    std::set<std::string> shown;
    for (int channel : channels) {
        for (const ServiceDescription& service : read(channel).services) {
            for (const StreamDescription& stream : service.streams) {
                if (stream.kind != StreamKind::video)
                    continue;
                const std::string slug = fs::path(stream.file).stem().string();
                ASSERT_TRUE(drawn_name_of.count(slug)) << stream.file;
                EXPECT_EQ(drawn_name_of[slug], service.name.text) << "service " << service.service_id;
                shown.insert(slug);
            }
        }
    }
    EXPECT_EQ(shown.size(), drawn_name_of.size()) << "a picture no service shows";
}

// With the build's elementary streams beside them, each multiplex plays in ffmpeg with its
// services by name.
TEST(DefaultMultiplexes, PlayWithTheBuildsStreams)
{
#ifndef KIVO_DEFAULT_STREAMS
    GTEST_SKIP() << "the build makes no default streams";
#else
    const fs::path folder = fs::temp_directory_path() / ("kivo-default-multiplexes-" + std::to_string(getpid()));
    fs::create_directories(folder);
    for (const auto& entry : fs::directory_iterator(KIVO_DEFAULT_STREAMS))
        fs::create_symlink(entry.path(), folder / entry.path().filename());
    for (int channel : channels) {
        fs::copy_file(description_path(channel), folder / description_path(channel).filename());
        std::string error;
        auto source = open_multiplex_description((folder / description_path(channel).filename()).string(), error);
        ASSERT_TRUE(source) << error;
        std::vector<uint8_t> packets;
        source->read(source->bits_per_second() * 3 / 1504, SYSTEMTIME{2026, 12, 5, 11, 10, 20, 30, 0}, packets);
        const fs::path file = folder / ("channel-" + std::to_string(channel) + ".ts");
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(packets.data()), static_cast<std::streamsize>(packets.size()));

        const MultiplexDescription d = read(channel);
        std::string command = "ffprobe -v error -show_entries program_tags=service_name -of csv=p=0 '" + file.string() + "'";
        FILE* pipe = popen(command.c_str(), "r");
        std::string names;
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe))
            names += buffer;
        pclose(pipe);
        for (const ServiceDescription& service : d.services)
            EXPECT_NE(names.find(service.name.text + ",\n"), std::string::npos) << channel << ": " << service.name.text;
        EXPECT_EQ(std::system(("ffmpeg -hide_banner -v error -xerror -i '" + file.string() + "' -map 0:v? -map 0:a -f null - ").c_str()), 0)
            << channel;
    }
    fs::remove_all(folder);
#endif
}

} // namespace
} // namespace kivo
