#include "DeviceEvents.h"

#include "BatteryDriver.h"
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
        { "usb-busy", "USB data transfer under way (WM_APP + 21)" },
        { "usb-idle", "USB data transfer ended (WM_APP + 22)" },
        { "mains-on", "the mains adapter connected (code 27 with 1)" },
        { "mains-off", "the mains adapter removed (code 27 with 0)" },
        { "battery N", "the battery at state N, 0 to 7 (code 28 with N)" },
        { "hard-key", "the hardware key (code 25)" },
        { "power-key", "the power key (code 24)" },
    };
    return events;
}

std::optional<std::string> DeviceEvents::raise(const std::string& name, std::optional<long long> value)
{
    if (!m_simulator.booted())
        return std::string("the device has not been booted (use 'boot' first)");
    Device& device = m_simulator.device();
    auto& hardware = m_simulator.hardware();
    auto& volumes = device.component<Volumes>();
    auto& battery = device.component<BatteryDriver>();
    if (name != "battery" && value)
        return "event " + name + " takes no value";

    if (name == "card-in" || name == "card-out") {
        hardware.card_present = name == "card-in";
        volumes.set_card_present(hardware.card_present);
        post_to(HOME_WINDOW_TITLE, hardware.card_present ? WM_SD_INSERTED : WM_SD_REMOVED, 0, 0);
    } else if (name == "card-protect" || name == "card-unprotect") {
        hardware.card_write_protected = name == "card-protect";
        volumes.set_card_write_protected(hardware.card_write_protected);
    } else if (name == "card-unsupported") {
        hardware.card_partition_type = not_fat_partition;
        volumes.set_card_partition_type(not_fat_partition);
        notify(DRV_SD_FORMAT_NOTSUPPORT2FMTNOSUPPORT);
    } else if (name == "usb-on" || name == "usb-off") {
        hardware.usb_connected = name == "usb-on";
        notify(hardware.usb_connected ? DRV_USB_CONNECT : DRV_USB_REMOVE);
    } else if (name == "usb-busy" || name == "usb-idle") {
        post_to(HOME_WINDOW_TITLE, name == "usb-busy" ? WM_USB_BUSY : WM_USB_IDLE, 0, 0);
    } else if (name == "mains-on" || name == "mains-off") {
        hardware.mains_connected = name == "mains-on";
        battery.set_state(hardware.mains_connected ? 7 : hardware.battery_state);
        notify(DRV_AC_CHANGE, hardware.mains_connected ? 1 : 0, true);
    } else if (name == "battery") {
        if (!value || *value < 0 || *value > 7)
            return std::string("usage: event battery N (N from 0 to 7)");
        hardware.battery_state = static_cast<DWORD>(*value);
        battery.set_state(hardware.battery_state);
        notify(DRV_BATT_CHANGE, static_cast<LPARAM>(*value), true);
    } else if (name == "hard-key") {
        notify(DRV_HARDKEY);
    } else if (name == "power-key") {
        notify(DRV_POWER_OFF);
    } else {
        return "unknown event '" + name + "' (see kivo-sim --help)";
    }
    return std::nullopt;
}

} // namespace kivo
