#include "WideText.h"

#include <cstdio>
#include <cstring>
#include <optional>

namespace kivo {

std::string to_utf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

constexpr uint32_t replacement_character = 0xFFFD;

// Decodes the character at `at` strictly (RFC 3629): an overlong form, an encoded surrogate, a
// value past U+10FFFF or a cut-short sequence is no character. Such a sequence, the lead byte and
// the continuation bytes that follow it, counts as one malformed unit. Overlong forms matter most:
// taken as characters they would smuggle a line break or a path separator past every check made on
// the bytes. Answers the character or none, and how many bytes it took.
std::optional<uint32_t> decode_one(std::string_view utf8, size_t at, size_t& length)
{
    auto byte = static_cast<unsigned char>(utf8[at]);
    length = 1;
    if (byte < 0x80)
        return byte;
    size_t wanted = 0;
    uint32_t c = 0;
    uint32_t smallest = 0;
    if ((byte & 0xE0) == 0xC0) {
        wanted = 2;
        c = byte & 0x1F;
        smallest = 0x80;
    } else if ((byte & 0xF0) == 0xE0) {
        wanted = 3;
        c = byte & 0x0F;
        smallest = 0x800;
    } else if ((byte & 0xF8) == 0xF0) {
        wanted = 4;
        c = byte & 0x07;
        smallest = 0x10000;
    } else {
        return std::nullopt; // a stray continuation byte or a lead byte no encoding uses
    }
    for (; length < wanted; ++length) {
        if (at + length >= utf8.size())
            return std::nullopt;
        auto next = static_cast<unsigned char>(utf8[at + length]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < smallest || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return std::nullopt;
    return c;
}

} // namespace

std::u16string to_utf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        size_t length = 0;
        uint32_t c = decode_one(utf8, i, length).value_or(replacement_character);
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

bool is_utf8(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        size_t length = 0;
        if (!decode_one(bytes, i, length))
            return false;
        i += length;
    }
    return true;
}

char16_t fold_case(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char16_t>(c + 0x20);
    return c;
}

char16_t upper_case(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char16_t>(c - 0x20);
    return c;
}

int compare_ignoring_case(std::u16string_view a, std::u16string_view b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = fold_case(a[i]);
        char16_t y = fold_case(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool equals_ignoring_case(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && compare_ignoring_case(a, b) == 0;
}

namespace {

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    bool zero = false;
    int width = -1;
    int precision = -1;
    enum class Length {
        Default,
        Short,
        Char,
        Long,
        LongLong,
        Size,
    } length
        = Length::Default;
};

void pad(std::u16string& out, std::u16string_view body, const Spec& spec, bool numeric)
{
    int padding = spec.width > static_cast<int>(body.size()) ? spec.width - static_cast<int>(body.size()) : 0;
    if (spec.left) {
        out += body;
        out.append(padding, u' ');
        return;
    }
    if (spec.zero && numeric && spec.precision < 0) {
        // Zeros go after the sign or the 0x prefix.
        size_t prefix = 0;
        if (!body.empty() && (body[0] == u'-' || body[0] == u'+' || body[0] == u' '))
            prefix = 1;
        if (body.size() >= prefix + 2 && body[prefix] == u'0' && (body[prefix + 1] == u'x' || body[prefix + 1] == u'X'))
            prefix += 2;
        out += body.substr(0, prefix);
        out.append(padding, u'0');
        out += body.substr(prefix);
        return;
    }
    out.append(padding, u' ');
    out += body;
}

std::u16string integer_text(unsigned long long magnitude, bool negative, int base, bool upper, const Spec& spec)
{
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(digits[magnitude % base]));
        magnitude /= base;
    } while (magnitude);
    if (spec.precision >= 0) {
        if (spec.precision == 0 && text == u"0")
            text.clear();
        while (static_cast<int>(text.size()) < spec.precision)
            text.insert(text.begin(), u'0');
    }
    std::u16string prefix;
    if (negative)
        prefix = u"-";
    else if (spec.plus && base == 10)
        prefix = u"+";
    else if (spec.space && base == 10)
        prefix = u" ";
    if (spec.alternate && base == 16 && !text.empty() && text != u"0")
        prefix += upper ? u"0X" : u"0x";
    if (spec.alternate && base == 8 && (text.empty() || text[0] != u'0'))
        prefix += u"0";
    return prefix + text;
}

} // namespace

