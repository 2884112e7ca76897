#include "StreamDecoding.h"
#include "StreamTable.h"
#include "TestPattern.h"
#include "TestPatternEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <set>
#include <unistd.h>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace kivo {

namespace {

const std::filesystem::path built_streams = KIVO_DEFAULT_STREAMS_DIR;

std::vector<uint8_t> read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return { std::istreambuf_iterator<char>(in), {} };
}

const std::vector<ServiceStream>& default_table()
{
    static const std::vector<ServiceStream> table = [] {
        std::string error;
        auto read = read_stream_table(KIVO_DEFAULT_STREAM_TABLE, error);
        EXPECT_TRUE(read) << error;
        return read.value_or(std::vector<ServiceStream> {});
    }();
    return table;
}

const ServiceStream& default_spec(const std::string& slug)
{
    auto& table = default_table();
    auto found = std::find_if(table.begin(), table.end(), [&](auto& service) { return service.slug == slug; });
    if (found == table.end())
        throw std::runtime_error("no default service " + slug);
    return *found;
}

FontEngine& fonts()
{
    static FontEngine engine(FontEngine::installed_files());
    return engine;
}

std::vector<uint8_t> concatenated(const std::vector<uint8_t>& stream, int times)
{
    std::vector<uint8_t> out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

// The luma plane of a decoded picture, kept past the decoder's frame.
struct Luma {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y;
    std::vector<uint8_t> cb; // half size each way

    uint8_t at(int x, int row) const { return y[size_t(row) * width + x]; }
    uint8_t cb_at(int x, int row) const { return cb[size_t(row / 2) * (width / 2) + x / 2]; }

    static Luma of(const AVFrame& frame)
    {
        Luma luma { frame.width, frame.height, {}, {} };
        for (int row = 0; row < frame.height; ++row)
            luma.y.insert(luma.y.end(), frame.data[0] + row * frame.linesize[0], frame.data[0] + row * frame.linesize[0] + frame.width);
        for (int row = 0; row < frame.height / 2; ++row)
            luma.cb.insert(luma.cb.end(), frame.data[1] + row * frame.linesize[1], frame.data[1] + row * frame.linesize[1] + frame.width / 2);
        return luma;
    }
};

std::map<int, Luma> decode_pictures(const std::vector<uint8_t>& stream, std::vector<int> wanted)
{
    std::map<int, Luma> pictures;
    auto decoded = test::decode_stream(AV_CODEC_ID_MPEG2VIDEO, stream, [&](int index, const AVFrame& frame) {
        if (std::find(wanted.begin(), wanted.end(), index) != wanted.end())
            pictures[index] = Luma::of(frame);
    });
    EXPECT_EQ(decoded.errors, 0);
    return pictures;
}

// The mean difference of two pictures' luma over a rectangle.
double mean_difference(const Luma& a, const Luma& b, const RECT& area)
{
    double sum = 0;
    for (LONG row = area.top; row < area.bottom; ++row) {
        for (LONG x = area.left; x < area.right; ++x)
            sum += std::abs(int(a.at(x, row)) - int(b.at(x, row)));
    }
    return sum / double((area.right - area.left) * (area.bottom - area.top));
}

int count_brighter(const Luma& picture, const RECT& area, int threshold)
{
    int count = 0;
    for (LONG row = area.top; row < area.bottom; ++row) {
        for (LONG x = area.left; x < area.right; ++x)
            count += picture.at(x, row) > threshold;
    }
    return count;
}

// The power of one frequency in a channel (Goertzel), relative to the channel's whole power.
double tone_share(const std::vector<double>& samples, double hz, int sample_rate)
{
    double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / sample_rate);
    double previous = 0, before = 0, total = 0;
    for (double sample : samples) {
        double current = sample + coefficient * previous - before;
        before = previous;
        previous = current;
        total += sample * sample;
    }
    double power = previous * previous + before * before - coefficient * previous * before;
    return power / (total * double(samples.size()) / 2);
}

struct Channels {
    std::vector<double> left;
    std::vector<double> right;
};

Channels decode_sound(const std::vector<uint8_t>& stream)
{
    Channels channels;
    auto decoded = test::decode_stream(AV_CODEC_ID_MP2, stream, [&](int, const AVFrame& frame) {
        auto format = static_cast<AVSampleFormat>(frame.format);
        bool planar = av_sample_fmt_is_planar(format);
        for (int channel = 0; channel < 2; ++channel) {
            auto& out = channel == 0 ? channels.left : channels.right;
            for (int i = 0; i < frame.nb_samples; ++i) {
                int plane = planar ? channel : 0;
                int at = planar ? i : i * 2 + channel;
                if (format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_FLT)
                    out.push_back(reinterpret_cast<const float*>(frame.data[plane])[at]);
                else
                    out.push_back(reinterpret_cast<const int16_t*>(frame.data[plane])[at] / 32768.0);
            }
        }
    });
    EXPECT_EQ(decoded.errors, 0);
    return channels;
}

