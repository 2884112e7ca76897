#include "PlayerTest.h"

#include "image/ImageProbe.h"

using namespace player_test;

namespace {

// What the image probe alone answers for a device file.
int probe_image(std::u16string_view path, _tag_MEDIA_INFO& info)
{
    HANDLE file = CreateFile(std::u16string(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    int claimed = ProbeImage(info, file);
    CloseHandle(file);
    return claimed;
}

struct PictureCase {
    const char* name;
    std::string bytes;
    HRESULT status;
    int32_t format;
    int32_t width, height, depth;
};

void expect_picture(const _tag_MEDIA_INFO& info, const PictureCase& expected)
{
    EXPECT_EQ(info.status, expected.status);
    EXPECT_EQ(info.format, expected.format);
    EXPECT_EQ(info.image_width, expected.width);
    EXPECT_EQ(info.image_height, expected.height);
    EXPECT_EQ(info.image_bit_depth, expected.depth);
    EXPECT_EQ(info.file_size, int64_t(expected.bytes.size()));
}

} // namespace

using ProbeChain = PlayerTest;

// The image probe reads the first 64 bytes: a file one byte shorter is left to the other probes.
TEST_F(ProbeChain, APictureNeedsSixtyFourBytes)
{
    write(u"\\NAND\\short.gif", gif_head(40, 30).substr(0, 63));
    write(u"\\NAND\\full.gif", gif_head(40, 30));

    HRESULT opened = E_FAIL;
    _tag_MEDIA_INFO info = probe(u"\\NAND\\short.gif", &opened);
    EXPECT_EQ(opened, S_OK);
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.format, MEDIA_NONE);
    EXPECT_EQ(info.file_size, 0);

    expect_picture(probe(u"\\NAND\\full.gif"), { "", gif_head(40, 30), S_OK, MEDIA_GIF, 40, 30, 8 });
}

// Below 256 bytes only a picture can be claimed; the other formats' signatures pass unclaimed.
TEST_F(ProbeChain, AFileOf255BytesIsOnlyForThePictureProbe)
{
    const std::string others[] = {
        "RIFF" + le32(247) + "AVI LIST",
        "RIFF" + le32(247) + "WAVEfmt ",
        be32(24) + "ftypisom",
        std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16),
        std::string("OggS\0\x02", 6),
        std::string("\0\0\x01\xBA\x44\0\x04\0\x04\x01", 10),
        "ID3\x03" + std::string(6, '\0') + "\xFF\xFB\x90\x00",
        "fLaC" + std::string(4, '\0'),
        "MAC " + le16(3990),
    };
    for (const std::string& head : others) {
        write(u"\\NAND\\other.bin", padded(head, 255));
        _tag_MEDIA_INFO info = probe(u"\\NAND\\other.bin");
        EXPECT_EQ(info.status, 1) << head;
        EXPECT_EQ(info.format, MEDIA_NONE) << head;
    }
    write(u"\\NAND\\small.png", padded(png_head(3, 2, 8), 255));
    EXPECT_EQ(probe(u"\\NAND\\small.png").format, MEDIA_PNG);
}

// The header fields of GIF, BMP and PNG as the published formats place them; only the picture
// fields, the format and the size are written.
TEST_F(ProbeChain, ReadsTheSizeAndDepthOfGifBmpAndPng)
{
    const PictureCase cases[] = {
        { "any GIF version text", gif_head(0x1234, 0x0102, 0x20, "xyz"), S_OK, MEDIA_GIF, 0x1234, 0x0102, 3 },
        { "bottom-up BMP", bmp_head(640, 480, 24), S_OK, MEDIA_BMP, 640, 480, 24 },
        { "top-down BMP", bmp_head(640, -480, 32), S_OK, MEDIA_BMP, 640, -480, 32 },
        { "PNG", png_head(70000, 3, 16), S_OK, MEDIA_PNG, 70000, 3, 16 },
        { "PNG signature without IHDR", png_head(7, 3, 8, "IDAT"), 1, MEDIA_NONE, 0, 0, 0 },
        { "zero sides are reported as read", bmp_head(0, 0, 8), S_OK, MEDIA_BMP, 0, 0, 8 },
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.name);
        write(u"\\NAND\\picture", c.bytes);
        _tag_MEDIA_INFO info = probe(u"\\NAND\\picture");
        if (c.format == MEDIA_NONE) {
            EXPECT_EQ(info.status, 1);
            EXPECT_EQ(info.format, MEDIA_NONE);
            continue;
        }
        expect_picture(info, c);
        EXPECT_EQ(info.duration, 0);
        EXPECT_EQ(info.width, 0);
        EXPECT_EQ(info.frame_period, 0);
    }
}

