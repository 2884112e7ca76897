#include "DeviceEvents.h"

#include "BatteryDriver.h"
#include "Board.h"
#include "KivoNotify.h"
#include "Simulator.h"
#include "Volumes.h"
#include "platform.h"

namespace kivo {

namespace {

constexpr BYTE not_fat_partition = 0x07;

void post_to(const char16_t* title, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (HWND window = FindWindow(nullptr, title))
        PostMessage(window, message, wparam, lparam);
}

void notify(DWORD code, LPARAM value = 0, bool phone_link_too = false)
{
    post_to(HOME_WINDOW_TITLE, WM_KIVO_NOTIFY, code, value);
    if (phone_link_too)
        post_to(PHONELINK_WINDOW_TITLE, WM_KIVO_NOTIFY, code, value);
}

} // namespace

const std::vector<DeviceEvents::Description>& DeviceEvents::all()
{
    static const std::vector<Description> events {
        { "card-in", "the memory card goes in (WM_APP + 11)" },
        { "card-out", "the memory card comes out (WM_APP + 12)" },
        { "card-protect", "the card's write-protect switch on" },
        { "card-unprotect", "the card's write-protect switch off" },
        { "card-unsupported", "a card whose partition is not FAT (code 22)" },
        { "usb-on", "the USB cable connected (code 29)" },
        { "usb-off", "the USB cable removed (code 30)" },
        { "usb-busy", "USB data transfer under way (WM_APP + 21; only with the cable in)" },
        { "usb-idle", "USB data transfer ended (WM_APP + 22; only with the cable in)" },
        { "mains-on", "the mains adapter connected (code 27 with 1)" },
        { "mains-off", "the mains adapter removed (code 27 with 0, then code 28 with the battery state)" },
        { "battery N", "the battery at state N, 0 to 7 (code 28 with N)" },
        { "card-free BYTES", "the memory card's free space set to BYTES (no message)" },
        { "tuner-out", "the TV tuner taken out (the board's tuner bit; no message)" },
        { "tuner-in", "the TV tuner fitted again (the board's tuner bit; no message)" },
        { "hard-key", "the hardware key (code 25)" },
        { "power-key", "the power key (code 24)" },
    };
    return events;
}

std::string DeviceEvents::usage(const std::string& name)
{
    if (name == "battery")
        return "usage: event battery N (N from 0 to 7)";
    if (name == "card-free")
        return "usage: event card-free BYTES (the card's free space, a number of bytes from 0)";
    return "event " + name + " takes no value";
}

std::optional<std::string> DeviceEvents::raise(const std::string& name, std::optional<long long> value)
{
    bool takes_value = name == "battery" || name == "card-free";
    if (takes_value != value.has_value() || (name == "battery" && (*value < 0 || *value > 7)) || (name == "card-free" && *value < 0))
        return usage(name);
    auto& hardware = m_simulator.hardware();
    if (name == "card-free") {
        // The card's size follows from what it holds now, so the device is prepared when none
        // runs; the size outlives a boot, so the free space changes only with the files.
        if (!m_simulator.booted() || !m_simulator.device().running()) {
            std::string error;
            if (!m_simulator.prepare(&error))
                return error;
        }
        auto& volumes = m_simulator.device().component<Volumes>();
        volumes.set_free_bytes(VolumeId::Card, static_cast<uint64_t>(*value));
        hardware.card_capacity = volumes.capacity(VolumeId::Card);
        return std::nullopt;
    }
    bool changes_hardware = true;
    if (name == "card-in" || name == "card-out")
        hardware.card_present = name == "card-in";
    else if (name == "card-protect" || name == "card-unprotect")
        hardware.card_write_protected = name == "card-protect";
    else if (name == "card-unsupported")
        hardware.card_partition_type = not_fat_partition;
    else if (name == "tuner-in" || name == "tuner-out")
        hardware.tuner_fitted = name == "tuner-in";
    else if (name == "usb-on" || name == "usb-off")
        hardware.usb_connected = name == "usb-on";
    else if (name == "mains-on" || name == "mains-off")
        hardware.mains_connected = name == "mains-on";
    else if (name == "battery")
        hardware.battery_state = static_cast<DWORD>(*value);
    else if (name == "usb-busy" || name == "usb-idle" || name == "hard-key" || name == "power-key")
        changes_hardware = false;
    else
        return "unknown event '" + name + "' (see kivo-sim --help)";

    // Before the device is switched on an event only sets up the hardware it will start with.
    if (!m_simulator.booted() || !m_simulator.device().running()) {
        if (!changes_hardware)
            return "event " + name + " needs a running device (use 'boot' first)";
        if (m_simulator.prepared())
            m_simulator.apply_hardware();
        return std::nullopt;
    }
    Device& device = m_simulator.device();
    auto& volumes = device.component<Volumes>();
    auto& battery = device.component<BatteryDriver>();
    // On the mains adapter the battery driver answers 7 whatever the cell's state.
    DWORD battery_answer = hardware.mains_connected ? 7 : hardware.battery_state;

    if (name == "card-in" || name == "card-out") {
        volumes.set_card_present(hardware.card_present);
        post_to(HOME_WINDOW_TITLE, hardware.card_present ? WM_SD_INSERTED : WM_SD_REMOVED, 0, 0);
    } else if (name == "card-protect" || name == "card-unprotect") {
        volumes.set_card_write_protected(hardware.card_write_protected);
    } else if (name == "card-unsupported") {
        volumes.set_card_partition_type(not_fat_partition);
        notify(DRV_SD_FORMAT_NOTSUPPORT2FMTNOSUPPORT);
    } else if (name == "tuner-in" || name == "tuner-out") {
        device.component<Board>().set_tuner_fitted(hardware.tuner_fitted);
    } else if (name == "usb-on" || name == "usb-off") {
        notify(hardware.usb_connected ? DRV_USB_CONNECT : DRV_USB_REMOVE);
    } else if (name == "usb-busy" || name == "usb-idle") {
        // The driver reports transfers only over a connected cable.
        if (!hardware.usb_connected)
            return "event " + name + " needs the USB cable in (event usb-on)";
        post_to(HOME_WINDOW_TITLE, name == "usb-busy" ? WM_USB_BUSY : WM_USB_IDLE, 0, 0);
    } else if (name == "mains-on" || name == "mains-off") {
        battery.set_state(battery_answer);
        notify(DRV_AC_CHANGE, hardware.mains_connected ? 1 : 0, true);
        // Off the mains the driver reports the battery's own level at once, so the indicators
        // leave the mains picture.
        if (!hardware.mains_connected)
            notify(DRV_BATT_CHANGE, static_cast<LPARAM>(hardware.battery_state), true);
    } else if (name == "battery") {
        battery.set_state(battery_answer);
        notify(DRV_BATT_CHANGE, static_cast<LPARAM>(hardware.battery_state), true);
    } else if (name == "hard-key") {
        notify(DRV_HARDKEY);
    } else if (name == "power-key") {
        notify(DRV_POWER_OFF);
    }
    return std::nullopt;
}

} // namespace kivo
