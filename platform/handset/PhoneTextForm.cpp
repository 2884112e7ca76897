#include "PhoneTextForm.h"

#include "WideText.h"

#include <charconv>
#include <set>
#include <vector>

namespace kivo {

namespace {

std::vector<std::string_view> split_fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

// Undoes the writer's escapes (\\, \t, \n, \r); any other backslash makes the field unreadable.
std::optional<std::string> unescape(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            if (field[i] == '\0')
                return {};
            text += field[i];
            continue;
        }
        if (++i == field.size())
            return {};
        switch (field[i]) {
        case '\\':
            text += '\\';
            break;
        case 't':
            text += '\t';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        default:
            return {};
        }
    }
    return text;
}

std::string escape(std::string_view text)
{
    std::string field;
    field.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            field += "\\\\";
            break;
        case '\t':
            field += "\\t";
            break;
        case '\n':
            field += "\\n";
            break;
        case '\r':
            field += "\\r";
            break;
        default:
            field += c;
        }
    }
    return field;
}

std::optional<std::u16string> read_text(std::string_view field, size_t max_chars)
{
    auto text = unescape(field);
    if (!text)
        return {};
    auto wide = to_utf16(*text);
    if (wide.size() > max_chars)
        return {};
    return wide;
}

std::string write_text(std::u16string_view text)
{
    return escape(to_utf8(text));
}

std::optional<int> read_int(std::string_view field)
{
    int value = 0;
    auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size() || field.empty())
        return {};
    return value;
}

std::optional<PhoneFunctions> read_functions(std::string_view field)
{
    if (field.size() != 2 * phone_function_count)
        return {};
    PhoneFunctions functions {};
    for (size_t i = 0; i < phone_function_count; ++i) {
        unsigned value = 0;
        auto [end, error] = std::from_chars(field.data() + 2 * i, field.data() + 2 * i + 2, value, 16);
        if (error != std::errc() || end != field.data() + 2 * i + 2)
            return {};
        functions[i] = static_cast<uint8_t>(value);
    }
    return functions;
}

std::string write_functions(const PhoneFunctions& functions)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t byte : functions) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

std::optional<PhoneContact> read_contact(const std::vector<std::string_view>& fields)
{
    if (fields.size() < 3 || fields.size() - 3 > phone_max_contact_fields)
        return {};
    PhoneContact contact;
    auto memory_type = read_int(fields[1]);
    auto location = unescape(fields[2]);
    if (!memory_type || !location || location->size() > phone_max_location_bytes)
        return {};
    contact.memory_type = *memory_type;
    contact.location = *location;
    for (size_t i = 3; i < fields.size(); ++i) {
        auto equals = fields[i].find('=');
        if (equals == std::string_view::npos)
            return {};
        auto type = read_int(fields[i].substr(0, equals));
        auto text = read_text(fields[i].substr(equals + 1), phone_max_field_chars);
        if (!type || !text)
            return {};
        contact.fields.push_back({ *type, *text });
    }
    return contact;
}

std::optional<CallLogEntry> read_call(const std::vector<std::string_view>& fields)
{
    if (fields.size() != 5)
        return {};
    auto list = parse_call_list(fields[1]);
    auto time = parse_time(fields[2]);
    auto number = read_text(fields[3], phone_max_number_chars);
    auto name = read_text(fields[4], phone_max_field_chars);
    if (!list || !time || !number || !name)
        return {};
    return CallLogEntry { *list, *time, *number, *name };
}

std::optional<PhoneSms> read_sms(const std::vector<std::string_view>& fields)
{
    if (fields.size() != 6 || (fields[1] != "in" && fields[1] != "sent"))
        return {};
    auto location = read_int(fields[2]);
    auto time = parse_time(fields[3]);
    auto number = read_text(fields[4], phone_max_number_chars);
    auto text = read_text(fields[5], phone_max_sms_chars);
    if (!location || !time || !number || !text)
        return {};
    return PhoneSms { fields[1] == "in", *location, *time, *number, *text };
}

std::optional<PhoneFileItem> read_file_item(const std::vector<std::string_view>& fields)
{
    bool folder = fields[0] == "folder";
    if (fields.size() != (folder ? 3u : 4u))
        return {};
    auto path = read_text(fields[1], SIZE_MAX);
    auto time = parse_time(fields.back());
    if (!path || !time)
        return {};
    PhoneFileItem item { *path, folder, 0, *time };
    if (!folder) {
        auto size = read_int(fields[2]);
        if (!size || *size < 0)
            return {};
        item.size = static_cast<uint32_t>(*size);
    }
    return item;
}

} // namespace

