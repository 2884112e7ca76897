#include "broadcast/DvbText.h"

#include <iconv.h>

namespace kivo {

namespace {

// The default table through the C library's converter, which writes an accented letter as its
// non-spacing mark followed by the letter, as the table wants.
std::optional<std::vector<uint8_t>> encode_iso6937(const std::string& text)
{
    iconv_t converter = iconv_open("ISO_6937", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string input = text;
    std::vector<uint8_t> output(text.size() * 2 + 4);
    char* in = input.data();
    size_t in_left = input.size();
    char* out = reinterpret_cast<char*>(output.data());
    size_t out_left = output.size();
    size_t result = iconv(converter, &in, &in_left, &out, &out_left);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || in_left != 0)
        return std::nullopt;
    output.resize(output.size() - out_left);
    return output;
}

} // namespace

std::optional<std::u32string> decode_utf8(const std::string& text)
{
    std::u32string result;
    for (size_t i = 0; i < text.size();) {
        auto lead = static_cast<uint8_t>(text[i]);
        int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return std::nullopt;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        result.push_back(code);
        i += length;
    }
    return result;
}

std::string encode_utf8(char32_t code)
{
    std::string out;
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out += {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
    } else if (code < 0x10000) {
        out += {static_cast<char>(0xE0 | (code >> 12)), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                static_cast<char>(0x80 | (code & 0x3F))};
    } else {
        out += {static_cast<char>(0xF0 | (code >> 18)), static_cast<char>(0x80 | ((code >> 12) & 0x3F)),
                static_cast<char>(0x80 | ((code >> 6) & 0x3F)), static_cast<char>(0x80 | (code & 0x3F))};
    }
    return out;
}

std::optional<std::vector<uint8_t>> encode_dvb_text(const DvbText& text)
{
    if (text.selector == 0)
        return encode_iso6937(text.text);
    std::vector<uint8_t> bytes{text.selector};
    if (text.selector >= 0x11 && text.selector <= 0x14) {
        auto code_points = decode_utf8(text.text);
        if (!code_points)
            return std::nullopt;
        for (char32_t code : *code_points) {
            if (code > 0xFFFF)
                return std::nullopt;
            bytes.push_back(static_cast<uint8_t>(code >> 8));
            bytes.push_back(static_cast<uint8_t>(code));
        }
        return bytes;
    }
    if (text.selector == 0x15) {
        if (!decode_utf8(text.text))
            return std::nullopt;
        bytes.insert(bytes.end(), text.text.begin(), text.text.end());
        return bytes;
    }
    return std::nullopt;
}

} // namespace kivo
