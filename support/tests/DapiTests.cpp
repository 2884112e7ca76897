#include "SupportTest.h"

#include "BacklightDriver.h"
#include "BatteryDriver.h"
#include "Board.h"
#include "CRegisterMap.h"
#include "DAPI.h"
#include "FrameBuffer.h"
#include "Process.h"
#include "SystemRequests.h"

#include <functional>

using namespace kivo;
using namespace kivo::test;

namespace {

class DapiTest : public SupportTest {
protected:
    BacklightDriver& backlight = device->component<BacklightDriver>();
    BatteryDriver& battery = device->component<BatteryDriver>();
    Board& board = device->component<Board>();
    FrameBuffer& frame = device->component<FrameBuffer>();
};

TEST_F(DapiTest, BacklightCallsSendTheirCodeAndValue)
{
    struct Case {
        const char* what;
        std::function<void()> call;
        std::vector<std::pair<DWORD, DWORD>> expected;
    };
    const Case cases[] = {
        { "auto-off time", [] { DAPI_SetAutoOffTime(180); }, { { 0x223488, 180 } } },
        { "backlight-off time", [] { DAPI_SetBacklightOffTime(15); }, { { 0x22348C, 15 } } },
        { "auto-off hold", [] { DAPI_EnableAutoOff(0); }, { { 0x223490, 0 } } },
        { "backlight-off hold", [] { DAPI_EnableBacklightOff(1); }, { { 0x223494, 1 } } },
        { "idle holds", [] { DAPI_EnableIdleOff(1); }, { { 0x223494, 1 }, { 0x223490, 1 } } },
        { "percent", [] { DAPI_SetLCDBright(55); }, { { 0x223484, 55 } } },
        { "any code", [] { DAPI_BacklightControl(0x223488, 300); }, { { 0x223488, 300 } } },
        { "level 0", [] { DAPI_SetBrightLevel(0); }, { { 0x223484, 25 } } },
        { "level 3", [] { DAPI_SetBrightLevel(3); }, { { 0x223484, 70 } } },
        { "level 5", [] { DAPI_SetBrightLevel(5); }, { { 0x223484, 100 } } },
        { "level -1", [] { DAPI_SetBrightLevel(-1); }, {} },
        { "level 6", [] { DAPI_SetBrightLevel(6); }, {} },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        size_t before = backlight.calls().size();
        size_t opened = backlight.open_count();
        c.call();
        auto calls = backlight.calls();
        std::vector<std::pair<DWORD, DWORD>> seen;
        for (size_t i = before; i < calls.size(); ++i) {
            seen.emplace_back(calls[i].code, calls[i].value);
            EXPECT_EQ(calls[i].input.size(), 4u);
        }
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(backlight.open_count() - opened, c.expected.size());
    }
    EXPECT_EQ(backlight.state().brightness_percent, 100u);
}

TEST_F(DapiTest, DriverFailuresAreReportedWithTheirText)
{
    backlight.set_open_failure(ERROR_FILE_NOT_FOUND);
    DAPI_SetLCDBright(40);
    DAPI_SetAutoOffTime(60);
    backlight.set_open_failure(0);
    backlight.set_call_failure(0x223484, ERROR_GEN_FAILURE);
    backlight.set_call_failure(0x223488, ERROR_GEN_FAILURE);
    DAPI_SetLCDBright(40);
    DAPI_SetAutoOffTime(60);
    EXPECT_EQ(debug(), (std::vector<std::string> { "1 DAPI_SetLCDBright (inv h!)", "1 DAPI_SetLCDBright (inv h!)", "1 DAPI_SetLCDBright (ioctl!)", "1 DAPI_SetLCDBright (inv h!)" }));
}

TEST_F(DapiTest, BatteryStateComesFromTheDriverAndSixWithoutIt)
{
    battery.set_state(2);
    EXPECT_EQ(DAPI_GetBatteryLevel(), 2);
    auto calls = battery.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, 0x223548u);

