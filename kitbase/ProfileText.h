#pragma once

// Helpers shared by the profile functions: conversions to and from the ANSI code page as owned
// strings, and copies into a caller's buffer that never pass its size.

#include "Kitbase.h"

#include <memory>
#include <string>
#include <string_view>

namespace kitbase {

inline std::string to_ansi(const WCHAR* text)
{
    std::unique_ptr<char[]> converted(WideChar2ANSI(text));
    return converted.get();
}

inline std::u16string from_ansi(const char* text)
{
    std::unique_ptr<WCHAR[]> converted(ANSI2WideChar(text));
    return converted.get();
}

// Copies the text into a buffer of the given size in bytes, cut to fit and always terminated
// when there is room for the terminator. Answers the characters copied.
inline size_t copy_bounded(WCHAR* buffer, DWORD bytes, std::u16string_view text)
{
    size_t room = bytes / sizeof(WCHAR);
    if (!buffer || room == 0)
        return 0;
    size_t length = std::min(text.size(), room - 1);
    std::char_traits<char16_t>::copy(buffer, text.data(), length);
    buffer[length] = 0;
    return length;
}

inline std::u16string_view text_or_empty(const WCHAR* text)
{
    return text ? std::u16string_view(text) : std::u16string_view();
}

} // namespace kitbase
