#pragma once

#include "FontEngine.h"
#include "PhoneObserver.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

class Device;
class SimulatedPhones;

// The simulator's window shows the device's screen at this many times its size.
inline constexpr int window_scale = 2;

// What the Bluetooth strip under the screen shows: the device's radio, and each phone around it
// with its range, signal, battery, link and call.
struct BluetoothStripView {
    struct Phone {
        std::u16string name;
        bool paired = false;
        bool in_range = false;
        int signal = 0;
        int battery = 0;
        bool connected = false;
        // The phone the window's keys act on.
        bool current = false;
        CallState call = CallState::Idle;
        std::u16string number;
        std::u16string caller;
        bool operator==(const Phone&) const = default;
    };
    bool radio_on = false;
    std::vector<Phone> phones;
    bool operator==(const BluetoothStripView&) const = default;
};
BluetoothStripView bluetooth_strip_view(const SimulatedPhones&);

// A picture in 8-bit RGB, rows top first.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;
    RgbPicture(int width, int height)
        : width(width)
        , height(height)
        , bytes(size_t(width) * size_t(height) * 3)
    {
    }
};

// Paints the strip, in the window's pixels (its text readable at the window's size).
class BluetoothStrip {
public:
    static constexpr int height = 100;

    BluetoothStrip();
    // Paints the view into the rows from `top` of the picture, across its width.
    void paint(const BluetoothStripView&, RgbPicture&, int top);

private:
    FontEngine m_fonts;
};

// The window as it shows: the screen at window_scale times its size, the strip under it.
RgbPicture window_picture(Device&, BluetoothStrip&);
// The strip alone, as wide as the window.
RgbPicture strip_picture(Device&, BluetoothStrip&);

} // namespace kivo
