#include "SupportTest.h"

#include "BacklightDriver.h"
#include "CParmFileRW.h"
#include "CSettingHolder.h"
#include "SoundDevice.h"

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr uint32_t sound_ms = 300;

class SettingHolderTest : public SupportTest {
protected:
    SettingHolderTest()
    {
        CreateDirectory(u"\\NAND\\app", nullptr);
        write_file(u"\\NAND\\app\\Sound.wav", wave_of(sound_ms));
    }

    void write_settings(SettingRecord record)
    {
        CParmFileRW file;
        ASSERT_EQ(file.Write(SETTING_FILE_NAME, &record, sizeof(record)), 0);
    }

    size_t clicks_played() { return device->component<SoundDevice>().sounds().size(); }
};

TEST_F(SettingHolderTest, ReadsTheFileAndFallsBackToTheDefaultsWithoutWriting)
{
    {
        CSettingHolder holder;
        EXPECT_EQ(holder.m_setting[0], 3);
        EXPECT_EQ(holder.m_setting[1], 1);
        EXPECT_EQ(holder.m_setting[3], 1);
        EXPECT_EQ(holder.m_setting[6], 0);
    }
    EXPECT_EQ(GetFileAttributes(u"\\NAND\\SETTING.PAR"), INVALID_FILE_ATTRIBUTES);

    write_settings({ { 5, 4, 0, 2, 3, 1, 1 } });
    CSettingHolder holder;
    EXPECT_EQ(holder.m_setting[0], 5);
    EXPECT_EQ(holder.m_setting[3], 2);

    // A damaged file later leaves the record as it was rather than the file's bytes.
    write_file(u"\\NAND\\SETTING.PAR", std::string(44, '\x7f'));
    EXPECT_EQ(holder.ReadSetting(), -1);
    EXPECT_EQ(holder.m_setting[0], 5);
    EXPECT_EQ(holder.m_setting[6], 1);
}

TEST_F(SettingHolderTest, EachClickPlaysTheSoundOnceAndNeverWhenOff)
{
    write_settings({ { 3, 1, 1, 2, 0, 0, 0 } });
    CSettingHolder holder;
    holder.Click();
    device->advance(1000);
    holder.Click();
    // Asked for while the first of these plays: merged into it.
    holder.Click();
    device->advance(100);
    holder.Click();
    device->advance(1000);
    auto sounds = device->component<SoundDevice>().sounds();
    ASSERT_EQ(sounds.size(), 2u);
    for (auto& sound : sounds) {
        EXPECT_EQ(sound.file, u"\\NAND\\app\\Sound.wav");
        EXPECT_TRUE(sound.synchronous);
    }

    holder.m_setting[3] = 0;
    holder.Click();
    holder.ClickWithBacklight();
    device->advance(1000);
    EXPECT_EQ(clicks_played(), 2u);
}

TEST_F(SettingHolderTest, ClickWithBacklightRestartsTheBacklightTimer)
{
    CSettingHolder holder;
    holder.ClickWithBacklight();
    auto calls = device->component<BacklightDriver>().calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, 0x223494u);
    EXPECT_EQ(calls[0].value, 1u);
    device->advance(1000);
    EXPECT_EQ(clicks_played(), 1u);
}

TEST_F(SettingHolderTest, DestructionWaitsForTheClickThreadAndItsSound)
{
    auto holder = std::make_unique<CSettingHolder>();
    device->advance(50);
    uint64_t start = device->clock().now_ms();
    holder.reset();
    uint64_t idle_wait = device->clock().now_ms() - start;
    EXPECT_LE(idle_wait, 200u);

    holder = std::make_unique<CSettingHolder>();
    device->advance(10);
    holder->Click();
    start = device->clock().now_ms();
    holder.reset();
    uint64_t click_wait = device->clock().now_ms() - start;
    EXPECT_EQ(clicks_played(), 1u);
    EXPECT_GE(click_wait, sound_ms);
    EXPECT_LE(click_wait, 200u + sound_ms);
}

} // namespace
