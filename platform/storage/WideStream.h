#pragma once

#include <cstdio>
#include <optional>
#include <string_view>

namespace kivo {

// UTF-16 text on a FILE stream, as the device's wide run-time keeps it: little-endian units, and
// in text mode a line ends in "\r\n" in the file and in "\n" for the program.
class WideStream {
public:
    WideStream(FILE* stream, bool text)
        : m_stream(stream)
        , m_text(text)
    {
    }

    bool put(std::u16string_view);
    // The next unit, or null at the end of the stream.
    std::optional<char16_t> get();
    // Steps back over the unit that get() returned last (once).
    void unget();

private:
    std::optional<char16_t> raw();

    FILE* m_stream;
    bool m_text;
    long m_last_bytes = 0;
};

} // namespace kivo
