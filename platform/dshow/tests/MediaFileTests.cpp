#include "dshow/tests/MediaTesting.h"

#include "FileApi.h"
#include "KernelApi.h"
#include "MediaFile.h"
#include "Volumes.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace kivo::test {
namespace {

// The file's duration as ffprobe prints it, in microseconds; nullopt when ffprobe is not there.
std::optional<int64_t> ffprobe_duration_us(const std::filesystem::path& file)
{
    std::string command = "ffprobe -v error -show_entries format=duration -of default=noprint_wrappers=1:nokey=1 '" + file.string() + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    char text[64] = {};
    bool got = std::fgets(text, sizeof text, pipe) != nullptr;
    int status = ::pclose(pipe);
    if (!got || status != 0)
        return std::nullopt;
    return std::llround(std::stod(text) * 1e6);
}

// Each test has a device of its own and makes its clips on it.
using MediaFileTest = MediaTest;

struct ClipCase {
    Clip clip;
    std::u16string device_path;
    // The streams in the file's order: kind, codec, whether it is a cover picture, whether it can
    // be decoded.
    std::vector<std::tuple<MediaStream::Kind, std::string, bool, bool>> streams;
};

void PrintTo(const ClipCase& c, std::ostream* out)
{
    *out << to_utf8(c.device_path);
}

using Kind = MediaStream::Kind;

class ClipListing : public MediaFileTest, public ::testing::WithParamInterface<ClipCase> {
};

TEST_P(ClipListing, ListsStreamsAndTheDurationFfprobeReads)
{
    const ClipCase& param = GetParam();
    auto host = make(param.device_path, param.clip);
    ASSERT_FALSE(host.empty());

    std::unique_ptr<MediaFile> file;
    ASSERT_EQ(MediaFile::open(param.device_path, file), S_OK);
    ASSERT_EQ(file->streams().size(), param.streams.size());
    for (size_t i = 0; i < param.streams.size(); ++i) {
        const MediaStream& stream = file->streams()[i];
        auto [kind, codec, cover, decodable] = param.streams[i];
        EXPECT_EQ(stream.index, int(i));
        EXPECT_EQ(stream.kind, kind) << i;
        EXPECT_EQ(stream.codec, codec) << i;
        EXPECT_EQ(stream.attached_picture, cover) << i;
        EXPECT_EQ(stream.decodable, decodable) << i;
        if (!cover) {
            // About the clip's three seconds, in 100-ns units.
            EXPECT_NEAR(double(stream.duration), 30'000'000.0, 1'500'000.0) << i;
        }
    }

    if (!ffprobe_present())
        GTEST_SKIP() << "ffprobe is not installed (setup.sh installs it): durations not compared";
    auto probed = ffprobe_duration_us(host);
    ASSERT_TRUE(probed) << "ffprobe could not read " << host;
    // ffprobe prints microseconds; DirectShow's unit is 100 ns.
    EXPECT_EQ(file->duration(), *probed * 10);
}

INSTANTIATE_TEST_SUITE_P(Clips, ClipListing,
    ::testing::Values(
        ClipCase { Clip::Mp4MpegAac, u"\\SDMMC\\Video\\clip.mp4", { { Kind::Video, "mpeg4", false, true }, { Kind::Audio, "aac", false, true } } },
        ClipCase { Clip::WmvWma, u"\\NAND\\Video\\clip.wmv", { { Kind::Video, "wmv2", false, true }, { Kind::Audio, "wmav2", false, true } } },
        ClipCase { Clip::Mp3WithCover, u"\\SDMMC\\Music\\a.mp3", { { Kind::Audio, "mp3", false, true }, { Kind::Video, "png", true, true } } },
        ClipCase { Clip::MkvUndecodableVideo, u"\\SDMMC\\Video\\clip.mkv", { { Kind::Video, "avs2", false, false }, { Kind::Audio, "aac", false, true } } }),
    [](const auto& info) { return std::to_string(info.index) + "_" + to_utf8(info.param.device_path.substr(info.param.device_path.rfind(u'.') + 1)); });

TEST_F(MediaFileTest, AFileThatCannotBeOpenedAnswersItsOwnError)
{
    make(u"\\SDMMC\\Music\\a.mp3", Clip::Mp3WithCover);
    struct Case {
        const char16_t* path;
        bool card_in;
        DWORD error;
    };
    const Case cases[] = {
        { u"\\SDMMC\\Music\\missing.mp3", true, ERROR_FILE_NOT_FOUND },
        { u"\\SDMMC\\Nowhere\\a.mp3", true, ERROR_PATH_NOT_FOUND },
        { u"\\SDMMC\\Music\\a.mp3", false, ERROR_PATH_NOT_FOUND },
    };
    for (const auto& c : cases) {
        device->component<Volumes>().set_card_present(c.card_in);
        std::unique_ptr<MediaFile> file;
        EXPECT_EQ(MediaFile::open(c.path, file), HRESULT_FROM_WIN32(c.error)) << to_utf8(c.path);
        EXPECT_EQ(file, nullptr);
    }
}

TEST_F(MediaFileTest, DamagedFilesAreNoMedia)
{
    auto whole = make(u"\\SDMMC\\Video\\whole.mp4", Clip::Mp4MpegAac);
    // MP4's index comes last: without it the samples cannot be found.
    write_truncated_copy(whole, host_path(u"\\SDMMC\\Video\\cut.mp4"), std::filesystem::file_size(whole) / 2);
    std::ofstream(host_path(u"\\SDMMC\\Video\\text.mp4"), std::ios::binary) << std::string(3000, 'k');
    std::ofstream(host_path(u"\\SDMMC\\Video\\empty.mp4"), std::ios::binary);
    // A WAVE file of 79 bytes whose INFO list claims 3.7 GB.
    const unsigned char huge_list[] = { 'R', 'I', 'F', 'F', 0xd6, 0x01, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 0x10, 0, 0, 0, 1, 0, 1, 0,
        0x40, 0x1f, 0, 0, 0, 0, 0x7f, 0xfd, 0x37, 0x3f, 'L', 'A', 'L', 'I', 'S', 'T', 0x1a, 0, 0, 0xe0, 'I', 'N', 'F', 'O', 'I', 'S', 'F',
        'T', 0x0e, 0, 0, 0, 'L', 'a', 'v', 'f', '5', '9', '.', '2', '7', '.', '1', '0', '0', 0, 'd', 'a', 't', 'a', 0x90, 0x01, 0, 'u', 'z' };
    std::ofstream(host_path(u"\\SDMMC\\Video\\list.wav"), std::ios::binary).write(reinterpret_cast<const char*>(huge_list), sizeof huge_list);

    for (const char16_t* path : { u"\\SDMMC\\Video\\cut.mp4", u"\\SDMMC\\Video\\text.mp4", u"\\SDMMC\\Video\\empty.mp4", u"\\SDMMC\\Video\\list.wav" }) {
        std::unique_ptr<MediaFile> file;
        EXPECT_EQ(MediaFile::open(path, file), VFW_E_INVALID_FILE_FORMAT) << to_utf8(path);
    }
    // FFmpeg said why, at its error level, in the debug output.
    EXPECT_TRUE(device->debug_log().contains("ffmpeg: ")) << "no FFmpeg line in the debug output";
}

TEST_F(MediaFileTest, ACardRemovedWhileReadingFailsTheReadWithTheCardsError)
{
    make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac);
    std::unique_ptr<MediaFile> file;
    ASSERT_EQ(MediaFile::open(u"\\SDMMC\\Video\\clip.mp4", file), S_OK);
    AVPacket* packet = av_packet_alloc();
    ASSERT_EQ(file->read_packet(*packet), 0);
    av_packet_unref(packet);

    device->component<Volumes>().set_card_present(false);
    int result = 0;
    while ((result = file->read_packet(*packet)) == 0)
        av_packet_unref(packet);
    av_packet_free(&packet);
    EXPECT_NE(result, AVERROR_EOF) << "the reads ended as if the file were whole";
    EXPECT_EQ(file->last_file_error(), ERROR_NOT_READY);
}

TEST_F(MediaFileTest, FfmpegWarningsFromAnyThreadReachTheDeviceOfTheirContext)
{
    make(u"\\NAND\\a.mp3", Clip::Mp3WithCover);
    std::unique_ptr<MediaFile> file;
    ASSERT_EQ(MediaFile::open(u"\\NAND\\a.mp3", file), S_OK);
    // FFmpeg's own threads are no simulated threads: the context leads to the device.
    std::thread worker([&] {
        av_log(file->format_context(), AV_LOG_WARNING, "warned from a worker\n");
        av_log(file->format_context(), AV_LOG_INFO, "told from a worker\n");
    });
    worker.join();
    auto lines = debug_lines(*device);
    auto has = [&](std::string_view text) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(has("warned from a worker"));
    EXPECT_FALSE(has("told from a worker")) << "lines below the warning level are dropped";
}

} // namespace
} // namespace kivo::test
