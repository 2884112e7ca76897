#pragma once

#include "PhoneData.h"
#include "PhoneObserver.h"

#include <map>
#include <string>

namespace kivo {

// A call on a phone. It belongs to the phone's world, not to the device: it goes on while the
// device restarts.
struct PhoneCall {
    CallState state = CallState::Idle;
    std::u16string number;
    std::u16string name;
    // Whether the call's sound runs through the device (else through the handset).
    bool audio_on_device = false;
    // The tones the other party heard, in order.
    std::u16string dtmf_heard;
};

// What a phone is doing in the world around the device.
struct PhoneWorldState {
    bool in_range = true;
    int signal = 4;  // bars, 0 to 5
    int battery = 5; // bars, 0 to 5
    PhoneCall call;
};

inline constexpr int phone_max_bars = 5;

// The world of every phone, by address: what the simulator keeps across a boot, as it keeps the
// card in its slot.
using PhonesWorld = std::map<PhoneAddress, PhoneWorldState>;

} // namespace kivo
