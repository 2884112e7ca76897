#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The words of a script line: split at blanks and tabs, '#' outside a word starting a comment; a
// word in double quotes may hold blanks. A quote left open is an error (in `error` when given),
// and its word runs to the end of the line.
std::vector<std::string> split_script_words(std::string_view line, std::string* error = nullptr);

// A number of a script: decimal or 0x hex, with an optional '-'; nothing when the word is not one
// or does not fit 64 bits.
std::optional<long long> script_number(std::string_view word);

// Whether a line is text a script may hold: UTF-8 without control characters other than tabs.
bool is_script_text(std::string_view line);

} // namespace kivo
