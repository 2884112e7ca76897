#pragma once

#include "GwesApi.h"
#include "kernel/DeviceComponent.h"
#include "kernel/Trace.h"

#include <cstdint>
#include <vector>

namespace kivo {

class Device;

// Input that reached nobody because it fell on a disabled window.
struct DroppedInput {
    UINT message = 0;
    POINT screen {};
    uint64_t time_ms = 0;
};

// The touch screen: the simulator and tests press, move and release at screen coordinates, and
// the window system turns that into mouse messages for the window under the point (or the one
// that holds the capture), in its client coordinates. A tap on a disabled window is dropped; a tap
// that activates a window gives it WA_CLICKACTIVE; two taps close in time and place make a
// double click for windows whose class asks for one.
class TouchInput final : public DeviceComponent {
public:
    explicit TouchInput(Device&);

    static constexpr int double_click_distance = 4;

    void press(int x, int y);
    void move(int x, int y);
    void release(int x, int y);
    void tap(int x, int y);

    // How much input was dropped since the device started, and the newest drops (up to the
    // device's trace limit), oldest first.
    size_t dropped() const;
    std::vector<DroppedInput> dropped_inputs() const;

private:
    void deliver(UINT message, POINT screen);

    Device& m_device;
    // The state of the touch, guarded by the scheduler's lock as the windows it is decided by.
    bool m_down = false;
    HWND m_last_press = nullptr;
    POINT m_last_press_point {};
    uint64_t m_last_press_time = 0;
    bool m_has_last_press = false;
    Trace<DroppedInput> m_dropped;
};

} // namespace kivo
