#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "PhoneData.h"
#include "PhoneObserver.h"
#include "PhoneWorld.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

class Device;

// Why a request to the phones was refused.
enum class PhoneError {
    None,
    RadioOff,     // the device's Bluetooth is off
    UnknownPhone, // no phone with that address (or name)
    PhoneExists,  // add: the address or name is taken
    BadValue,     // a name, number, text or level out of bounds
    OutOfRange,
    NotPaired,
    WrongPin,
    NotConnected, // no phone connected to the device
    Busy,         // the phone has a call already
    NoCall,       // no call in the state the request needs
    NotSupported, // the phone lacks the function
    NoNumber,     // redial with nothing dialled yet
};
const char* to_string(PhoneError);

// The simulated phones around the device: what the Bluetooth manager stand-in talks to, and what a
// test or the simulator plays the phones' side of. Two kinds of requests:
// - the phones' side, named after the simulator's `phone` commands (add_phone, remove_phone, pair,
//   ring, answer, hang_up, dial, receive_sms, set_in_range, set_signal, set_battery, set_lacks);
// - the device's side, what the manager asks of them (set_radio_power, pair_with_pin, connect,
//   disconnect, answer_on_device, hang_up_on_device, dial_on_device, send_dtmf …).
// Identity, data and pairing are kept in the device root, under "phones/", one text file per
// phone; range, signal, battery and calls are the phones' world, which outlives the device
// (world(), restore_world()). The link, the radio and the audio settings are the device's and
// start afresh with it.
class SimulatedPhones final : public DeviceComponent {
public:
    static constexpr const char* folder_name = "phones";
    static constexpr const char* file_extension = ".phone";
    // A ring is reported at once and again at this interval of device time while it lasts.
    static constexpr uint64_t ring_interval_ms = 5000;
    static constexpr int default_speaker_volume = 5;

    explicit SimulatedPhones(Device&);
    ~SimulatedPhones() override;

    // Observers hear the connected phone (see PhoneObserver for the threads).
    void subscribe(std::shared_ptr<PhoneObserver>);
    void unsubscribe(const PhoneObserver*);

    // Every phone's data, in the order of their addresses.
    std::vector<PhoneData> phones() const;
    std::optional<PhoneData> phone(PhoneAddress) const;
    // A phone by name, without regard to case.
    std::optional<PhoneAddress> find_by_name(std::u16string_view name) const;
    // The phone a command without a phone's name means: the connected one, else the first with a
    // call, else the first paired one.
    std::optional<PhoneAddress> current_phone() const;
    std::optional<PhoneWorldState> world_of(PhoneAddress) const;
    PhonesWorld world() const;
    // Takes up the world kept from an earlier device: phones it does not know keep the default
    // world, and a phone still ringing rings on.
    void restore_world(const PhonesWorld&);
    // Lines of the phones' files that could not be read, since the device started.
    size_t skipped_lines() const;

    // The phones' side.
    PhoneError add_phone(const PhoneIdentity&);
    PhoneError remove_phone(PhoneAddress);
    // The phone accepts the device as paired (as the user would on the handset).
    PhoneError pair(PhoneAddress);
    PhoneError set_pin(PhoneAddress, std::u16string_view pin);
    // A call comes in; name empty: the phone's own contact for the number, if any.
    PhoneError ring(PhoneAddress, std::u16string_view number, std::u16string_view name = {});
    // Answered on the handset, or, for a call dialled, the called party picks up.
    PhoneError answer(PhoneAddress);
    // The call ends on the phone or on the far side; a call never answered counts as missed.
    PhoneError hang_up(PhoneAddress);
    // A number dialled on the handset.
    PhoneError dial(PhoneAddress, std::u16string_view number);
    PhoneError receive_sms(PhoneAddress, std::u16string_view number, std::u16string_view text);
    PhoneError set_in_range(PhoneAddress, bool);
    PhoneError set_signal(PhoneAddress, int bars);
    PhoneError set_battery(PhoneAddress, int bars);
    PhoneError set_lacks(PhoneAddress, PhoneFunction, bool lacks = true);

    // The device's side.
    void set_radio_power(bool on);
    bool radio_power() const;
    // What a device search finds: the phones in range, with the radio on.
    std::vector<PhoneIdentity> phones_in_range() const;
    PhoneError pair_with_pin(PhoneAddress, std::u16string_view pin);
    PhoneError unpair(PhoneAddress);
    // Links the device to a paired phone in range (dropping another link first).
    PhoneError connect(PhoneAddress);
    PhoneError disconnect();
    std::optional<PhoneAddress> connected_phone() const;
    PhoneError answer_on_device();
    PhoneError hang_up_on_device();
    PhoneError dial_on_device(std::u16string_view number);
    PhoneError redial_on_device();
    // Tones sent during an active call: 0-9, *, #, A-D.
    PhoneError send_dtmf(std::u16string_view digits);
    // Moves the call's sound to the device (true) or to the handset.
    PhoneError transfer_audio(bool to_device);
    void set_microphone_on(bool);
    bool microphone_on() const;
    void set_speaker_volume(int);
    int speaker_volume() const;
    PhoneError open_dial_up();
    PhoneError close_dial_up();
    bool dial_up_open() const;

    // The connected phone's files: the entries of a folder ("/" for the root) and a file's bytes.
    std::optional<std::vector<PhoneFileItem>> list_folder(PhoneAddress, std::u16string_view folder) const;
    std::optional<std::vector<uint8_t>> file_content(PhoneAddress, std::u16string_view path) const;

    // The phones a fresh device root starts with: a paired default phone with contacts, calls,
    // messages and files, and an unpaired one in range.
    static std::vector<PhoneData> default_phones();

private:
    struct Phone {
        PhoneData data;
        PhoneWorldState world;
        // Counts rings, so that a repeat scheduled for an earlier ring does nothing.
        uint64_t ring_generation = 0;
        // Lines skipped when the file was read: the file is kept aside before it is rewritten.
        bool keep_file_aside = false;
    };
    // Events and follow-ups gathered under the lock, delivered and done after it is released.
    struct Outbox {
        std::vector<ConnectionChange> connections;
        std::vector<CallReport> calls;
        std::vector<SmsReport> messages;
        std::vector<std::pair<PhoneAddress, uint64_t>> rings_to_schedule;
        std::vector<std::u16string> debug_lines;
    };

    Phone* find(PhoneAddress);
    const Phone* find(PhoneAddress) const;
    void load();
    // With the lock held.
    void store(Phone&, Outbox&);
    void drop_link(ConnectionStatus, Outbox&);
    void report_call(Phone&, Outbox&);
    void set_call(Phone&, CallState, Outbox&);
    void log_call(Phone&, CallList, const PhoneCall&);
    PhoneTime now() const;
    std::filesystem::path file_of(PhoneAddress) const;
    // Without the lock.
    void deliver(Outbox&);
    void ring_again(PhoneAddress, uint64_t generation);

    Device& m_device;
    std::filesystem::path m_folder;
    mutable HostMutex m_lock { LockRank::Phones };
    std::map<PhoneAddress, Phone> m_phones;
    std::vector<std::shared_ptr<PhoneObserver>> m_observers;
    bool m_radio_on = false;
    std::optional<PhoneAddress> m_connected;
    bool m_microphone_on = true;
    int m_speaker_volume = default_speaker_volume;
    bool m_dial_up_open = false;
    std::u16string m_last_dialled;
    size_t m_skipped_lines = 0;
};

} // namespace kivo
