#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

class Simulator;

// The broadcast around the device as a script and the window's F11 play it ('tv …'): a multiplex
// put on a channel, a channel's signal, the antenna unplugged and plugged in. Each writes a
// "radio:" line to the debug output; a line with bad arguments is refused with a "radio: refused"
// line and leaves the radio as it was, and the script goes on (so it can check the refusal).
// Before 'boot' the commands prepare the device, so they set up the air the device boots into.
class RadioCommands {
public:
    // `script_folder`: where a relative FILE is looked for when the current folder lacks it.
    explicit RadioCommands(Simulator& simulator, std::filesystem::path script_folder = {})
        : m_simulator(simulator)
        , m_script_folder(std::move(script_folder))
    {
    }

    // A 'tv' line split into words (words[0] is "tv"); an error message only when no device can
    // be had.
    std::optional<std::string> run(const std::vector<std::string>& words);
    // F11: the radio off when on, on when off.
    std::optional<std::string> toggle_power();

    // CH as the commands take it: a channel of the 6 MHz plan (14 to 69), or a frequency with its
    // unit, as 474MHz, 474.5MHz or 474000kHz. The frequency in kHz.
    static std::optional<uint32_t> frequency_of(const std::string& word);
    // How the lines name a frequency: "channel 24 (533000 kHz)", or "474000 kHz" off the plan.
    static std::string describe(uint32_t frequency_khz);

private:
    std::optional<std::string> refuse(const std::vector<std::string>& words, const std::string& why);
    std::optional<std::string> power(bool on);
    void say(const std::string& line);

    Simulator& m_simulator;
    std::filesystem::path m_script_folder;
};

} // namespace kivo
