#include "MediaInformation.h"
#include "PlayerTest.h"

#include <array>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>

using namespace player_test;
using namespace media_information;

namespace {

template <size_t N>
void set_text(WCHAR (&field)[N], std::u16string_view text)
{
    ASSERT_LT(text.size(), N);
    std::copy(text.begin(), text.end(), field);
    field[text.size()] = u'\0';
}

template <size_t N>
std::u16string text_of(const WCHAR (&field)[N])
{
    return std::u16string(field, std::find(field, field + N, u'\0'));
}

} // namespace

TEST(FileNameNoEx, KeepsTheNameWithoutItsLastExtension)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        { u"\\SDMMC\\Music\\song.mp3", u"song" },
        { u"\\SDMMC\\a.b.mp3", u"a.b" },
        { u"\\SDMMC\\no extension", u"no extension" },
        { u"\\SDMMC\\folder.v2\\name", u"name" },
        { u"\\SDMMC\\folder.v2\\name.wma", u"name" },
        { u"\\SDMMC\\.hidden", u"" },
        { u"plain.ogg", u"plain" },
        { u"plain", u"plain" },
        { u"\\SDMMC\\", u"" },
        { u"", u"" },
    };
    for (const auto& [path, name] : cases) {
        WCHAR text[256] = {};
        std::copy(path.begin(), path.end(), text);
        EXPECT_EQ(GetFileNameNoEx(text), 0);
        EXPECT_EQ(std::u16string(text), name) << std::string(path.begin(), path.end());
    }
}

using MediaInformation = PlayerTest;

// Size and the last-write time in the device's local time (UTC+8 here: the evening of 29 February
// is already 1 March there); the duration comes from the loaded graph when the player holds one.
TEST_F(MediaInformation, VideoFileSizeAndLocalDate)
{
    TIME_ZONE_INFORMATION zone {};
    zone.Bias = -480;
    ASSERT_TRUE(SetTimeZoneInformation(&zone));
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\Video", nullptr));
    write(u"\\NAND\\Video\\film.avi", std::string(1234, 'v'));
    auto host = device->component<kivo::Volumes>().host_folder(kivo::VolumeId::Nand) / "Video" / "film.avi";
    // 2024-02-29 20:30:15 UTC.
    const timespec times[2] = { { 1709238615, 0 }, { 1709238615, 0 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, host.c_str(), times, 0), 0);

    _tag_VIDEO_INFO info {};
    set_text(info.folder, u"\\NAND\\Video\\");
    set_text(info.file_name, u"film.avi");
    info.duration = 77;
    EXPECT_EQ(GetVideoInfo_2(&info, std::nullopt), 0);
    EXPECT_EQ(info.duration, 77);
    EXPECT_EQ(info.file_size, 1234u);
    EXPECT_EQ((std::array { info.year, info.month, info.day, info.hour, info.minute, info.second }),
        (std::array<uint16_t, 6> { 2024, 3, 1, 4, 30, 15 }));

    EXPECT_EQ(GetVideoInfo_2(&info, 5400), 0);
    EXPECT_EQ(info.duration, 5400);
}

TEST_F(MediaInformation, AVideoOfFourGibibytesHasSizeZero)
{
    _tag_VIDEO_INFO info {};
    set_text(info.folder, u"\\NAND\\");
    for (uint64_t size : { (uint64_t(1) << 32) - 1, uint64_t(1) << 32, (uint64_t(1) << 32) + 5 }) {
        write_sparse("big.mpg", "", size);
        set_text(info.file_name, u"big.mpg");
        info.file_size = 99;
        EXPECT_EQ(GetVideoInfo_2(&info, std::nullopt), 0);
        EXPECT_EQ(info.file_size, size < (uint64_t(1) << 32) ? uint32_t(size) : 0u) << size;
    }
}

TEST_F(MediaInformation, AMissingVideoGivesMinusOneAfterTheDuration)
{
    _tag_VIDEO_INFO info {};
    set_text(info.folder, u"\\NAND\\");
    set_text(info.file_name, u"gone.avi");
    info.file_size = 7;
    EXPECT_EQ(GetVideoInfo_2(&info, 12), -1);
    EXPECT_EQ(info.duration, 12);
    EXPECT_EQ(info.file_size, 7u);
}

