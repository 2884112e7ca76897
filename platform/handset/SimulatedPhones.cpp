#include "SimulatedPhones.h"

#include "Clock.h"
#include "Device.h"
#include "PhoneTextForm.h"
#include "WideText.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace kivo {

const char* to_string(CallState state)
{
    switch (state) {
    case CallState::Idle:
        return "idle";
    case CallState::Incoming:
        return "ringing";
    case CallState::Active:
        return "active";
    case CallState::Outgoing:
        return "outgoing";
    }
    return "";
}

const char* to_string(ConnectionStatus status)
{
    switch (status) {
    case ConnectionStatus::Connected:
        return "connected";
    case ConnectionStatus::Disconnected:
        return "disconnected";
    case ConnectionStatus::OutOfRange:
        return "out of range";
    case ConnectionStatus::RadioOff:
        return "radio off";
    }
    return "";
}

const char* to_string(PhoneError error)
{
    switch (error) {
    case PhoneError::None:
        return "done";
    case PhoneError::RadioOff:
        return "Bluetooth is off";
    case PhoneError::UnknownPhone:
        return "no such phone";
    case PhoneError::PhoneExists:
        return "a phone of that name or address exists";
    case PhoneError::BadValue:
        return "value out of bounds";
    case PhoneError::OutOfRange:
        return "the phone is out of range";
    case PhoneError::NotPaired:
        return "the phone is not paired";
    case PhoneError::WrongPin:
        return "wrong PIN";
    case PhoneError::NotConnected:
        return "no phone connected";
    case PhoneError::Busy:
        return "the phone has a call";
    case PhoneError::NoCall:
        return "no such call";
    case PhoneError::NotSupported:
        return "the phone lacks the function";
    case PhoneError::NoNumber:
        return "nothing dialled yet";
    }
    return "";
}

SimulatedPhones::SimulatedPhones(Device& device)
    : m_device(device)
    , m_folder(device.root() / folder_name)
{
    load();
}

SimulatedPhones::~SimulatedPhones() = default;

void SimulatedPhones::load()
{
    std::error_code error;
    Outbox outbox;
    if (!std::filesystem::exists(m_folder, error)) {
        // A fresh root: the phones every new device finds around it.
        std::filesystem::create_directories(m_folder, error);
        for (auto& data : default_phones()) {
            auto& phone = m_phones[data.identity.address];
            phone.data = std::move(data);
            store(phone, outbox);
        }
    } else {
        std::vector<std::filesystem::path> files;
        for (auto it = std::filesystem::directory_iterator(m_folder, error); !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
            if (it->path().extension() == file_extension && it->is_regular_file(error))
                files.push_back(it->path());
        }
        std::sort(files.begin(), files.end());
        for (auto& path : files) {
            std::ifstream in(path, std::ios::binary);
            std::string text((std::istreambuf_iterator<char>(in)), {});
            PhoneData data;
            bool has_address = false;
            size_t skipped = in.bad() ? 1 : PhoneTextForm::read(text, data, &has_address);
            m_skipped_lines += skipped;
            if (skipped)
                outbox.debug_lines.push_back(format_wide(u"phones: %u lines of %hs skipped\r\n", static_cast<unsigned>(skipped), path.filename().c_str()));
            if (!has_address || m_phones.count(data.identity.address)) {
                outbox.debug_lines.push_back(format_wide(u"phones: %hs names no phone of its own, left alone\r\n", path.filename().c_str()));
                continue;
            }
            auto& phone = m_phones[data.identity.address];
            phone.data = std::move(data);
            phone.keep_file_aside = skipped != 0;
        }
    }
    deliver(outbox);
}

std::filesystem::path SimulatedPhones::file_of(PhoneAddress address) const
{
    return m_folder / (address_text(address) + file_extension);
}

