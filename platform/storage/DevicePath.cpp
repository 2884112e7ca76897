#include "DevicePath.h"

#include "Errors.h"
#include "WideText.h"

namespace kivo {

namespace {

bool is_separator(char16_t c)
{
    return c == u'\\' || c == u'/';
}

bool is_forbidden(char16_t c)
{
    return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|';
}

bool match_from(std::u16string_view name, std::u16string_view pattern)
{
    size_t n = 0;
    size_t p = 0;
    size_t star = std::u16string_view::npos;
    size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || fold_case(pattern[p]) == fold_case(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

std::optional<DevicePath> DevicePath::parse(std::u16string_view text, DWORD& error, bool wildcards_in_last)
{
    error = ERROR_SUCCESS;
    if (text.empty()) {
        error = ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }
    if (text.size() > MAX_PATH) {
        error = ERROR_FILENAME_EXCED_RANGE;
        return std::nullopt;
    }
    DevicePath path;
    std::u16string name;
    auto flush = [&] {
        if (!name.empty())
            path.m_names.push_back(std::move(name));
        name.clear();
    };
    for (char16_t c : text) {
        if (is_separator(c))
            flush();
        else
            name += c;
    }
    path.m_trailing_separator = is_separator(text.back());
    flush();
    for (size_t i = 0; i < path.m_names.size(); ++i) {
        auto& each = path.m_names[i];
        // No relative names: a path never leaves the device's root.
        if (each == u"." || each == u"..") {
            error = ERROR_INVALID_NAME;
            return std::nullopt;
        }
        bool last = i + 1 == path.m_names.size();
        for (char16_t c : each) {
            bool wildcard = c == u'*' || c == u'?';
            if (is_forbidden(c) || (wildcard && !(last && wildcards_in_last))) {
                error = ERROR_INVALID_NAME;
                return std::nullopt;
            }
        }
    }
    return path;
}

std::u16string DevicePath::text() const
{
    if (m_names.empty())
        return u"\\";
    std::u16string result;
    for (auto& name : m_names)
        result += u"\\" + name;
    return result;
}

DevicePath DevicePath::parent() const
{
    DevicePath result = *this;
    if (!result.m_names.empty())
        result.m_names.pop_back();
    result.m_trailing_separator = false;
    return result;
}

DevicePath DevicePath::child(std::u16string name) const
{
    DevicePath result = *this;
    result.m_names.push_back(std::move(name));
    result.m_trailing_separator = false;
    return result;
}

bool DevicePath::has_wildcards(std::u16string_view name)
{
    return name.find_first_of(u"*?") != std::u16string_view::npos;
}

bool DevicePath::matches_pattern(std::u16string_view name, std::u16string_view pattern)
{
    if (pattern == u"*.*" || pattern == u"*")
        return true;
    return match_from(name, pattern);
}

} // namespace kivo
