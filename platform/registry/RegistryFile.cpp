#include "RegistryFile.h"

#include "RegistryApi.h"
#include "WideText.h"

#include <array>
#include <cstdio>
#include <optional>

namespace kivo {

namespace {

constexpr std::string_view header = "REGEDIT4";

struct RootName {
    std::string_view name;
    std::string_view short_name;
    RegistryNode& (*pick)(const RegistryFile::Roots&);
};

constexpr std::array<RootName, 3> root_names { {
    { "HKEY_LOCAL_MACHINE", "HKLM", [](const RegistryFile::Roots& roots) -> RegistryNode& { return roots.local_machine; } },
    { "HKEY_CURRENT_USER", "HKCU", [](const RegistryFile::Roots& roots) -> RegistryNode& { return roots.current_user; } },
    { "HKEY_CLASSES_ROOT", "HKCR", [](const RegistryFile::Roots& roots) -> RegistryNode& { return roots.classes_root; } },
} };

std::string quoted(std::u16string_view text)
{
    std::string result = "\"";
    for (char c : to_utf8(text)) {
        if (c == '\\' || c == '"')
            result += '\\';
        result += c;
    }
    result += '"';
    return result;
}

std::u16string units_of(const std::vector<uint8_t>& data)
{
    std::u16string units;
    for (size_t i = 0; i + 1 < data.size(); i += 2)
        units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    return units;
}

std::vector<uint8_t> bytes_of(std::u16string_view units)
{
    std::vector<uint8_t> data;
    for (char16_t unit : units) {
        data.push_back(static_cast<uint8_t>(unit & 0xFF));
        data.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return data;
}

// A REG_SZ is written as text only when the text reads back to the very same bytes: one
// terminating zero at the end, no other zero, no control character, valid UTF-16.
std::optional<std::u16string> plain_text(const RegistryNode::Value& value)
{
    if (value.type != REG_SZ || value.data.size() < 2 || value.data.size() % 2)
        return std::nullopt;
    std::u16string units = units_of(value.data);
    if (units.back() != 0)
        return std::nullopt;
    units.pop_back();
    for (char16_t unit : units) {
        if (unit < 0x20)
            return std::nullopt;
    }
    if (to_utf16(to_utf8(units)) != units)
        return std::nullopt;
    return units;
}

std::string hex_bytes(const std::vector<uint8_t>& data)
{
    std::string result;
    char digits[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        if (i)
            result += ',';
        result += digits;
    }
    return result;
}

std::string data_text(const RegistryNode::Value& value)
{
    if (auto text = plain_text(value))
        return quoted(*text);
    char buffer[32];
    if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) | (uint32_t(value.data[3]) << 24);
        std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
        return buffer;
    }
    if (value.type == REG_BINARY)
        return "hex:" + hex_bytes(value.data);
    std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
    return buffer + hex_bytes(value.data);
}

void write_key(std::string& out, const RegistryNode& node, const std::string& path, bool is_root)
{
    if (!is_root || node.value_count()) {
        out += "\r\n[" + path + "]\r\n";
        for (size_t i = 0; i < node.value_count(); ++i) {
            auto* value = node.value_at(i);
            out += value->name.empty() ? std::string("@") : quoted(value->name);
            out += '=' + data_text(*value) + "\r\n";
        }
    }
    for (size_t i = 0; i < node.child_count(); ++i) {
        auto child = node.child_at(i);
        write_key(out, *child, path + '\\' + to_utf8(child->name()), false);
    }
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i];
        char b = prefix[i];
        if (a >= 'a' && a <= 'z')
            a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z')
            b = static_cast<char>(b - 'a' + 'A');
        if (a != b)
            return false;
    }
    return true;
}

// "[HKEY_...\a\b]": the key, made when missing, or null when the line names no key of ours.
std::shared_ptr<RegistryNode> key_of_line(std::string_view line, const RegistryFile::Roots& roots, RegistryNode*& root_only)
{
    root_only = nullptr;
    if (line.size() < 2 || line.back() != ']')
        return nullptr;
    std::string_view path = line.substr(1, line.size() - 2);
    size_t separator = path.find('\\');
    std::string_view root_name = path.substr(0, separator);
    RegistryNode* root = nullptr;
    for (auto& candidate : root_names) {
        if (root_name.size() == candidate.name.size() && starts_with_ignoring_case(root_name, candidate.name))
            root = &candidate.pick(roots);
        else if (root_name.size() == candidate.short_name.size() && starts_with_ignoring_case(root_name, candidate.short_name))
            root = &candidate.pick(roots);
    }
    if (!root)
        return nullptr;
    if (separator == std::string_view::npos) {
        root_only = root;
        return nullptr;
    }
    std::vector<std::u16string> names;
    std::string_view rest = path.substr(separator + 1);
    while (true) {
        size_t next = rest.find('\\');
        names.push_back(to_utf16(rest.substr(0, next)));
        if (!RegistryNode::is_valid_key_name(names.back()))
            return nullptr;
        if (next == std::string_view::npos)
            break;
        rest.remove_prefix(next + 1);
    }
    std::shared_ptr<RegistryNode> node;
    RegistryNode* parent = root;
    for (auto& name : names) {
        bool created = false;
        node = parent->add_child(name, created);
        parent = node.get();
    }
    return node;
}