// The text goes to a side file first, each write and the close checked, and then replaces the
// old file in one step; a failure keeps the old file and says so in the debug output.
void SimulatedPhones::store(Phone& phone, Outbox& outbox)
{
    auto path = file_of(phone.data.identity.address);
    auto temporary = path;
    temporary += ".new";
    std::string text = PhoneTextForm::write(phone.data);
    std::error_code error;
    bool written = false;
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.close();
        written = static_cast<bool>(file);
    }
    if (written && phone.keep_file_aside) {
        // The lines that could not be read stay readable by a person in the file kept aside.
        auto aside = path;
        aside += ".bad";
        std::filesystem::rename(path, aside, error);
        written = !error;
        if (written)
            phone.keep_file_aside = false;
    }
    if (written) {
        std::filesystem::rename(temporary, path, error);
        written = !error;
    }
    if (!written) {
        std::filesystem::remove(temporary, error);
        outbox.debug_lines.push_back(format_wide(u"phones: cannot store %hs\r\n", path.filename().c_str()));
    }
}

SimulatedPhones::Phone* SimulatedPhones::find(PhoneAddress address)
{
    auto found = m_phones.find(address);
    return found == m_phones.end() ? nullptr : &found->second;
}

const SimulatedPhones::Phone* SimulatedPhones::find(PhoneAddress address) const
{
    auto found = m_phones.find(address);
    return found == m_phones.end() ? nullptr : &found->second;
}

PhoneTime SimulatedPhones::now() const
{
    auto& clock = m_device.clock();
    // Local time is UTC less the bias, in 100 ns units.
    int64_t local = static_cast<int64_t>(clock.system_time()) - static_cast<int64_t>(clock.time_zone_bias()) * 600'000'000;
    SYSTEMTIME fields {};
    filetime_to_system_time(static_cast<uint64_t>(local), fields);
    return { fields.wYear, fields.wMonth, fields.wDay, fields.wHour, fields.wMinute, fields.wSecond };
}

void SimulatedPhones::subscribe(std::shared_ptr<PhoneObserver> observer)
{
    std::lock_guard guard(m_lock);
    m_observers.push_back(std::move(observer));
}

void SimulatedPhones::unsubscribe(const PhoneObserver* observer)
{
    std::lock_guard guard(m_lock);
    std::erase_if(m_observers, [&](auto& kept) { return kept.get() == observer; });
}

// Runs without the lock: observers may call back into the phones, and the ring's repeat is
// scheduled with the scheduler, whose lock comes before the phones'.
void SimulatedPhones::deliver(Outbox& outbox)
{
    for (auto& line : outbox.debug_lines)
        m_device.write_debug(line);
    for (auto& [address, generation] : outbox.rings_to_schedule) {
        auto when = m_device.clock().now_ms() + ring_interval_ms;
        m_device.scheduler().schedule_at(when, [this, address = address, generation = generation] { ring_again(address, generation); });
    }
    std::vector<std::shared_ptr<PhoneObserver>> observers;
    {
        std::lock_guard guard(m_lock);
        observers = m_observers;
    }
    for (auto& observer : observers) {
        for (auto& change : outbox.connections)
            observer->connection_changed(change);
        for (auto& report : outbox.calls)
            observer->call_changed(report);
        for (auto& report : outbox.messages)
            observer->sms_received(report);
    }
}

void SimulatedPhones::ring_again(PhoneAddress address, uint64_t generation)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone || phone->ring_generation != generation || phone->world.call.state != CallState::Incoming)
            return;
        report_call(*phone, outbox);
        outbox.rings_to_schedule.emplace_back(address, generation);
    }
    deliver(outbox);
}

// With the lock held: the device hears only its connected phone.
void SimulatedPhones::report_call(Phone& phone, Outbox& outbox)
{
    if (m_connected != phone.data.identity.address)
        return;
    auto& call = phone.world.call;
    outbox.calls.push_back({ phone.data.identity.address, call.state, call.number, call.name });
}

void SimulatedPhones::set_call(Phone& phone, CallState state, Outbox& outbox)
{
    auto& call = phone.world.call;
    call.state = state;
    if (state == CallState::Incoming) {
        ++phone.ring_generation;
        outbox.rings_to_schedule.emplace_back(phone.data.identity.address, phone.ring_generation);
    }
    report_call(phone, outbox);
    if (state == CallState::Idle)
        call = {};
}

