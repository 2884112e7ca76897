#include "Clock.h"

#include <chrono>

namespace kivo {

namespace {

constexpr int64_t filetime_per_ms = 10'000;
// 1601-01-01 to 1970-01-01 in 100 ns units.
constexpr int64_t unix_epoch_filetime = 116'444'736'000'000'000LL;

// 2009-06-01 12:00:00 UTC: the virtual clock's fixed start, so every run sees the same dates.
constexpr uint64_t default_virtual_start = unix_epoch_filetime + 1'243'857'600LL * 10'000'000LL;

int64_t host_now_filetime()
{
    auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return unix_epoch_filetime + std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count() * 10;
}

} // namespace

Clock::Clock(Options options)
    : m_mode(options.mode)
    , m_tick_count_start(options.tick_count_start)
    , m_real_start(std::chrono::steady_clock::now())
    , m_time_zone_bias(options.time_zone_bias)
{
    int64_t start = static_cast<int64_t>(options.system_time_start);
    if (start == 0)
        start = m_mode == ClockMode::Virtual ? static_cast<int64_t>(default_virtual_start) : host_now_filetime();
    m_system_time_base = start;
}

uint64_t Clock::now_ms() const
{
    if (m_mode == ClockMode::Virtual)
        return m_virtual_now_ms;
    auto elapsed = std::chrono::steady_clock::now() - m_real_start;
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

uint64_t Clock::system_time() const
{
    return static_cast<uint64_t>(m_system_time_base + static_cast<int64_t>(now_ms()) * filetime_per_ms);
}

void Clock::set_system_time(uint64_t filetime)
{
    m_system_time_base = static_cast<int64_t>(filetime) - static_cast<int64_t>(now_ms()) * filetime_per_ms;
}

std::chrono::steady_clock::time_point Clock::host_time_of(uint64_t device_ms) const
{
    return m_real_start + std::chrono::milliseconds(device_ms);
}

bool system_time_to_filetime(const SYSTEMTIME& time, uint64_t& filetime)
{
    using namespace std::chrono;
    if (time.wMonth < 1 || time.wMonth > 12 || time.wHour > 23 || time.wMinute > 59 || time.wSecond > 59
        || time.wMilliseconds > 999 || time.wYear < 1601 || time.wYear > 30827)
        return false;
    year_month_day date { year(time.wYear), month(time.wMonth), day(time.wDay) };
    if (!date.ok())
        return false;
    int64_t days = sys_days(date).time_since_epoch().count();
    int64_t ms = ((days * 24 + time.wHour) * 60 + time.wMinute) * 60'000LL + time.wSecond * 1000LL + time.wMilliseconds;
    filetime = static_cast<uint64_t>(unix_epoch_filetime + ms * filetime_per_ms);
    return true;
}

bool filetime_to_system_time(uint64_t filetime, SYSTEMTIME& time)
{
    using namespace std::chrono;
    if (filetime >= 0x8000000000000000ULL)
        return false;
    // FILETIME counts from 1601-01-01, so the value is never negative and plain division works.
    uint64_t total_ms = filetime / filetime_per_ms;
    uint64_t in_day = total_ms % 86'400'000;
    sys_days day_point = sys_days(year(1601) / January / 1) + days(total_ms / 86'400'000);
    year_month_day date { day_point };
    time.wYear = static_cast<WORD>(static_cast<int>(date.year()));
    time.wMonth = static_cast<WORD>(static_cast<unsigned>(date.month()));
    time.wDay = static_cast<WORD>(static_cast<unsigned>(date.day()));
    time.wDayOfWeek = static_cast<WORD>(weekday(day_point).c_encoding());
    time.wHour = static_cast<WORD>(in_day / 3'600'000);
    time.wMinute = static_cast<WORD>(in_day / 60'000 % 60);
    time.wSecond = static_cast<WORD>(in_day / 1000 % 60);
    time.wMilliseconds = static_cast<WORD>(in_day % 1000);
    return true;
}

} // namespace kivo
