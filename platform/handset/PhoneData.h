#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// What one simulated phone holds: its identity, the functions it offers, its pairing and its own
// data (phonebook, call lists, messages, files). The phone's world (range, signal, battery, the
// call under way) is kept apart, in PhoneWorld.

// A 48-bit Bluetooth address.
using PhoneAddress = uint64_t;
inline constexpr PhoneAddress phone_address_mask = 0xFFFF'FFFF'FFFFull;

// The address as twelve upper-case hexadecimal digits, high half first ("001A2B3C4D5E"), the
// form in which the phone link shows and keeps addresses too.
std::string address_text(PhoneAddress);
std::optional<PhoneAddress> parse_address(std::string_view);

// A calendar time of the phone's clock (the device's local time when the phone got it).
struct PhoneTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const PhoneTime&) const = default;
};
// "YYYY-MM-DD hh:mm:ss", the form of the manager's message dates too.
std::string time_text(const PhoneTime&);
std::optional<PhoneTime> parse_time(std::string_view);

// The functions a phone may offer, by their byte in the supported-functions record.
enum class PhoneFunction : int {
    SendSms = 1,
    FileTransfer = 3,
    Phonebook = 6,
    DialUp = 14,
    HandsFree = 21,
    SmsList = 22,
    CallLog = 23,
};
inline constexpr size_t phone_function_count = 24;
using PhoneFunctions = std::array<uint8_t, phone_function_count>;
// Every function above offered (1), the other bytes 0.
PhoneFunctions all_phone_functions();
std::optional<PhoneFunction> parse_phone_function(std::string_view name);

// The bounds of the records the manager hands on; longer texts cannot travel and are refused.
inline constexpr size_t phone_max_contact_fields = 26;
inline constexpr size_t phone_max_field_chars = 259;
inline constexpr size_t phone_max_location_bytes = 99;
inline constexpr size_t phone_max_number_chars = 40;
inline constexpr size_t phone_max_sms_chars = 1002;
inline constexpr size_t phone_max_name_chars = 159;
inline constexpr size_t phone_max_file_name_chars = 399;
// File contents are made on demand, so a size is only a number; this keeps a copy in memory sane.
inline constexpr uint32_t phone_max_file_size = 64u << 20;

// Contact field types the phone's own logic reads (name lookup by number).
inline constexpr int phone_field_other_name = 15;
inline constexpr int phone_field_last_name = 16;
inline constexpr int phone_field_first_name = 17;
bool is_phone_number_field(int type);

struct ContactField {
    int type = 0;
    std::u16string text;
    bool operator==(const ContactField&) const = default;
};

struct PhoneContact {
    int memory_type = 0;
    // The entry's place in the phone's memory, handed on untouched.
    std::string location;
    std::vector<ContactField> fields;
    bool operator==(const PhoneContact&) const = default;

    bool has_number(std::u16string_view number) const;
    // The other name, else first and last name joined by a space, else "". It may be longer than
    // a field: a call's name is cut to one.
    std::u16string display_name() const;
};

// The three call lists; their names are the storages the manager is asked for.
enum class CallList {
    Received, // "RC"
    Dialled,  // "DC"
    Missed,   // "MC"
};
const char* storage_name(CallList);
std::optional<CallList> parse_call_list(std::string_view storage);

struct CallLogEntry {
    CallList list = CallList::Received;
    PhoneTime time;
    std::u16string number;
    std::u16string name;
    bool operator==(const CallLogEntry&) const = default;
};

struct PhoneSms {
    bool received = true;
    // The message's place in the phone.
    int location = 0;
    PhoneTime time;
    std::u16string number;
    std::u16string text;
    bool operator==(const PhoneSms&) const = default;
};

// A file or folder of the phone's file tree, by its full path ("/Pictures/harbour.jpg").
struct PhoneFileItem {
    std::u16string path;
    bool folder = false;
    uint32_t size = 0;
    PhoneTime modified;
    bool operator==(const PhoneFileItem&) const = default;

    std::u16string name() const;
    std::u16string parent() const;
};

struct PhoneIdentity {
    std::u16string name;
    PhoneAddress address = 0;
    std::u16string model;
    std::u16string maker;
    std::u16string imei;
    bool operator==(const PhoneIdentity&) const = default;
};

inline constexpr std::u16string_view default_phone_pin = u"6158";

struct PhoneData {
    PhoneIdentity identity;
    PhoneFunctions functions = all_phone_functions();
    std::u16string pin { default_phone_pin };
    bool paired = false;
    std::vector<PhoneContact> contacts;
    // Newest first within each list.
    std::vector<CallLogEntry> calls;
    std::vector<PhoneSms> messages;
    std::vector<PhoneFileItem> files;
    bool operator==(const PhoneData&) const = default;

    bool offers(PhoneFunction function) const { return functions[static_cast<size_t>(function)] == 1; }
    const PhoneFileItem* find_file(std::u16string_view path) const;
    // Adds a file or folder with the folders above it that are missing; false when the path is
    // taken, malformed, or lies below a file.
    bool add_file(PhoneFileItem);
    // The contact whose number this is, if any.
    const PhoneContact* find_contact_by_number(std::u16string_view number) const;
    int next_sms_location() const;
};

// A phone file's content: its bytes are made from its path and size, so the data file keeps only
// the size and a copy can still be checked byte by byte.
std::vector<uint8_t> phone_file_content(const PhoneFileItem&);

} // namespace kivo
