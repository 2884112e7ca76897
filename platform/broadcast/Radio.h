#pragma once

#include "broadcast/MultiplexSource.h"
#include "kernel/DeviceComponent.h"
#include "kernel/HostMutex.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class Device;

// What the air carries at one frequency: a multiplex (a file of the radio folder, none when
// empty) and its signal as the device's antenna receives it, in percent.
struct RadioStation {
    uint32_t frequency_khz = 0;
    std::string multiplex;
    int strength = 0;
    int quality = 0;
    bool operator==(const RadioStation&) const = default;
};

// The simulated broadcast around the device: per frequency in kHz a multiplex and a signal, and
// whether the radio is on at all (off is the antenna unplugged). The table is kept in the device
// root's folder "radio" (radio.json, beside the multiplexes' files), so it outlives a boot; a
// root without that folder gets the default multiplexes. A multiplex is a recorded transport
// stream (looped) or a description (".json") that the builder makes packets from.
//
// Tests may also withhold a PID's packets at a frequency; that is not stored.
class Radio final : public DeviceComponent {
public:
    static constexpr const char* folder_name = "radio";
    static constexpr const char* table_name = "radio.json";
    static constexpr int default_strength = 80;
    static constexpr int default_quality = 100;

    explicit Radio(Device&);
    ~Radio() override;

    const std::filesystem::path& folder() const { return m_folder; }

    bool on() const;
    std::vector<RadioStation> stations() const;
    std::optional<RadioStation> station(uint32_t frequency_khz) const;
    // The first station (by frequency) whose multiplex is the file of that name, in any case.
    std::optional<RadioStation> station_carrying(std::string_view file_name) const;

    // Changes, each stored at once; the reason when refused or when the table could not be
    // stored (the change then holds until the device goes, and the stored table is the old one).
    // A multiplex copied from a file of this machine into the folder (a description with the
    // files it names beside it); a new station starts with the default signal.
    std::optional<std::string> put_multiplex(uint32_t frequency_khz, const std::filesystem::path& host_file);
    // A file already in the folder; empty takes the multiplex away.
    std::optional<std::string> set_multiplex(uint32_t frequency_khz, const std::string& file_name);
    std::optional<std::string> set_signal(uint32_t frequency_khz, int strength, int quality);
    std::optional<std::string> set_on(bool);

    // Opens the multiplex of that file name in the folder (in any case); null with the reason.
    std::unique_ptr<MultiplexSource> open_multiplex(std::string_view file_name, std::string& error) const;
    // The folder's file of that name in any case, when there is one.
    std::optional<std::filesystem::path> find_file(std::string_view file_name) const;

    void withhold(uint32_t frequency_khz, uint16_t pid, bool withheld);
    std::set<uint16_t> withheld_pids(uint32_t frequency_khz) const;

    // A plain file name of the folder: no folder part, not "." or "..".
    static bool is_plain_file_name(std::string_view);

private:
    void load();
    // Writes the table with the lock held; the reason when it failed.
    std::optional<std::string> store_locked();

    Device& m_device;
    std::filesystem::path m_folder;
    mutable HostMutex m_lock { LockRank::Radio };
    bool m_on = true;
    std::map<uint32_t, RadioStation> m_stations;
    std::map<uint32_t, std::set<uint16_t>> m_withheld;
    // A table that could not be read is set aside before the first write.
    bool m_set_table_aside = false;
};

} // namespace kivo
