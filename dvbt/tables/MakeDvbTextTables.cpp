// Writes the character tables of DVB text as a C++ source file. The tables come from the C
// library's own character sets through iconv, so no table is typed by hand; what the broadcast
// text rules decide differently from those sets (the dropped control range, the free positions,
// the older forms of Greek and Hebrew, a few compositions) is applied here by name.
//
//     make-dvb-text-tables <output.cpp>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using Table = std::vector<char16_t>;

// One character set's decoder into UTF-16, answering the single unit that some bytes give.
class Decoder {
public:
    explicit Decoder(const char* charset)
        : m_charset(charset)
        , m_handle(iconv_open("UTF-16LE", charset))
    {
    }
    ~Decoder()
    {
        if (valid())
            iconv_close(m_handle);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    bool valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }
    const char* charset() const { return m_charset; }

    // Null when the set refuses the bytes, holds them incomplete or makes more than one unit of them.
    std::optional<char16_t> unit(std::initializer_list<unsigned char> bytes)
    {
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        std::string input(bytes.begin(), bytes.end());
        char output[8] = {};
        char* in = input.data();
        size_t in_left = input.size();
        char* out = output;
        size_t out_left = sizeof output;
        if (iconv(m_handle, &in, &in_left, &out, &out_left) == static_cast<size_t>(-1) || in_left != 0)
            return std::nullopt;
        if (iconv(m_handle, nullptr, nullptr, &out, &out_left) == static_cast<size_t>(-1))
            return std::nullopt;
        if (sizeof output - out_left != 2)
            return std::nullopt;
        return static_cast<char16_t>(static_cast<unsigned char>(output[0]) | static_cast<unsigned char>(output[1]) << 8);
    }

private:
    const char* m_charset;
    iconv_t m_handle;
};

// The thirteen non-spacing marks of the default table, as the combining characters they stand for.
struct Mark {
    unsigned char byte;
    char16_t combining;
};
constexpr Mark marks[] = {
    { 0xC1, 0x0300 },
    { 0xC2, 0x0301 },
    { 0xC3, 0x0302 },
    { 0xC4, 0x0303 },
    { 0xC5, 0x0304 },
    { 0xC6, 0x0306 },
    { 0xC7, 0x0307 },
    { 0xC8, 0x0308 },
    { 0xCA, 0x030A },
    { 0xCB, 0x0327 },
    { 0xCD, 0x030B },
    { 0xCE, 0x0328 },
    { 0xCF, 0x030C },
};

// Compositions that broadcast text gives beyond the character set's own.
struct Addition {
    unsigned char mark;
    unsigned char letter;
    char16_t composed;
};
constexpr Addition additions[] = {
    { 0xC6, 'E', 0x0114 }, { 0xC6, 'e', 0x0115 }, // breve on E
    { 0xC7, 'i', 0x0131 },                        // dot above on i gives the dotless i
    { 0xCD, 'Y', 0x04F2 }, { 0xCD, 'y', 0x04F3 }, // double acute on Y
    { 0xCE, 'O', 0x01EA }, { 0xCE, 'o', 0x01EB }, // ogonek on O
};

// Default-table positions where the C library's ISO 6937 gives a look-alike instead of the
// standard's own character: the horizontal bar and the capital D with stroke.
struct Position {
    unsigned char byte;
    char16_t value;
};
constexpr Position standard_characters[] = {
    { 0xD0, 0x2015 },
    { 0xE2, 0x0110 },
};

// The ISO 8859 parts whose later editions moved characters: the text uses the earlier forms.
struct Override {
    int part;
    unsigned char byte;
    char16_t value; // 0: undefined in the earlier form
};
constexpr Override earlier_forms[] = {
    { 7, 0xA1, 0x02BD },
    { 7, 0xA2, 0x02BC },
    { 7, 0xA4, 0 },
    { 7, 0xA5, 0 },
    { 7, 0xAA, 0 },
    { 8, 0xAF, 0x203E },
    { 8, 0xFD, 0 },
    { 8, 0xFE, 0 },
};
constexpr int iso8859_parts[] = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15 };