// The start codes of an MPEG-2 video stream in order: the byte after each 00 00 01 and its offset.
std::vector<std::pair<uint8_t, size_t>> start_codes(const std::vector<uint8_t>& stream)
{
    std::vector<std::pair<uint8_t, size_t>> codes;
    for (size_t i = 0; i + 3 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1)
            codes.emplace_back(stream[i + 3], i + 4);
    }
    return codes;
}

constexpr uint8_t picture_start = 0x00;
constexpr uint8_t sequence_header = 0xB3;
constexpr uint8_t group_start = 0xB8;
constexpr uint8_t extension_start = 0xB5;
constexpr uint8_t user_data_start = 0xB2;

} // namespace

TEST(StreamTable, DefaultTableHoldsTheDefaultServices)
{
    std::vector<std::string> television { "ocean-tv", "mountain-news", "city-sports", "kids-garden", "family-drama",
        "music-wave", "travel-east", "finance-daily", "film-classic", "unnamed-service" };
    std::vector<std::string> radio { "radio-harbour", "radio-taipei-classic", "radio-cafe" };
    std::vector<std::string> slugs;
    std::set<int> tones;
    std::set<std::pair<int, int>> sizes;
    for (auto& service : default_table()) {
        slugs.push_back(service.slug);
        tones.insert(service.tone_hz);
        bool is_television = std::find(television.begin(), television.end(), service.slug) != television.end();
        EXPECT_EQ(service.has_video, is_television) << service.slug;
        if (service.has_video) {
            EXPECT_EQ(service.name.empty(), service.slug == "unnamed-service") << service.slug;
            sizes.insert({ service.width, service.height });
        }
    }
    std::vector<std::string> expected = television;
    expected.insert(expected.end(), radio.begin(), radio.end());
    std::sort(slugs.begin(), slugs.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(slugs, expected);
    EXPECT_EQ(tones.size(), slugs.size()) << "every service has a tone of its own";
    EXPECT_EQ(sizes, (std::set<std::pair<int, int>> { { 720, 480 }, { 1280, 720 } }));
}

TEST(StreamTable, RefusesABadRowNamingTheCause)
{
    struct Case {
        const char* row;
        const char* named;
    };
    const Case cases[] = {
        { R"({ "slug": "a", "seconds": 6 })", "missing field \"tone_hz\"" },
        { R"({ "slug": "a", "tone_hz": 440, "seconds": 6, "colour": 1 })", "unknown field \"colour\"" },
        { R"({ "slug": "a", "tone_hz": 440, "seconds": 6, "video": { "name": "A", "width": 720 } })", "missing field \"height\"" },
        { R"({ "slug": "a", "tone_hz": 440, "seconds": 6, "video": { "name": "A", "width": 720, "height": 480, "x": 0 } })", "unknown field \"x\"" },
        { R"({ "slug": "A b", "tone_hz": 440, "seconds": 6 })", "\"slug\"" },
        { R"({ "slug": "a", "tone_hz": 440, "seconds": 4 })", "\"seconds\"" },
        { R"({ "slug": "a", "tone_hz": 441, "seconds": 0.6 })", "cycles of the tone" },
        { R"({ "slug": "a", "tone_hz": 30000, "seconds": 6 })", "\"tone_hz\"" },
        { R"({ "slug": "a", "tone_hz": 440, "seconds": 6, "video": { "name": "A", "width": 721, "height": 480 } })", "even" },
        { R"({ "slug": "a", "tone_hz": 440, "seconds": 6 }, { "slug": "a", "tone_hz": 494, "seconds": 6 })", "used twice" },
    };
    auto path = std::filesystem::temp_directory_path() / ("kivo-stream-table-" + std::to_string(::getpid()) + ".json");
    for (auto& test : cases) {
        {
            std::ofstream out(path);
            out << R"({ "streams": [ )" << test.row << " ] }";
        }
        std::string error;
        EXPECT_FALSE(read_stream_table(path, error)) << test.row;
        EXPECT_NE(error.find(test.named), std::string::npos) << test.row << " gave: " << error;
    }
    std::filesystem::remove(path);
}

TEST(DefaultStreams, DecodeWithTheirSizeCodecAndLength)
{
    for (auto& service : default_table()) {
        SCOPED_TRACE(service.slug);
        EXPECT_EQ(std::filesystem::exists(built_streams / (service.slug + ".m2v")), service.has_video);
        if (service.has_video) {
            int out_of_order = 0;
            auto video = test::decode_stream(AV_CODEC_ID_MPEG2VIDEO, read_file(built_streams / (service.slug + ".m2v")),
                [&](int index, const AVFrame& frame) {
                    auto expected = index % ServiceStream::pictures_per_group == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_P;
                    out_of_order += frame.pict_type != expected;
                });
            EXPECT_EQ(video.codec, "mpeg2video");
            EXPECT_EQ(video.errors, 0);
            EXPECT_EQ(video.frames, service.picture_count);
            EXPECT_EQ(video.width, service.width);
            EXPECT_EQ(video.height, service.height);
            EXPECT_EQ(out_of_order, 0) << "an I picture opens each group, P pictures follow";
        }
        auto audio = test::decode_stream(AV_CODEC_ID_MP2, read_file(built_streams / (service.slug + ".mp2")));
        EXPECT_EQ(audio.codec.substr(0, 3), "mp2");
        EXPECT_EQ(audio.errors, 0);
        EXPECT_EQ(audio.frames, service.audio_frame_count());
        EXPECT_EQ(audio.frames * ServiceStream::samples_per_audio_frame, service.picture_count * ServiceStream::samples_per_picture)
            << "the sound lasts as long as the pictures";
        EXPECT_EQ(audio.sample_rate, 48000);
        EXPECT_EQ(audio.channels, 2);
    }
}

TEST(DefaultStreams, EveryGroupIsClosedAndOpensWithASequenceHeaderAndAnIPicture)
{
    for (auto& service : default_table()) {
        if (!service.has_video)
            continue;
        SCOPED_TRACE(service.slug);
        auto stream = read_file(built_streams / (service.slug + ".m2v"));
        auto codes = start_codes(stream);
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.front().first, sequence_header) << "the stream starts with a sequence header";
        int groups = 0;
        // The header a group follows, passing over the extensions that trail each header.
        uint8_t previous_header = 0;
        for (size_t i = 0; i < codes.size(); ++i) {
            auto [code, offset] = codes[i];
            if (code == group_start) {
                ++groups;
                ASSERT_LT(offset + 4, stream.size());
                EXPECT_TRUE(stream[offset + 3] & 0x40) << "closed_gop in group " << groups;
                EXPECT_FALSE(stream[offset + 3] & 0x20) << "broken_link in group " << groups;
                EXPECT_EQ(previous_header, sequence_header) << "a sequence header before group " << groups;
                auto picture = std::find_if(codes.begin() + i, codes.end(), [](auto& c) { return c.first == picture_start; });
                ASSERT_NE(picture, codes.end());
                EXPECT_EQ((stream[picture->second + 1] >> 3) & 7, 1) << "group " << groups << " opens with an I picture";
            }
            if (code != extension_start && code != user_data_start)
                previous_header = code;
        }
        EXPECT_EQ(groups, service.picture_count / ServiceStream::pictures_per_group);
    }
}

