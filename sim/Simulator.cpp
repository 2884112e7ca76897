#include "Simulator.h"

namespace kivo {

Simulator::Simulator(Options options)
    : m_options(std::move(options))
{
}

Simulator::~Simulator() = default;

void Simulator::boot()
{
    // The old device goes first: it keeps what an orderly stop keeps, and its threads are gone
    // before the new device reads the same root.
    m_device.reset();
    create_root_if_missing();
    Device::Options options;
    options.root = m_options.root;
    options.clock.mode = m_options.clock;
    options.echo_debug_output = m_options.echo_debug_output;
    m_device = std::make_unique<Device>(options);
    install_programs(*m_device);
    m_device->boot_launcher().boot();
}

void Simulator::create_root_if_missing()
{
    std::filesystem::create_directories(m_options.root);
}

void Simulator::install_programs(Device& device)
{
    // FIXME: no program of the suite exists yet, so the boot table is empty.
    device.boot_launcher().set_table({});
}

} // namespace kivo
