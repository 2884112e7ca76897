#include "mpegaudio/MpegAudioProbe.h"

#include "CodePageApi.h"
#include "CodePages.h"
#include "FileApi.h"
#include "kernel/tests/TestDevice.h"
#include "storage/tests/DeviceFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

using Bytes = std::string;

std::string be32(uint32_t value)
{
    return { char(value >> 24), char(value >> 16), char(value >> 8), char(value) };
}

std::string syncsafe32(uint32_t value)
{
    return { char(value >> 21 & 0x7F), char(value >> 14 & 0x7F), char(value >> 7 & 0x7F), char(value & 0x7F) };
}

// An MPEG audio frame header: version bits (3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5), layer bits (1 layer
// III, 2 layer II, 3 layer I), bit-rate index, sampling index, channel mode (3 single channel).
Bytes frame_header(int version, int layer, int bit_rate_index, int sampling_index, int channel_mode = 0)
{
    return { char(0xFF), char(0xE0 | version << 3 | layer << 1 | 1), char(bit_rate_index << 4 | sampling_index << 2),
        char(channel_mode << 6) };
}

const Bytes mpeg1_layer3_128k = frame_header(3, 1, 9, 0); // 128 kbit/s, 44,100 Hz, stereo

// A first frame whose side information (32 bytes for MPEG-1 stereo) is followed by a VBR header.
Bytes vbr_frame(const char* name, uint32_t frames, uint32_t flags = 0x0F)
{
    Bytes frame = mpeg1_layer3_128k + Bytes(32, '\0') + name + be32(flags) + be32(frames);
    return frame + Bytes(417 - frame.size(), '\0');
}

// Audio of `size` bytes: the first frame, then silence.
Bytes audio(const Bytes& first_frame, size_t size)
{
    return first_frame + Bytes(size - first_frame.size(), '\0');
}

// An ID3v2 frame in the layout of the tag's major version.
Bytes id3_frame(int major, const std::string& id, const Bytes& content)
{
    uint32_t size = uint32_t(content.size());
    if (major == 2)
        return id + Bytes { char(size >> 16), char(size >> 8), char(size) } + content;
    return id + (major == 4 ? syncsafe32(size) : be32(size)) + Bytes(2, '\0') + content;
}

Bytes id3_tag(int major, const Bytes& frames, int flags = 0, size_t padding = 16)
{
    Bytes body = frames + Bytes(padding, '\0');
    return "ID3" + Bytes { char(major), 0, char(flags) } + syncsafe32(uint32_t(body.size())) + body;
}

Bytes latin1_text(const std::string& text)
{
    return '\0' + text;
}

Bytes id3v1_tag(const std::string& title, const std::string& artist, const std::string& album, uint8_t genre)
{
    auto field = [](const std::string& text) { return text + Bytes(30 - text.size(), '\0'); };
    return "TAG" + field(title) + field(artist) + field(album) + Bytes(4 + 30, '\0') + char(genre);
}

// An ADTS frame header of `length` bytes (header included) and `blocks` raw data blocks.
Bytes adts_frame(int frequency_index, int channels, uint32_t length, int blocks = 1)
{
    Bytes frame { char(0xFF), char(0xF1), char(1 << 6 | frequency_index << 2 | channels >> 2),
        char((channels & 3) << 6 | (length >> 11 & 3)), char(length >> 3), char((length & 7) << 5 | 0x1F),
        char(0xFC | (blocks - 1)) };
    return frame + Bytes(length - frame.size(), '\0');
}

std::u16string from_utf8(const std::string& text)
{
    std::u16string result(text.size(), u'\0');
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), result.data(), int(result.size()));
    result.resize(size_t(units));
    return result;
}

class MpegAudioProbeTest : public ::testing::Test {
protected:
    std::unique_ptr<Device> device = make_test_device();
    _tag_MEDIA_INFO info = new_media_info();

