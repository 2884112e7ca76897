#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Trace.h"
#include "Types.h"

#include <functional>
#include <optional>
#include <string>

namespace kivo {

class Device;

// Top-level windows of nobody in the suite (for example "start warning of hubscreen", whose
// presence holds back the home screen's warnings, or a stand-in for a program not built yet), made
// and destroyed by a script. Each lives on a thread of its own in the device's system process,
// answering its messages like any window and noting the messages programs send it, so a script can
// check what the suite's programs posted or sent to it. One hidden listener, which no program
// knows by name, notes what reaches every top-level window: the broadcasts. Each window writes
// the registered messages it receives to the debug output ("outside TITLE: NAME WPARAM LPARAM"),
// so a script sees the phone link's notifications to its subscribers.
class OutsideWindows final : public DeviceComponent {
public:
    // The listener's title.
    static constexpr std::u16string_view listener_title = u"kivo-sim broadcast listener";

    struct Received {
        std::u16string title;
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
    };

    explicit OutsideWindows(Device&);

    static bool open(Device&, const std::u16string& title);
    // The outside window of a title, or null.
    static HWND find(const std::u16string& title);
    static bool close(Device&, const std::u16string& title);
    // Makes the listener (once for the device).
    static bool listen_for_broadcasts(Device&);

    void record(Received);
    // The sequence number of the first kept entry at or after `from` that `matches`.
    std::optional<uint64_t> find(uint64_t from, const std::function<bool(const Received&)>& matches) const;

private:
    mutable HostMutex m_lock { LockRank::OutsideWindows };
    Trace<Received> m_received;
};

} // namespace kivo
