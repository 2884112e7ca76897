#include "SupportTest.h"

#include "CAppUtil.h"

using namespace kivo;
using namespace kivo::test;

namespace {

LPCWSTR const video_types[] = { u"AVI" };

class VideoListingTest : public SupportTest { };

// The video player's own build: too deep gives 0, long folders give 0 before anything is added,
// and the folder's path counts into the entries' limit.
TEST_F(VideoListingTest, LimitsCountTheFolderPath)
{
    CAppUtil util;
    CreateDirectory(u"\\SDMMC\\Video", nullptr);
    CreateDirectory(u"\\SDMMC\\Video\\deep", nullptr);
    std::u16string long_name = std::u16string(236, u'v') + u".avi";
    write_file(u"\\SDMMC\\Video\\" + long_name, "x");
    write_file(u"\\SDMMC\\Video\\clip.avi", "x");

    CStringArray list;
    EXPECT_EQ(util.ListFolderLimited(u"\\SDMMC\\Video", list, video_types, 1, 8, 999), 1);
    std::vector<std::u16string> listed;
    for (INT_PTR i = 0; i < list.GetSize(); ++i)
        listed.push_back(list[i].str());
    EXPECT_EQ(listed, (std::vector<std::u16string> { u"<..>", u"<deep>", u"clip.avi" }));

    CStringArray deep;
    EXPECT_EQ(util.ListFolderLimited(u"\\SDMMC\\Video\\deep\\", deep, video_types, 1, 0, 999), 0);
    EXPECT_EQ(deep.GetSize(), 1);

    std::u16string too_long = u"\\SDMMC\\" + std::u16string(245, u'f');
    CStringArray nothing;
    EXPECT_EQ(util.ListFolderLimited(too_long.c_str(), nothing, video_types, 1, 8, 999), 0);
    EXPECT_EQ(util.ListFiles((too_long + u"\\").c_str(), nothing, video_types, 1), 0);
    EXPECT_EQ(nothing.GetSize(), 0);

    CStringArray files;
    EXPECT_EQ(util.ListFiles(u"\\SDMMC\\Video\\", files, video_types, 1), 1);
}

} // namespace