    // Stores the bytes as a device file and probes it, opened as the probe chain opens files.
    int probe(const Bytes& bytes)
    {
        EXPECT_EQ(write_device_file(u"\\NAND\\probe.mp3", bytes), 0u);
        HANDLE file = CreateFile(u"\\NAND\\probe.mp3", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        int claimed = ProbeMpegAudio(info, file);
        CloseHandle(file);
        return claimed;
    }

    std::u16string slot_text(MediaTagSlot slot) const { return info.tags[slot]; }
};

// --- Claiming ---------------------------------------------------------------------------------

TEST_F(MpegAudioProbeTest, ClaimsOnlyFilesWhoseAudioStartsWithAFrameSync)
{
    const Bytes tag = id3_tag(3, id3_frame(3, "TIT2", latin1_text("x")));
    struct Case {
        const char* name;
        Bytes file;
        int claimed;
    } cases[] = {
        { "frame at the start", audio(mpeg1_layer3_128k, 1024), 1 },
        { "ADTS at the start", audio(adts_frame(4, 2, 300), 1024), 1 },
        { "frame right after the tag", tag + audio(mpeg1_layer3_128k, 1024), 1 },
        { "smaller than 1024 bytes", audio(mpeg1_layer3_128k, 1023), 0 },
        { "tag and less than 1024 bytes after its size", tag + audio(mpeg1_layer3_128k, 1000), 0 },
        { "junk between the tag and the frame", tag + Bytes(1, '\0') + audio(mpeg1_layer3_128k, 1024), 0 },
        { "no sync", Bytes(1, char(0xFF)) + Bytes(1023, char(0xD0)), 0 },
        { "a tag that says it is larger than the file", Bytes("ID3\3\0\0\x7F\x7F\x7F\x7F", 10) + audio(mpeg1_layer3_128k, 2000), 0 },
    };
    for (const Case& c : cases) {
        info = new_media_info();
        EXPECT_EQ(probe(c.file), c.claimed) << c.name;
        EXPECT_EQ(info.file_size, c.claimed ? int64_t(c.file.size()) : 0) << c.name;
        if (!c.claimed) {
            EXPECT_EQ(info.status, 1) << c.name;
        }
    }
}

// --- Frame header and duration -------------------------------------------------------------------

TEST_F(MpegAudioProbeTest, ConstantBitRateDurationComesFromTheAudioBytes)
{
    // 1,600,000 bytes at 16,000 bytes a second; the tag before them is not counted.
    ASSERT_EQ(probe(id3_tag(3, id3_frame(3, "TIT2", latin1_text("t"))) + audio(mpeg1_layer3_128k, 1'600'000)), 1);
    EXPECT_EQ(info.status, S_OK);
    EXPECT_EQ(info.format, MEDIA_MP3);
    EXPECT_EQ(info.audio_tag, AUDIO_TAG_MPEG_LAYER3);
    EXPECT_EQ(info.audio_bit_rate, 128000);
    EXPECT_EQ(info.sample_rate, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.duration, 100);
}

TEST_F(MpegAudioProbeTest, XingFrameCountGivesDurationAndAverageBitRate)
{
    // 1000 frames of 1152 samples at 44,100 Hz: 26.1 s.
    ASSERT_EQ(probe(audio(vbr_frame("Xing", 1000), 417'000)), 1);
    EXPECT_EQ(info.status, S_OK);
    EXPECT_EQ(info.duration, 26);
    EXPECT_EQ(info.audio_bit_rate, 417 * 44100 / 144);
}

TEST_F(MpegAudioProbeTest, HeadersThatCountNoFramesLeaveTheConstantBitRateArithmetic)
{
    struct Case {
        const char* name;
        Bytes frame;
    } cases[] = {
        // An "Info" header marks a constant bit rate: its frame is audio like any other.
        { "Info header", vbr_frame("Info", 1000) },
        { "Xing count 0", vbr_frame("Xing", 0) },
        { "Xing without the frame-count flag", vbr_frame("Xing", 1000, 0x0E) },
    };
    for (const Case& c : cases) {
        info = new_media_info();
        ASSERT_EQ(probe(audio(c.frame, 1'600'000)), 1) << c.name;
        EXPECT_EQ(info.status, S_OK) << c.name;
        EXPECT_EQ(info.audio_bit_rate, 128000) << c.name;
        EXPECT_EQ(info.duration, 100) << c.name;
    }
}

TEST_F(MpegAudioProbeTest, VersionsLayersAndModesPickTheirTables)
{
    struct Case {
        Bytes header;
        int32_t audio_tag, bit_rate, sample_rate, channels;
    } cases[] = {
        { frame_header(3, 3, 14, 1), AUDIO_TAG_MPEG, 448000, 48000, 2 }, // MPEG-1 layer I
        { frame_header(3, 2, 10, 2, 1), AUDIO_TAG_MPEG, 192000, 32000, 2 }, // layer II, joint stereo
        { frame_header(2, 1, 8, 0, 3), AUDIO_TAG_MPEG_LAYER3, 64000, 22050, 1 }, // MPEG-2 layer III mono
        { frame_header(0, 1, 1, 2, 2), AUDIO_TAG_MPEG_LAYER3, 8000, 8000, 2 }, // MPEG-2.5
    };
    for (const Case& c : cases) {
        info = new_media_info();
        ASSERT_EQ(probe(audio(c.header, 48000)), 1);
        EXPECT_EQ(info.status, S_OK);
        EXPECT_EQ(info.audio_tag, c.audio_tag);
        EXPECT_EQ(info.audio_bit_rate, c.bit_rate);
        EXPECT_EQ(info.sample_rate, c.sample_rate);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.duration, 48000 / (c.bit_rate / 8));
    }
}

TEST_F(MpegAudioProbeTest, FreeFormatHasNoBitRateAndNoDuration)
{
    ASSERT_EQ(probe(audio(frame_header(3, 1, 0, 0), 100'000)), 1);
    EXPECT_EQ(info.status, S_OK);
    EXPECT_EQ(info.audio_bit_rate, 0);
    EXPECT_EQ(info.duration, 0);
    EXPECT_EQ(info.sample_rate, 44100);
}

// Reserved header values lie outside the tables: the file is claimed but not understood, and the
// tags read before the header stay.
TEST_F(MpegAudioProbeTest, ReservedHeaderValuesStoreFailure)
{
    const Bytes tag = id3_tag(3, id3_frame(3, "TIT2", latin1_text("kept")));
    struct Case {
        const char* name;
        Bytes header;
    } cases[] = {
        { "version 01", frame_header(1, 1, 9, 0) },
        // Layer 00 with version bits 1x is an ADTS header; with the others it is reserved.
        { "layer 00", frame_header(0, 0, 9, 0) },
        { "bit-rate index 15", frame_header(3, 1, 15, 0) },
        { "sampling index 3", frame_header(3, 1, 9, 3) },
        { "ADTS sampling index 13", adts_frame(13, 2, 300) },
        { "ADTS sampling index 15", adts_frame(15, 2, 300) },
    };
    for (const Case& c : cases) {
        info = new_media_info();
        ASSERT_EQ(probe(tag + audio(c.header, 4096)), 1) << c.name;
        EXPECT_EQ(info.status, E_FAIL) << c.name;
        EXPECT_EQ(info.format, MEDIA_NONE) << c.name;
        EXPECT_EQ(info.sample_rate, 0) << c.name;
        EXPECT_EQ(slot_text(TAG_TITLE), u"kept") << c.name;
    }
}

// --- ADTS -----------------------------------------------------------------------------------------

TEST_F(MpegAudioProbeTest, AdtsBitRateIsAveragedOverTheFirst500Frames)
{
    // 500 frames of 400 bytes and 2 blocks, then larger frames that must not count.
    Bytes stream;
    for (int i = 0; i < 500; ++i)
        stream += adts_frame(4, 2, 400, 2);
    for (int i = 0; i < 20; ++i)
        stream += adts_frame(4, 2, 2000, 1);
    ASSERT_EQ(probe(stream), 1);
    EXPECT_EQ(info.status, S_OK);
    EXPECT_EQ(info.format, MEDIA_MP3);
    EXPECT_EQ(info.audio_tag, AUDIO_TAG_AAC);
    EXPECT_EQ(info.sample_rate, 44100);
    EXPECT_EQ(info.channels, 2);
    const int32_t bit_rate = 44100 * 400 * 8 / 2 / 1024;
    EXPECT_EQ(info.audio_bit_rate, bit_rate);
    EXPECT_EQ(info.duration, int32_t(stream.size() / (bit_rate / 8)));
}

TEST_F(MpegAudioProbeTest, AdtsRatesAndChannelsCoverTheirWholeTables)
{
    struct Case {
        int frequency_index, channel_configuration;
        uint32_t frame_length;
        int32_t sample_rate, channels, bit_rate;
    } cases[] = {
        // 96 kHz with the largest frames: the arithmetic needs more than 32 bits.
        { 0, 1, 8191, 96000, 1, int32_t(96000LL * 8191 * 8 / 1024) },
        { 12, 7, 300, 7350, 8, 7350 * 300 * 8 / 1024 },
        { 3, 6, 500, 48000, 6, 48000 * 500 * 8 / 1024 },
        { 11, 0, 200, 8000, 0, 8000 * 200 * 8 / 1024 },
    };
    for (const Case& c : cases) {
        info = new_media_info();
        Bytes stream;
        while (stream.size() < 600'000)
            stream += adts_frame(c.frequency_index, c.channel_configuration, c.frame_length);
        ASSERT_EQ(probe(stream), 1);
        EXPECT_EQ(info.status, S_OK);
        EXPECT_EQ(info.sample_rate, c.sample_rate);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.audio_bit_rate, c.bit_rate);
    }
}

TEST_F(MpegAudioProbeTest, AdtsWalkStopsAtTheFirstFrameThatIsNot)
{
    struct Case {
        const char* name;
        Bytes stream;
        int32_t bit_rate;
    } cases[] = {
        // Only the first frame counts; the junk after it ends the walk.
        { "junk after one frame", adts_frame(4, 2, 1024) + Bytes(4000, 'j'), 44100 * 8 },
        // A frame length of 10 or less counts nothing, so there is no bit rate.
        { "too short a first frame", adts_frame(4, 2, 10) + Bytes(4000, '\0'), 0 },
        // The stream ends inside its last frame.
        { "cut inside a frame", (adts_frame(4, 2, 700) + adts_frame(4, 2, 700)).substr(0, 1100), 44100 * 8 * 1400 / 2 / 1024 },
    };
    for (const Case& c : cases) {
        info = new_media_info();
        ASSERT_EQ(probe(c.stream), 1) << c.name;
        EXPECT_EQ(info.status, S_OK) << c.name;
        EXPECT_EQ(info.audio_bit_rate, c.bit_rate) << c.name;
        if (c.bit_rate == 0) {
            EXPECT_EQ(info.duration, 0) << c.name;
        }
    }
}

// --- ID3v2 ----------------------------------------------------------------------------------------

TEST_F(MpegAudioProbeTest, Id3v2VersionsEachReadTheirFrameLayout)
{
    // A frame of more than 127 bytes before the texts: its size reads differently as syncsafe.
    const Bytes large = Bytes(1, '\0') + Bytes(300, 'z');
    for (int major : { 2, 3, 4 }) {
        bool old = major == 2;
        Bytes frames = id3_frame(major, old ? "COM" : "COMM", large) + id3_frame(major, old ? "TT2" : "TIT2", latin1_text("Title"))
            + id3_frame(major, old ? "TP1" : "TPE1", latin1_text("Artist")) + id3_frame(major, old ? "TAL" : "TALB", latin1_text("Album"))
            + id3_frame(major, old ? "TRK" : "TRCK", latin1_text("4/12")) + id3_frame(major, old ? "TCO" : "TCON", latin1_text("(13)Pop"));
        info = new_media_info();
        ASSERT_EQ(probe(id3_tag(major, frames) + audio(mpeg1_layer3_128k, 2048)), 1) << major;
        EXPECT_EQ(slot_text(TAG_TITLE), u"Title") << major;
        EXPECT_EQ(slot_text(TAG_ARTIST), u"Artist") << major;
        EXPECT_EQ(slot_text(TAG_ALBUM), u"Album") << major;
        EXPECT_EQ(slot_text(TAG_TRACK), u"4/12") << major;
        EXPECT_EQ(slot_text(TAG_GENRE), u"(13)Pop") << major;
        EXPECT_EQ(info.genre_index, 13) << major;
        for (int present : info.tag_present)
            EXPECT_EQ(present, 1) << major;
    }
}

TEST_F(MpegAudioProbeTest, ExtendedHeaderIsSkipped)
{
    struct Case {
        int major;
        Bytes extended;
    } cases[] = {
        { 3, be32(6) + Bytes(6, '\0') }, // its size counts neither itself nor the size field
        { 4, syncsafe32(6) + Bytes { 1, 0 } }, // its size counts itself
    };
    for (const Case& c : cases) {
        info = new_media_info();
        Bytes tag = id3_tag(c.major, c.extended + id3_frame(c.major, "TIT2", latin1_text("After")), 0x40);
        ASSERT_EQ(probe(tag + audio(mpeg1_layer3_128k, 2048)), 1);
        EXPECT_EQ(slot_text(TAG_TITLE), u"After") << c.major;
    }
}

TEST_F(MpegAudioProbeTest, TextEncodingsBecomeUtf16)
{
    device->component<CodePages>().set_ansi_code_page(950);
    struct Case {
        const char* name;
        Bytes content;
        std::u16string text;
    } cases[] = {
        { "code page 950", Bytes("\0\xAA\x46\xA8\xCA", 5), u"東京" },
        { "UTF-16 little-endian mark", Bytes("\1\xFF\xFE\x71\x67\xAC\x4E\0\0", 9), u"東京" },
        { "UTF-16 big-endian mark", Bytes("\1\xFE\xFF\x67\x71\x4E\xAC", 7), u"東京" },
        { "UTF-16 big-endian", Bytes("\2\x67\x71\x4E\xAC", 5), u"東京" },
        { "UTF-8", "\3" + std::string("東京"), u"東京" },
        { "UTF-8 with a character of two units", "\3" + std::string("a😀"), u"a😀" },
    };
    for (const Case& c : cases) {
        info = new_media_info();
        ASSERT_EQ(probe(id3_tag(3, id3_frame(3, "TIT2", c.content)) + audio(mpeg1_layer3_128k, 2048)), 1) << c.name;
        EXPECT_EQ(slot_text(TAG_TITLE), c.text) << c.name;
        EXPECT_EQ(info.tag_present[TAG_TITLE], 1) << c.name;
    }
}

TEST_F(MpegAudioProbeTest, LongTextsKeep127CharactersAndTheWalkGoesOn)
{
    std::string utf16 = "\1\xFF\xFE";
    for (int i = 0; i < 200; ++i)
        utf16 += std::string { char('a' + i % 26), 0 };
    Bytes frames = id3_frame(3, "TIT2", utf16) + id3_frame(3, "TALB", latin1_text(std::string(300, 'b')))
        + id3_frame(3, "TPE1", latin1_text("next"));
    ASSERT_EQ(probe(id3_tag(3, frames) + audio(mpeg1_layer3_128k, 2048)), 1);
    std::u16string title = slot_text(TAG_TITLE);
    ASSERT_EQ(title.size(), 127u);
    EXPECT_EQ(title.substr(0, 3), u"abc");
    EXPECT_EQ(slot_text(TAG_ALBUM), std::u16string(127, u'b'));
    EXPECT_EQ(info.tags[TAG_ALBUM][127], 0);
    EXPECT_EQ(slot_text(TAG_ARTIST), u"next");
}

TEST_F(MpegAudioProbeTest, FramesAreTakenInOrderWithinTheirBounds)
{
    struct Case {
        const char* name;
        Bytes frames;
        std::u16string title, artist;
    } cases[] = {
        { "a frame found twice: the later wins",
            id3_frame(3, "TIT2", latin1_text("first")) + id3_frame(3, "TIT2", latin1_text("second")), u"second", u"" },
        { "an empty frame is skipped", id3_frame(3, "TIT2", "") + id3_frame(3, "TPE1", latin1_text("a")), u"", u"a" },
        { "an empty text clears the flag", id3_frame(3, "TIT2", latin1_text("")), u"", u"" },
        // A size that reaches beyond the tag ends the walk without reading the frame.
        { "a frame beyond the tag", id3_frame(3, "TPE1", latin1_text("a")) + "TIT2" + be32(5000) + Bytes(2, '\0') + latin1_text("beyond"),
            u"", u"a" },
        { "padding ends the walk", id3_frame(3, "TPE1", latin1_text("a")) + Bytes(10, '\0') + id3_frame(3, "TIT2", latin1_text("after")),
            u"", u"a" },
    };
    for (const Case& c : cases) {
        info = new_media_info();
        ASSERT_EQ(probe(id3_tag(3, c.frames) + audio(mpeg1_layer3_128k, 2048)), 1) << c.name;
        EXPECT_EQ(slot_text(TAG_TITLE), c.title) << c.name;
        EXPECT_EQ(slot_text(TAG_ARTIST), c.artist) << c.name;
        EXPECT_EQ(info.tag_present[TAG_TITLE], c.title.empty() ? 0 : 1) << c.name;
        EXPECT_EQ(info.status, S_OK) << c.name;
    }
}

TEST_F(MpegAudioProbeTest, GenreNumberInParentheses)
{
    struct Case {
        const char* text;
        int32_t index, present;
    } cases[] = {
        { "(13)", 13, 1 },
        { "Rock (0)", 0, 1 },
        { "(254)", 254, 1 },
        { "(255)", -1, 0 },
        { "(1234)", -1, 1 },
        { "(1a)", -1, 1 },
        { "()", -1, 1 },
        { "(13", -1, 1 },
        { "Rock", -1, 1 },
    };
    for (const Case& c : cases) {
        info = new_media_info();
        ASSERT_EQ(probe(id3_tag(3, id3_frame(3, "TCON", latin1_text(c.text))) + audio(mpeg1_layer3_128k, 2048)), 1) << c.text;
        EXPECT_EQ(info.genre_index, c.index) << c.text;
        EXPECT_EQ(info.tag_present[TAG_GENRE], c.present) << c.text;
    }
}

// --- ID3v1 ----------------------------------------------------------------------------------------

TEST_F(MpegAudioProbeTest, Id3v1FillsOnlyWhatId3v2Left)
{
    Bytes tag = id3_tag(3, id3_frame(3, "TIT2", latin1_text("new title")));
    Bytes file = tag + audio(mpeg1_layer3_128k, 4096) + id3v1_tag("old title", "old artist", "old album", 17);
    ASSERT_EQ(probe(file), 1);
    EXPECT_EQ(slot_text(TAG_TITLE), u"new title");
    EXPECT_EQ(slot_text(TAG_ARTIST), u"old artist");
    EXPECT_EQ(slot_text(TAG_ALBUM), u"old album");
    EXPECT_EQ(info.genre_index, 17);
    EXPECT_EQ(info.tag_present[TAG_GENRE], 1);
    EXPECT_EQ(slot_text(TAG_GENRE), u"");
    EXPECT_EQ(info.tag_present[TAG_TRACK], 0);
}

TEST_F(MpegAudioProbeTest, Id3v1FieldsFillTheirWholeWidth)
{
    device->component<CodePages>().set_ansi_code_page(950);
    Bytes full_title(30, 't');
    ASSERT_EQ(probe(audio(mpeg1_layer3_128k, 4096) + id3v1_tag(full_title, "\xAA\x46\xA8\xCA", "", 255)), 1);
    EXPECT_EQ(slot_text(TAG_TITLE), std::u16string(30, u't'));
    EXPECT_EQ(slot_text(TAG_ARTIST), u"東京");
    EXPECT_EQ(info.tag_present[TAG_ALBUM], 0);
    EXPECT_EQ(info.tag_present[TAG_GENRE], 0);
    EXPECT_EQ(info.genre_index, -1);
}

// --- Damaged and hostile files --------------------------------------------------------------------

TEST_F(MpegAudioProbeTest, HostileTagsEndTheWalkInsideTheTag)
{
    struct Case {
        const char* name;
        Bytes tag;
    } cases[] = {
        { "frame size of all ones", id3_tag(3, "TIT2" + be32(0xFFFFFFFF) + Bytes(2, '\0') + latin1_text("x")) },
        { "frame header cut by the tag's end", id3_tag(3, "TIT2" + be32(1), 0, 0) },
        { "extended header larger than the tag", id3_tag(3, be32(0x7FFFFFF0) + id3_frame(3, "TIT2", latin1_text("x")), 0x40) },
        { "extended header cut", id3_tag(4, Bytes(2, '\0'), 0x40, 0) },
        { "compressed version 2.2", id3_tag(2, id3_frame(2, "TT2", latin1_text("x")), 0x40) },
        { "UTF-16 of one byte", id3_tag(3, id3_frame(3, "TIT2", "\1\xFF")) },
        { "UTF-16 of half a character", id3_tag(3, id3_frame(3, "TIT2", "\2a")) },
    };
    for (const Case& c : cases) {
        info = new_media_info();
        ASSERT_EQ(probe(c.tag + audio(mpeg1_layer3_128k, 2048)), 1) << c.name;
        EXPECT_EQ(info.status, S_OK) << c.name;
        EXPECT_EQ(info.tag_present[TAG_TITLE], 0) << c.name;
    }
}

// --- Files made by Debian's encoders, read as ffprobe, mediainfo and exiftool read them --------

// The fields the reference tools read from one media file.
std::map<std::string, std::string> references(const std::string& media)
{
    std::map<std::string, std::string> fields;
    std::ifstream file(std::string(MPEG_AUDIO_MEDIA) + "/" + media + ".ref");
    EXPECT_TRUE(file) << media;
    std::string line;
    while (std::getline(file, line)) {
        size_t equals = line.find('=');
        if (equals != line.npos && equals + 1 < line.size())
            fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return fields;
}

Bytes media_bytes(const std::string& media)
{
    std::ifstream file(std::string(MPEG_AUDIO_MEDIA) + "/" + media, std::ios::binary);
    EXPECT_TRUE(file) << media;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

int64_t number(const std::map<std::string, std::string>& fields, const std::string& key)
{
    auto found = fields.find(key);
    EXPECT_NE(found, fields.end()) << key;
    return found == fields.end() ? -1 : std::llround(std::stod(found->second));
}

TEST_F(MpegAudioProbeTest, EncodedFilesMatchTheReferenceTools)
{
    struct Case {
        const char* media;
        int32_t audio_tag;
        // Averaged bit rates are estimates that differ a little between tools; 0 means exact.
        double bit_rate_tolerance;
        bool mediainfo_rate_and_length; // mediainfo gives none for raw ADTS
    } cases[] = {
        { "cbr128.mp3", AUDIO_TAG_MPEG_LAYER3, 0, true },
        { "cbr320.mp3", AUDIO_TAG_MPEG_LAYER3, 0, true },
        { "mono22.mp3", AUDIO_TAG_MPEG_LAYER3, 0, true },
        { "vbr.mp3", AUDIO_TAG_MPEG_LAYER3, 0.04, true },
        { "layer2.mp2", AUDIO_TAG_MPEG, 0, true },
        { "adts.aac", AUDIO_TAG_AAC, 0.02, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.media);
        info = new_media_info();
        auto reference = references(c.media);
        ASSERT_EQ(probe(media_bytes(c.media)), 1);
        EXPECT_EQ(info.status, S_OK);
        EXPECT_EQ(info.format, MEDIA_MP3);
        EXPECT_EQ(info.audio_tag, c.audio_tag);
        EXPECT_EQ(info.sample_rate, number(reference, "ffprobe.sample_rate"));
        EXPECT_EQ(info.sample_rate, number(reference, "mediainfo.sample_rate"));
        EXPECT_EQ(info.channels, number(reference, "ffprobe.channels"));
        EXPECT_EQ(info.channels, number(reference, "mediainfo.channels"));
        std::vector<int64_t> bit_rates { number(reference, "ffprobe.bit_rate") };
        if (c.mediainfo_rate_and_length)
            bit_rates.push_back(number(reference, "mediainfo.bit_rate"));
        for (int64_t bit_rate : bit_rates)
            EXPECT_LE(std::abs(info.audio_bit_rate - bit_rate), int64_t(bit_rate * c.bit_rate_tolerance)) << bit_rate;
        // Whole seconds, cut; the files last half a second past a whole one, so the first frame
        // (an "Info" frame taken as audio) and the tags never reach the next.
        EXPECT_EQ(info.duration, int32_t(std::stod(reference.at("ffprobe.format_duration"))));
        if (c.mediainfo_rate_and_length) {
            EXPECT_EQ(info.duration, number(reference, "mediainfo.duration_ms") / 1000);
        }
    }
}

TEST_F(MpegAudioProbeTest, TaggedFilesReadAsExiftoolReadsThem)
{
    const std::map<std::string, int32_t> genre_numbers { { "Pop", 13 }, { "Rock", 17 } };
    constexpr struct {
        const char* field;
        MediaTagSlot slot;
    } slots[] = { { "Title", TAG_TITLE }, { "Artist", TAG_ARTIST }, { "Album", TAG_ALBUM }, { "Track", TAG_TRACK } };
    for (const char* media : { "tags-v23-utf16.mp3", "tags-v24-large.mp3", "tags-v1.mp3", "tags-genre.mp3" }) {
        SCOPED_TRACE(media);
        info = new_media_info();
        auto reference = references(media);
        ASSERT_EQ(probe(media_bytes(media)), 1);
        EXPECT_EQ(info.status, S_OK);
        for (const auto& slot : slots) {
            auto found = reference.find(std::string("exiftool.") + slot.field);
            std::u16string expected = found == reference.end() ? u"" : from_utf8(found->second);
            EXPECT_EQ(slot_text(slot.slot), expected) << slot.field;
            EXPECT_EQ(info.tag_present[slot.slot], expected.empty() ? 0 : 1) << slot.field;
        }
        auto genre = reference.find("exiftool.Genre");
        EXPECT_EQ(info.genre_index, genre == reference.end() ? -1 : genre_numbers.at(genre->second));
    }
}

} // namespace
