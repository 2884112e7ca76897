#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "SimCondition.h"
#include "SimMutex.h"
#include "Trace.h"
#include "Types.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class Device;

// The Bluetooth manager's library file, as the device loads it.
inline constexpr std::u16string_view zol_library_file = u"ZolManagerU.dll";

// What tests and the simulator set to make the manager fail. It outlives a boot in the simulator,
// as the phones' world does.
struct ZolEntryKnob {
    // The code the entry answers without acting, for `fail_left` more calls (none: until cleared).
    std::optional<int> fail_code;
    std::optional<int> fail_left;
    // Device time the entry takes before it acts.
    uint64_t delay_ms = 0;
    // The entry does not return until the knob is cleared or its process ends.
    bool hang = false;
    bool operator==(const ZolEntryKnob&) const = default;
};

struct ZolCallbackKnob {
    uint64_t delay_ms = 0;
    bool withheld = false;
    bool operator==(const ZolCallbackKnob&) const = default;
};

struct ZolKnobs {
    // The library cannot be loaded (as if its file were gone).
    bool missing = false;
    // Exports GetProcAddress does not find.
    std::set<std::string> lacking;
    std::map<std::string, ZolEntryKnob> entries;
    // By callback type ("ConnectStatusFn", "CallStatusFn", "IncomingSmsFn", "InquiryFn").
    std::map<std::string, ZolCallbackKnob> callbacks;
    bool operator==(const ZolKnobs&) const = default;
};

// One entry call as the manager received it.
struct ZolCall {
    DWORD process = 0;
    DWORD thread = 0;
    std::string entry;     // "ZOL_Dial"
    std::string arguments; // "10086", as in the debug line
    // None while the call runs, and for ever when its thread was ended inside it.
    std::optional<int> result;
    // Set when a knob answered instead of the manager.
    bool failed_by_knob = false;
    uint64_t started_ms = 0;
    uint64_t ended_ms = 0;
};

// One call the manager made into the program.
struct ZolCallback {
    DWORD process = 0;
    DWORD thread = 0;
    std::string callback; // "ConnectStatusFn"
    std::string arguments;
    std::optional<int> answer; // none when withheld
    bool withheld = false;
    uint64_t at_ms = 0;
};

// A buffer the manager handed out or was asked to release.
struct ZolBufferEvent {
    enum class Kind {
        HandedOut,
        Released,
        ReleaseRefused, // unknown, of another process, or released already
        DroppedAtDetach,
    };
    Kind kind = Kind::HandedOut;
    DWORD process = 0;
    uintptr_t address = 0;
    size_t bytes = 0;
    std::string entry; // the entry that handed it out
};

// The manager's record and failure knobs: a device component that the loaded library, the tests
// and the simulator share. Each entry call is recorded with its process, thread, arguments,
// result and device times and written to the debug output as "zol: ZOL_Dial(10086) = 1"; each
// callback with its thread, arguments and the program's answer; buffers as handed out and
// released. The library and export knobs act through the library loader.
class ZolRecord final : public DeviceComponent {
public:
    explicit ZolRecord(Device&);

    // Knobs.
    void set_missing(bool);
    void set_lacking(std::string_view entry, bool lacking);
    void fail(std::string_view entry, int code, std::optional<int> times = std::nullopt);
    void delay(std::string_view entry, uint64_t ms);
    void hang(std::string_view entry);
    // Clears an entry's fail, delay and hang (a hung call returns).
    void clear(std::string_view entry);
    // Clears every knob, the library's presence and exports included.
    void clear_all();
    void delay_callbacks(std::string_view callback, uint64_t ms);
    void withhold_callbacks(std::string_view callback, bool withheld);
    ZolKnobs knobs() const;
    // Takes up knobs kept from an earlier device.
    void restore_knobs(const ZolKnobs&);

    // The library's side: before an entry acts. Waits the delay and any hang on the calling
    // thread, then answers the code a knob makes the entry fail with, if any.
    std::optional<int> before_entry(std::string_view entry);
    ZolCallbackKnob callback_knob(std::string_view callback) const;

    // Recording. A call's record is found again by its ticket (it may have been dropped from a
    // bounded record meanwhile).
    struct Ticket {
        uint64_t sequence = 0;
        std::string text; // "ZOL_Dial(10086)"
    };
    Ticket begin_call(std::string_view entry, std::string arguments);
    void end_call(const Ticket&, int result, bool failed_by_knob = false);
    void record_callback(std::string_view callback, std::string arguments, std::optional<int> answer);
    void handed_out(std::string_view entry, const void* buffer, size_t bytes);
    // Whether the calling process holds the buffer; a refusal is recorded.
    bool release(const void* buffer);
    // The buffers a process still holds, dropped as the library lets go of it.
    std::vector<const void*> drop_buffers(DWORD process);

    std::vector<ZolCall> calls() const;
    std::vector<ZolCall> calls_of(std::string_view entry) const;
    std::vector<ZolCallback> callbacks() const;
    std::vector<ZolCallback> callbacks_of(std::string_view callback) const;
    std::vector<ZolBufferEvent> buffer_events() const;
    size_t live_buffers() const;

private:
    void apply_to_loader(const ZolKnobs&);
    bool hung(std::string_view entry) const;
    void wake_hung();

    Device& m_device;
    mutable HostMutex m_lock { LockRank::ZolRecord };
    ZolKnobs m_knobs;
    // Bounded by the device's trace limit.
    Trace<ZolCall> m_calls;
    Trace<ZolCallback> m_callbacks;
    Trace<ZolBufferEvent> m_buffer_events;
    // Live buffers: address to process, bytes and the entry.
    struct Live {
        DWORD process;
        size_t bytes;
        std::string entry;
    };
    std::map<uintptr_t, Live> m_live;
    // Hung calls wait here for a clear.
    SimMutex m_hang_mutex;
    SimCondition m_hang_cleared;
};

} // namespace kivo
