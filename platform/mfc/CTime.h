#pragma once

#include "kernel/Types.h"

#include <compare>
#include <cstdint>

using __time64_t = int64_t;

// A moment as seconds since 1 January 1970 (UTC); its fields are read in local time, as the
// device's clock and time zone give it.
class CTime {
public:
    CTime() = default;
    explicit CTime(__time64_t time)
        : m_time(time)
    {
    }
    // From local fields. Fields out of their ranges (month 13, hour 24, second 60 …) or years
    // before 1970 give no time: GetTime() is -1, and a debug line says why.
    CTime(int year, int month, int day, int hour, int minute, int second, int dst = -1);
    explicit CTime(const SYSTEMTIME&, int dst = -1);
    explicit CTime(const FILETIME&, int dst = -1);

    static CTime GetCurrentTime();

    __time64_t GetTime() const { return m_time; }
    int GetYear() const { return local().wYear; }
    int GetMonth() const { return local().wMonth; }
    int GetDay() const { return local().wDay; }
    int GetHour() const { return local().wHour; }
    int GetMinute() const { return local().wMinute; }
    int GetSecond() const { return local().wSecond; }
    // 1 for Sunday to 7 for Saturday.
    int GetDayOfWeek() const { return local().wDayOfWeek + 1; }
    BOOL GetAsSystemTime(SYSTEMTIME&) const;

    auto operator<=>(const CTime&) const = default;

private:
    SYSTEMTIME local() const;
    __time64_t m_time = 0;
};