// JPEG layouts no encoder writes: the marker walk must find the frame header after any segment
// (a comment first too), past fill bytes, and end with E_FAIL, unclaimed, when the header cannot
// be reached or is cut short; a file whose start of image is followed by no marker holds its
// sizes right after it.
TEST_F(ProbeChain, WalksJpegSegmentsToTheFrameHeader)
{
    const std::string app0 = segment(0xE0, padded("JFIF", 14));
    const std::string tables = segment(0xDB, std::string(65, '\x01'));
    const std::string sof0 = segment(0xC0, frame_body(321, 123, 3));
    const std::string scan = segment(0xDA, std::string(10, '\0')) + std::string(100, '\x55') + end_of_image;
    auto jpeg = [&](const std::string& body) { return padded(start_of_image + body, 64); };
    const PictureCase cases[] = {
        { "baseline", jpeg(app0 + tables + sof0 + scan), S_OK, MEDIA_JPEG, 321, 123, 24 },
        { "comment first", jpeg(segment(0xFE, std::string(300, 'c')) + sof0 + scan), S_OK, MEDIA_JPEG, 321, 123, 24 },
        { "fill bytes", jpeg(app0 + "\xFF\xFF\xFF" + std::string(20, '\xFF') + sof0 + scan), S_OK, MEDIA_JPEG, 321, 123, 24 },
        { "lossless 12-bit grey", jpeg(segment(0xC3, frame_body(9, 7, 1, 12)) + scan), S_OK, MEDIA_JPEG, 9, 7, 12 },
        { "restart marker on the way", jpeg(app0 + "\xFF\xD0" + sof0 + scan), S_OK, MEDIA_JPEG, 321, 123, 24 },
        { "no marker after the start", padded(start_of_image + be16(800) + be16(600) + "\x03", 64), S_OK, MEDIA_JPEG, 800, 600, 24 },
        { "only SOF5", jpeg(app0 + segment(0xC5, frame_body(9, 7, 3)) + scan), E_FAIL, MEDIA_NONE, 0, 0, 0 },
        { "only arithmetic coded", jpeg(app0 + segment(0xC9, frame_body(9, 7, 3)) + scan), E_FAIL, MEDIA_NONE, 0, 0, 0 },
        { "no frame header", jpeg(app0 + tables + scan), E_FAIL, MEDIA_NONE, 0, 0, 0 },
        { "segment length below 2", jpeg(app0 + "\xFF\xE1" + be16(1) + sof0), E_FAIL, MEDIA_NONE, 0, 0, 0 },
        { "frame header too short", jpeg(app0 + "\xFF\xC0" + be16(7) + frame_body(9, 7, 3)), E_FAIL, MEDIA_NONE, 0, 0, 0 },
        { "segment past the end", jpeg(segment(0xE0, std::string(80, 'x')).replace(2, 2, be16(60000))), E_FAIL, MEDIA_NONE, 0, 0, 0 },
        { "frame header cut by the end", start_of_image + segment(0xE0, std::string(52, 'x')) + "\xFF\xC0" + be16(17) + std::string(2, '\x08'), E_FAIL, MEDIA_NONE, 0, 0, 0 },
        { "not a marker", jpeg(app0 + std::string("\xFF\x00", 2) + sof0), E_FAIL, MEDIA_NONE, 0, 0, 0 },
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.name);
        write(u"\\NAND\\photo.jpg", c.bytes);
        _tag_MEDIA_INFO info = new_media_info();
        EXPECT_EQ(probe_image(u"\\NAND\\photo.jpg", info), c.status == S_OK ? 1 : 0);
        expect_picture(info, c);
        // The chain goes on past a JPEG without a frame header, and Open still succeeds.
        HRESULT opened = E_FAIL;
        expect_picture(probe(u"\\NAND\\photo.jpg", &opened), c);
        EXPECT_EQ(opened, S_OK);
    }
}

// The picture-only parser sees pictures the same way and nothing else.
TEST_F(ProbeChain, TheImageParserRunsOnlyThePictureProbe)
{
    write(u"\\NAND\\a.bmp", bmp_head(5, 6, 4));
    _tag_MEDIA_INFO info = probe<CImageParser>(u"\\NAND\\a.bmp");
    EXPECT_EQ(info.format, MEDIA_BMP);
    EXPECT_EQ(info.image_bit_depth, 4);
}

// A file that cannot be opened leaves the record as it was and names the platform's error.
TEST_F(ProbeChain, OpeningAMissingFileGivesTheError)
{
    HRESULT opened = S_OK;
    _tag_MEDIA_INFO info = probe(u"\\NAND\\missing.jpg", &opened);
    EXPECT_EQ(opened, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.format, MEDIA_NONE);
}

// A file of 4 GiB or more keeps only the low 32 bits of its size.
TEST_F(ProbeChain, AHugeFileRecordsTheLowPartOfItsSize)
{
    write_sparse("huge.gif", gif_head(8, 9), (uint64_t(1) << 32) + 100);
    _tag_MEDIA_INFO info = probe(u"\\NAND\\huge.gif");
    EXPECT_EQ(info.format, MEDIA_GIF);
    EXPECT_EQ(info.file_size, 100);
}