    battery.set_call_failure(0x223548, ERROR_GEN_FAILURE);
    EXPECT_EQ(DAPI_GetBatteryLevel(), 6);
    battery.set_call_failure(0x223548, 0);
    battery.set_open_failure(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(DAPI_GetBatteryLevel(), 6);
}

TEST_F(DapiTest, TunerOnAndOffWriteTheRegistersInOrder)
{
    constexpr uint32_t control = 0xF005A040;
    constexpr uint32_t data = 0xF005A0E0;
    board.set_register(control, 0);
    board.set_register(data, 0);
    size_t before = board.writes().size();
    DAPI_SetTunerPower(TRUE);
    EXPECT_TRUE(board.tuner_powered());
    DAPI_SetTunerPower(FALSE);
    EXPECT_FALSE(board.tuner_powered());
    auto writes = board.writes();
    std::vector<std::pair<uint32_t, uint32_t>> trace;
    for (size_t i = before; i < writes.size(); ++i)
        trace.emplace_back(writes[i].address, writes[i].value);
    const std::vector<std::pair<uint32_t, uint32_t>> expected {
        { control, 0 },
        { control, 1u << 12 },
        { data, 1 },
        { data, 0x81 },
        { control, 1u << 12 },
        { control, 0 },
        { data, 0x80 },
        { data, 0 },
    };
    EXPECT_EQ(trace, expected);
}

TEST_F(DapiTest, GeneralPurposeLinesReadAndChange)
{
    DAPI_SetAntenna(1);
    EXPECT_TRUE(board.antenna_external());
    DAPI_SetAntenna(2);
    EXPECT_TRUE(board.antenna_external());
    DAPI_SetAntenna(0);
    EXPECT_FALSE(board.antenna_external());

    board.set_card_inserted(true);
    EXPECT_EQ(DAPI_IsSdCardInserted(), 1);
    board.set_card_inserted(false);
    EXPECT_EQ(DAPI_IsSdCardInserted(), 0);

    board.set_gpio_bit(0xE4, 15, false);
    board.set_tuner_fitted(false);
    mark_debug();
    EXPECT_EQ(DAPI_HasTvTuner(), 0);
    board.set_gpio_bit(0xE4, 15, true);
    EXPECT_EQ(DAPI_HasTvTuner(), 1);
    auto lines = debug();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("++ GPIO[0].GPFDAT=", 0), 0u);
    EXPECT_EQ(lines[1].rfind(" -- GPIO[0].GPFEN=", 0), 0u);

    board.set_gpio_bit(0x80, 31, true);
    DAPI_PreparePowerOff();
    EXPECT_FALSE(board.gpio_bit(0x80, 31));

    mark_debug();
    DAPI_ShutDown();
    EXPECT_TRUE(board.shutdown_requested());
    EXPECT_TRUE(board.gpio_bit(0x44, 3));
    EXPECT_FALSE(board.gpio_bit(0x40, 3));
    EXPECT_EQ(debug(), (std::vector<std::string> { "+DAPI_ShutDown", "-DAPI_ShutDown" }));
}

// Each program maps the three register windows once, however often it asks, and the mapper's
// failure texts land in the output of the program that met them.
TEST_F(DapiTest, EachProgramMapsTheWindowsOnceAndReportsMappingFailuresAsItsOwn)
{
    struct Seen {
        size_t first_init = 0;
        size_t second_init = 0;
        int outside_board = -1;
        int opened_twice = -1;
    };
    const char16_t* images[] = { u"\\NAND\\App\\One.exe", u"\\NAND\\App\\Two.exe" };
    Seen seen[2];
    DWORD ids[2] = {};
    for (int i = 0; i < 2; ++i) {
        device->programs().add(images[i], [this, &seen, i](std::u16string_view) {
            size_t before = board.mapping_count();
            DAPI_Init();
            seen[i].first_init = board.mapping_count() - before;
            DAPI_Init();
            DAPI_SetAntenna(1);
            seen[i].second_init = board.mapping_count() - before;
            cPhysicalAddress nowhere;
            seen[i].outside_board = nowhere.Attach(0x1000, 4);
            seen[i].opened_twice = GetRegisterMap().m_gpio.Open();
            return 0;
        });
        DWORD error = 0;
        auto process = device->create_process(images[i], u"", error);
        ASSERT_TRUE(process) << error;
        ids[i] = process->id();
        device->run_until_idle();
    }
    EXPECT_TRUE(board.antenna_external());
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].first_init, 3u);
        EXPECT_EQ(seen[i].second_init, 3u);
        EXPECT_EQ(seen[i].outside_board, 0);
        EXPECT_EQ(seen[i].opened_twice, 0);
        std::vector<std::string> texts;
        for (auto& line : device->debug_log().lines()) {
            if (line.process_id == ids[i] && line.text.starts_with("[arc]"))
                texts.push_back(line.text);
        }
        EXPECT_EQ(texts, (std::vector<std::string> { "[arc][FAIL]cPhysicalAddress::Open\r\n", "[arc][FAIL]cPhysicalAddress::Already Open\r\n" }));
    }
}