// A quoted text with \\ and \" escapes; advances past the closing quote.
std::optional<std::string> read_quoted(std::string_view& text)
{
    if (text.empty() || text.front() != '"')
        return std::nullopt;
    std::string result;
    for (size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return result;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"'))
            c = text[++i];
        result += c;
    }
    return std::nullopt;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::vector<uint8_t>> read_hex_bytes(std::string_view text)
{
    std::vector<uint8_t> bytes;
    text = trimmed(text);
    while (!text.empty()) {
        std::string_view item = trimmed(text.substr(0, text.find(',')));
        if (item.empty() || item.size() > 2)
            return std::nullopt;
        int value = 0;
        for (char c : item) {
            int digit = hex_digit(c);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + digit;
        }
        bytes.push_back(static_cast<uint8_t>(value));
        size_t comma = text.find(',');
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
        if (trimmed(text).empty())
            return std::nullopt;
    }
    return bytes;
}

std::optional<uint32_t> read_hex_number(std::string_view text)
{
    text = trimmed(text);
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        int digit = hex_digit(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

// `"name"=data` or `@=data` into the current key; false when the line is not understood.
bool read_value_line(std::string_view line, RegistryNode& key)
{
    std::u16string name;
    if (line.front() == '@') {
        line.remove_prefix(1);
    } else {
        auto quoted_name = read_quoted(line);
        if (!quoted_name)
            return false;
        name = to_utf16(*quoted_name);
        if (name.size() > 255)
            return false;
    }
    line = trimmed(line);
    if (line.empty() || line.front() != '=')
        return false;
    line = trimmed(line.substr(1));

    if (!line.empty() && line.front() == '"') {
        auto text = read_quoted(line);
        if (!text || !trimmed(line).empty())
            return false;
        std::u16string units = to_utf16(*text);
        units += u'\0';
        key.set_value(name, REG_SZ, bytes_of(units));
        return true;
    }
    if (starts_with_ignoring_case(line, "dword:")) {
        auto number = read_hex_number(line.substr(6));
        if (!number)
            return false;
        key.set_value(name, REG_DWORD,
            { uint8_t(*number), uint8_t(*number >> 8), uint8_t(*number >> 16), uint8_t(*number >> 24) });
        return true;
    }
    DWORD type = REG_BINARY;
    if (starts_with_ignoring_case(line, "hex(")) {
        size_t close = line.find("):");
        if (close == std::string_view::npos)
            return false;
        auto number = read_hex_number(line.substr(4, close - 4));
        if (!number)
            return false;
        type = *number;
        line.remove_prefix(close + 2);
    } else if (starts_with_ignoring_case(line, "hex:")) {
        line.remove_prefix(4);
    } else {
        return false;
    }
    auto bytes = read_hex_bytes(line);
    if (!bytes)
        return false;
    key.set_value(name, type, std::move(*bytes));
    return true;
}

} // namespace

std::string RegistryFile::write(const Roots& roots)
{
    std::string out(header);
    out += "\r\n";
    for (auto& root : root_names)
        write_key(out, root.pick(roots), std::string(root.name), true);
    return out;
}

size_t RegistryFile::read(std::string_view text, const Roots& roots)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    size_t skipped = 0;
    std::shared_ptr<RegistryNode> key;
    RegistryNode* root_key = nullptr;
    bool first = true;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string line(trimmed(text.substr(0, end)));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // Long binary values may go on over several lines, each but the last ending in '\'.
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos && !text.empty()) {
            end = text.find('\n');
            line.pop_back();
            line += trimmed(text.substr(0, end));
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        }
        std::string_view view = line;
        if (view.empty() || view.front() == ';')
            continue;
        // A line that is not UTF-8 (a file saved in another encoding) would come back altered.
        if (!is_utf8(view)) {
            ++skipped;
            if (view.front() == '[') {
                key = nullptr;
                root_key = nullptr;
            }
            continue;
        }
        if (first) {
            first = false;
            if (view == header)
                continue;
        }
        if (view.front() == '[') {
            key = key_of_line(view, roots, root_key);
            if (!key && !root_key)
                ++skipped;
            continue;
        }
        RegistryNode* target = key ? key.get() : root_key;
        if ((view.front() != '"' && view.front() != '@') || !target || !read_value_line(view, *target))
            ++skipped;
    }
    return skipped;
}

} // namespace kivo
