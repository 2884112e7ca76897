#include "Contacts.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the records' UTF-16 text is copied as it lies in memory");

namespace {

int32_t read_int(const BYTE* bytes)
{
    uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8
        | static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return static_cast<int32_t>(value);
}

void write_int(BYTE* bytes, int32_t value)
{
    auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<BYTE>(bits >> (8 * i));
}

bool is_valid_field_count(int32_t count)
{
    return count >= 0 && count <= PHONEBOOK_MAX_FIELDS;
}

// The fields an entry really has, whatever its count claims.
int used_fields(const PhonebookEntry& entry)
{
    return std::clamp<int32_t>(entry.fieldCount, 0, PHONEBOOK_MAX_FIELDS);
}

struct NameFields {
    std::u16string first;
    std::u16string last;
    std::u16string other;
};

// The name fields of an entry; when a type occurs twice the later field wins.
NameFields name_fields(const PhonebookEntry& entry)
{
    NameFields names;
    for (int i = 0; i < used_fields(entry); ++i) {
        auto& field = entry.fields[i];
        if (field.type == PHONEBOOK_FIELD_FIRST_NAME)
            names.first = ReadRecordText(field.text);
        else if (field.type == PHONEBOOK_FIELD_LAST_NAME)
            names.last = ReadRecordText(field.text);
        else if (field.type == PHONEBOOK_FIELD_OTHER_NAME)
            names.other = ReadRecordText(field.text);
    }
    return names;
}

void format_name(const PhonebookEntry& entry, std::u16string* out, bool last_first)
{
    auto names = name_fields(entry);
    if (names.first.empty() && names.last.empty())
        SplitFullName(names.other, &names.first, &names.last);
    if (!names.first.empty() && !names.last.empty())
        *out = last_first ? names.last + u"," + names.first : names.first + u" " + names.last;
    else if (!names.first.empty())
        *out = names.first;
    else if (!names.last.empty())
        *out = names.last;
    else if (!names.other.empty())
        *out = names.other;
}

} // namespace

int UnpackContact(const BYTE* packed, size_t length, PhonebookEntry* out)
{
    std::memset(out, 0, sizeof(*out));
    if (length < PACKED_CONTACT_HEAD)
        return 0;
    int32_t count = read_int(packed);
    if (!is_valid_field_count(count))
        return 0;
    size_t total = PACKED_CONTACT_HEAD + static_cast<size_t>(count) * sizeof(PhonebookField);
    if (total > length)
        return 0;
    out->fieldCount = count;
    out->memoryType = read_int(packed + offsetof(PackedPhonebookEntry, memoryType));
    std::memcpy(out->location, packed + offsetof(PackedPhonebookEntry, location), sizeof(out->location));
    const BYTE* field = packed + PACKED_CONTACT_HEAD;
    for (int i = 0; i < count; ++i, field += sizeof(PhonebookField)) {
        out->fields[i].type = read_int(field);
        // Copied as it came: a field may hold numbers rather than text, so it is bounded only
        // where it is read as text.
        std::memcpy(out->fields[i].text, field + offsetof(PhonebookField, text), sizeof(out->fields[i].text));
    }
    return static_cast<int>(total);
}

int UnpackContact(const BYTE* packed, PhonebookEntry* out)
{
    return UnpackContact(packed, PACKED_CONTACT_LARGEST, out);
}

int PackContact(const PhonebookEntry* entry, BYTE* out)
{
    if (!is_valid_field_count(entry->fieldCount))
        return 0;
    write_int(out, entry->fieldCount);
    write_int(out + offsetof(PackedPhonebookEntry, memoryType), entry->memoryType);
    std::memcpy(out + offsetof(PackedPhonebookEntry, location), entry->location, sizeof(entry->location));
    BYTE* field = out + PACKED_CONTACT_HEAD;
    for (int i = 0; i < entry->fieldCount; ++i, field += sizeof(PhonebookField)) {
        write_int(field, entry->fields[i].type);
        std::memcpy(field + offsetof(PhonebookField, text), entry->fields[i].text, sizeof(entry->fields[i].text));
    }
    return static_cast<int>(PACKED_CONTACT_HEAD + entry->fieldCount * sizeof(PhonebookField));
}

bool UnpackContactRun(const BYTE* run, size_t length, std::vector<PhonebookEntry>& out)
{
    size_t position = 0;
    while (position < length) {
        auto& entry = out.emplace_back();
        int size = UnpackContact(run + position, length - position, &entry);
        if (size == 0) {
            out.pop_back();
            return false;
        }
        position += static_cast<size_t>(size);
    }
    return true;
}

bool IsNumberFieldType(int type)
{
    return (type >= 1 && type <= 7) || type == 38 || type == 39 || (type >= 44 && type <= 47) || (type >= 54 && type <= 58)
        || (type >= 64 && type <= 72);
}

void GetFirstNumber(const PhonebookEntry* entry, std::u16string* out)
{
    for (int i = 0; i < used_fields(*entry); ++i) {
        if (IsNumberFieldType(entry->fields[i].type)) {
            *out = ReadRecordText(entry->fields[i].text);
            return;
        }
    }
}

void CollectNumbers(const PhonebookEntry* entry, std::vector<std::unique_ptr<PhonebookField>>& numbers)
{
    numbers.clear();
    for (int i = 0; i < used_fields(*entry); ++i) {
        if (IsNumberFieldType(entry->fields[i].type))
            numbers.push_back(std::make_unique<PhonebookField>(entry->fields[i]));
    }
}

int GetContactDateTime(const PhonebookEntry* entry, PhoneDateTime* out)
{
    for (int i = 0; i < used_fields(*entry); ++i) {
        auto& field = entry->fields[i];
        if (field.type != PHONEBOOK_FIELD_DATETIME)
            continue;
        std::memcpy(out, reinterpret_cast<const BYTE*>(field.text) + PHONEBOOK_DATETIME_OFFSET, sizeof(*out));
        // Read as unsigned, so negative values fail; the bounds are the phones' own, 24 and 60.
        auto value = [](int32_t v) { return static_cast<uint32_t>(v); };
        bool valid = value(out->year) != 0 && value(out->month) >= 1 && value(out->month) <= 12 && value(out->day) >= 1
            && value(out->day) <= 31 && value(out->hour) <= 24 && value(out->minute) <= 60 && value(out->second) <= 60;
        return valid ? 1 : 0;
    }
    return 0;
}

bool SplitFullName(std::u16string name, std::u16string* first, std::u16string* last)
{
    if (name.empty())
        return false;
    auto space = name.find(u' ');
    if (space == std::u16string::npos) {
        *first = name;
        last->clear();
        return true;
    }
    *first = name.substr(0, space);
    *last = name.substr(space + 1);
    return true;
}

void FormatNameFirstLast(const PhonebookEntry* entry, std::u16string* out)
{
    format_name(*entry, out, false);
}

void FormatNameLastFirst(const PhonebookEntry* entry, std::u16string* out)
{
    format_name(*entry, out, true);
}

void GetContactDisplayName(const PhonebookEntry* entry, std::u16string* out)
{
    auto names = name_fields(*entry);
    if (!names.other.empty())
        *out = names.other;
    else if (!names.first.empty())
        *out = names.last.empty() ? names.first : names.first + u" " + names.last;
    else if (!names.last.empty())
        *out = names.last;
}
