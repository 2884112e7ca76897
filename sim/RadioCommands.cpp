#include "RadioCommands.h"

#include "Simulator.h"
#include "WideText.h"
#include "broadcast/ChannelPlan.h"
#include "broadcast/Radio.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace kivo {

namespace {

constexpr const char* usage = "usage: tv mux CH FILE | tv signal CH STRENGTH QUALITY | tv off | tv on "
                              "(CH a channel 14-69 or a frequency such as 474MHz; STRENGTH and QUALITY 0-100)";

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::optional<int> percent(const std::string& word)
{
    if (word.empty() || word.size() > 3 || !std::all_of(word.begin(), word.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    int value = std::stoi(word);
    if (value > 100)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<uint32_t> RadioCommands::frequency_of(const std::string& word)
{
    std::string text = lower(word);
    auto digits_end = text.find_first_not_of("0123456789.");
    std::string number = text.substr(0, digits_end);
    std::string unit = digits_end == std::string::npos ? std::string() : text.substr(digits_end);
    if (number.empty() || number.size() > 10 || std::count(number.begin(), number.end(), '.') > 1 || number.front() == '.' || number.back() == '.')
        return std::nullopt;
    if (unit.empty()) {
        if (number.find('.') != std::string::npos)
            return std::nullopt;
        return ChannelPlan::six_megahertz().frequency_khz(static_cast<uint32_t>(std::stoul(number)));
    }
    double value = std::strtod(number.c_str(), nullptr);
    double khz = unit == "mhz" ? value * 1000 : unit == "khz" ? value
                                                              : -1;
    // The UHF and VHF bands a tuner receives, to the kHz.
    if (khz < 47'000 || khz > 862'000 || khz != std::floor(khz))
        return std::nullopt;
    return static_cast<uint32_t>(khz);
}

std::string RadioCommands::describe(uint32_t frequency_khz)
{
    std::string khz = std::to_string(frequency_khz) + " kHz";
    if (auto channel = ChannelPlan::six_megahertz().channel_at(frequency_khz))
        return "channel " + std::to_string(*channel) + " (" + khz + ")";
    return khz;
}

void RadioCommands::say(const std::string& line)
{
    m_simulator.device().write_debug(to_utf16("radio: " + line + "\r\n"));
}

std::optional<std::string> RadioCommands::refuse(const std::vector<std::string>& words, const std::string& why)
{
    std::string line;
    for (auto& word : words)
        line += (line.empty() ? "" : " ") + word;
    say("refused '" + line + "': " + why);
    return std::nullopt;
}

std::optional<std::string> RadioCommands::run(const std::vector<std::string>& words)
{
    if (auto error = m_simulator.device_for_commands())
        return error;
    auto& radio = m_simulator.device().component<Radio>();
    std::string what = words.size() > 1 ? words[1] : std::string();
    if ((what == "on" || what == "off") && words.size() == 2)
        return power(what == "on");
    if (what == "mux" && words.size() == 4) {
        auto frequency = frequency_of(words[2]);
        if (!frequency)
            return refuse(words, "no channel or frequency " + words[2] + " (" + usage + ")");
        std::filesystem::path file = words[3];
        std::error_code error;
        if (file.is_relative() && !std::filesystem::exists(file, error) && !m_script_folder.empty()
            && std::filesystem::exists(m_script_folder / file, error))
            file = m_script_folder / file;
        if (auto failure = radio.put_multiplex(*frequency, file))
            return refuse(words, *failure);
        say(describe(*frequency) + " carries " + file.filename().string());
        return std::nullopt;
    }
    if (what == "signal" && words.size() == 5) {
        auto frequency = frequency_of(words[2]);
        auto strength = percent(words[3]);
        auto quality = percent(words[4]);
        if (!frequency)
            return refuse(words, "no channel or frequency " + words[2] + " (" + usage + ")");
        if (!strength || !quality)
            return refuse(words, "strength and quality are percentages, 0 to 100");
        if (auto failure = radio.set_signal(*frequency, *strength, *quality))
            return refuse(words, *failure);
        say(describe(*frequency) + " signal strength " + words[3] + "% quality " + words[4] + "%");
        return std::nullopt;
    }
    return refuse(words, usage);
}

std::optional<std::string> RadioCommands::power(bool on)
{
    if (auto failure = m_simulator.device().component<Radio>().set_on(on))
        return refuse({ "tv", on ? "on" : "off" }, *failure);
    say(on ? "on (antenna plugged in)" : "off (antenna unplugged)");
    return std::nullopt;
}

std::optional<std::string> RadioCommands::toggle_power()
{
    if (auto error = m_simulator.device_for_commands())
        return error;
    return power(!m_simulator.device().component<Radio>().on());
}

} // namespace kivo
