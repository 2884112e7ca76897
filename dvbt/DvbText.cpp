#include "DvbText.h"

#include "DvbTextTables.h"

namespace {

// Where decoded units go: counted only, or written until the capacity is reached.
class Output {
public:
    Output(WCHAR* out, int capacity)
        : m_out(out)
        , m_capacity(capacity)
    {
    }

    bool counting() const { return m_capacity == 0; }
    bool full() const { return !counting() && m_written == m_capacity; }
    int result() const { return m_written; }

    void put(WCHAR unit)
    {
        if (!counting())
            m_out[m_written] = unit;
        ++m_written;
    }

private:
    WCHAR* m_out;
    int m_capacity;
    int m_written = 0;
};

// The code unit the two-byte scheme uses for a line break; shown as a space.
constexpr WCHAR two_byte_line_break = 0xE08A;

bool is_mark(WCHAR value)
{
    return value >= 0x0300 && value <= 0x036F;
}

const WCHAR* iso8859_table(int part)
{
    return &g_DvbIso8859Tables[part * 256];
}

int decode_default(const unsigned char* text, int length, Output& output)
{
    for (int i = 0; i < length && !output.full(); ++i) {
        WCHAR value = g_DvbDefaultTable[text[i]];
        if (is_mark(value)) {
            // A mark with nothing after it has no letter to compose with and gives nothing.
            if (i + 1 == length)
                break;
            value = g_DvbCompositionTables[(text[i] - 0xC0) * 256 + text[i + 1]];
            ++i;
        }
        if (value)
            output.put(value);
    }
    return output.result();
}

int decode_single_byte(const WCHAR* table, const unsigned char* text, int length, Output& output)
{
    for (int i = 0; i < length && !output.full(); ++i) {
        if (WCHAR value = table[text[i]])
            output.put(value);
    }
    return output.result();
}

// Big-endian pairs; a last byte without its pair is half a unit and gives nothing.
int decode_two_byte(const unsigned char* text, int length, Output& output)
{
    for (int i = 0; i + 1 < length && !output.full(); i += 2) {
        WCHAR unit = static_cast<WCHAR>(text[i] << 8 | text[i + 1]);
        output.put(unit == two_byte_line_break ? WCHAR(' ') : unit);
    }
    return output.result();
}

int decode_platform(const unsigned char* text, int length, WCHAR* out, int capacity)
{
    if (length == 0)
        return 0;
    return MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(text), length, capacity ? out : nullptr, capacity);
}

} // namespace

int DecodeDvbText(const unsigned char* text, int length, WCHAR* out, int capacity)
{
    if (!text || length <= 0 || capacity < 0 || (capacity > 0 && !out))
        return 0;
    Output output(out, capacity);
    unsigned char selector = text[0];
    if (selector >= 0x20)
        return decode_default(text, length, output);

    const unsigned char* rest = text + 1;
    int rest_length = length - 1;
    switch (selector) {
    case 0x00:
        return 0;
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x07:
    case 0x09:
    case 0x0A:
    case 0x0B:
        // Parts 5 to 11 and 13 to 15 in selector order; 0x08 would be part 12, which does not exist.
        return decode_single_byte(iso8859_table(selector + 4), rest, rest_length, output);
    case 0x10: {
        // A three-byte selector cut short selects nothing.
        if (length < 3)
            return 0;
        int part = text[1] << 8 | text[2];
        if ((part >= 1 && part <= 7) || part == 9)
            return decode_single_byte(iso8859_table(part), text + 3, length - 3, output);
        return decode_platform(text + 3, length - 3, out, capacity);
    }
    case 0x11:
    case 0x12:
    case 0x13:
    case 0x14:
        return decode_two_byte(rest, rest_length, output);
    default:
        return decode_platform(rest, rest_length, out, capacity);
    }
}