void SimulatedPhones::log_call(Phone& phone, CallList list, const PhoneCall& call)
{
    auto& calls = phone.data.calls;
    calls.insert(calls.begin(), { list, now(), call.number, call.name });
}

void SimulatedPhones::drop_link(ConnectionStatus status, Outbox& outbox)
{
    if (!m_connected)
        return;
    outbox.connections.push_back({ *m_connected, status });
    m_connected.reset();
    m_dial_up_open = false;
}

std::vector<PhoneData> SimulatedPhones::phones() const
{
    std::lock_guard guard(m_lock);
    std::vector<PhoneData> all;
    for (auto& [address, phone] : m_phones)
        all.push_back(phone.data);
    return all;
}

std::optional<PhoneData> SimulatedPhones::phone(PhoneAddress address) const
{
    std::lock_guard guard(m_lock);
    auto* phone = find(address);
    if (!phone)
        return {};
    return phone->data;
}

std::optional<PhoneAddress> SimulatedPhones::find_by_name(std::u16string_view name) const
{
    std::lock_guard guard(m_lock);
    for (auto& [address, phone] : m_phones) {
        if (equals_ignoring_case(phone.data.identity.name, name))
            return address;
    }
    return {};
}

std::optional<PhoneAddress> SimulatedPhones::current_phone() const
{
    std::lock_guard guard(m_lock);
    if (m_connected)
        return m_connected;
    for (auto& [address, phone] : m_phones) {
        if (phone.world.call.state != CallState::Idle)
            return address;
    }
    for (auto& [address, phone] : m_phones) {
        if (phone.data.paired)
            return address;
    }
    return {};
}

std::optional<PhoneWorldState> SimulatedPhones::world_of(PhoneAddress address) const
{
    std::lock_guard guard(m_lock);
    auto* phone = find(address);
    if (!phone)
        return {};
    return phone->world;
}

PhonesWorld SimulatedPhones::world() const
{
    std::lock_guard guard(m_lock);
    PhonesWorld world;
    for (auto& [address, phone] : m_phones)
        world[address] = phone.world;
    return world;
}

void SimulatedPhones::restore_world(const PhonesWorld& world)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        for (auto& [address, state] : world) {
            auto* phone = find(address);
            if (!phone)
                continue;
            phone->world = state;
            if (state.call.state == CallState::Incoming)
                set_call(*phone, CallState::Incoming, outbox);
        }
    }
    deliver(outbox);
}

size_t SimulatedPhones::skipped_lines() const
{
    std::lock_guard guard(m_lock);
    return m_skipped_lines;
}

