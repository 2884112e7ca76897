#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Trace.h"
#include "Types.h"

#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

namespace kivo {

class Device;

// The navigation program lies outside the suite; this stand-in takes its place on the card. Its
// window "Corvane-RXM" shows a simple map, notes every notify code it receives, and, when asked
// through the component, posts the home screen the navigation's own codes: voice (13), route (14),
// dial (17, with a dial block the program keeps alive) and show-navigation (18). A tap on the
// cross at the right end of its title band ends it, as the program's own exit does.
inline constexpr std::u16string_view navigation_image_path = u"\\SDMMC\\KivoNavi\\Corvane-RXM.exe";

void register_navigation(Device&);

class NavigationStandIn final : public DeviceComponent {
public:
    explicit NavigationStandIn(Device&);

    // The number the dial block of code 17 carries, as UTF-16 text with its terminator.
    static constexpr std::u16string_view dial_number = u"13800138000";
    static constexpr ULONG_PTR dial_data_kind = 1;
    // The close corner of the map: the cross at the right end of the title band.
    static constexpr RECT close_corner { 448, 0, 480, 24 };

    // Asks the running navigation window to post `code` with `value` to "hubscreen" (for code 17
    // the value is replaced by the address of the kept dial block). False when the navigation
    // does not run or the code is not one it sends.
    bool post_to_home(WPARAM code, LPARAM value = 0);

    // The notify codes the navigation window received, with their lParam, in order.
    std::vector<std::pair<WPARAM, LPARAM>> received() const;
    void record(WPARAM code, LPARAM value);

private:
    mutable HostMutex m_lock { LockRank::Navigation };
    Trace<std::pair<WPARAM, LPARAM>> m_received;
};

} // namespace kivo
