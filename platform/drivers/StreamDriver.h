#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Trace.h"
#include "Types.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kivo {

class Device;

// One control call as a driver received it: the code, the 4-byte little-endian value at the start
// of the input (0 when the input is shorter) and the whole input.
struct DriverCall {
    DWORD code = 0;
    DWORD value = 0;
    std::vector<uint8_t> input;
    bool operator==(const DriverCall&) const = default;
};

// A stream driver of the board, registered by name in the device's driver table. It records every
// control call and answers from state that tests and the simulator set; a test can make opening,
// or the calls of one code, fail.
class StreamDriver : public DeviceComponent {
public:
    StreamDriver(Device&, std::u16string name);

    const std::u16string& name() const { return m_name; }

    // Opening fails with this error until it is set back to 0.
    void set_open_failure(DWORD error);
    size_t open_count() const;

    // Calls of this code fail with the error (after being recorded) until it is set back to 0.
    void set_call_failure(DWORD code, DWORD error);
    // The calls kept (the newest, up to the device's trace limit), oldest first.
    std::vector<DriverCall> calls() const;

    // One control call: recorded, then answered with 0 or the platform's error; `returned` is the
    // number of output bytes written.
    DWORD control(DWORD code, std::span<const uint8_t> in, std::span<uint8_t> out, DWORD& returned);

protected:
    // With the lock held.
    virtual DWORD answer(DWORD code, std::span<const uint8_t> in, std::span<uint8_t> out, DWORD& returned) = 0;

    // Puts a 32-bit answer into the output, which must hold it.
    static DWORD put_value(DWORD value, std::span<uint8_t> out, DWORD& returned);
    static bool read_value(std::span<const uint8_t> in, DWORD& value);

    Device& m_device;
    mutable HostMutex m_lock { LockRank::StreamDriver };

private:
    std::u16string m_name;
    DWORD m_open_failure = 0;
    size_t m_open_count = 0;
    std::map<DWORD, DWORD> m_call_failures;
    Trace<DriverCall> m_calls;
};

} // namespace kivo
