#pragma once

#include "Types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// A path as the device reads it: rooted whether or not it starts with a separator (the device has
// no current folder), "\" and "/" both separate, doubled separators count once, at most MAX_PATH
// characters. Names keep the caller's spelling; lookups compare them without regard to case.
class DevicePath {
public:
    // Null with the platform's error for an empty, overlong or malformed path. Wildcards ("*", "?")
    // are allowed in the last name only when asked for (a search pattern).
    static std::optional<DevicePath> parse(std::u16string_view, DWORD& error, bool wildcards_in_last = false);

    const std::vector<std::u16string>& names() const { return m_names; }
    bool is_root() const { return m_names.empty(); }
    bool has_trailing_separator() const { return m_trailing_separator; }
    // "\" followed by the names joined with "\".
    std::u16string text() const;
    DevicePath parent() const;
    DevicePath child(std::u16string name) const;

    static bool has_wildcards(std::u16string_view name);
    // "*" and "?" as the device's search patterns use them, without regard to case; "*.*" also
    // matches a name without a dot.
    static bool matches_pattern(std::u16string_view name, std::u16string_view pattern);

private:
    std::vector<std::u16string> m_names;
    bool m_trailing_separator = false;
};

} // namespace kivo
