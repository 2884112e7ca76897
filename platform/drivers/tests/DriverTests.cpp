#include "../../kernel/tests/TestDevice.h"

#include "BacklightDriver.h"
#include "BatteryDriver.h"
#include "BluetoothCardDriver.h"
#include "DiskDriver.h"
#include "KernelApi.h"
#include "Process.h"
#include "StreamDriverTable.h"
#include "StreamDrivers.h"
#include "SyncObjects.h"
#include "SystemRequests.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace kivo;
using namespace kivo::test;

namespace {

class DriverFixture : public ::testing::Test {
protected:
    void SetUp() override { install_stream_drivers(*m_device); }

    // Opens a driver by name as CreateFile does, for the calling process.
    HANDLE open(std::u16string_view name, DWORD& error)
    {
        auto object = m_device->component<StreamDriverTable>().open(name, error);
        return object ? m_device->handles().insert(object, Process::current()) : nullptr;
    }

    HANDLE open(std::u16string_view name)
    {
        DWORD error = 0;
        return open(name, error);
    }

    // One call with a 4-byte value in and a 4-byte answer out; the answer, or the error.
    std::pair<BOOL, DWORD> call(HANDLE driver, DWORD code, DWORD value)
    {
        DWORD answer = 0xDEAD;
        DWORD returned = 0;
        BOOL ok = DeviceIoControl(driver, code, &value, sizeof value, &answer, sizeof answer, &returned, nullptr);
        return { ok, ok ? answer : GetLastError() };
    }

    std::unique_ptr<Device> m_device = make_test_device();
};

std::vector<uint8_t> bytes_of(DWORD value)
{
    return { uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24) };
}

} // namespace

