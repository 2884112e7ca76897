#include "dshow/tests/MediaTesting.h"

#include "Errors.h"
#include "MediaDecoder.h"
#include "Volumes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace kivo::test {
namespace {

// A packet as read: which it is (stream, place in the file, size, time) and its mark.
struct ReadPacket {
    int stream = 0;
    int64_t pos = 0;
    int size = 0;
    int64_t pts = 0;
    bool key_frame = false;
    bool before_landing = false;

    bool same_packet(const ReadPacket& other) const { return stream == other.stream && pos == other.pos && size == other.size && pts == other.pts; }
};

std::vector<ReadPacket> read_rest(MediaFile& file)
{
    std::vector<ReadPacket> packets;
    PacketPtr packet(av_packet_alloc());
    bool before_landing = false;
    while (file.read_packet(*packet, &before_landing) == 0) {
        packets.push_back({ packet->stream_index, packet->pos, packet->size, packet->pts, (packet->flags & AV_PKT_FLAG_KEY) != 0, before_landing });
        av_packet_unref(packet.get());
    }
    return packets;
}

std::vector<ReadPacket> of_stream(const std::vector<ReadPacket>& packets, int stream)
{
    std::vector<ReadPacket> result;
    std::copy_if(packets.begin(), packets.end(), std::back_inserter(result), [&](const ReadPacket& p) { return p.stream == stream; });
    return result;
}

// Each played stream's packets after a seek are the last ones of the stream's whole run: nothing
// skipped, nothing twice.
void expect_each_stream_follows_on(const MediaFile& file, const std::vector<ReadPacket>& whole, const std::vector<ReadPacket>& after)
{
    for (const MediaStream& stream : file.streams()) {
        if (stream.attached_picture) {
            EXPECT_TRUE(of_stream(after, stream.index).empty()) << "the cover comes again after a seek";
            continue;
        }
        auto all = of_stream(whole, stream.index);
        auto tail = of_stream(after, stream.index);
        ASSERT_LE(tail.size(), all.size()) << "stream " << stream.index;
        size_t skip = all.size() - tail.size();
        for (size_t i = 0; i < tail.size(); ++i)
            ASSERT_TRUE(tail[i].same_packet(all[skip + i])) << "stream " << stream.index << ": packet " << i << " after the seek is not the next one";
    }
}

// The reference stream's packets as ffprobe lists them: time from the file's start, key flag.
struct ProbedPacket {
    LONGLONG time = 0;
    LONGLONG duration = 0;
    bool key_frame = false;
};

std::vector<ProbedPacket> ffprobe_packets(const std::filesystem::path& file, int stream)
{
    auto sections = ffprobe_sections(file, "-select_streams " + std::to_string(stream) + " -show_packets -show_entries packet=pts_time,duration_time,flags");
    LONGLONG start = ffprobe_start_time(file);
    std::vector<ProbedPacket> packets;
    for (auto& section : sections) {
        if (section["pts_time"].empty() || section["pts_time"] == "N/A")
            continue;
        packets.push_back({ hundred_ns(section["pts_time"]) - start, section["duration_time"] == "N/A" ? 0 : hundred_ns(section["duration_time"]),
            section["flags"].find('K') != std::string::npos });
    }
    return packets;
}

struct SeekClip {
    Clip clip;
    std::u16string device_path;
    int reference;
};

void PrintTo(const SeekClip& c, std::ostream* out)
{
    *out << to_utf8(c.device_path);
}

class KeyFrameSeek : public MediaTest, public ::testing::WithParamInterface<SeekClip> {
};

TEST_P(KeyFrameSeek, LandsOnTheKeyFrameAtOrBeforeTheTarget)
{
    const SeekClip& param = GetParam();
    auto host = make(param.device_path, param.clip);
    ASSERT_FALSE(host.empty());
    if (!ffprobe_present())
        GTEST_SKIP() << "ffprobe is not installed (setup.sh installs it): no key frames to compare with";
    auto probed = ffprobe_packets(host, param.reference);
    std::vector<LONGLONG> key_times;
    for (const ProbedPacket& packet : probed)
        if (packet.key_frame)
            key_times.push_back(packet.time);
    ASSERT_GE(key_times.size(), 3u) << "the clip needs several key frames";

    std::unique_ptr<MediaFile> file;
    ASSERT_EQ(MediaFile::open(param.device_path, file), S_OK);
    ASSERT_EQ(file->reference_stream(), param.reference);
    auto whole = read_rest(*file);
    const LONGLONG duration = file->duration();

    // ffprobe's times are rounded: "just after" and "just before" a key frame keep clear of that.
    const LONGLONG targets[] = { 0, duration / 2, key_times[2] + 2 * printed_rounding, key_times[1] - 2 * printed_rounding, duration - 1, duration,
        duration + 20'000'000, -5'000'000 };
    for (LONGLONG target : targets) {
        SCOPED_TRACE("target " + std::to_string(target));
        LONGLONG landing = -1;
        ASSERT_EQ(file->seek(target, true, landing), S_OK);
        auto after = read_rest(*file);
        // The last key frame at or before the target (at or past the end too: the file's last one);
        // the first one when the stream starts later.
        // Sound that primes the decoder before the file's start is heard from 0.
        auto key = std::upper_bound(key_times.begin(), key_times.end(), std::max<LONGLONG>(target, 0));
        LONGLONG expected = key == key_times.begin() ? key_times.front() : *std::prev(key);
        EXPECT_NEAR(double(landing), double(std::max<LONGLONG>(expected, 0)), double(printed_rounding)) << "not the key frame at or before the target";
        auto reference = of_stream(after, param.reference);
        ASSERT_FALSE(reference.empty());
        EXPECT_TRUE(reference.front().key_frame || file->streams()[size_t(param.reference)].kind == MediaStream::Kind::Audio);
        EXPECT_TRUE(std::none_of(after.begin(), after.end(), [](const ReadPacket& p) { return p.before_landing; }))
            << "a key frame's landing needs no packet before it";
        expect_each_stream_follows_on(*file, whole, after);
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, KeyFrameSeek,
    ::testing::Values(SeekClip { Clip::Mp4MpegAac, u"\\SDMMC\\Video\\clip.mp4", 0 }, SeekClip { Clip::WmvWma, u"\\NAND\\Video\\clip.wmv", 0 },
        // Sound only: every frame is a key frame, the landing is the frame that holds the target.
        SeekClip { Clip::Mp3WithCover, u"\\SDMMC\\Music\\a.mp3", 0 },
        // The video has no decoder: the sound leads.
        SeekClip { Clip::MkvUndecodableVideo, u"\\SDMMC\\Video\\clip.mkv", 1 }),
    [](const auto& info) { return to_utf8(info.param.device_path.substr(info.param.device_path.rfind(u'.') + 1)); });

TEST_F(MediaTest, AnExactSeekLandsOnTheTargetAndMarksWhatComesBefore)
{
    make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac);
    std::unique_ptr<MediaFile> file;
    ASSERT_EQ(MediaFile::open(u"\\SDMMC\\Video\\clip.mp4", file), S_OK);
    // Played to its end first, as a film is before it is wound back.
    std::unique_ptr<MediaDecoder> decoder;
    ASSERT_EQ(MediaDecoder::create(*file, 0, decoder), S_OK);
    std::vector<ReadPacket> whole;
    std::vector<DecodedFrame> frames;
    PacketPtr packet(av_packet_alloc());
    while (file->read_packet(*packet) == 0) {
        whole.push_back({ packet->stream_index, packet->pos, packet->size, packet->pts, (packet->flags & AV_PKT_FLAG_KEY) != 0, false });
        if (packet->stream_index == 0) {
            EXPECT_EQ(decoder->decode(packet.get(), frames), S_OK);
        }
        av_packet_unref(packet.get());
    }
    EXPECT_EQ(decoder->decode(nullptr, frames), S_OK);
    ASSERT_FALSE(frames.empty());
    frames.clear();

    const LONGLONG target = 13'100'000; // between the key frames at 0.96 s and 1.44 s
    LONGLONG landing = -1;
    ASSERT_EQ(file->seek(target, true, landing), S_OK);
    const LONGLONG key_landing = landing;
    ASSERT_LT(key_landing, target);

    ASSERT_EQ(file->seek(target, false, landing), S_OK);
    EXPECT_EQ(landing, target);
    decoder->flush();
    std::vector<ReadPacket> after;
    bool before_landing = false;
    while (file->read_packet(*packet, &before_landing) == 0) {
        after.push_back({ packet->stream_index, packet->pos, packet->size, packet->pts, (packet->flags & AV_PKT_FLAG_KEY) != 0, before_landing });
        if (packet->stream_index == 0) {
            EXPECT_EQ(decoder->decode(packet.get(), frames, before_landing), S_OK);
        }
        av_packet_unref(packet.get());
    }
    EXPECT_EQ(decoder->decode(nullptr, frames), S_OK);
    expect_each_stream_follows_on(*file, whole, after);

    // The pictures from the key frame before the target are decoded; those that end before it are
    // marked, the one that shows at the target and the rest are not.
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().start, key_landing);
    EXPECT_TRUE(frames.front().key_frame);
    auto first_shown = std::find_if(frames.begin(), frames.end(), [](const DecodedFrame& f) { return !f.before_landing; });
    ASSERT_NE(first_shown, frames.end());
    ASSERT_NE(first_shown, frames.begin()) << "nothing was marked as before the landing";
    EXPECT_LE(first_shown->start, target);
    EXPECT_GT(first_shown->start + first_shown->duration, target);
    for (auto frame = frames.begin(); frame != frames.end(); ++frame)
        EXPECT_EQ(frame->before_landing, frame < first_shown) << "frame at " << frame->start;
    // Sound from before the target is marked too, and only that.
    auto sound = of_stream(after, 1);
    ASSERT_FALSE(sound.empty());
    EXPECT_TRUE(sound.front().before_landing);
    EXPECT_FALSE(sound.back().before_landing);