PhoneError SimulatedPhones::add_phone(const PhoneIdentity& identity)
{
    if (identity.name.empty() || identity.name.size() > phone_max_name_chars || identity.address > phone_address_mask
        || identity.model.size() > phone_max_field_chars || identity.maker.size() > phone_max_field_chars
        || identity.imei.size() > phone_max_field_chars)
        return PhoneError::BadValue;
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        for (auto& [address, phone] : m_phones) {
            if (address == identity.address || equals_ignoring_case(phone.data.identity.name, identity.name))
                return PhoneError::PhoneExists;
        }
        auto& phone = m_phones[identity.address];
        phone.data.identity = identity;
        store(phone, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::remove_phone(PhoneAddress address)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        if (!find(address))
            return PhoneError::UnknownPhone;
        if (m_connected == address)
            drop_link(ConnectionStatus::Disconnected, outbox);
        m_phones.erase(address);
        std::error_code error;
        std::filesystem::remove(file_of(address), error);
        if (error)
            outbox.debug_lines.push_back(format_wide(u"phones: cannot remove %hs\r\n", file_of(address).filename().c_str()));
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::pair(PhoneAddress address)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone)
            return PhoneError::UnknownPhone;
        phone->data.paired = true;
        store(*phone, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::set_pin(PhoneAddress address, std::u16string_view pin)
{
    if (pin.empty() || pin.size() > 16)
        return PhoneError::BadValue;
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone)
            return PhoneError::UnknownPhone;
        phone->data.pin = pin;
        store(*phone, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::ring(PhoneAddress address, std::u16string_view number, std::u16string_view name)
{
    if (number.empty() || number.size() > phone_max_number_chars || name.size() > phone_max_field_chars)
        return PhoneError::BadValue;
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone)
            return PhoneError::UnknownPhone;
        auto& call = phone->world.call;
        if (call.state != CallState::Idle)
            return PhoneError::Busy;
        call.number = number;
        call.name = name;
        if (name.empty()) {
            if (auto* contact = phone->data.find_contact_by_number(number))
                call.name = contact->display_name().substr(0, phone_max_field_chars);
        }
        set_call(*phone, CallState::Incoming, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::answer(PhoneAddress address)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone)
            return PhoneError::UnknownPhone;
        auto& call = phone->world.call;
        if (call.state == CallState::Incoming) {
            // Taken on the handset: its sound stays there.
            call.audio_on_device = false;
            log_call(*phone, CallList::Received, call);
            store(*phone, outbox);
        } else if (call.state != CallState::Outgoing) {
            return PhoneError::NoCall;
        }
        set_call(*phone, CallState::Active, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::hang_up(PhoneAddress address)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone)
            return PhoneError::UnknownPhone;
        auto& call = phone->world.call;
        if (call.state == CallState::Idle)
            return PhoneError::NoCall;
        if (call.state == CallState::Incoming) {
            log_call(*phone, CallList::Missed, call);
            store(*phone, outbox);
        }
        set_call(*phone, CallState::Idle, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::dial(PhoneAddress address, std::u16string_view number)
{
    if (number.empty() || number.size() > phone_max_number_chars)
        return PhoneError::BadValue;
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone)
            return PhoneError::UnknownPhone;
        auto& call = phone->world.call;
        if (call.state != CallState::Idle)
            return PhoneError::Busy;
        call.number = number;
        call.name.clear();
        if (auto* contact = phone->data.find_contact_by_number(number))
            call.name = contact->display_name().substr(0, phone_max_field_chars);
        call.audio_on_device = false;
        log_call(*phone, CallList::Dialled, call);
        store(*phone, outbox);
        set_call(*phone, CallState::Outgoing, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::receive_sms(PhoneAddress address, std::u16string_view number, std::u16string_view text)
{
    if (number.empty() || number.size() > phone_max_number_chars || text.size() > phone_max_sms_chars)
        return PhoneError::BadValue;
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone)
            return PhoneError::UnknownPhone;
        PhoneSms message { true, phone->data.next_sms_location(), now(), std::u16string(number), std::u16string(text) };
        phone->data.messages.push_back(message);
        store(*phone, outbox);
        if (m_connected == address)
            outbox.messages.push_back({ address, std::move(message) });
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::set_in_range(PhoneAddress address, bool in_range)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone)
            return PhoneError::UnknownPhone;
        phone->world.in_range = in_range;
        if (!in_range && m_connected == address)
            drop_link(ConnectionStatus::OutOfRange, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::set_signal(PhoneAddress address, int bars)
{
    if (bars < 0 || bars > phone_max_bars)
        return PhoneError::BadValue;
    std::lock_guard guard(m_lock);
    auto* phone = find(address);
    if (!phone)
        return PhoneError::UnknownPhone;
    phone->world.signal = bars;
    return PhoneError::None;
}

PhoneError SimulatedPhones::set_battery(PhoneAddress address, int bars)
{
    if (bars < 0 || bars > phone_max_bars)
        return PhoneError::BadValue;
    std::lock_guard guard(m_lock);
    auto* phone = find(address);
    if (!phone)
        return PhoneError::UnknownPhone;
    phone->world.battery = bars;
    return PhoneError::None;
}

PhoneError SimulatedPhones::set_lacks(PhoneAddress address, PhoneFunction function, bool lacks)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone)
            return PhoneError::UnknownPhone;
        phone->data.functions[static_cast<size_t>(function)] = lacks ? 0 : 1;
        if (lacks && function == PhoneFunction::DialUp && m_connected == address)
            m_dial_up_open = false;
        store(*phone, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

void SimulatedPhones::set_radio_power(bool on)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        m_radio_on = on;
        if (!on)
            drop_link(ConnectionStatus::RadioOff, outbox);
    }
    deliver(outbox);
}

bool SimulatedPhones::radio_power() const
{
    std::lock_guard guard(m_lock);
    return m_radio_on;
}

std::vector<PhoneIdentity> SimulatedPhones::phones_in_range() const
{
    std::lock_guard guard(m_lock);
    std::vector<PhoneIdentity> found;
    if (!m_radio_on)
        return found;
    for (auto& [address, phone] : m_phones) {
        if (phone.world.in_range)
            found.push_back(phone.data.identity);
    }
    return found;
}

PhoneError SimulatedPhones::pair_with_pin(PhoneAddress address, std::u16string_view pin)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!m_radio_on)
            return PhoneError::RadioOff;
        if (!phone)
            return PhoneError::UnknownPhone;
        if (!phone->world.in_range)
            return PhoneError::OutOfRange;
        if (pin != phone->data.pin)
            return PhoneError::WrongPin;
        phone->data.paired = true;
        store(*phone, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::unpair(PhoneAddress address)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!phone)
            return PhoneError::UnknownPhone;
        if (m_connected == address)
            drop_link(ConnectionStatus::Disconnected, outbox);
        phone->data.paired = false;
        store(*phone, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::connect(PhoneAddress address)
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = find(address);
        if (!m_radio_on)
            return PhoneError::RadioOff;
        if (!phone)
            return PhoneError::UnknownPhone;
        if (!phone->world.in_range)
            return PhoneError::OutOfRange;
        if (!phone->data.paired)
            return PhoneError::NotPaired;
        if (m_connected == address)
            return PhoneError::None;
        drop_link(ConnectionStatus::Disconnected, outbox);
        m_connected = address;
        outbox.connections.push_back({ address, ConnectionStatus::Connected });
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::disconnect()
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        if (!m_connected)
            return PhoneError::NotConnected;
        drop_link(ConnectionStatus::Disconnected, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

std::optional<PhoneAddress> SimulatedPhones::connected_phone() const
{
    std::lock_guard guard(m_lock);
    return m_connected;
}

PhoneError SimulatedPhones::answer_on_device()
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = m_connected ? find(*m_connected) : nullptr;
        if (!phone)
            return PhoneError::NotConnected;
        auto& call = phone->world.call;
        if (call.state != CallState::Incoming)
            return PhoneError::NoCall;
        call.audio_on_device = true;
        log_call(*phone, CallList::Received, call);
        store(*phone, outbox);
        set_call(*phone, CallState::Active, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::hang_up_on_device()
{
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = m_connected ? find(*m_connected) : nullptr;
        if (!phone)
            return PhoneError::NotConnected;
        auto& call = phone->world.call;
        if (call.state == CallState::Idle)
            return PhoneError::NoCall;
        // A call turned down is one not taken.
        if (call.state == CallState::Incoming) {
            log_call(*phone, CallList::Missed, call);
            store(*phone, outbox);
        }
        set_call(*phone, CallState::Idle, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::dial_on_device(std::u16string_view number)
{
    if (number.empty() || number.size() > phone_max_number_chars)
        return PhoneError::BadValue;
    Outbox outbox;
    {
        std::lock_guard guard(m_lock);
        auto* phone = m_connected ? find(*m_connected) : nullptr;
        if (!phone)
            return PhoneError::NotConnected;
        auto& call = phone->world.call;
        if (call.state != CallState::Idle)
            return PhoneError::Busy;
        call.number = number;
        call.name.clear();
        if (auto* contact = phone->data.find_contact_by_number(number))
            call.name = contact->display_name().substr(0, phone_max_field_chars);
        call.audio_on_device = true;
        m_last_dialled = number;
        log_call(*phone, CallList::Dialled, call);
        store(*phone, outbox);
        set_call(*phone, CallState::Outgoing, outbox);
    }
    deliver(outbox);
    return PhoneError::None;
}

PhoneError SimulatedPhones::redial_on_device()
{
    std::u16string number;
    {
        std::lock_guard guard(m_lock);
        auto* phone = m_connected ? find(*m_connected) : nullptr;
        if (!phone)
            return PhoneError::NotConnected;
        // The phone redials its own last dialled number, whoever dialled it.
        auto dialled = std::find_if(phone->data.calls.begin(), phone->data.calls.end(),
            [](const CallLogEntry& entry) { return entry.list == CallList::Dialled; });
        if (dialled == phone->data.calls.end())
            return PhoneError::NoNumber;
        number = dialled->number;
    }
    return dial_on_device(number);
}

PhoneError SimulatedPhones::send_dtmf(std::u16string_view digits)
{
    bool valid = !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || c == u'*' || c == u'#' || (c >= u'A' && c <= u'D');
    });
    if (!valid)
        return PhoneError::BadValue;
    std::lock_guard guard(m_lock);
    auto* phone = m_connected ? find(*m_connected) : nullptr;
    if (!phone)
        return PhoneError::NotConnected;
    if (phone->world.call.state != CallState::Active)
        return PhoneError::NoCall;
    phone->world.call.dtmf_heard += digits;
    return PhoneError::None;
}

PhoneError SimulatedPhones::transfer_audio(bool to_device)
{
    std::lock_guard guard(m_lock);
    auto* phone = m_connected ? find(*m_connected) : nullptr;
    if (!phone)
        return PhoneError::NotConnected;
    if (phone->world.call.state == CallState::Idle)
        return PhoneError::NoCall;
    phone->world.call.audio_on_device = to_device;
    return PhoneError::None;
}

void SimulatedPhones::set_microphone_on(bool on)
{
    std::lock_guard guard(m_lock);
    m_microphone_on = on;
}

bool SimulatedPhones::microphone_on() const
{
    std::lock_guard guard(m_lock);
    return m_microphone_on;
}

void SimulatedPhones::set_speaker_volume(int volume)
{
    std::lock_guard guard(m_lock);
    m_speaker_volume = volume;
}

int SimulatedPhones::speaker_volume() const
{
    std::lock_guard guard(m_lock);
    return m_speaker_volume;
}

PhoneError SimulatedPhones::open_dial_up()
{
    std::lock_guard guard(m_lock);
    auto* phone = m_connected ? find(*m_connected) : nullptr;
    if (!phone)
        return PhoneError::NotConnected;
    if (!phone->data.offers(PhoneFunction::DialUp))
        return PhoneError::NotSupported;
    m_dial_up_open = true;
    return PhoneError::None;
}

PhoneError SimulatedPhones::close_dial_up()
{
    std::lock_guard guard(m_lock);
    if (!m_dial_up_open)
        return PhoneError::NotConnected;
    m_dial_up_open = false;
    return PhoneError::None;
}

bool SimulatedPhones::dial_up_open() const
{
    std::lock_guard guard(m_lock);
    return m_dial_up_open;
}

std::optional<std::vector<PhoneFileItem>> SimulatedPhones::list_folder(PhoneAddress address, std::u16string_view folder) const
{
    std::lock_guard guard(m_lock);
    auto* phone = find(address);
    if (!phone)
        return {};
    if (folder != u"/") {
        auto* item = phone->data.find_file(folder);
        if (!item || !item->folder)
            return {};
    }
    std::vector<PhoneFileItem> entries;
    for (auto& item : phone->data.files) {
        if (item.parent() == folder)
            entries.push_back(item);
    }
    return entries;
}

std::optional<std::vector<uint8_t>> SimulatedPhones::file_content(PhoneAddress address, std::u16string_view path) const
{
    std::lock_guard guard(m_lock);
    auto* phone = find(address);
    auto* item = phone ? phone->data.find_file(path) : nullptr;
    if (!item || item->folder)
        return {};
    return phone_file_content(*item);
}

} // namespace kivo
