#include "WideScanner.h"

#include "Device.h"

#include <cstdint>
#include <string>

namespace kivo {

namespace {

bool is_blank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

int digit_value(char16_t c, int base)
{
    int value = 99;
    if (c >= u'0' && c <= u'9')
        value = c - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
    return value < base ? value : -1;
}

enum class Size {
    Short,
    Normal,
    Wide64,
};

} // namespace

int WideScanner::scan(const char16_t* format, va_list arguments)
{
    int stored = 0;
    bool converted_any = false;
    auto skip_blanks = [&] {
        while (auto c = m_stream.get()) {
            if (!is_blank(*c)) {
                m_stream.unget();
                return true;
            }
        }
        return false;
    };
    auto input_ended = [&] { return converted_any ? stored : -1; };

    for (const char16_t* f = format; *f; ++f) {
        if (is_blank(*f)) {
            skip_blanks();
            continue;
        }
        if (*f != u'%' || f[1] == u'%') {
            if (*f == u'%')
                ++f;
            auto c = m_stream.get();
            if (!c)
                return input_ended();
            if (*c != *f) {
                m_stream.unget();
                return stored;
            }
            continue;
        }
        ++f;
        bool suppress = *f == u'*';
        if (suppress)
            ++f;
        size_t width = 0;
        while (*f >= u'0' && *f <= u'9')
            width = width * 10 + (*f++ - u'0');
        Size size = Size::Normal;
        bool narrow = false;
        if (*f == u'h') {
            size = Size::Short;
            narrow = true;
            ++f;
        } else if (f[0] == u'l' && f[1] == u'l') {
            size = Size::Wide64;
            f += 2;
        } else if (f[0] == u'I' && f[1] == u'6' && f[2] == u'4') {
            size = Size::Wide64;
            f += 3;
        } else if (*f == u'l') {
            ++f;
        }
        char16_t conversion = *f;
        if (conversion == u'S' || conversion == u'C') {
            narrow = true;
            conversion = conversion == u'S' ? u's' : u'c';
        }
        switch (conversion) {
        case u'c': {
            size_t count = width ? width : 1;
            std::u16string text;
            while (text.size() < count) {
                auto c = m_stream.get();
                if (!c)
                    break;
                text += *c;
            }
            if (text.empty())
                return input_ended();
            if (!suppress) {
                if (narrow) {
                    auto* out = va_arg(arguments, char*);
                    for (char16_t c : text)
                        *out++ = static_cast<char>(c);
                } else {
                    auto* out = va_arg(arguments, char16_t*);
                    for (char16_t c : text)
                        *out++ = c;
                }
                ++stored;
            }
            converted_any = true;
            if (text.size() < count)
                return stored;
            break;
        }
        case u's': {
            if (!skip_blanks())
                return input_ended();
            std::u16string text;
            while (!width || text.size() < width) {
                auto c = m_stream.get();
                if (!c)
                    break;
                if (is_blank(*c)) {
                    m_stream.unget();
                    break;
                }
                text += *c;
            }
            if (!suppress) {
                if (narrow) {
                    auto* out = va_arg(arguments, char*);
                    for (char16_t c : text)
                        *out++ = static_cast<char>(c);
                    *out = 0;
                } else {
                    auto* out = va_arg(arguments, char16_t*);
                    for (char16_t c : text)
                        *out++ = c;
                    *out = 0;
                }
                ++stored;
            }
            converted_any = true;
            break;
        }
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o': {
            if (!skip_blanks())
                return input_ended();
            int base = conversion == u'x' || conversion == u'X' ? 16 : (conversion == u'o' ? 8 : 10);
            size_t limit = width ? width : SIZE_MAX;
            size_t taken = 0;
            bool negative = false;
            uint64_t value = 0;
            size_t digits = 0;
            auto c = m_stream.get();
            if (c && (*c == u'-' || *c == u'+') && taken < limit) {
                negative = *c == u'-';
                ++taken;
                c = m_stream.get();
            }
            while (c && taken < limit && digit_value(*c, base) >= 0) {
                value = value * base + digit_value(*c, base);
                ++digits;
                ++taken;
                c = m_stream.get();
            }
            if (c)
                m_stream.unget();
            if (digits == 0)
                return c ? stored : input_ended();
            if (negative)
                value = 0 - value;
            if (!suppress) {
                if (size == Size::Short)
                    *va_arg(arguments, uint16_t*) = static_cast<uint16_t>(value);
                else if (size == Size::Wide64)
                    *va_arg(arguments, uint64_t*) = value;
                else
                    *va_arg(arguments, uint32_t*) = static_cast<uint32_t>(value);
                ++stored;
            }
            converted_any = true;
            break;
        }
        default:
            // FIXME: no program reads other conversions yet; stop loudly rather than misread.
            Device::current().write_debug(u"fwscanf: unsupported conversion\r\n");
            return stored;
        }
    }
    return stored;
}

} // namespace kivo
