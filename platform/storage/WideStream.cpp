#include "WideStream.h"

#include <string>

namespace kivo {

bool WideStream::put(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    auto append = [&](char16_t c) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    };
    for (char16_t c : text) {
        if (m_text && c == u'\n')
            append(u'\r');
        append(c);
    }
    return std::fwrite(bytes.data(), 1, bytes.size(), m_stream) == bytes.size();
}

std::optional<char16_t> WideStream::raw()
{
    int low = std::fgetc(m_stream);
    if (low == EOF)
        return std::nullopt;
    int high = std::fgetc(m_stream);
    if (high == EOF)
        return std::nullopt;
    return static_cast<char16_t>(low | (high << 8));
}

std::optional<char16_t> WideStream::get()
{
    m_last_bytes = 0;
    auto unit = raw();
    if (!unit)
        return std::nullopt;
    m_last_bytes = 2;
    if (m_text && *unit == u'\r') {
        auto next = raw();
        if (next && *next == u'\n') {
            m_last_bytes = 4;
            return u'\n';
        }
        if (next)
            std::fseek(m_stream, -2, SEEK_CUR);
    }
    return unit;
}

void WideStream::unget()
{
    if (m_last_bytes)
        std::fseek(m_stream, -m_last_bytes, SEEK_CUR);
    m_last_bytes = 0;
}

} // namespace kivo
