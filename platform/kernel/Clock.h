#pragma once

#include "Types.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kivo {

enum class ClockMode {
    Virtual, // time moves only when the controller lets it (tests, headless scripts)
    Real,    // time follows the host's clock (the simulator's window)
};

// The device's clock: milliseconds since the device started, the 32-bit tick count, and the
// system time (UTC) with the time zone that gives the local time.
class Clock {
public:
    struct Options {
        ClockMode mode = ClockMode::Virtual;
        // Large by default, so that code treating a tick count of 0 as "never" behaves.
        DWORD tick_count_start = 100'000'000;
        // UTC time at start, in 100 ns units since 1601; 0 takes a fixed date on the virtual clock
        // and the host's time on the real one.
        uint64_t system_time_start = 0;
        // Minutes to add to local time for UTC; the device's region is UTC+8.
        LONG time_zone_bias = -480;
    };

    explicit Clock(Options);

    ClockMode mode() const { return m_mode; }
    uint64_t now_ms() const;
    DWORD tick_count() const { return static_cast<DWORD>(m_tick_count_start + now_ms()); }

    // Moves the virtual clock; the scheduler alone calls it.
    void set_now_ms(uint64_t ms) { m_virtual_now_ms = ms; }

    uint64_t system_time() const;
    void set_system_time(uint64_t filetime);
    LONG time_zone_bias() const { return m_time_zone_bias; }
    void set_time_zone_bias(LONG bias) { m_time_zone_bias = bias; }

    // Device milliseconds as a host time point, for waits on the real clock.
    std::chrono::steady_clock::time_point host_time_of(uint64_t device_ms) const;

private:
    ClockMode m_mode;
    DWORD m_tick_count_start;
    std::atomic<uint64_t> m_virtual_now_ms { 0 };
    std::chrono::steady_clock::time_point m_real_start;
    // System time = m_system_time_base + now (in 100 ns units).
    std::atomic<int64_t> m_system_time_base;
    std::atomic<LONG> m_time_zone_bias;
};

// Calendar conversions between FILETIME values (100 ns since 1601-01-01) and SYSTEMTIME fields.
bool system_time_to_filetime(const SYSTEMTIME&, uint64_t& filetime);
bool filetime_to_system_time(uint64_t filetime, SYSTEMTIME&);

} // namespace kivo
