#include "Simulator.h"

#include "AttributeStore.h"
#include "BatteryDriver.h"
#include "Board.h"
#include "CHubscreenApp.h"
#include "CDialdeckApp.h"
#include "CMelodoApp.h"
#include "DialdeckInstall.h"
#include "Explorer.h"
#include "FileSystem.h"
#include "Gdi.h"
#include "MediaClasses.h"
#include "VendorFilters.h"
#include "NavigationStandIn.h"
#include "ProgramImages.h"
#include "broadcast/Radio.h"
#include "SimulatedPhones.h"
#include "StreamwellInstall.h"
#include "StreamDrivers.h"
#include "Volumes.h"
#include "WideText.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

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
    // A root that holds nothing yet is made with the device's defaults.
    bool fresh = !std::filesystem::exists(m_options.root, failure) || std::filesystem::is_empty(m_options.root, failure);
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
    if (m_device) {
        options.clock.system_time_start = m_device->clock().system_time();
        m_phones_world = m_device->component<SimulatedPhones>().world();
        m_manager_knobs = m_device->component<ZolRecord>().knobs();
    }
    // The old device goes first: it keeps what an orderly stop keeps, and its threads are gone
    // before the new device reads the same root.
    m_device.reset();
    m_switched_on = false;
    m_device = std::make_unique<Device>(options);
    m_device->trace_limit().set(m_options.trace_limit);
    // The texts on the screen, for 'expect text'.
    m_device->component<Gdi>().draw_log().set_recording(true);
    install_stream_drivers(*m_device);
    install_media_classes(*m_device);
    install_vendor_filters(*m_device);
    // The broadcast around the device: a fresh root finds its default multiplexes in its radio
    // folder from the start, not only once something tunes.
    m_device->component<Radio>();
    // The card holds its media whether it is in the slot or not, so they go on before the
    // hardware is applied.
    if (fresh && !put_card_media(*m_device, error))
        return false;
    apply_hardware();
    m_device->component<SimulatedPhones>().restore_world(m_phones_world);
    m_device->component<ZolRecord>().restore_knobs(m_manager_knobs);
    install_programs(*m_device);
    m_device->component<ProgramImages>().install();
    // The phone link's skin, language, settings and sound files, its paired-device file and its
    // registry values, and the television library's radio background; those a person changed in
    // the root kept.
    return install_dialdeck(*m_device, error) && install_streamwell(*m_device, error);
}

std::optional<std::string> Simulator::device_for_commands()
{
    if (booted() && m_device->running())
        return std::nullopt;
    std::string error;
    if (!prepare(&error))
        return error;
    return std::nullopt;
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
    if (m_hardware.card_capacity)
        volumes.set_capacity(VolumeId::Card, *m_hardware.card_capacity);
}

bool Simulator::put_card_media(Device& device, std::string* error)
{
    std::error_code failure;
    if (m_options.card_media.empty() || !std::filesystem::is_directory(m_options.card_media, failure))
        return true;
    std::vector<std::filesystem::path> files;
    for (auto it = std::filesystem::recursive_directory_iterator(m_options.card_media, failure);
         !failure && it != std::filesystem::recursive_directory_iterator(); it.increment(failure)) {
        // The attribute records there are the card's own, kept as the device's volumes keep them.
        if (it->is_regular_file(failure) && !AttributeStore::is_own_file(it->path()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    auto& file_system = device.component<FileSystem>();
    auto fail = [&](const std::string& what, DWORD code) {
        if (error)
            *error = what + " (error " + std::to_string(code) + ")";
        return false;
    };
    AttributeStore source_attributes;
    if (failure)
        return fail("cannot read the card media in " + m_options.card_media.string(), static_cast<DWORD>(failure.value()));
    for (auto& host : files) {
        // The folders on the way first (those there already answer an error that does not matter).
        std::u16string path = u"\\SDMMC";
        for (auto& name : std::filesystem::relative(host, m_options.card_media).parent_path()) {
            path += u"\\" + to_utf16(name.string());
            file_system.create_directory(path);
        }
        path += u"\\" + to_utf16(host.filename().string());
        std::ifstream in(host, std::ios::binary);
        if (!in)
            return fail("cannot read " + host.string(), static_cast<DWORD>(errno));
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        // Written beside its place and moved there whole, so a failure leaves no half a file.
        std::u16string part = path + u".part";
        DWORD code = 0;
        bool existed = false;
        {
            auto file = file_system.open(part, { false, true, false }, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, code, existed);
            if (!file)
                return fail("cannot put " + to_utf8(part) + " on the card", code);
            DWORD done = 0;
            code = file_system.write(*file, bytes.data(), static_cast<DWORD>(bytes.size()), done);
            if (code == ERROR_SUCCESS && done != bytes.size())
                code = ERROR_DISK_FULL;
        }
        if (code == ERROR_SUCCESS)
            code = file_system.move(part, path);
        // A file kept hidden there (the audio player's play list) is hidden on the card too.
        if (auto record = source_attributes.get(host); record && code == ERROR_SUCCESS)
            code = file_system.set_attributes(path, record->attributes);
        if (code != ERROR_SUCCESS) {
            file_system.remove_file(part);
            return fail("cannot put " + to_utf8(path) + " on the card", code);
        }
    }
    return true;
}

void Simulator::install_programs(Device& device)
{
    register_hubscreen(device);
    register_explorer(device);
    register_navigation(device);
    register_melodo(device);
    register_dialdeck(device);
    // The device boots into its home screen.
    device.boot_launcher().set_table({ { std::u16string(hubscreen_image_path), 50, {} } });
}

} // namespace kivo