TEST_F(DriverFixture, BacklightRecordsEveryCodeAndKeepsItsState)
{
    auto& backlight = m_device->component<BacklightDriver>();
    HANDLE driver = open(u"bkl1:");
    ASSERT_NE(driver, nullptr);
    struct Case {
        DWORD code;
        DWORD value;
        BOOL ok;
    } cases[] = {
        { 0x223484, 55, TRUE },
        { 0x223488, 180, TRUE },
        { 0x22348C, 30, TRUE },
        { 0x223490, 0, TRUE },
        { 0x223494, 0, TRUE },
        { 0x223484, 101, FALSE },
        { 0x223498, 1, FALSE },
    };
    std::vector<DriverCall> expected;
    for (auto& c : cases) {
        EXPECT_EQ(call(driver, c.code, c.value).first, c.ok) << std::hex << c.code;
        expected.push_back({ c.code, c.value, bytes_of(c.value) });
    }
    EXPECT_EQ(backlight.calls(), expected);
    EXPECT_EQ(backlight.state(), (BacklightDriver::State { 55, 180, 30, false, false }));

    // A value shorter than four bytes is refused, and recorded as received.
    BYTE short_value = 1;
    EXPECT_FALSE(DeviceIoControl(driver, 0x223494, &short_value, 1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(backlight.calls().back(), (DriverCall { 0x223494, 0, { 1 } }));
    EXPECT_FALSE(backlight.state().backlight_off_allowed);
    EXPECT_TRUE(CloseHandle(driver));
}

TEST_F(DriverFixture, BatteryAnswersTheStateTheTestSets)
{
    auto& battery = m_device->component<BatteryDriver>();
    HANDLE driver = open(u"BAT2:");
    ASSERT_NE(driver, nullptr);
    for (DWORD state : { 0u, 2u, 7u }) {
        ASSERT_TRUE(battery.set_state(state));
        EXPECT_EQ(call(driver, 0x223548, 0), std::make_pair(TRUE, state));
    }
    EXPECT_FALSE(battery.set_state(8));
    EXPECT_EQ(battery.state(), 7u);
    battery.set_phone_link_answer(6);
    EXPECT_EQ(call(driver, 0x223610, 0x1234), std::make_pair(TRUE, DWORD(6)));
    EXPECT_EQ(battery.calls().back(), (DriverCall { 0x223610, 0x1234, bytes_of(0x1234) }));

    DWORD value = 0;
    BYTE two[2];
    DWORD returned = 99;
    EXPECT_FALSE(DeviceIoControl(driver, 0x223548, &value, 4, two, sizeof two, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(returned, 0u);
    CloseHandle(driver);
}

TEST_F(DriverFixture, BluetoothCardRecordsItsRecoveryCallsInOrder)
{
    HANDLE driver = open(u"BTD0:");
    ASSERT_NE(driver, nullptr);
    const char16_t card[] = u"card";
    EXPECT_TRUE(DeviceIoControl(driver, 0x01040008, const_cast<char16_t*>(card), sizeof card, nullptr, 0, nullptr, nullptr));
    EXPECT_TRUE(DeviceIoControl(driver, 0x01040004, const_cast<char16_t*>(card), sizeof card, nullptr, 0, nullptr, nullptr));
    CloseHandle(driver);
    std::vector<uint8_t> input(reinterpret_cast<const uint8_t*>(card), reinterpret_cast<const uint8_t*>(card) + 10);
    auto calls = m_device->component<BluetoothCardDriver>().calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].code, 0x01040008u);
    EXPECT_EQ(calls[1].code, 0x01040004u);
    EXPECT_EQ(calls[0].input, input);
    EXPECT_EQ(calls[1].input, input);
}

TEST_F(DriverFixture, OpeningAndCallsFailWhenTheTestSaysSo)
{
    auto& card = m_device->component<BluetoothCardDriver>();
    card.set_open_failure(ERROR_DEVICE_NOT_AVAILABLE);
    DWORD error = 0;
    EXPECT_EQ(open(u"BTD0:", error), nullptr);
    EXPECT_EQ(error, ERROR_DEVICE_NOT_AVAILABLE);
    EXPECT_EQ(card.open_count(), 0u);
    card.set_open_failure(0);
    HANDLE driver = open(u"BTD0:", error);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(card.open_count(), 1u);

    card.set_call_failure(0x01040004, ERROR_GEN_FAILURE);
    EXPECT_EQ(call(driver, 0x01040004, 0), std::make_pair(FALSE, ERROR_GEN_FAILURE));
    EXPECT_EQ(call(driver, 0x01040008, 0), std::make_pair(TRUE, DWORD(0xDEAD)));
    card.set_call_failure(0x01040004, 0);
    EXPECT_EQ(call(driver, 0x01040004, 0).first, TRUE);
    EXPECT_EQ(card.calls().size(), 3u);

    // Closed handles and handles of other kinds are refused.
    CloseHandle(driver);
    EXPECT_EQ(call(driver, 0x01040004, 0), std::make_pair(FALSE, ERROR_INVALID_HANDLE));
    HANDLE event = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(call(event, 0x01040004, 0), std::make_pair(FALSE, ERROR_INVALID_HANDLE));
    CloseHandle(event);
    EXPECT_EQ(card.calls().size(), 3u);
}

TEST_F(DriverFixture, DiskReadsSectorsOfItsImage)
{
    auto& disk = m_device->component<DiskDriver>();
    HANDLE driver = open(u"DSK1:");
    ASSERT_NE(driver, nullptr);
    std::vector<uint8_t> sector(512);
    DSK_SECTOR_REQUEST request { 2, 1, sector.data() };
    EXPECT_FALSE(DeviceIoControl(driver, 0x222808, nullptr, 4, &request, sizeof request, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);

    // Ten sectors and a half: each sector starts with its number; the half one ends the image.
    std::vector<uint8_t> image(10 * 512 + 256, 0xAB);
    for (int i = 0; i < 11; ++i)
        image[size_t(i) * 512] = static_cast<uint8_t>(i);
    std::ofstream(disk.image_path(), std::ios::binary).write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));

    struct Case {
        DWORD first;
        DWORD count;
        DWORD error;
    } cases[] = {
        { 2, 1, ERROR_SUCCESS },
        { 8, 2, ERROR_SUCCESS },
        { 10, 1, ERROR_SUCCESS },
        { 10, 2, ERROR_SECTOR_NOT_FOUND },
        { 0xFFFFFFFF, 1, ERROR_SECTOR_NOT_FOUND },
    };
    for (auto& c : cases) {
        std::vector<uint8_t> buffer(size_t(c.count) * 512, 0x11);
        DSK_SECTOR_REQUEST read { c.first, c.count, buffer.data() };
        BOOL ok = DeviceIoControl(driver, 0x222808, nullptr, 4, &read, sizeof read, nullptr, nullptr);
        EXPECT_EQ(ok ? ERROR_SUCCESS : GetLastError(), c.error) << c.first;
        if (!ok)
            continue;
        for (DWORD i = 0; i < c.count; ++i)
            EXPECT_EQ(buffer[i * 512], c.first + i);
        EXPECT_EQ(buffer[1], 0xAB);
        if (c.first == 10) {
            EXPECT_EQ(buffer[255], 0xAB);
            EXPECT_EQ(buffer[256], 0);
            EXPECT_EQ(buffer[511], 0);
        }
    }
    std::vector<DiskDriver::SectorRead> expected { { 2, 1 } };
    for (auto& c : cases)
        expected.push_back({ c.first, c.count });
    EXPECT_EQ(disk.reads(), expected);

    DSK_SECTOR_REQUEST no_buffer { 2, 1, nullptr };
    EXPECT_FALSE(DeviceIoControl(driver, 0x222808, nullptr, 4, &no_buffer, sizeof no_buffer, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(DeviceIoControl(driver, 0x222808, nullptr, 4, &request, 8, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    CloseHandle(driver);
}

TEST_F(DriverFixture, CalibrationAndSoundRefreshesAreRecorded)
{
    auto& requests = m_device->component<SystemRequests>();
    m_device->advance(250);
    EXPECT_TRUE(TouchCalibrate());
    AudioUpdateFromRegistry();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"\\ControlPanel\\Volume", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    for (DWORD screen : { 0x10002u, 0u }) {
        m_device->advance(10);
        RegSetValueEx(key, u"Screen", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&screen), sizeof screen);
        AudioUpdateFromRegistry();
    }
    RegCloseKey(key);
    uint64_t start = requests.touch_calibrations().at(0);
    EXPECT_EQ(requests.touch_calibrations().size(), 1u);
    EXPECT_EQ(requests.sound_refreshes(), (std::vector<SystemRequests::SoundRefresh> { { start, std::nullopt }, { start + 10, 0x10002 }, { start + 20, 0 } }));
}

TEST_F(DriverFixture, RecordedCallsKeepTheNewestUpToTheTraceLimit)
{
    m_device->trace_limit().set(2);
    auto& backlight = m_device->component<BacklightDriver>();
    HANDLE driver = open(u"bkl1:");
    ASSERT_NE(driver, nullptr);
    for (DWORD value = 10; value <= 50; value += 10)
        call(driver, 0x223484, value);
    EXPECT_EQ(backlight.calls(), (std::vector<DriverCall> { { 0x223484, 40, bytes_of(40) }, { 0x223484, 50, bytes_of(50) } }));
    EXPECT_EQ(backlight.state().brightness_percent, 50u);
    EXPECT_TRUE(CloseHandle(driver));
}
