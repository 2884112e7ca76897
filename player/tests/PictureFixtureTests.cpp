// Pictures written by ImageMagick and cjpeg when the tests run (make-image-fixtures.sh): the
// probe must read each one's width, height and depth as exiftool does.

#include "MediaInformation.h"
#include "PlayerTest.h"

#include <fstream>
#include <array>
#include <map>
#include <sstream>

using namespace player_test;
using namespace media_information;

namespace {

struct Reference {
    std::string format;
    int32_t width = 0, height = 0, depth = 0;
};

std::map<std::string, Reference> read_references()
{
    std::map<std::string, Reference> references;
    std::ifstream list(std::string(PICTURE_FIXTURES) + "/expected.txt");
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string name;
        Reference reference;
        if (fields >> name >> reference.format >> reference.width >> reference.height >> reference.depth)
            references[name] = reference;
    }
    return references;
}

std::string host_bytes(const std::string& name)
{
    std::ifstream file(std::string(PICTURE_FIXTURES) + "/" + name, std::ios::binary);
    return { std::istreambuf_iterator<char>(file), {} };
}

} // namespace

using PictureFixtures = PlayerTest;

TEST_F(PictureFixtures, AgreeWithExiftool)
{
    const auto references = read_references();
    const char* expected_names[] = {
        "baseline.jpg", "progressive.jpg", "grey.jpg", "grey-source.jpg", "exif-jfif.jpg", "cmyk.jpg",
        "gif87a.gif", "gif89a.gif",
        "bmp1.bmp", "bmp4.bmp", "bmp8.bmp", "bmp16.bmp", "bmp24.bmp", "bmp32.bmp",
        "png1.png", "png8.png", "png16.png",
    };
    for (const char* name : expected_names)
        EXPECT_TRUE(references.contains(name)) << name << " was not made";

    for (const auto& [name, reference] : references) {
        SCOPED_TRACE(name);
        std::string bytes = host_bytes(name);
        ASSERT_FALSE(bytes.empty());
        write(u"\\SDMMC\\picture", bytes);

        _tag_PHOTO_INFO photo {};
        EXPECT_EQ(GetPhotoInfo(&photo, u"\\SDMMC\\picture"), 0);
        EXPECT_EQ(std::u16string(photo.type), std::u16string(reference.format.begin(), reference.format.end()));
        EXPECT_EQ(photo.width, reference.width);
        EXPECT_EQ(photo.height, reference.height);
        EXPECT_EQ(photo.bit_depth, reference.depth);

        // The whole chain stops at the picture probe with the same reading.
        _tag_MEDIA_INFO info = probe(u"\\SDMMC\\picture");
        EXPECT_EQ(info.status, S_OK);
        EXPECT_EQ(info.file_size, int64_t(bytes.size()));
        EXPECT_EQ((std::array { info.image_width, info.image_height, info.image_bit_depth }),
            (std::array { reference.width, reference.height, reference.depth }));
    }
}
