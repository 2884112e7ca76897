#include "CodePages.h"

#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace kivo {

namespace {

constexpr UINT cp_acp = 0;
constexpr UINT cp_oemcp = 1;
constexpr UINT cp_utf8 = 65001;

// One conversion through iconv; `on_invalid` answers how many input bytes to skip and appends its
// replacement when a sequence cannot be converted.
class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : m_handle(iconv_open(to.c_str(), from.c_str()))
    {
    }
    ~Converter()
    {
        if (valid())
            iconv_close(m_handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }

    template<typename Replace>
    std::string run(std::string_view input, Replace on_invalid)
    {
        std::string output;
        std::vector<char> chunk(256);
        auto* in = const_cast<char*>(input.data());
        size_t in_left = input.size();
        while (in_left > 0) {
            char* out = chunk.data();
            size_t out_left = chunk.size();
            size_t result = iconv(m_handle, &in, &in_left, &out, &out_left);
            output.append(chunk.data(), chunk.size() - out_left);
            if (result != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            size_t skip = on_invalid(std::string_view(in, in_left), output);
            in += skip;
            in_left -= skip;
            iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        }
        char* out = chunk.data();
        size_t out_left = chunk.size();
        iconv(m_handle, nullptr, nullptr, &out, &out_left);
        output.append(chunk.data(), chunk.size() - out_left);
        return output;
    }

private:
    iconv_t m_handle;
};

// Opening a conversion loads its tables, which costs far more than converting a title; each thread
// keeps the ones it opened (a conversion's state is not to be shared between threads), and every run
// ends in the initial state.
Converter* converter_for(const std::string& to, const std::string& from)
{
    thread_local std::map<std::pair<std::string, std::string>, std::unique_ptr<Converter>> opened;
    auto& converter = opened[{ to, from }];
    if (!converter)
        converter = std::make_unique<Converter>(to, from);
    return converter->valid() ? converter.get() : nullptr;
}

bool is_high_surrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool is_low_surrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

UINT CodePages::actual(UINT code_page) const
{
    return code_page == cp_acp || code_page == cp_oemcp ? ansi_code_page() : code_page;
}

std::optional<std::string> CodePages::iconv_name(UINT code_page)
{
    if (code_page == cp_utf8)
        return "UTF-8";
    if (code_page == 20127)
        return "ASCII";
    if (code_page >= 28591 && code_page <= 28599)
        return "ISO-8859-" + std::to_string(code_page - 28590);
    if (code_page == 28605)
        return "ISO-8859-15";
    if (code_page < 100 || code_page > 1258)
        return std::nullopt;
    return "CP" + std::to_string(code_page);
}

std::optional<CodePages::Wide> CodePages::to_wide(UINT code_page, std::string_view input) const
{
    auto name = iconv_name(actual(code_page));
    if (!name)
        return std::nullopt;
    Converter* converter = converter_for("UTF-16LE", *name);
    if (!converter)
        return std::nullopt;
    Wide result;
    std::string bytes = converter->run(input, [&](std::string_view, std::string& output) {
        output += '?';
        output += '\0';
        result.replaced = true;
        return size_t { 1 };
    });
    result.text.resize(bytes.size() / 2);
    for (size_t i = 0; i < result.text.size(); ++i)
        result.text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return result;
}

std::optional<CodePages::Narrow> CodePages::to_narrow(UINT code_page, std::u16string_view input, char default_character) const
{
    auto name = iconv_name(actual(code_page));
    if (!name)
        return std::nullopt;
    Converter* converter = converter_for(*name, "UTF-16LE");
    if (!converter)
        return std::nullopt;
    std::string bytes;
    for (char16_t c : input) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    Narrow result;
    result.text = converter->run(bytes, [&](std::string_view rest, std::string& output) {
        output += default_character;
        result.replaced = true;
        // A whole surrogate pair is one character.
        auto unit = [&](size_t i) { return static_cast<char16_t>(static_cast<unsigned char>(rest[2 * i]) | (static_cast<unsigned char>(rest[2 * i + 1]) << 8)); };
        if (rest.size() >= 4 && is_high_surrogate(unit(0)) && is_low_surrogate(unit(1)))
            return size_t { 4 };
        return std::min<size_t>(2, rest.size());
    });
    return result;
}

} // namespace kivo