size_t PhoneTextForm::read(std::string_view text, PhoneData& phone, bool* has_address)
{
    size_t skipped = 0;
    std::set<std::string, std::less<>> seen;
    if (has_address)
        *has_address = false;
    while (!text.empty()) {
        size_t end = text.find('\n');
        auto line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line[0] == '#')
            continue;
        if (!is_utf8(line)) {
            ++skipped;
            continue;
        }
        auto fields = split_fields(line);
        auto record = fields[0];
        bool understood = false;
        // Identity and pairing appear once; a second line of the same record is refused.
        bool single = record == "name" || record == "address" || record == "model" || record == "maker"
            || record == "imei" || record == "pin" || record == "paired" || record == "functions";
        if (single) {
            if (fields.size() != 2 || seen.count(record)) {
                ++skipped;
                continue;
            }
            auto value = fields[1];
            if (record == "address") {
                if (auto address = parse_address(value)) {
                    phone.identity.address = *address;
                    understood = true;
                    if (has_address)
                        *has_address = true;
                }
            } else if (record == "paired") {
                if (value == "yes" || value == "no") {
                    phone.paired = value == "yes";
                    understood = true;
                }
            } else if (record == "functions") {
                if (auto functions = read_functions(value)) {
                    phone.functions = *functions;
                    understood = true;
                }
            } else if (record == "pin") {
                auto pin = read_text(value, 16);
                if (pin && !pin->empty()) {
                    phone.pin = *pin;
                    understood = true;
                }
            } else {
                auto target = record == "name" ? &phone.identity.name
                    : record == "model"        ? &phone.identity.model
                    : record == "maker"        ? &phone.identity.maker
                                               : &phone.identity.imei;
                if (auto value_text = read_text(value, record == "name" ? phone_max_name_chars : phone_max_field_chars)) {
                    *target = *value_text;
                    understood = true;
                }
            }
            if (understood)
                seen.emplace(record);
        } else if (record == "contact") {
            if (auto contact = read_contact(fields)) {
                phone.contacts.push_back(std::move(*contact));
                understood = true;
            }
        } else if (record == "call") {
            if (auto call = read_call(fields)) {
                phone.calls.push_back(std::move(*call));
                understood = true;
            }
        } else if (record == "sms") {
            if (auto sms = read_sms(fields)) {
                phone.messages.push_back(std::move(*sms));
                understood = true;
            }
        } else if (record == "file" || record == "folder") {
            if (auto item = read_file_item(fields))
                understood = phone.add_file(std::move(*item));
        }
        if (!understood)
            ++skipped;
    }
    return skipped;
}

std::string PhoneTextForm::write(const PhoneData& phone)
{
    std::string text = "# A simulated phone of the kivo device: identity, pairing and data (see docs/phones.md).\n";
    auto line = [&](std::initializer_list<std::string> fields) {
        bool first = true;
        for (auto& field : fields) {
            if (!first)
                text += '\t';
            text += field;
            first = false;
        }
        text += '\n';
    };
    line({ "name", write_text(phone.identity.name) });
    line({ "address", address_text(phone.identity.address) });
    line({ "model", write_text(phone.identity.model) });
    line({ "maker", write_text(phone.identity.maker) });
    line({ "imei", write_text(phone.identity.imei) });
    line({ "pin", write_text(phone.pin) });
    line({ "paired", phone.paired ? "yes" : "no" });
    line({ "functions", write_functions(phone.functions) });
    for (auto& contact : phone.contacts) {
        text += "contact\t" + std::to_string(contact.memory_type) + '\t' + escape(contact.location);
        for (auto& field : contact.fields)
            text += '\t' + std::to_string(field.type) + '=' + write_text(field.text);
        text += '\n';
    }
    for (auto& call : phone.calls)
        line({ "call", storage_name(call.list), time_text(call.time), write_text(call.number), write_text(call.name) });
    for (auto& sms : phone.messages) {
        line({ "sms", sms.received ? "in" : "sent", std::to_string(sms.location), time_text(sms.time),
            write_text(sms.number), write_text(sms.text) });
    }
    for (auto& item : phone.files) {
        if (item.folder)
            line({ "folder", write_text(item.path), time_text(item.modified) });
        else
            line({ "file", write_text(item.path), std::to_string(item.size), time_text(item.modified) });
    }
    return text;
}

} // namespace kivo
