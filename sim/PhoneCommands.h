#pragma once

#include "PhoneData.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

class Simulator;
class SimulatedPhones;
enum class PhoneError;

// The simulated phones' side as a script and the window's keys play it ('phone …'), and what a
// script expects of the phones and of the device's Bluetooth ('expect phone …', 'expect bt …').
// A command without a phone's name acts on the current phone: the connected one, else the first
// with a call, else the first paired one. Before 'boot' the commands prepare the device, so they
// set up the world the device boots into.
class PhoneCommands {
public:
    explicit PhoneCommands(Simulator& simulator)
        : m_simulator(simulator)
    {
    }

    // A 'phone' line split into words (words[0] is "phone"); an error message when it failed.
    std::optional<std::string> run(const std::vector<std::string>& words);
    // 'expect phone …' and 'expect bt …' (words[0] is "expect"), on the device that runs.
    std::optional<std::string> expect(const std::vector<std::string>& words) const;

    // The window's keys, on the current phone.
    // F6: a call from the phone's first contact (or from a fixed number when it has none).
    std::optional<std::string> ring_from_contact();
    // F7 and F8: the call answered or ended on the phone.
    std::optional<std::string> answer();
    std::optional<std::string> hang_up();
    // F9: a message from the same number as F6's call.
    std::optional<std::string> sms_from_contact();
    // F10: the phone goes out of range, or comes back.
    std::optional<std::string> toggle_range();

    // The number F6 and F9 use when the current phone has no contact with a number.
    static constexpr const char16_t* fallback_number = u"13800138000";
    static constexpr const char16_t* sample_sms_text = u"Running ten minutes late, see you soon.";

private:
    SimulatedPhones& phones() const;
    // Lets the device hear what the phones reported, when it runs.
    void settle();
    // Runs an action of the window's keys on the current phone; `what` names it in a refusal.
    std::optional<std::string> on_current_phone(const char* what, const std::function<PhoneError(SimulatedPhones&, PhoneAddress)>& action);

    Simulator& m_simulator;
};

} // namespace kivo
