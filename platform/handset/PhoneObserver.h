#pragma once

#include "PhoneData.h"

#include <string>

namespace kivo {

// The state of a phone's call, numbered as the manager reports it.
enum class CallState : int {
    Idle = 0,
    Incoming = 1,
    Active = 2,
    Outgoing = 3,
};
const char* to_string(CallState);

// Why the device's link to a phone changed.
enum class ConnectionStatus {
    Connected,
    Disconnected, // by the device (or the phone was removed or unpaired)
    OutOfRange,   // the phone went out of range: the manager reports this as 2002
    RadioOff,     // the device's Bluetooth was switched off
};
const char* to_string(ConnectionStatus);

struct ConnectionChange {
    PhoneAddress address = 0;
    ConnectionStatus status = ConnectionStatus::Disconnected;
};

// A call's state with the other party: its number and the name the phone knows it by.
struct CallReport {
    PhoneAddress address = 0;
    CallState state = CallState::Idle;
    std::u16string number;
    std::u16string name;
};

struct SmsReport {
    PhoneAddress address = 0;
    PhoneSms message;
};

// What the device hears from its connected phone. Called on whichever thread caused the event (a
// test, the simulator, a manager thread, or the device's timed callback for a repeated ring) with
// no lock of the phones held; an observer must not block there: it copies the event and wakes its
// own thread (the manager calls the programs back from its thread).
class PhoneObserver {
public:
    virtual ~PhoneObserver() = default;
    virtual void connection_changed(const ConnectionChange&) { }
    virtual void call_changed(const CallReport&) { }
    virtual void sms_received(const SmsReport&) { }
};

} // namespace kivo
