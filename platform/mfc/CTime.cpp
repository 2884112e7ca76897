#include "CTime.h"

#include "kernel/KernelApi.h"

namespace {

// FILETIME counts 100 ns steps from 1601; the seconds between 1601 and 1970.
constexpr int64_t epoch_difference = 11644473600LL;
constexpr int64_t ticks_per_second = 10000000LL;

FILETIME file_time_of(__time64_t time)
{
    auto ticks = static_cast<uint64_t>((time + epoch_difference) * ticks_per_second);
    return { static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32) };
}

__time64_t time_of(const FILETIME& file_time)
{
    auto ticks = (static_cast<uint64_t>(file_time.dwHighDateTime) << 32) | file_time.dwLowDateTime;
    return static_cast<__time64_t>(ticks / ticks_per_second) - epoch_difference;
}

bool is_leap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in(int year, int month)
{
    static constexpr int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && is_leap(year) ? 29 : days[month - 1];
}

} // namespace

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int)
{
    bool valid = year >= 1970 && year <= 3000 && month >= 1 && month <= 12 && day >= 1 && day <= days_in(year, month) && hour >= 0
        && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
    if (!valid) {
        NKDbgPrintfW(u"CTime: %d-%d-%d %d:%d:%d is not a time\r\n", year, month, day, hour, minute, second);
        m_time = -1;
        return;
    }
    SYSTEMTIME fields { static_cast<WORD>(year), static_cast<WORD>(month), 0, static_cast<WORD>(day), static_cast<WORD>(hour),
        static_cast<WORD>(minute), static_cast<WORD>(second), 0 };
    FILETIME local {};
    FILETIME universal {};
    SystemTimeToFileTime(&fields, &local);
    LocalFileTimeToFileTime(&local, &universal);
    m_time = time_of(universal);
}

CTime::CTime(const SYSTEMTIME& fields, int dst)
    : CTime(fields.wYear, fields.wMonth, fields.wDay, fields.wHour, fields.wMinute, fields.wSecond, dst)
{
}

CTime::CTime(const FILETIME& universal, int)
    : m_time(time_of(universal))
{
}

CTime CTime::GetCurrentTime()
{
    SYSTEMTIME now {};
    GetSystemTime(&now);
    FILETIME universal {};
    SystemTimeToFileTime(&now, &universal);
    return CTime(time_of(universal));
}

SYSTEMTIME CTime::local() const
{
    FILETIME universal = file_time_of(m_time);
    FILETIME local {};
    SYSTEMTIME fields {};
    FileTimeToLocalFileTime(&universal, &local);
    FileTimeToSystemTime(&local, &fields);
    return fields;
}

BOOL CTime::GetAsSystemTime(SYSTEMTIME& fields) const
{
    if (m_time < 0)
        return FALSE;
    fields = local();
    return TRUE;
}
