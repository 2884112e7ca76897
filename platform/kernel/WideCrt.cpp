#include "WideCrt.h"

#include "WideText.h"

#include <algorithm>
#include <climits>
#include <cstring>

size_t wcslen(const WCHAR* text)
{
    return std::char_traits<char16_t>::length(text);
}

WCHAR* wcscpy(WCHAR* destination, const WCHAR* source)
{
    std::char_traits<char16_t>::copy(destination, source, wcslen(source) + 1);
    return destination;
}

WCHAR* wcsncpy(WCHAR* destination, const WCHAR* source, size_t count)
{
    size_t i = 0;
    for (; i < count && source[i]; ++i)
        destination[i] = source[i];
    for (; i < count; ++i)
        destination[i] = 0;
    return destination;
}

WCHAR* wcscat(WCHAR* destination, const WCHAR* source)
{
    wcscpy(destination + wcslen(destination), source);
    return destination;
}

WCHAR* wcsncat(WCHAR* destination, const WCHAR* source, size_t count)
{
    WCHAR* end = destination + wcslen(destination);
    size_t i = 0;
    for (; i < count && source[i]; ++i)
        end[i] = source[i];
    end[i] = 0;
    return destination;
}

int wcscmp(const WCHAR* a, const WCHAR* b)
{
    for (; *a && *a == *b; ++a, ++b) { }
    return *a == *b ? 0 : (*a < *b ? -1 : 1);
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
        if (!a[i])
            return 0;
    }
    return 0;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b)
{
    return kivo::compare_ignoring_case(a, b);
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count)
{
    std::u16string_view x(a, std::min(wcslen(a), count));
    std::u16string_view y(b, std::min(wcslen(b), count));
    return kivo::compare_ignoring_case(x, y);
}

const WCHAR* wcschr(const WCHAR* text, WCHAR c)
{
    for (;; ++text) {
        if (*text == c)
            return text;
        if (!*text)
            return nullptr;
    }
}

WCHAR* wcschr(WCHAR* text, WCHAR c)
{
    return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(text), c));
}

const WCHAR* wcsrchr(const WCHAR* text, WCHAR c)
{
    const WCHAR* found = nullptr;
    for (;; ++text) {
        if (*text == c)
            found = text;
        if (!*text)
            return found;
    }
}

WCHAR* wcsrchr(WCHAR* text, WCHAR c)
{
    return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(text), c));
}

const WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle)
{
    auto position = std::u16string_view(haystack).find(needle);
    return position == std::u16string_view::npos ? nullptr : haystack + position;
}

WCHAR* wcsstr(WCHAR* haystack, const WCHAR* needle)
{
    return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(haystack), needle));
}

WCHAR* _wcsupr(WCHAR* text)
{
    for (WCHAR* p = text; *p; ++p)
        *p = kivo::upper_case(*p);
    return text;
}

WCHAR* _wcslwr(WCHAR* text)
{
    for (WCHAR* p = text; *p; ++p)
        *p = kivo::fold_case(*p);
    return text;
}

WCHAR towupper(WCHAR c)
{
    return kivo::upper_case(c);
}

WCHAR towlower(WCHAR c)
{
    return kivo::fold_case(c);
}

int iswdigit(WCHAR c)
{
    return c >= u'0' && c <= u'9';
}

int iswspace(WCHAR c)
{
    return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x3000;
}

int iswalpha(WCHAR c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

namespace {

int digit_value(WCHAR c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 10;
    return 99;
}

// Parses like the C run-time: blanks, a sign, an optional 0x for base 16 (or base 0), digits.
unsigned long long parse_unsigned(const WCHAR* text, WCHAR** end, int base, bool& negative, bool& overflow)
{
    const WCHAR* p = text;
    while (iswspace(*p))
        ++p;
    negative = false;
    overflow = false;
    if (*p == u'+' || *p == u'-')
        negative = *p++ == u'-';
    if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && digit_value(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = p[0] == u'0' ? 8 : 10;
    }
    unsigned long long value = 0;
    const WCHAR* digits = p;
    for (; digit_value(*p) < base; ++p) {
        unsigned long long next = value * base + digit_value(*p);
        if (next / base != value)
            overflow = true;
        value = next;
    }
    if (end)
        *end = const_cast<WCHAR*>(p == digits ? text : p);
    return value;
}

} // namespace

long wcstol(const WCHAR* text, WCHAR** end, int base)
{
    bool negative;
    bool overflow;
    unsigned long long magnitude = parse_unsigned(text, end, base, negative, overflow);
    // long is 32 bits on the device.
    if (overflow || magnitude > (negative ? 0x80000000ULL : 0x7FFFFFFFULL))
        return negative ? INT32_MIN : INT32_MAX;
    return negative ? -static_cast<long long>(magnitude) : static_cast<long>(magnitude);
}

unsigned long wcstoul(const WCHAR* text, WCHAR** end, int base)
{
    bool negative;
    bool overflow;
    unsigned long long magnitude = parse_unsigned(text, end, base, negative, overflow);
    if (overflow || magnitude > 0xFFFFFFFFULL)
        return 0xFFFFFFFFUL;
    auto value = static_cast<uint32_t>(magnitude);
    return negative ? static_cast<uint32_t>(0U - value) : value;
}

int _wtoi(const WCHAR* text)
{
    // Like the device's: no overflow clamping, the value wraps in 32 bits.
    bool negative;
    bool overflow;
    unsigned long long magnitude = parse_unsigned(text, nullptr, 10, negative, overflow);
    auto value = static_cast<uint32_t>(magnitude);
    return static_cast<int>(negative ? 0U - value : value);
}

long _wtol(const WCHAR* text)
{
    return _wtoi(text);
}

WCHAR* _ltow(long value, WCHAR* buffer, int radix)
{
    std::u16string text;
    bool negative = radix == 10 && value < 0;
    unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<uint32_t>(value);
    do {
        text.insert(text.begin(), static_cast<WCHAR>("0123456789abcdefghijklmnopqrstuvwxyz"[magnitude % radix]));
        magnitude /= radix;
    } while (magnitude);
    if (negative)
        text.insert(text.begin(), u'-');
    wcscpy(buffer, text.c_str());
    return buffer;
}

WCHAR* _itow(int value, WCHAR* buffer, int radix)
{
    return _ltow(value, buffer, radix);
}

int vswprintf(WCHAR* buffer, const WCHAR* format, va_list args)
{
    std::u16string text = kivo::vformat_wide(format, args);
    wcscpy(buffer, text.c_str());
    return static_cast<int>(text.size());
}

int swprintf(WCHAR* buffer, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = vswprintf(buffer, format, args);
    va_end(args);
    return result;
}

int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args)
{
    std::u16string text = kivo::vformat_wide(format, args);
    if (text.size() > count) {
        std::char_traits<char16_t>::copy(buffer, text.data(), count);
        return -1;
    }
    std::char_traits<char16_t>::copy(buffer, text.data(), text.size());
    if (text.size() < count)
        buffer[text.size()] = 0;
    return static_cast<int>(text.size());
}

int _snwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = _vsnwprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int wsprintf(WCHAR* buffer, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = vswprintf(buffer, format, args);
    va_end(args);
    return result;
}
