#include "TestDevice.h"

#include "KernelApi.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace kivo;
using namespace kivo::test;

TEST(Clock, LongWaitCostsNoHostTimeAndEndsAtTheExactDeviceTime)
{
    auto device = make_test_device();
    DWORD woke_at = 0;
    DWORD started_at = 0;
    device->programs().add(u"\\NAND\\App\\sleeper.exe", [&](std::u16string_view) {
        started_at = GetTickCount();
        Sleep(30'000);
        woke_at = GetTickCount();
        return 0;
    });
    DWORD error;
    ASSERT_TRUE(device->create_process(u"\\NAND\\App\\sleeper.exe", u"", error));
    auto host_start = std::chrono::steady_clock::now();
    device->advance(29'999);
    EXPECT_EQ(woke_at, 0u);
    device->advance(1);
    EXPECT_EQ(woke_at - started_at, 30'000u);
    EXPECT_LT(std::chrono::steady_clock::now() - host_start, std::chrono::seconds(10));
}

TEST(Clock, RunUntilIdleNeverMovesTheClock)
{
    auto device = make_test_device();
    device->programs().add(u"\\a.exe", [](std::u16string_view) {
        Sleep(500);
        return 0;
    });
    DWORD error;
    device->create_process(u"\\a.exe", u"", error);
    DWORD before = GetTickCount();
    device->run_until_idle();
    EXPECT_EQ(GetTickCount(), before);
    EXPECT_EQ(device->processes().size(), 1u);
}

TEST(Clock, TickCountWrapsAroundIn32Bits)
{
    auto device = make_test_device({ .tick_count_start = 0xFFFFFF00 });
    DWORD start = GetTickCount();
    device->advance(0x200);
    DWORD later = GetTickCount();
    EXPECT_LT(later, start);
    EXPECT_EQ(later - start, 0x200u); // unsigned difference stays right across the wrap
}

TEST(Clock, PollingLoopLetsTheClockMoveAndSingleReadsAreExact)
{
    auto device = make_test_device();
    DWORD polled_for = 0;
    std::vector<DWORD> reads;
    device->programs().add(u"\\poll.exe", [&](std::u16string_view) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 2000) { }
        polled_for = GetTickCount() - start;
        DWORD a = GetTickCount();
        Sleep(250);
        DWORD b = GetTickCount();
        Sleep(250);
        reads = { a, b, GetTickCount() };
        return 0;
    });
    DWORD error;
    device->create_process(u"\\poll.exe", u"", error);
    ASSERT_TRUE(device->run_until([&] { return reads.size() == 3; }, 10'000));
    EXPECT_GE(polled_for, 2000u);
    EXPECT_LE(polled_for, 2001u);
    EXPECT_EQ(reads[1] - reads[0], 250u);
    EXPECT_EQ(reads[2] - reads[1], 250u);
}

TEST(Clock, LocalTimeFollowsTheTimeZoneAndSettingIt)
{
    auto device = make_test_device();
    SYSTEMTIME set { 2010, 2, 0, 28, 23, 59, 30, 0 };
    ASSERT_TRUE(SetLocalTime(&set));
    device->advance(60'000);
    SYSTEMTIME local;
    SYSTEMTIME utc;
    GetLocalTime(&local);
    GetSystemTime(&utc);
    EXPECT_EQ(local.wYear, 2010);
    EXPECT_EQ(local.wMonth, 3);
    EXPECT_EQ(local.wDay, 1);
    EXPECT_EQ(local.wHour, 0);
    EXPECT_EQ(local.wMinute, 0);
    EXPECT_EQ(local.wSecond, 30);
    EXPECT_EQ(local.wDayOfWeek, 1); // 2010-03-01 was a Monday
    EXPECT_EQ(utc.wHour, 16);       // UTC+8
    EXPECT_EQ(utc.wDay, 28);
}

TEST(Clock, SystemTimeConversionsValidateAndFillTheWeekday)
{
    auto device = make_test_device();
    struct Case {
        SYSTEMTIME time;
        bool valid;
        WORD day_of_week;
    } cases[] = {
        { { 2008, 2, 0, 29, 12, 0, 0, 0 }, true, 5 },  // leap day, a Friday
        { { 2009, 2, 0, 29, 12, 0, 0, 0 }, false, 0 }, // no leap day
        { { 1601, 1, 0, 1, 0, 0, 0, 0 }, true, 1 },    // the epoch, a Monday
        { { 2009, 13, 0, 1, 0, 0, 0, 0 }, false, 0 },
        { { 2009, 6, 0, 1, 24, 0, 0, 0 }, false, 0 },
    };
    for (auto& c : cases) {
        FILETIME filetime;
        ASSERT_EQ(SystemTimeToFileTime(&c.time, &filetime), c.valid ? TRUE : FALSE) << c.time.wYear << "-" << c.time.wMonth;
        if (!c.valid) {
            EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
            continue;
        }
        SYSTEMTIME back;
        ASSERT_TRUE(FileTimeToSystemTime(&filetime, &back));
        EXPECT_EQ(back.wYear, c.time.wYear);
        EXPECT_EQ(back.wMonth, c.time.wMonth);
        EXPECT_EQ(back.wDay, c.time.wDay);
        EXPECT_EQ(back.wDayOfWeek, c.day_of_week);
    }
    FILETIME utc { 0, 0 };
    SYSTEMTIME noon { 2009, 6, 0, 1, 12, 0, 0, 0 };
    SystemTimeToFileTime(&noon, &utc);
    FILETIME local;
    FileTimeToLocalFileTime(&utc, &local);
    SYSTEMTIME shown;
    FileTimeToSystemTime(&local, &shown);
    EXPECT_EQ(shown.wHour, 20);
}
