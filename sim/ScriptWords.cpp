#include "ScriptWords.h"

#include "WideText.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace kivo {

std::vector<std::string> split_script_words(std::string_view line, std::string* error)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '#')
            break;
        if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string_view::npos) {
                if (error)
                    *error = "a double quote is not closed";
                end = line.size();
            }
            words.emplace_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            size_t end = std::min(line.find_first_of(" \t", i), line.size());
            words.emplace_back(line.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

std::optional<long long> script_number(std::string_view text)
{
    bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    unsigned long long magnitude = 0;
    auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size()
        || magnitude > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
        return std::nullopt;
    long long value = static_cast<long long>(magnitude);
    return negative ? -value : value;
}

bool is_script_text(std::string_view line)
{
    return is_utf8(line) && std::none_of(line.begin(), line.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\t';
    });
}

} // namespace kivo