TEST_F(DapiTest, FillsUseRgb565AndStayInsideTheFrameBuffer)
{
    DAPI_FillScreen(RGB(255, 102, 255));
    EXPECT_EQ(frame.pixel(0, 0), 0xFB3F);
    EXPECT_EQ(frame.pixels()[480 * 544 - 1], 0xFB3F);

    RECT whole { 0, 0, 480, 271 };
    DAPI_FillRect(&whole, RGB(0, 0, 0));
    EXPECT_EQ(frame.pixel(479, 271), 0);
    EXPECT_EQ(frame.pixel(0, 272), 0xFB3F);

    RECT empty { 10, 10, 10, 20 };
    DAPI_FillRect(&empty, RGB(255, 255, 255));
    EXPECT_EQ(frame.pixel(10, 10), 0);

    // Past the right edge: each row stops at column 479 and never wraps into the next row.
    RECT wide { 470, 5, 600, 5 };
    DAPI_FillRect(&wide, RGB(255, 255, 255));
    EXPECT_EQ(frame.pixel(479, 5), 0xFFFF);
    EXPECT_EQ(frame.pixel(0, 6), 0);
    EXPECT_EQ(frame.pixel(469, 5), 0);

    // Beyond both pages and before the start: clipped, nothing written outside the buffer.
    RECT outside { -20, -5, 3, 10000 };
    DAPI_FillRect(&outside, 0, 255, 0);
    EXPECT_EQ(frame.pixel(0, 0), 0x07E0);
    EXPECT_EQ(frame.pixels()[480 * 543 + 2], 0x07E0);
    EXPECT_EQ(frame.pixels()[480 * 543 + 3], 0xFB3F);
}

TEST_F(DapiTest, ScreenTapSoundWritesTheValueAndRefreshes)
{
    for (auto [mute, value] : { std::pair { TRUE, DWORD(0) }, std::pair { FALSE, DWORD(0x10002) } }) {
        DAPI_SetScreenTapSound(mute);
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"ControlPanel\\Volume", 0, 0, &key), ERROR_SUCCESS);
        DWORD stored = 0xDEAD;
        DWORD type = 0;
        DWORD size = sizeof(stored);
        EXPECT_EQ(RegQueryValueEx(key, u"Screen", nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size), ERROR_SUCCESS);
        RegCloseKey(key);
        EXPECT_EQ(type, REG_DWORD);
        EXPECT_EQ(stored, value);
        auto refreshes = device->component<SystemRequests>().sound_refreshes();
        ASSERT_FALSE(refreshes.empty());
        EXPECT_EQ(refreshes.back().screen, value);
    }
    EXPECT_TRUE(DAPI_TouchCalibrate());
    EXPECT_EQ(device->component<SystemRequests>().touch_calibrations().size(), 1u);
}

TEST_F(DapiTest, ResetEndsTheRun)
{
    bool returned = false;
    device->programs().add(u"\\Windows\\resetter.exe", [&](std::u16string_view) {
        DAPI_Reset();
        returned = true;
        return 0;
    });
    DWORD error = 0;
    ASSERT_TRUE(device->create_process(u"\\Windows\\resetter.exe", u"", error));
    device->advance(5000);
    EXPECT_FALSE(device->running());
    EXPECT_EQ(device->stop_reason(), StopReason::Reset);
    EXPECT_FALSE(returned);
}

} // namespace
