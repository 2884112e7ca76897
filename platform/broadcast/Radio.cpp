#include "Radio.h"

#include "DefaultMultiplexes.h"
#include "RadioFiles.h"
#include "TsFileSource.h"
#include "broadcast/MultiplexDescription.h"
#include "kernel/Device.h"
#include "kernel/WideText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>

namespace kivo {

namespace {

bool same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

bool is_description(std::string_view name)
{
    return name.size() > 5 && same_name(name.substr(name.size() - 5), ".json");
}

void debug(Device& device, const std::string& line)
{
    device.write_debug(to_utf16("radio: " + line + "\r\n"));
}

} // namespace

Radio::Radio(Device& device)
    : m_device(device)
    , m_folder(device.root() / folder_name)
{
    load();
}

Radio::~Radio() = default;

bool Radio::is_plain_file_name(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string_view::npos
        && name.find('\0') == std::string_view::npos && name != table_name;
}

void Radio::load()
{
    std::vector<std::string> lines;
    std::error_code error;
    if (!std::filesystem::exists(m_folder, error)) {
        // A fresh root: the multiplexes every new device finds on the air.
        std::filesystem::create_directories(m_folder, error);
        std::vector<std::string> problems;
        for (auto& station : install_default_multiplexes(m_folder, DefaultMultiplexFolders::built_in(), problems))
            m_stations[station.frequency_khz] = station;
        for (auto& problem : problems)
            lines.push_back("default multiplexes: " + problem);
        std::lock_guard guard(m_lock);
        if (auto failure = store_locked())
            lines.push_back(*failure);
    } else {
        std::ifstream in(m_folder / table_name, std::ios::binary);
        if (in.is_open()) {
            auto table = nlohmann::json::parse(in, nullptr, false);
            try {
                if (table.is_discarded() || !table.is_object())
                    throw std::runtime_error("not a JSON object");
                m_on = table.at("on").get<bool>();
                for (auto& entry : table.at("stations")) {
                    RadioStation station;
                    station.frequency_khz = entry.at("frequency_khz").get<uint32_t>();
                    station.multiplex = entry.at("multiplex").get<std::string>();
                    station.strength = entry.at("strength").get<int>();
                    station.quality = entry.at("quality").get<int>();
                    if (station.strength < 0 || station.strength > 100 || station.quality < 0 || station.quality > 100
                        || (!station.multiplex.empty() && !is_plain_file_name(station.multiplex)))
                        throw std::runtime_error("a station out of bounds");
                    m_stations[station.frequency_khz] = station;
                }
            } catch (const std::exception& failure) {
                m_stations.clear();
                m_on = true;
                m_set_table_aside = true;
                lines.push_back(std::string(table_name) + " cannot be read (" + failure.what() + "); the air is empty");
            }
        }
    }
    for (auto& line : lines)
        debug(m_device, line);
}

std::optional<std::string> Radio::store_locked()
{
    nlohmann::json stations = nlohmann::json::array();
    for (auto& [frequency, station] : m_stations) {
        stations.push_back({ { "frequency_khz", station.frequency_khz }, { "multiplex", station.multiplex },
            { "strength", station.strength }, { "quality", station.quality } });
    }
    nlohmann::json table { { "on", m_on }, { "stations", stations } };
    auto path = m_folder / table_name;
    if (m_set_table_aside) {
        // What could not be read stays for a person to look at.
        auto aside = path;
        aside += ".bad";
        std::error_code error;
        std::filesystem::rename(path, aside, error);
        if (error)
            return "cannot set the unreadable " + std::string(table_name) + " aside";
        m_set_table_aside = false;
    }
    return write_file_in_one_step(path, table.dump(2) + "\n");
}

bool Radio::on() const
{
    std::lock_guard guard(m_lock);
    return m_on;
}

std::vector<RadioStation> Radio::stations() const
{
    std::lock_guard guard(m_lock);
    std::vector<RadioStation> result;
    for (auto& [frequency, station] : m_stations)
        result.push_back(station);
    return result;
}

std::optional<RadioStation> Radio::station(uint32_t frequency_khz) const
{
    std::lock_guard guard(m_lock);
    auto found = m_stations.find(frequency_khz);
    if (found == m_stations.end())
        return std::nullopt;
    return found->second;
}

std::optional<RadioStation> Radio::station_carrying(std::string_view file_name) const
{
    std::lock_guard guard(m_lock);
    for (auto& [frequency, station] : m_stations) {
        if (same_name(station.multiplex, file_name))
            return station;
    }
    return std::nullopt;
}

std::optional<std::string> Radio::put_multiplex(uint32_t frequency_khz, const std::filesystem::path& host_file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(host_file, error))
        return "no file " + host_file.string();
    std::string name = host_file.filename().string();
    if (!is_plain_file_name(name))
        return "cannot take a file named " + name;
    std::vector<std::filesystem::path> files { host_file };
    if (is_description(name)) {
        auto named = files_named_by_description(host_file);
        files.insert(files.end(), named.begin(), named.end());
    }
    for (auto& file : files) {
        if (std::filesystem::equivalent(file, m_folder / file.filename(), error))
            continue;
        if (auto failure = copy_file_in_one_step(file, m_folder / file.filename()))
            return failure;
    }
    return set_multiplex(frequency_khz, name);
}