TEST(DefaultStreams, LoopedStreamsJoinWithoutErrorsAndTheClockStartsAgain)
{
    auto& service = default_spec("ocean-tv");
    auto looped = concatenated(read_file(built_streams / "ocean-tv.m2v"), 2);
    auto pictures = decode_pictures(looped, { 0, 25, service.picture_count });
    ASSERT_EQ(pictures.size(), 3u);
    TestPattern pattern(service.width, service.height, u"", fonts());
    EXPECT_LT(mean_difference(pictures[0], pictures[service.picture_count], pattern.clock_area()), 1.0);
    EXPECT_GT(mean_difference(pictures[0], pictures[25], pattern.clock_area()), 1.0) << "the clock runs";

    auto sound = test::decode_stream(AV_CODEC_ID_MP2, concatenated(read_file(built_streams / "ocean-tv.mp2"), 2));
    EXPECT_EQ(sound.errors, 0);
    EXPECT_EQ(sound.frames, 2 * service.audio_frame_count());
}

TEST(DefaultStreams, PictureShowsBarsTheNameAndARunningClock)
{
    for (auto slug : { "ocean-tv", "film-classic", "unnamed-service" }) {
        SCOPED_TRACE(slug);
        auto& service = default_spec(slug);
        TestPattern pattern(service.width, service.height, u"", fonts());
        auto pictures = decode_pictures(read_file(built_streams / (service.slug + ".m2v")), { 0, 25 });
        ASSERT_EQ(pictures.size(), 2u);
        auto& first = pictures[0];

        RECT bars = pattern.bars_area();
        int middle = (bars.top + bars.bottom) / 2;
        EXPECT_NEAR(first.at(service.width / 14, middle), 180, 8) << "the first bar is 75 % white";
        EXPECT_NEAR(first.cb_at(service.width / 14, middle), 128, 8);
        EXPECT_GT(first.cb_at(service.width * 13 / 14, middle), 190) << "the last bar is blue";

        RECT name = pattern.name_area();
        int area = (name.right - name.left) * (name.bottom - name.top);
        int lit = count_brighter(first, name, 150);
        if (service.name.empty()) {
            EXPECT_EQ(lit, 0) << "no name is drawn";
        } else {
            EXPECT_GT(lit, area / 50) << "the name is drawn large";
            EXPECT_LT(lit, area / 2) << "on a dark band";
        }

        EXPECT_GT(count_brighter(first, pattern.clock_area(), 150), 0) << "the clock is drawn";
        EXPECT_GT(mean_difference(first, pictures[25], pattern.clock_area()), 1.0) << "the clock runs";
        EXPECT_LT(mean_difference(first, pictures[25], pattern.name_area()), 1.0) << "the name stays";
    }
}

