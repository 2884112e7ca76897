#pragma once

// The records the phone link, the Bluetooth manager and the handset modules exchange, byte for
// byte as on the device: little-endian, fixed-width, UTF-16 text terminated inside its field.
// A field that held a pointer or a handle in 32 bits on the device holds a 32-bit value of the
// platform (a block token, a handle value), never a host pointer.

#include "platform.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

inline constexpr int PHONEBOOK_MAX_FIELDS = 26;
inline constexpr int PHONEBOOK_TEXT_CHARS = 260;

// Field types the phone link interprets; every other type is carried untouched.
inline constexpr int PHONEBOOK_FIELD_DATETIME = 13;
inline constexpr int PHONEBOOK_FIELD_OTHER_NAME = 15;
inline constexpr int PHONEBOOK_FIELD_LAST_NAME = 16;
inline constexpr int PHONEBOOK_FIELD_FIRST_NAME = 17;

// Memory types of call-list entries.
inline constexpr int PHONEBOOK_MEMORY_DIALLED = 4;
inline constexpr int PHONEBOOK_MEMORY_RECEIVED = 5;
inline constexpr int PHONEBOOK_MEMORY_MISSED = 6;

struct PhoneDateTime {
    int32_t zone;
    int32_t second;
    int32_t minute;
    int32_t hour;
    int32_t day;
    int32_t month;
    int32_t year; // 0: no date
};
static_assert(sizeof(PhoneDateTime) == 28);
static_assert(offsetof(PhoneDateTime, second) == 4);
static_assert(offsetof(PhoneDateTime, minute) == 8);
static_assert(offsetof(PhoneDateTime, hour) == 12);
static_assert(offsetof(PhoneDateTime, day) == 16);
static_assert(offsetof(PhoneDateTime, month) == 20);
static_assert(offsetof(PhoneDateTime, year) == 24);

struct PhonebookField {
    int32_t type;
    // Text. Other fields keep numbers in its room instead: a date field (type 13) its
    // PhoneDateTime at byte 404 of the text, and the numeric fields that the handset modules fill
    // (group, melody and picture ids) an int right after it; see GetFieldValue.
    WCHAR text[PHONEBOOK_TEXT_CHARS];
};
static_assert(sizeof(PhonebookField) == 524);
static_assert(offsetof(PhonebookField, text) == 4);
inline constexpr size_t PHONEBOOK_DATETIME_OFFSET = 404;    // within text
inline constexpr size_t PHONEBOOK_FIELD_VALUE_OFFSET = 436; // within the field
static_assert(offsetof(PhonebookField, text) + PHONEBOOK_DATETIME_OFFSET + sizeof(PhoneDateTime) == PHONEBOOK_FIELD_VALUE_OFFSET);
static_assert(PHONEBOOK_FIELD_VALUE_OFFSET + sizeof(int32_t) <= sizeof(PhonebookField));

// The int of a numeric field, as the handset modules share it.
inline int32_t GetFieldValue(const PhonebookField& field)
{
    int32_t value;
    std::memcpy(&value, reinterpret_cast<const BYTE*>(&field) + PHONEBOOK_FIELD_VALUE_OFFSET, sizeof(value));
    return value;
}

inline void SetFieldValue(PhonebookField& field, int32_t value)
{
    std::memcpy(reinterpret_cast<BYTE*>(&field) + PHONEBOOK_FIELD_VALUE_OFFSET, &value, sizeof(value));
}

struct PhonebookEntry {
    int32_t memoryType;
    // The entry's place in the phone, as the manager gives it; carried whole, never interpreted.
    char location[100];
    int32_t fieldCount; // 0 to 26
    PhonebookField fields[PHONEBOOK_MAX_FIELDS];
};
static_assert(sizeof(PhonebookEntry) == 13732);
static_assert(offsetof(PhonebookEntry, location) == 4);
static_assert(offsetof(PhonebookEntry, fieldCount) == 104);
static_assert(offsetof(PhonebookEntry, fields) == 108);

// The packed form of a contact: this head, then fieldCount PhonebookFields right after it; the
// next record begins after them. Records are read byte by byte, at any address.
struct PackedPhonebookEntry {
    int32_t fieldCount;
    int32_t memoryType;
    char location[100];
};
static_assert(sizeof(PackedPhonebookEntry) == 108);
static_assert(offsetof(PackedPhonebookEntry, memoryType) == 4);
static_assert(offsetof(PackedPhonebookEntry, location) == 8);
inline constexpr size_t PACKED_CONTACT_HEAD = sizeof(PackedPhonebookEntry);
inline constexpr size_t PACKED_CONTACT_LARGEST = PACKED_CONTACT_HEAD + PHONEBOOK_MAX_FIELDS * sizeof(PhonebookField);