    // At or past the end, an exact seek lands there and nothing is left to read.
    for (LONGLONG end : { file->duration(), file->duration() + 20'000'000 }) {
        ASSERT_EQ(file->seek(end, false, landing), S_OK);
        EXPECT_EQ(landing, file->duration());
        EXPECT_NE(file->read_packet(*packet), 0) << "a seek to the end still gives packets";
    }
}

TEST_F(MediaTest, ACardRemovedBeforeASeekFailsItWithTheFilesError)
{
    make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac);
    std::unique_ptr<MediaFile> file;
    ASSERT_EQ(MediaFile::open(u"\\SDMMC\\Video\\clip.mp4", file), S_OK);
    PacketPtr packet(av_packet_alloc());
    ASSERT_EQ(file->read_packet(*packet), 0);
    av_packet_unref(packet.get());

    device->component<Volumes>().set_card_present(false);
    LONGLONG landing = -1;
    EXPECT_EQ(file->seek(file->duration() / 2, true, landing), HRESULT_FROM_WIN32(ERROR_NOT_READY));
    EXPECT_EQ(file->seek(file->duration() / 3, false, landing), HRESULT_FROM_WIN32(ERROR_NOT_READY));
    EXPECT_NE(file->read_packet(*packet), 0) << "the file reads on without its card";
}

} // namespace
} // namespace kivo::test