std::u16string vformat_wide(const char16_t* format, va_list arguments)
{
    std::u16string out;
    va_list args;
    va_copy(args, arguments);
    for (const char16_t* p = format; p && *p; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        ++p;
        if (*p == u'%') {
            out += u'%';
            continue;
        }
        Spec spec;
        for (;; ++p) {
            if (*p == u'-')
                spec.left = true;
            else if (*p == u'+')
                spec.plus = true;
            else if (*p == u' ')
                spec.space = true;
            else if (*p == u'#')
                spec.alternate = true;
            else if (*p == u'0')
                spec.zero = true;
            else
                break;
        }
        if (*p == u'*') {
            spec.width = va_arg(args, int);
            if (spec.width < 0) {
                spec.left = true;
                spec.width = -spec.width;
            }
            ++p;
        } else if (*p >= u'0' && *p <= u'9') {
            spec.width = 0;
            while (*p >= u'0' && *p <= u'9')
                spec.width = spec.width * 10 + (*p++ - u'0');
        }
        if (*p == u'.') {
            ++p;
            spec.precision = 0;
            if (*p == u'*') {
                spec.precision = va_arg(args, int);
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9')
                    spec.precision = spec.precision * 10 + (*p++ - u'0');
            }
        }
        if (*p == u'h') {
            ++p;
            spec.length = Spec::Length::Short;
            if (*p == u'h') {
                ++p;
                spec.length = Spec::Length::Char;
            }
        } else if (*p == u'l') {
            ++p;
            spec.length = Spec::Length::Long;
            if (*p == u'l') {
                ++p;
                spec.length = Spec::Length::LongLong;
            }
        } else if (*p == u'I' && p[1] == u'6' && p[2] == u'4') {
            p += 3;
            spec.length = Spec::Length::LongLong;
        } else if (*p == u'z' || *p == u'I') {
            ++p;
            spec.length = Spec::Length::Size;
        }
        if (!*p)
            break;

        char16_t conversion = *p;
        switch (conversion) {
        case u'd':
        case u'i': {
            long long value;
            if (spec.length == Spec::Length::LongLong)
                value = va_arg(args, long long);
            else if (spec.length == Spec::Length::Size)
                value = va_arg(args, intptr_t);
            else
                value = va_arg(args, int); // long is 32 bits on the device
            if (spec.length == Spec::Length::Short)
                value = static_cast<short>(value);
            else if (spec.length == Spec::Length::Char)
                value = static_cast<signed char>(value);
            unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
            pad(out, integer_text(magnitude, value < 0, 10, false, spec), spec, true);
            break;
        }
        case u'u':
        case u'x':
        case u'X':
        case u'o': {
            unsigned long long value;
            if (spec.length == Spec::Length::LongLong)
                value = va_arg(args, unsigned long long);
            else if (spec.length == Spec::Length::Size)
                value = va_arg(args, uintptr_t);
            else
                value = va_arg(args, unsigned int);
            if (spec.length == Spec::Length::Short)
                value = static_cast<unsigned short>(value);
            else if (spec.length == Spec::Length::Char)
                value = static_cast<unsigned char>(value);
            int base = conversion == u'u' ? 10 : conversion == u'o' ? 8
                                                                    : 16;
            pad(out, integer_text(value, false, base, conversion == u'X', spec), spec, true);
            break;
        }
        case u'p': {
            auto value = reinterpret_cast<uintptr_t>(va_arg(args, void*));
            Spec hex = spec;
            hex.precision = 8;
            pad(out, integer_text(value, false, 16, true, hex), spec, true);
            break;
        }
        case u'c':
        case u'C': {
            int value = va_arg(args, int);
            bool narrow = spec.length == Spec::Length::Short || (conversion == u'C' && spec.length != Spec::Length::Long);
            char16_t c = narrow ? static_cast<char16_t>(static_cast<unsigned char>(value)) : static_cast<char16_t>(value);
            pad(out, std::u16string_view(&c, 1), spec, false);
            break;
        }
        case u's':
        case u'S': {
            bool narrow = spec.length == Spec::Length::Short || (conversion == u'S' && spec.length != Spec::Length::Long);
            std::u16string text;
            if (narrow) {
                const char* value = va_arg(args, const char*);
                text = value ? to_utf16(value) : u"(null)";
            } else {
                const char16_t* value = va_arg(args, const char16_t*);
                text = value ? std::u16string(value) : u"(null)";
            }
            if (spec.precision >= 0 && static_cast<size_t>(spec.precision) < text.size())
                text.resize(spec.precision);
            pad(out, text, spec, false);
            break;
        }
        case u'f':
        case u'F':
        case u'e':
        case u'E':
        case u'g':
        case u'G': {
            double value = va_arg(args, double);
            std::string narrow_format = "%";
            if (spec.left)
                narrow_format += '-';
            if (spec.plus)
                narrow_format += '+';
            if (spec.space)
                narrow_format += ' ';
            if (spec.alternate)
                narrow_format += '#';
            if (spec.zero)
                narrow_format += '0';
            if (spec.width >= 0)
                narrow_format += std::to_string(spec.width);
            if (spec.precision >= 0)
                narrow_format += "." + std::to_string(spec.precision);
            narrow_format += static_cast<char>(conversion);
            char buffer[512];
            std::snprintf(buffer, sizeof buffer, narrow_format.c_str(), value);
            out += to_utf16(buffer);
            break;
        }
        default:
            // Unknown conversions are copied as they stand, so a mistake shows in the output.
            out += u'%';
            out += conversion;
            break;
        }
    }
    va_end(args);
    return out;
}

std::u16string format_wide(const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::u16string result = vformat_wide(format, args);
    va_end(args);
    return result;
}

} // namespace kivo