struct SmsRecord {
    BYTE leading[32];
    WCHAR number[41];
    // When it has exactly 19 characters: year, month, day, hour, minute and second at positions
    // 0-3, 5-6, 8-9, 11-12, 14-15 and 17-18.
    WCHAR date[40];
    WCHAR text[1003];
    int32_t location;
    int32_t received; // not 0 for a received message
    int32_t store;
    BYTE trailing[4];
};
static_assert(sizeof(SmsRecord) == 2216);
static_assert(offsetof(SmsRecord, number) == 32);
static_assert(offsetof(SmsRecord, date) == 114);
static_assert(offsetof(SmsRecord, text) == 194);
static_assert(offsetof(SmsRecord, location) == 2200);
static_assert(offsetof(SmsRecord, received) == 2204);
static_assert(offsetof(SmsRecord, store) == 2208);
static_assert(offsetof(SmsRecord, trailing) == 2212);

struct DeviceRecord {
    uint32_t addressLow;  // low 32 bits of the Bluetooth address
    uint32_t addressHigh; // its high 16 bits
    BYTE reserved[8];
    WCHAR name[160];
};
static_assert(sizeof(DeviceRecord) == 336);
static_assert(offsetof(DeviceRecord, addressHigh) == 4);
static_assert(offsetof(DeviceRecord, reserved) == 8);
static_assert(offsetof(DeviceRecord, name) == 16);

struct FileEntry {
    int32_t length;
    WCHAR name[400];
    BYTE isFolder;
    BYTE reserved[3];
    int32_t level;
    int32_t fileType;
    WCHAR id[400];
    // The content during a transfer: a block token of the platform, 0 in a listing.
    uint32_t data;
    PhoneDateTime modified;
    // Kept by the phone side: 1 when the listing gave no modification time.
    BYTE noTime;
    // Kept by the phone side; cleared before every transfer.
    BYTE flags[4];
    BYTE reserved2[3];
    int32_t size; // -1 when the phone gave none
    WCHAR fullName[400];
};
static_assert(sizeof(FileEntry) == 2460);
static_assert(offsetof(FileEntry, name) == 4);
static_assert(offsetof(FileEntry, isFolder) == 804);
static_assert(offsetof(FileEntry, reserved) == 805);
static_assert(offsetof(FileEntry, level) == 808);
static_assert(offsetof(FileEntry, fileType) == 812);
static_assert(offsetof(FileEntry, id) == 816);
static_assert(offsetof(FileEntry, data) == 1616);
static_assert(offsetof(FileEntry, modified) == 1620);
static_assert(offsetof(FileEntry, noTime) == 1648);
static_assert(offsetof(FileEntry, flags) == 1649 && sizeof(FileEntry::flags) == 4);
static_assert(offsetof(FileEntry, reserved2) == 1653);
static_assert(offsetof(FileEntry, size) == 1656);
static_assert(offsetof(FileEntry, fullName) == 1660);

struct FileEntryEx {
    FileEntry file;
    // The shared-memory block that holds the content, by name and mapping handle value.
    WCHAR mappingName[260];
    uint32_t mapping;
};
static_assert(sizeof(FileEntryEx) == 2984);
static_assert(offsetof(FileEntryEx, mappingName) == 2460);
static_assert(offsetof(FileEntryEx, mapping) == 2980);

struct GetFileRequest {
    WCHAR destination[260];
    FileEntry file;
};
static_assert(sizeof(GetFileRequest) == 2980);
static_assert(offsetof(GetFileRequest, file) == 520);

// One byte per function of the connected phone; only 1 means supported.
struct PhoneSupportFun {
    BYTE functions[24];
};
static_assert(sizeof(PhoneSupportFun) == 24);
inline constexpr int PHONE_SUPPORT_SEND_SMS = 1;
inline constexpr int PHONE_SUPPORT_FILE_TRANSFER = 3;
inline constexpr int PHONE_SUPPORT_PHONEBOOK = 6;
inline constexpr int PHONE_SUPPORT_DIAL_UP = 14;
inline constexpr int PHONE_SUPPORT_HANDS_FREE = 21;
inline constexpr int PHONE_SUPPORT_SMS_LIST = 22;
inline constexpr int PHONE_SUPPORT_CALL_LOG = 23;

// Text of a record's field, read only within the field: a field from outside may lack its zero.
template<size_t N>
std::u16string ReadRecordText(const WCHAR (&field)[N])
{
    const WCHAR* end = std::find(field, field + N, u'\0');
    return std::u16string(field, end);
}

// Writes text into a record's field, cut to fit and always terminated.
template<size_t N>
void WriteRecordText(WCHAR (&field)[N], std::u16string_view text)
{
    size_t length = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), length, field);
    std::fill(field + length, field + N, u'\0');
}
