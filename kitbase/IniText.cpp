// The INI text parser behind the registry mirror.

#include "AnsiText.h"
#include "Kitbase.h"
#include "ProfileText.h"

#include <cstring>
#include <string_view>

using namespace kitbase;

namespace {

// Lines and section names longer than these are skipped, never cut into another name.
constexpr size_t longest_line = 9999;
constexpr size_t longest_section = 259;

std::string_view trim_start(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return text;
}

std::string_view trim_end(std::string_view text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::u16string wide(std::string_view text)
{
    return from_ansi(std::string(text).c_str());
}

} // namespace

void GetANSIIniFileInfo(char* text, IniEntryList& entries)
{
    entries.clear();
    if (!text)
        return;
    std::u16string section;
    bool in_section = false;
    for (std::string_view line : split_lines(text)) {
        if (line.size() > longest_line)
            continue;
        line = trim_start(line);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            std::string_view name = section_name_of(line);
            if (name.empty())
                continue;
            // A name too long to keep closes the section: its keys are skipped with it.
            in_section = name.size() <= longest_section;
            if (!in_section)
                continue;
            section = wide(name);
            entries.push_back({ section, {}, {} });
            continue;
        }
        if (line.front() == ';' || line.front() == '/' || line.front() == '#' || !in_section)
            continue;
        auto equals = find_character(line, '=');
        if (equals == std::string_view::npos)
            continue;
        std::string_view key = trim_end(line.substr(0, equals));
        std::string_view value = trim_start(line.substr(equals + 1));
        // '/' and ';' start an inline comment.
        value = trim_end(value.substr(0, find_first_character_of(value, "/;")));
        if (key.empty())
            continue;
        entries.push_back({ section, wide(key), wide(value) });
    }
}