std::optional<std::string> Radio::set_multiplex(uint32_t frequency_khz, const std::string& file_name)
{
    if (!file_name.empty() && !is_plain_file_name(file_name))
        return "not a file name of the radio folder: " + file_name;
    std::lock_guard guard(m_lock);
    auto [entry, added] = m_stations.try_emplace(frequency_khz);
    if (added)
        entry->second = { frequency_khz, {}, default_strength, default_quality };
    entry->second.multiplex = file_name;
    return store_locked();
}

std::optional<std::string> Radio::set_signal(uint32_t frequency_khz, int strength, int quality)
{
    if (strength < 0 || strength > 100 || quality < 0 || quality > 100)
        return std::string("strength and quality are percentages, 0 to 100");
    std::lock_guard guard(m_lock);
    auto& station = m_stations[frequency_khz];
    station.frequency_khz = frequency_khz;
    station.strength = strength;
    station.quality = quality;
    return store_locked();
}

std::optional<std::string> Radio::set_on(bool on)
{
    std::lock_guard guard(m_lock);
    m_on = on;
    return store_locked();
}

std::optional<std::filesystem::path> Radio::find_file(std::string_view file_name) const
{
    if (!is_plain_file_name(file_name))
        return std::nullopt;
    std::error_code error;
    auto exact = m_folder / std::string(file_name);
    if (std::filesystem::is_regular_file(exact, error))
        return exact;
    for (auto it = std::filesystem::directory_iterator(m_folder, error); !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (same_name(it->path().filename().string(), file_name) && it->is_regular_file(error))
            return it->path();
    }
    return std::nullopt;
}

std::unique_ptr<MultiplexSource> Radio::open_multiplex(std::string_view file_name, std::string& error) const
{
    auto path = find_file(file_name);
    if (!path) {
        error = "no multiplex " + std::string(file_name) + " in the radio folder";
        return nullptr;
    }
    if (is_description(file_name))
        return open_multiplex_description(path->string(), error);
    return TsFileSource::open(*path, error);
}

void Radio::withhold(uint32_t frequency_khz, uint16_t pid, bool withheld)
{
    std::lock_guard guard(m_lock);
    if (withheld)
        m_withheld[frequency_khz].insert(pid);
    else
        m_withheld[frequency_khz].erase(pid);
}

std::set<uint16_t> Radio::withheld_pids(uint32_t frequency_khz) const
{
    std::lock_guard guard(m_lock);
    auto found = m_withheld.find(frequency_khz);
    return found == m_withheld.end() ? std::set<uint16_t>() : found->second;
}

} // namespace kivo