// The stream fields come from a recognised file only. A picture is recognised but has no frame
// period: its frame rate is 0, not infinite.
TEST_F(MediaInformation, VideoStreamFieldsOnlyFromARecognisedFile)
{
    _tag_VIDEO_INFO info {};
    set_text(info.folder, u"\\NAND\\");
    info.width = 11;
    info.height = 22;
    info.frame_rate = 33;
    info.video_bit_rate = 44;

    write(u"\\NAND\\unknown.bin", std::string(4096, 'z'));
    set_text(info.file_name, u"unknown.bin");
    EXPECT_EQ(GetVideoInfo_1(&info), 0);
    EXPECT_EQ(info.width, 11);
    EXPECT_EQ(info.frame_rate, 33);
    set_text(info.file_name, u"missing.avi");
    EXPECT_EQ(GetVideoInfo_1(&info), 0);
    EXPECT_EQ(info.height, 22);
    EXPECT_EQ(info.video_bit_rate, 44);

    write(u"\\NAND\\still.png", png_head(64, 48, 8));
    set_text(info.file_name, u"still.png");
    EXPECT_EQ(GetVideoInfo_1(&info), 0);
    EXPECT_TRUE(std::isfinite(info.frame_rate));
    EXPECT_EQ(info.frame_rate, 0);
    EXPECT_EQ(info.width, 0);
    EXPECT_EQ(info.video_bit_rate, 0);
}

TEST_F(MediaInformation, PhotoTypeSizeAndDepth)
{
    const std::string jpeg = padded(start_of_image + segment(0xC2, frame_body(640, 427, 3)), 64);
    const struct {
        const char* name;
        std::string bytes;
        std::u16string type;
        int result;
        int32_t width, height, depth;
    } cases[] = {
        { "jpeg", jpeg, u"JPG", 0, 640, 427, 24 },
        { "gif", gif_head(100, 50, 0x77), u"GIF", 0, 100, 50, 8 },
        { "bmp", bmp_head(33, 44, 1), u"BMP", 0, 33, 44, 1 },
        { "png", png_head(5, 6, 16), u"PNG", 0, 5, 6, 16 },
        { "top-down bmp", bmp_head(33, -44, 24), u"BMP", 0, 33, -44, 24 },
        { "gif without width", gif_head(0, 50), u"GIF", -1, 0, 0, 0 },
        { "bmp without height", bmp_head(33, 0, 8), u"BMP", -1, 0, 0, 0 },
        { "png without width", png_head(0, 6, 8), u"PNG", -1, 0, 0, 0 },
        { "no picture", std::string(100, 'q'), u"NON", -1, 0, 0, 0 },
        { "jpeg without frame header", padded(start_of_image + segment(0xFE, "x") + end_of_image, 64), u"NON", -1, 0, 0, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write(u"\\NAND\\photo", c.bytes);
        _tag_PHOTO_INFO info {};
        set_text(info.type, u"old");
        info.width = info.height = info.bit_depth = 9;
        EXPECT_EQ(GetPhotoInfo(&info, u"\\NAND\\photo"), c.result);
        EXPECT_EQ(text_of(info.type), c.type);
        EXPECT_EQ((std::array { info.width, info.height, info.bit_depth }), (std::array { c.width, c.height, c.depth }));
    }

    _tag_PHOTO_INFO info {};
    set_text(info.type, u"old");
    EXPECT_EQ(GetPhotoInfo(&info, u"\\NAND\\missing.jpg"), -1);
    EXPECT_EQ(text_of(info.type), u"old");
}

// Without tags (no audio probe claims anything yet) the title is the file name, the artist is
// left as the caller had it, and the player learns that the name stands for the title.
TEST_F(MediaInformation, AnUntaggedSongIsTitledByItsName)
{
    ASSERT_TRUE(CreateDirectory(u"\\SDMMC\\Music", nullptr));
    write(u"\\SDMMC\\Music\\Ballad.of.two.mp3", std::string(4096, '\0'));
    _tag_AUDIO_INFO info {};
    set_text(info.path, u"\\SDMMC\\Music\\Ballad.of.two.mp3");
    set_text(info.artist, u"caller's");
    info.artist_valid = 5;
    int name_as_title = 0;
    EXPECT_EQ(GetAudioInfo(&info, name_as_title), 0);
    EXPECT_EQ(text_of(info.title), u"Ballad.of.two");
    EXPECT_EQ(info.title_valid, 1);
    EXPECT_EQ(info.artist_valid, 0);
    EXPECT_EQ(text_of(info.artist), u"caller's");
    EXPECT_EQ(name_as_title, 1);

    EXPECT_EQ(GetAudioInfo1(&info, name_as_title), 0);
    EXPECT_EQ(text_of(info.title), u"Ballad.of.two");
    EXPECT_EQ(name_as_title, 0);
}

// A name longer than the title field keeps its first 127 characters and a zero; a file that
// cannot be opened is named all the same.
TEST_F(MediaInformation, ALongSongNameIsCutToTheTitleField)
{
    _tag_AUDIO_INFO info {};
    std::u16string name(200, u'n');
    set_text(info.path, u"\\SDMMC\\" + name + u".mp3");
    std::fill(std::begin(info.title), std::end(info.title), u'#');
    int name_as_title = 0;
    EXPECT_EQ(GetAudioInfo(&info, name_as_title), 0);
    EXPECT_EQ(text_of(info.title), name.substr(0, 127));
    EXPECT_EQ(name_as_title, 1);
}