TEST(TestPatternEncoder, TwoRunsGiveTheBytesOfTheBuild)
{
    TestPatternEncoder encoder(fonts());
    for (auto slug : { "kids-garden", "travel-east", "radio-cafe" }) {
        SCOPED_TRACE(slug);
        auto& service = default_spec(slug);
        std::string error;
        if (service.has_video) {
            auto first = encoder.video(service, error);
            auto second = encoder.video(service, error);
            ASSERT_TRUE(first && second) << error;
            EXPECT_TRUE(*first == *second);
            EXPECT_TRUE(*first == read_file(built_streams / (service.slug + ".m2v")));
        }
        auto first = encoder.audio(service, error);
        auto second = encoder.audio(service, error);
        ASSERT_TRUE(first && second) << error;
        EXPECT_TRUE(*first == *second);
        EXPECT_TRUE(*first == read_file(built_streams / (service.slug + ".mp2")));
    }
}

TEST(TestPatternEncoder, SoundIsTheServicesToneLeftAndItsOctaveRight)
{
    for (auto slug : { "radio-harbour", "film-classic" }) {
        SCOPED_TRACE(slug);
        auto& service = default_spec(slug);
        auto sound = decode_sound(read_file(built_streams / (service.slug + ".mp2")));
        ASSERT_FALSE(sound.left.empty());
        EXPECT_GT(tone_share(sound.left, service.tone_hz, 48000), 0.9);
        EXPECT_LT(tone_share(sound.left, service.tone_hz * 2, 48000), 0.01);
        EXPECT_GT(tone_share(sound.right, service.tone_hz * 2, 48000), 0.9);
        EXPECT_LT(tone_share(sound.right, service.tone_hz, 48000), 0.01);
    }
}

TEST(MakeStreamsTool, MakesTheNamedServicesAndRefusesAnUnknownOne)
{
    auto folder = std::filesystem::temp_directory_path() / ("kivo-mkes-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    auto run = [&](const std::string& slugs) {
        std::string command = std::string(KIVO_MKES) + " " + KIVO_DEFAULT_STREAM_TABLE + " " + folder.string() + " " + slugs + " 2>/dev/null";
        return std::system(command.c_str());
    };

    EXPECT_EQ(run("radio-cafe"), 0);
    std::vector<std::string> made;
    for (auto& entry : std::filesystem::directory_iterator(folder))
        made.push_back(entry.path().filename().string());
    EXPECT_EQ(made, std::vector<std::string> { "radio-cafe.mp2" }) << "only the named service, and no part file left";
    EXPECT_TRUE(read_file(folder / "radio-cafe.mp2") == read_file(built_streams / "radio-cafe.mp2"));

    EXPECT_NE(run("radio-cafe no-such-service"), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "no-such-service.mp2"));
    std::filesystem::remove_all(folder);
}

TEST(TestPatternEncoder, RadioServiceHasNoPicture)
{
    TestPatternEncoder encoder(fonts());
    std::string error;
    EXPECT_FALSE(encoder.video(default_spec("radio-harbour"), error));
    EXPECT_NE(error.find("radio-harbour"), std::string::npos);
}

} // namespace kivo
