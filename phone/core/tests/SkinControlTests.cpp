// Picture lists and toggle buttons over Skinkit.

#include "PhoneCoreTest.h"

#include "SkinControls.h"

using namespace phone::test;

namespace {

constexpr const char* pictures_ini = "[PowerStatusPic]\nPicName=Test\\power.bmp\nrect=400,4,472,28\nPicCount=4\n"
                                     "[Bare]\n"
                                     "[Toggle_layout]\ncount=1\nButton1=mute\n"
                                     "[mute]\nname=Mute\nrect=0,0,110,40\nPic=PhoneManager\\button.bmp\nValues=2\nText=Mute\n";

class SkinControlTest : public PhoneCoreTest {
protected:
    SkinControlTest()
    {
        CreateDirectory((std::u16string(kivo::phone_skin_folder) + u"Test").c_str(), nullptr);
        write_skin_file(u"Test\\controls.ini", pictures_ini);
        write_picture(u"Test\\power.bmp", 288, 24, [](kivo::BitmapCanvas& canvas) { canvas.fill(kivo::BitmapCanvas::Palette::ok); });
    }

    static std::u16string file() { return std::u16string(kivo::phone_skin_folder) + u"Test\\controls.ini"; }
};

} // namespace

TEST_F(SkinControlTest, APictureListTakesEachSectionsPictureInTurn)
{
    std::vector<SkinPicture> list;
    std::vector<int> indexes;
    bool loaded = false;
    bool bareLoaded = true;
    start([&] {
        CBitmap power;
        CBitmap bare;
        indexes.push_back(LoadPictureList(list, u"PowerStatusPic", file().c_str(), &power));
        indexes.push_back(LoadPictureList(list, u"Bare", file().c_str(), &bare));
        loaded = power.GetSafeHandle() != nullptr;
        bareLoaded = bare.GetSafeHandle() != nullptr;
    });
    EXPECT_EQ(indexes, (std::vector<int> { 0, 1 }));
    ASSERT_EQ(list.size(), 2u);
    const SkinPicture& power = list[0];
    EXPECT_EQ(power.reserved, 0);
    EXPECT_EQ(std::u16string(power.picName), u"Test\\power.bmp");
    EXPECT_EQ(power.picCount, 4);
    EXPECT_EQ(power.rect.left, 400);
    EXPECT_EQ(power.rect.bottom, 28);
    EXPECT_EQ(power.bitmap.width, 288);
    EXPECT_EQ(power.bitmap.height, 24);
    EXPECT_NE(power.bitmap.token, 0u);
    EXPECT_TRUE(loaded);
    // A section without keys gives a cleared entry and no picture.
    const SkinPicture& bareEntry = list[1];
    EXPECT_EQ(bareEntry.picName[0], u'\0');
    EXPECT_EQ(bareEntry.picCount, 0);
    EXPECT_EQ(bareEntry.rect.right, 0);
    EXPECT_EQ(bareEntry.bitmap.token, 0u);
    EXPECT_FALSE(bareLoaded);
}

TEST_F(SkinControlTest, AToggleButtonTakesTheCaptionOfItsNewValue)
{
    std::vector<std::pair<std::u16string, int>> seen;
    start([&] {
        CLayout layout;
        ASSERT_TRUE(layout.InitLayout(file().c_str(), u"Toggle_layout", nullptr));
        CLayoutBtn* mute = layout.FindButtonByName(u"Mute");
        ASSERT_NE(mute, nullptr);
        auto look = [&] { seen.emplace_back(mute->GetCaption(), mute->m_nValue); };
        SetToggleButton(nullptr, 1, 14101, 14100);
        SetToggleButton(mute, 0, 14101, 14100); // the value it has: nothing changes
        look();
        SetToggleButton(mute, 1, 14101, 14100);
        look();
        SetToggleButton(mute, 0, 14101, 14100);
        look();
    });
    EXPECT_EQ(seen, (std::vector<std::pair<std::u16string, int>> { { u"Mute", 0 }, { u"Retry", 1 }, { u"Cancel", 0 } }));
}
