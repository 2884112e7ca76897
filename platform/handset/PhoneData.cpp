#include "PhoneData.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace kivo {

std::string address_text(PhoneAddress address)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%04X%08X", static_cast<unsigned>((address >> 32) & 0xFFFF),
        static_cast<unsigned>(address & 0xFFFF'FFFF));
    return text;
}

std::optional<PhoneAddress> parse_address(std::string_view text)
{
    if (text.size() != 12)
        return {};
    PhoneAddress address = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return {};
        address = address << 4 | static_cast<PhoneAddress>(digit);
    }
    return address;
}

std::string time_text(const PhoneTime& time)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day, time.hour,
        time.minute, time.second);
    return text;
}

namespace {

bool read_digits(std::string_view text, size_t at, size_t count, int& value)
{
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

std::optional<PhoneTime> parse_time(std::string_view text)
{
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' || text[16] != ':')
        return {};
    PhoneTime time;
    if (!read_digits(text, 0, 4, time.year) || !read_digits(text, 5, 2, time.month) || !read_digits(text, 8, 2, time.day)
        || !read_digits(text, 11, 2, time.hour) || !read_digits(text, 14, 2, time.minute)
        || !read_digits(text, 17, 2, time.second))
        return {};
    if (time.year == 0 || time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 || time.hour > 23
        || time.minute > 59 || time.second > 59)
        return {};
    return time;
}

PhoneFunctions all_phone_functions()
{
    PhoneFunctions functions {};
    for (auto function : { PhoneFunction::SendSms, PhoneFunction::FileTransfer, PhoneFunction::Phonebook,
             PhoneFunction::DialUp, PhoneFunction::HandsFree, PhoneFunction::SmsList, PhoneFunction::CallLog })
        functions[static_cast<size_t>(function)] = 1;
    return functions;
}

std::optional<PhoneFunction> parse_phone_function(std::string_view name)
{
    struct Named {
        std::string_view name;
        PhoneFunction function;
    };
    static constexpr Named names[] = {
        { "sms", PhoneFunction::SendSms },
        { "files", PhoneFunction::FileTransfer },
        { "phonebook", PhoneFunction::Phonebook },
        { "dialup", PhoneFunction::DialUp },
        { "handsfree", PhoneFunction::HandsFree },
        { "smslist", PhoneFunction::SmsList },
        { "calllog", PhoneFunction::CallLog },
    };
    for (auto& named : names) {
        if (named.name == name)
            return named.function;
    }
    return {};
}

bool is_phone_number_field(int type)
{
    return (type >= 1 && type <= 7) || type == 38 || type == 39 || (type >= 44 && type <= 47)
        || (type >= 54 && type <= 58) || (type >= 64 && type <= 72);
}

bool PhoneContact::has_number(std::u16string_view number) const
{
    return std::any_of(fields.begin(), fields.end(),
        [&](const ContactField& field) { return is_phone_number_field(field.type) && field.text == number; });
}

std::u16string PhoneContact::display_name() const
{
    std::u16string first, last, other;
    for (auto& field : fields) {
        if (field.type == phone_field_first_name)
            first = field.text;
        else if (field.type == phone_field_last_name)
            last = field.text;
        else if (field.type == phone_field_other_name)
            other = field.text;
    }
    if (!other.empty())
        return other;
    if (!first.empty() && !last.empty())
        return first + u" " + last;
    return first.empty() ? last : first;
}

const char* storage_name(CallList list)
{
    switch (list) {
    case CallList::Received:
        return "RC";
    case CallList::Dialled:
        return "DC";
    case CallList::Missed:
        return "MC";
    }
    return "";
}

std::optional<CallList> parse_call_list(std::string_view storage)
{
    for (auto list : { CallList::Received, CallList::Dialled, CallList::Missed }) {
        if (storage == storage_name(list))
            return list;
    }
    return {};
}

std::u16string PhoneFileItem::name() const
{
    return path.substr(path.rfind(u'/') + 1);
}

std::u16string PhoneFileItem::parent() const
{
    auto cut = path.rfind(u'/');
    return cut == 0 ? u"/" : path.substr(0, cut);
}

const PhoneFileItem* PhoneData::find_file(std::u16string_view path) const
{
    auto found = std::find_if(files.begin(), files.end(), [&](const PhoneFileItem& item) { return item.path == path; });
    return found == files.end() ? nullptr : &*found;
}

namespace {

// A path of the phone's tree: "/" then names separated by one "/", none empty, "." or "..", and
// none longer than a file record's name.
bool is_phone_path(std::u16string_view path)
{
    if (path.size() < 2 || path[0] != u'/')
        return false;
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find(u'/', start);
        if (end == std::u16string_view::npos)
            end = path.size();
        auto name = path.substr(start, end - start);
        if (name.empty() || name == u"." || name == u".." || name.size() > phone_max_file_name_chars
            || name.find(u'\0') != std::u16string_view::npos)
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

bool PhoneData::add_file(PhoneFileItem item)
{
    if (!is_phone_path(item.path) || find_file(item.path) || (item.folder && item.size != 0) || item.size > phone_max_file_size)
        return false;
    // The folders on the way must be folders; those missing are made with the item's time.
    std::vector<PhoneFileItem> missing;
    for (auto cut = item.path.find(u'/', 1); cut != std::u16string::npos; cut = item.path.find(u'/', cut + 1)) {
        auto above = item.path.substr(0, cut);
        if (auto* existing = find_file(above)) {
            if (!existing->folder)
                return false;
            continue;
        }
        missing.push_back({ above, true, 0, item.modified });
    }
    files.insert(files.end(), missing.begin(), missing.end());
    files.push_back(std::move(item));
    return true;
}

const PhoneContact* PhoneData::find_contact_by_number(std::u16string_view number) const
{
    if (number.empty())
        return nullptr;
    auto found = std::find_if(contacts.begin(), contacts.end(), [&](const PhoneContact& contact) { return contact.has_number(number); });
    return found == contacts.end() ? nullptr : &*found;
}

int PhoneData::next_sms_location() const
{
    int next = 1;
    for (auto& message : messages)
        next = std::max(next, message.location + 1);
    return next;
}

std::vector<uint8_t> phone_file_content(const PhoneFileItem& item)
{
    // FNV-1a of the path seeds a small generator, so two files rarely share their bytes.
    uint32_t state = 2166136261u;
    for (char16_t c : item.path)
        state = (state ^ c) * 16777619u;
    std::vector<uint8_t> bytes(item.folder ? 0 : item.size);
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

} // namespace kivo
