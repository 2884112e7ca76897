#include "Simulator.h"

#include "BatteryDriver.h"
#include "Board.h"
#include "CHubscreenApp.h"
#include "CMelodoApp.h"
#include "Explorer.h"
#include "MediaClasses.h"
#include "VendorFilters.h"
#include "NavigationStandIn.h"
#include "ProgramImages.h"
#include "StreamDrivers.h"
#include "Volumes.h"

#include <system_error>

namespace kivo {

Simulator::Simulator(Options options)
    : m_options(std::move(options))
{
}

Simulator::~Simulator() = default;

bool Simulator::prepare(std::string* error)
{
    if (m_device && !m_switched_on)
        return true;
    std::error_code failure;
    std::filesystem::create_directories(m_options.root, failure);
    if (failure || !std::filesystem::is_directory(m_options.root)) {
        if (error)
            *error = "cannot make the device root " + m_options.root.string() + " ("
                + (failure ? failure.message() : std::string("it is not a folder")) + ")";
        return false;
    }
    Device::Options options;
    options.root = m_options.root;
    options.clock.mode = m_options.clock;
    options.echo_debug_output = m_options.echo_debug_output;
    if (m_device)
        options.clock.system_time_start = m_device->clock().system_time();
    // The old device goes first: it keeps what an orderly stop keeps, and its threads are gone
    // before the new device reads the same root.
    m_device.reset();
    m_switched_on = false;
    m_device = std::make_unique<Device>(options);
    m_device->trace_limit().set(m_options.trace_limit);
    install_stream_drivers(*m_device);
    install_media_classes(*m_device);
    install_vendor_filters(*m_device);
    apply_hardware();
    install_programs(*m_device);
    m_device->component<ProgramImages>().install();
    return true;
}

bool Simulator::boot(std::string* error)
{
    if (!prepare(error))
        return false;
    m_switched_on = true;
    m_device->boot_launcher().boot();
    return true;
}

void Simulator::apply_hardware()
{
    auto& volumes = m_device->component<Volumes>();
    volumes.set_card_present(m_hardware.card_present);
    volumes.set_card_write_protected(m_hardware.card_write_protected);
    volumes.set_card_partition_type(m_hardware.card_partition_type);
    m_device->component<Board>().set_tuner_fitted(m_hardware.tuner_fitted);
    m_device->component<BatteryDriver>().set_state(m_hardware.mains_connected ? 7 : m_hardware.battery_state);
}

void Simulator::install_programs(Device& device)
{
    register_hubscreen(device);
    register_explorer(device);
    register_navigation(device);
    register_melodo(device);
    // The device boots into its home screen.
    device.boot_launcher().set_table({ { std::u16string(hubscreen_image_path), 50, {} } });
}

} // namespace kivo
