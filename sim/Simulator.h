#pragma once

#include "Clock.h"
#include "Device.h"
#include "PhoneWorld.h"
#include "Types.h"
#include "ZolRecord.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace kivo {

// One simulated device session: the device root on this machine, the device booted from it, and
// a new boot from the same root after a power-off or a reset.
class Simulator {
public:
    // The cap kivo-sim puts on every trace of its device (the debug output, the draw log, driver
    // calls, sounds …): enough to read back what a script just did, yet a session left running for
    // days keeps a few megabytes of them at most.
    static constexpr size_t session_trace_limit = 10'000;

    struct Options {
        std::filesystem::path root;
        ClockMode clock = ClockMode::Virtual;
        bool echo_debug_output = false;
        // Where screenshots go.
        std::filesystem::path shots = ".";
        // How many entries each of the device's traces keeps (0: all, as tests want them).
        size_t trace_limit = 0;
        // A folder of this machine that stands for the memory card's root of a fresh device: what
        // it holds is put on the card when the root is made (none when empty or missing).
        std::filesystem::path card_media {};
    };

    // What is plugged in and how the battery stands: it outlives a boot, as the hardware does.
    struct Hardware {
        bool card_present = true;
        bool card_write_protected = false;
        BYTE card_partition_type = 0x0B; // FAT32
        bool tuner_fitted = true;
        DWORD battery_state = 5; // full
        bool usb_connected = false;
        bool mains_connected = false;
        // The card's size when a script set its free space; the volume's own until then.
        std::optional<uint64_t> card_capacity;
    };

    explicit Simulator(Options);
    ~Simulator();

    // Makes a device from the root (creating the root with the device's defaults on first run),
    // with the hardware as it stands and the programs and their image files installed, but not yet
    // switched on: what is done to it now (files, the clock, the hardware) is what the next boot
    // starts from. A device that ran is stopped first, and its clock goes on in the new one, as
    // the board's clock keeps running across a restart. Nothing is done when one is ready already.
    // False, with the reason, when the root cannot be made.
    bool prepare(std::string* error = nullptr);
    // The device a command acts on: the running one, or one prepared for the next boot; the reason
    // when none can be made.
    std::optional<std::string> device_for_commands();
    // Switches the prepared device on (preparing one first when there is none): the boot
    // launcher's table runs.
    bool boot(std::string* error = nullptr);
    // Whether a device has been switched on (it may have been powered off or reset since).
    bool booted() const { return m_device != nullptr && m_switched_on; }
    // Whether a device exists, switched on or only prepared.
    bool prepared() const { return m_device != nullptr; }
    Device& device() { return *m_device; }
    const Options& options() const { return m_options; }
    Hardware& hardware() { return m_hardware; }
    // Puts the hardware state into the running device's board, drivers and card.
    void apply_hardware();

private:
    void install_programs(Device&);
    // Puts the card media on the card of a device whose root was just made.
    bool put_card_media(Device&, std::string* error);

    Options m_options;
    Hardware m_hardware;
    // The phones around the device go on with their range, signal, battery and calls while it
    // restarts.
    PhonesWorld m_phones_world;
    // The Bluetooth manager's failure knobs hold across a restart too.
    ZolKnobs m_manager_knobs;
    std::unique_ptr<Device> m_device;
    bool m_switched_on = false;
};

} // namespace kivo