bool is_control_range(int byte) { return byte >= 0x80 && byte <= 0x9F; }

const Mark* mark_of(int byte)
{
    for (auto& mark : marks) {
        if (mark.byte == byte)
            return &mark;
    }
    return nullptr;
}

Table default_table(Decoder& iso6937)
{
    Table table(256, 0);
    for (int byte = 0; byte < 256; ++byte) {
        if (byte < 0x80)
            table[byte] = static_cast<char16_t>(byte);
        else if (is_control_range(byte))
            table[byte] = 0;
        else if (auto* mark = mark_of(byte))
            table[byte] = mark->combining;
        else
            table[byte] = iso6937.unit({ static_cast<unsigned char>(byte) }).value_or(u'?');
    }
    for (auto& position : standard_characters)
        table[position.byte] = position.value;
    return table;
}

// Sixteen rows, one per byte 0xC0 to 0xCF; the rows of bytes that are no mark stay empty.
Table composition_tables(Decoder& iso6937)
{
    Table tables(16 * 256, 0);
    for (auto& mark : marks) {
        char16_t* row = &tables[(mark.byte - 0xC0) * 256];
        for (int byte = 0; byte < 256; ++byte) {
            if (byte == ' ')
                row[byte] = u' ';
            else
                row[byte] = iso6937.unit({ mark.byte, static_cast<unsigned char>(byte) }).value_or(u'?');
        }
    }
    for (auto& addition : additions)
        tables[(addition.mark - 0xC0) * 256 + addition.letter] = addition.composed;
    return tables;
}

// Sixteen rows indexed by the part's number; parts 0 and 12 stay empty.
std::optional<Table> iso8859_tables()
{
    Table tables(16 * 256, 0);
    for (int part : iso8859_parts) {
        std::string name = "ISO-8859-" + std::to_string(part);
        Decoder decoder(name.c_str());
        if (!decoder.valid()) {
            std::fprintf(stderr, "make-dvb-text-tables: iconv knows no %s\n", name.c_str());
            return std::nullopt;
        }
        char16_t* row = &tables[part * 256];
        for (int byte = 0; byte < 256; ++byte) {
            if (byte < 0x80)
                row[byte] = static_cast<char16_t>(byte);
            else if (!is_control_range(byte))
                row[byte] = decoder.unit({ static_cast<unsigned char>(byte) }).value_or(0);
        }
    }
    for (auto& form : earlier_forms)
        tables[form.part * 256 + form.byte] = form.value;
    return tables;
}

void write_table(std::string& out, const char* declaration, const Table& table)
{
    out += declaration;
    out += " = {";
    for (size_t i = 0; i < table.size(); ++i) {
        char value[16];
        std::snprintf(value, sizeof value, "%s0x%04X,", i % 16 == 0 ? "\n    " : " ", table[i]);
        out += value;
    }
    out += "\n};\n\n";
}

// Written beside the target and moved into place in one step, so a failed run leaves no half file.
bool write_file(const std::string& path, const std::string& text)
{
    std::string temporary = path + ".new";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return false;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        std::remove(temporary.c_str());
        return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-dvb-text-tables <output.cpp>\n");
        return 2;
    }
    Decoder iso6937("ISO_6937");
    if (!iso6937.valid()) {
        std::fprintf(stderr, "make-dvb-text-tables: iconv knows no ISO_6937\n");
        return 1;
    }
    auto iso8859 = iso8859_tables();
    if (!iso8859)
        return 1;

    std::string out = "// Made at build time by make-dvb-text-tables from the C library's character sets.\n\n"
                      "#include \"DvbTextTables.h\"\n\n";
    write_table(out, "const WCHAR g_DvbDefaultTable[256]", default_table(iso6937));
    write_table(out, "const WCHAR g_DvbCompositionTables[16 * 256]", composition_tables(iso6937));
    write_table(out, "const WCHAR g_DvbIso8859Tables[16 * 256]", *iso8859);
    if (!write_file(argv[1], out)) {
        std::fprintf(stderr, "make-dvb-text-tables: cannot write %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    return 0;
}
