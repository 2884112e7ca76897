#include "AnsiText.h"

#include "platform.h"

namespace kitbase {

namespace {

// The double-byte code pages the device may run with, by the ranges of their first and second
// bytes; every other page has single-byte characters only.
class CodePage {
public:
    CodePage()
        : m_number(GetACP())
    {
    }

    // How many bytes the character at `position` takes: 2 for a first byte followed by a byte
    // that can follow it, else 1 (a first byte without a fitting second byte stands alone).
    size_t character_length(std::string_view text, size_t position) const
    {
        if (position + 1 < text.size() && is_lead(byte_at(text, position)) && is_trail(byte_at(text, position + 1)))
            return 2;
        return 1;
    }

    bool is_lead(unsigned char byte) const
    {
        switch (m_number) {
        case 932:
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:
        case 949:
        case 950:
            return byte >= 0x81 && byte <= 0xFE;
        default:
            return false;
        }
    }

private:
    static unsigned char byte_at(std::string_view text, size_t position) { return static_cast<unsigned char>(text[position]); }

    bool is_trail(unsigned char byte) const
    {
        switch (m_number) {
        case 932:
            return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
        case 936:
            return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE);
        case 949:
            return (byte >= 0x41 && byte <= 0x5A) || (byte >= 0x61 && byte <= 0x7A) || (byte >= 0x81 && byte <= 0xFE);
        case 950:
            return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xFE);
        default:
            return false;
        }
    }

    UINT m_number;
};

char lower_ascii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::vector<std::string_view> split_lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

size_t find_character(std::string_view text, char wanted, size_t from)
{
    return find_first_character_of(text, std::string_view(&wanted, 1), from);
}

size_t find_first_character_of(std::string_view text, std::string_view wanted, size_t from)
{
    CodePage page;
    for (size_t position = from; position < text.size();) {
        size_t length = page.character_length(text, position);
        if (length == 1 && wanted.find(text[position]) != std::string_view::npos)
            return position;
        position += length;
    }
    return std::string_view::npos;
}

std::string_view section_name_of(std::string_view header)
{
    std::string_view name = header.substr(1);
    size_t end = find_character(name, ']');
    if (end != std::string_view::npos)
        return name.substr(0, end);
    // The name ends with its last character that is not such a lone first byte.
    CodePage page;
    size_t kept = 0;
    for (size_t position = 0; position < name.size();) {
        size_t length = page.character_length(name, position);
        position += length;
        if (length == 2 || !page.is_lead(static_cast<unsigned char>(name[position - 1])))
            kept = position;
    }
    return name.substr(0, kept);
}

bool names_equal_ignoring_case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    CodePage page;
    for (size_t position = 0; position < a.size();) {
        size_t length = page.character_length(a, position);
        if (page.character_length(b, position) != length)
            return false;
        if (length == 2 ? a.compare(position, 2, b.substr(position, 2)) != 0
                        : lower_ascii(a[position]) != lower_ascii(b[position]))
            return false;
        position += length;
    }
    return true;
}

} // namespace kitbase
