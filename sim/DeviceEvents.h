#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kivo {

class Simulator;

// The device events a person raises from the simulator's panel or keys, and a script with
// 'event': each changes the board and the card as the hardware would, and sends exactly the
// message its driver sends (to "hubscreen"; the mains and battery codes also to "ZOL_VOXLANE").
// Two take a value: the battery's state and the card's free space.
class DeviceEvents {
public:
    explicit DeviceEvents(Simulator& simulator)
        : m_simulator(simulator)
    {
    }

    // An error message when the event or its value is not known.
    std::optional<std::string> raise(const std::string& name, std::optional<long long> value = std::nullopt);
    // What to say when an event is given a value it does not take.
    static std::string usage(const std::string& name);

    struct Description {
        const char* name;
        const char* meaning;
    };
    static const std::vector<Description>& all();

private:
    Simulator& m_simulator;
};

} // namespace kivo
