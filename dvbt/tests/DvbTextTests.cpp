// DVB text is checked against the C library's iconv (an independent decoder of the same character
// sets) and against code points read from the standards themselves, with the broadcast rules where
// they differ from the plain character sets.

#include "DvbText.h"

#include "CodePages.h"
#include "kernel/tests/TestDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iconv.h>
#include <initializer_list>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

std::u16string decode(const Bytes& text)
{
    int count = DecodeDvbText(text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(count, u'\0');
    int written = DecodeDvbText(text.data(), static_cast<int>(text.size()), reinterpret_cast<WCHAR*>(out.data()), count);
    EXPECT_EQ(written, count) << "the count and the written length differ";
    out.resize(written);
    return out;
}

// What iconv makes of some bytes in a character set, or null when it refuses them.
std::optional<std::u16string> iconv_decode(const char* charset, const Bytes& bytes)
{
    iconv_t handle = iconv_open("UTF-16LE", charset);
    if (handle == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string input(bytes.begin(), bytes.end());
    std::string output(bytes.size() * 4 + 8, '\0');
    char* in = input.data();
    size_t in_left = input.size();
    char* out = output.data();
    size_t out_left = output.size();
    bool ok = iconv(handle, &in, &in_left, &out, &out_left) != static_cast<size_t>(-1) && in_left == 0;
    iconv_close(handle);
    if (!ok)
        return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i + 1 < output.size() - out_left; i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(output[i]) | static_cast<unsigned char>(output[i + 1]) << 8);
    return text;
}

class DvbTextTest : public ::testing::Test {
protected:
    std::unique_ptr<kivo::Device> device = kivo::test::make_test_device();

    DvbTextTest() { device->component<kivo::CodePages>().set_ansi_code_page(950); }
};

// The ISO 8859 parts, each with the selectors that reach it.
struct Iso8859Part {
    int part;
    std::vector<Bytes> selectors;
};
const std::vector<Iso8859Part> iso8859_parts = {
    { 1, { { 0x10, 0x00, 0x01 } } },
    { 2, { { 0x10, 0x00, 0x02 } } },
    { 3, { { 0x10, 0x00, 0x03 } } },
    { 4, { { 0x10, 0x00, 0x04 } } },
    { 5, { { 0x01 }, { 0x10, 0x00, 0x05 } } },
    { 6, { { 0x02 }, { 0x10, 0x00, 0x06 } } },
    { 7, { { 0x03 }, { 0x10, 0x00, 0x07 } } },
    { 8, { { 0x04 } } },
    { 9, { { 0x05 }, { 0x10, 0x00, 0x09 } } },
    { 10, { { 0x06 } } },
    { 11, { { 0x07 } } },
    { 13, { { 0x09 } } },
    { 14, { { 0x0A } } },
    { 15, { { 0x0B } } },
};

// Positions of parts 7 and 8 in their 1987 and 1988 forms, where today's iconv has the later ones
// (0 is undefined).
const std::map<std::pair<int, int>, char16_t> earlier_forms = {
    { { 7, 0xA1 }, 0x02BD },
    { { 7, 0xA2 }, 0x02BC },
    { { 7, 0xA4 }, 0 },
    { { 7, 0xA5 }, 0 },
    { { 7, 0xAA }, 0 },
    { { 8, 0xAF }, 0x203E },
    { { 8, 0xFD }, 0 },
    { { 8, 0xFE }, 0 },
};

Bytes with(Bytes text, std::initializer_list<unsigned char> more)
{
    text.insert(text.end(), more);
    return text;
}

} // namespace

TEST_F(DvbTextTest, ExamplesOfTheBroadcastRules)
{
    struct Case {
        Bytes text;
        std::u16string expected;
    };
    const Case cases[] = {
        { { 0x41, 0xC2, 0x65 }, u"A\u00E9" },                            // a mark composes with the next byte
        { { 0xC1, 0x42 }, u"?" },                                        // B takes no grave accent
        { { 0x05, 0xDD }, u"\u0130" },                                   // part 9
        { { 0x10, 0x00, 0x02, 0xB9 }, u"\u0161" },                       // part 2 by the three-byte selector
        { { 0x11, 0x00, 0x41, 0xE0, 0x8A, 0x00, 0x42 }, u"A B" },        // the two-byte line break is a space
        { { 0x00, 0x41, 0x42 }, u"" },                                   // no characters, whatever follows
        { { 0x41, 0x86, 0x87, 0x8A, 0x42 }, u"AB" },                     // emphasis and line breaks dropped
        { { 0x11, 0x00, 0x00, 0x00, 0x41 }, std::u16string(u"\0A", 2) }, // a zero unit is written
        { { 0xCF, 0x20 }, u" " },                                        // a mark with a space gives a space
    };
    for (auto& c : cases) {
        EXPECT_EQ(decode(c.text), c.expected) << "text of " << c.text.size() << " bytes starting " << int(c.text[0]);
        EXPECT_EQ(DecodeDvbText(c.text.data(), static_cast<int>(c.text.size()), nullptr, 0), static_cast<int>(c.expected.size()));
    }
}

TEST_F(DvbTextTest, EverySelectorReadsItsTable)
{
    // Code points from the standards: Cyrillic a, Arabic alef, Greek Alpha, Hebrew alef, Turkish
    // dotted I, Latin-6 A ogonek, Thai ko kai, Latin-7 right double quote, Latin-8 B dot above, euro.
    // 中 is A4 A4 in the device's Big5 page and U+4E2D as a 16-bit unit.
    struct Case {
        Bytes text;
        std::u16string expected;
    };
    const Case cases[] = {
        { { 0x01, 0xD0 }, u"\u0430" },
        { { 0x02, 0xC7 }, u"\u0627" },
        { { 0x03, 0xC1 }, u"\u0391" },
        { { 0x04, 0xE0 }, u"\u05D0" },
        { { 0x05, 0xFE }, u"\u015F" },
        { { 0x06, 0xA1 }, u"\u0104" },
        { { 0x07, 0xA1 }, u"\u0E01" },
        { { 0x08, 0xA4, 0xA4 }, u"中" },
        { { 0x09, 0xA1 }, u"\u201D" },
        { { 0x0A, 0xA1 }, u"\u1E02" },
        { { 0x0B, 0xA4 }, u"\u20AC" },
        { { 0x0C, 0xA4, 0xA4 }, u"中" },
        { { 0x0F, 0xA4, 0xA4 }, u"中" },
        { { 0x10, 0x00, 0x01, 0xE9 }, u"\u00E9" },
        { { 0x10, 0x00, 0x03, 0xA1 }, u"\u0126" },
        { { 0x10, 0x00, 0x04, 0xA2 }, u"\u0138" },
        { { 0x10, 0x00, 0x05, 0xB0 }, u"\u0410" },
        { { 0x10, 0x00, 0x06, 0xC7 }, u"\u0627" },
        { { 0x10, 0x00, 0x07, 0xC1 }, u"\u0391" },
        { { 0x10, 0x00, 0x09, 0xDD }, u"\u0130" },
        { { 0x10, 0x00, 0x08, 0xA4, 0xA4 }, u"中" },
        { { 0x10, 0x00, 0x0A, 0xA4, 0xA4 }, u"中" },
        { { 0x10, 0x00, 0x0F, 0xA4, 0xA4 }, u"中" },
        { { 0x10, 0x01, 0x01, 0xA4, 0xA4 }, u"中" },
        { { 0x11, 0x4E, 0x2D }, u"中" },
        { { 0x12, 0x4E, 0x2D }, u"中" },
        { { 0x13, 0x4E, 0x2D }, u"中" },
        { { 0x14, 0x4E, 0x2D, 0xE0, 0x8A }, u"中 " },
        { { 0x15, 0xA4, 0xA4 }, u"中" },
        { { 0x1F, 0xA4, 0xA4, 0x41 }, u"中A" },
    };
    for (auto& c : cases)
        EXPECT_EQ(decode(c.text), c.expected) << "selector " << int(c.text[0]) << " " << int(c.text[1]) << " " << int(c.text[2]);
}

TEST_F(DvbTextTest, ThePlatformConversionUsesTheDevicesCodePage)
{
    // 中 is D6 D0 in the simplified Chinese page, and something else in Big5.
    const Bytes text = { 0x15, 0xD6, 0xD0 };
    EXPECT_NE(decode(text), u"中");
    device->component<kivo::CodePages>().set_ansi_code_page(936);
    EXPECT_EQ(decode(text), u"中");
}

TEST_F(DvbTextTest, EachIso8859TableAgreesWithIconvAndTheEarlierGreekAndHebrew)
{
    for (auto& part : iso8859_parts) {
        std::string charset = "ISO-8859-" + std::to_string(part.part);
        for (int byte = 0; byte < 256; ++byte) {
            std::u16string expected;
            auto earlier = earlier_forms.find({ part.part, byte });
            if (earlier != earlier_forms.end()) {
                if (earlier->second)
                    expected = earlier->second;
            } else if (byte != 0 && (byte < 0x80 || byte > 0x9F)) {
                expected = iconv_decode(charset.c_str(), { static_cast<unsigned char>(byte) }).value_or(u"");
            }
            for (auto& selector : part.selectors)
                EXPECT_EQ(decode(with(selector, { static_cast<unsigned char>(byte) })), expected) << charset << " byte " << byte;
        }
    }
}

TEST_F(DvbTextTest, TheDefaultTableAgreesWithIconvOutsideTheBroadcastRules)
{
    const std::map<int, char16_t> from_the_standard = {
        { 0xA8, 0x00A4 },
        { 0xB4, 0x00D7 },
        { 0xD4, 0x2122 },
        { 0xE0, 0x2126 },
        { 0xE1, 0x00C6 },
        { 0xEA, 0x0152 },
        { 0xF5, 0x0131 },
        { 0xFB, 0x00DF },
        { 0xFF, 0x00AD },
    };
    // Where the C library gives a look-alike (em dash, capital eth), the standard's character holds.
    const std::map<int, char16_t> standard_over_iconv = { { 0xD0, 0x2015 }, { 0xE2, 0x0110 } };
    const std::vector<int> free_positions = { 0xA4, 0xA6, 0xC0, 0xC9, 0xCC, 0xD8, 0xD9, 0xDA, 0xDB, 0xE5 };
    for (int byte = 0x01; byte < 256; ++byte) {
        if (byte >= 0xC1 && byte <= 0xCF && byte != 0xC9 && byte != 0xCC)
            continue; // the marks, below
        std::u16string expected = u"A";
        bool control = byte >= 0x80 && byte <= 0x9F; // dropped
        if (std::find(free_positions.begin(), free_positions.end(), byte) != free_positions.end())
            expected += u'?';
        else if (standard_over_iconv.count(byte))
            expected += standard_over_iconv.at(byte);
        else if (!control)
            expected += iconv_decode("ISO_6937", { static_cast<unsigned char>(byte) }).value_or(u"<refused>");
        auto standard = from_the_standard.find(byte);
        if (standard != from_the_standard.end()) {
            EXPECT_EQ(expected, std::u16string(u"A") + standard->second) << "iconv at byte " << byte;
        }
        EXPECT_EQ(decode({ 0x41, static_cast<unsigned char>(byte) }), expected) << "byte " << byte;
    }
    EXPECT_EQ(decode({ 0x41, 0x00, 0x42 }), u"AB");
}

TEST_F(DvbTextTest, EveryCompositionAgreesWithIconvAndTheBroadcastAdditions)
{
    // The letters each mark composes with, from the standard's repertoire.
    const std::map<int, std::string> letters = {
        { 0xC1, "AEIOUaeiou" },
        { 0xC2, "ACEILNORSUYZaceilnorsuyz" },
        { 0xC3, "ACEGHIJOSUWYaceghijosuwy" },
        { 0xC4, "AINOUainou" },
        { 0xC5, "AEIOUaeiou" },
        { 0xC6, "AEGUaegu" },
        { 0xC7, "CEGIZcegiz" },
        { 0xC8, "AEIOUYaeiouy" },
        { 0xCA, "AUau" },
        { 0xCB, "CGKLNRSTcgklnrst" },
        { 0xCD, "OUYouy" },
        { 0xCE, "AEIOUaeiou" },
        { 0xCF, "CDELNRSTZcdelnrstz" },
    };
    // Where broadcast text composes what iconv refuses.
    const std::map<std::pair<int, char>, char16_t> additions = {
        { { 0xC6, 'E' }, 0x0114 },
        { { 0xC6, 'e' }, 0x0115 },
        { { 0xC7, 'i' }, 0x0131 },
        { { 0xCD, 'Y' }, 0x04F2 },
        { { 0xCD, 'y' }, 0x04F3 },
        { { 0xCE, 'O' }, 0x01EA },
        { { 0xCE, 'o' }, 0x01EB },
    };
    // Code points read from the standards.
    const std::map<std::pair<int, char>, char16_t> from_the_standard = {
        { { 0xC1, 'a' }, 0x00E0 },
        { { 0xC2, 'e' }, 0x00E9 },
        { { 0xC2, 'Z' }, 0x0179 },
        { { 0xC3, 'w' }, 0x0175 },
        { { 0xC4, 'n' }, 0x00F1 },
        { { 0xC5, 'a' }, 0x0101 },
        { { 0xC6, 'g' }, 0x011F },
        { { 0xC7, 'I' }, 0x0130 },
        { { 0xC7, 'z' }, 0x017C },
        { { 0xC8, 'Y' }, 0x0178 },
        { { 0xC8, 'y' }, 0x00FF },
        { { 0xCA, 'u' }, 0x016F },
        { { 0xCB, 'c' }, 0x00E7 },
        { { 0xCD, 'o' }, 0x0151 },
        { { 0xCE, 'e' }, 0x0119 },
        { { 0xCF, 's' }, 0x0161 },
    };
    for (auto& [mark, composing] : letters) {
        for (int byte = 0; byte < 256; ++byte) {
            Bytes text = { static_cast<unsigned char>(mark), static_cast<unsigned char>(byte) };
            std::u16string expected = u"?";
            auto addition = additions.find({ mark, static_cast<char>(byte) });
            if (byte == ' ')
                expected = u" ";
            else if (addition != additions.end())
                expected = addition->second;
            else if (byte < 0x80 && composing.find(static_cast<char>(byte)) != std::string::npos)
                expected = iconv_decode("ISO_6937", text).value_or(u"<refused>");
            auto standard = from_the_standard.find({ mark, static_cast<char>(byte) });
            if (standard != from_the_standard.end()) {
                EXPECT_EQ(expected, std::u16string(1, standard->second)) << "iconv at mark " << mark << " byte " << byte;
            }
            EXPECT_EQ(decode(text), expected) << "mark " << mark << " byte " << byte;
        }
    }
}

TEST_F(DvbTextTest, SixteenBitUnitsAgreeWithIconv)
{
    Bytes text = { 0x11 };
    for (int unit = 0x0000; unit <= 0xFFFF; ++unit) {
        if (unit >= 0xD800 && unit <= 0xDFFF)
            continue; // no character of their own; they pass through as they are
        text.push_back(static_cast<unsigned char>(unit >> 8));
        text.push_back(static_cast<unsigned char>(unit));
    }
    std::u16string expected = iconv_decode("UCS-2BE", Bytes(text.begin() + 1, text.end())).value_or(u"");
    ASSERT_EQ(expected.size(), (text.size() - 1) / 2);
    std::replace(expected.begin(), expected.end(), char16_t(0xE08A), u' ');
    EXPECT_EQ(decode(text), expected);
    EXPECT_EQ(decode({ 0x11, 0xD8, 0x3D, 0xDE, 0x00 }), u"\xD83D\xDE00");
}

TEST_F(DvbTextTest, TextsCutShortGiveOnlyWhatTheyHold)
{
    // The bytes after the length would change the result if they were read.
    struct Case {
        Bytes memory;
        int length;
        std::u16string expected;
    };
    const Case cases[] = {
        { { 0x41, 0xC2, 0x65 }, 2, u"A" }, // a mark that ends the text gives nothing
        { { 0xC2, 0x65 }, 1, u"" },
        { { 0x11, 0x00, 0x41, 0x00, 0x42 }, 4, u"A" }, // half a unit gives nothing
        { { 0x11, 0x00, 0x41 }, 2, u"" },
        { { 0x11, 0x00 }, 1, u"" },
        { { 0x10, 0x00, 0x05, 0xDD }, 3, u"" }, // a selector with no text
        { { 0x10, 0x00, 0x05 }, 2, u"" },       // a three-byte selector cut short
        { { 0x10, 0x00 }, 1, u"" },
        { { 0x15, 0xA4, 0xA4 }, 2, u"?" }, // half a Big5 character
        { { 0x15, 0x41 }, 1, u"" },
        { { 0x41 }, 0, u"" },
        { { 0x41 }, -1, u"" },
    };
    for (auto& c : cases) {
        int count = DecodeDvbText(c.memory.data(), c.length, nullptr, 0);
        EXPECT_EQ(count, static_cast<int>(c.expected.size())) << "length " << c.length << " of " << int(c.memory[0]);
        std::u16string out(c.expected.size() + 1, u'#');
        int written = DecodeDvbText(c.memory.data(), c.length, reinterpret_cast<WCHAR*>(out.data()), static_cast<int>(out.size()));
        EXPECT_EQ(out.substr(0, written), c.expected);
        EXPECT_EQ(out.substr(written), std::u16string(out.size() - written, u'#'));
    }
}

TEST_F(DvbTextTest, WritingStopsAtTheCapacity)
{
    struct Case {
        Bytes text;
        int capacity;
        std::u16string expected;
    };
    const Case cases[] = {
        { { 0x41, 0x42, 0x43 }, 2, u"AB" },
        { { 0x41, 0xC2, 0x65, 0x43 }, 2, u"A\u00E9" },
        { { 0x05, 0x41, 0x86, 0x42, 0x43 }, 2, u"AB" },
        { { 0x11, 0x00, 0x41, 0x00, 0x42 }, 1, u"A" },
        { { 0x15, 0x41, 0x42 }, 1, u"" }, // the device's conversion writes nothing into too little room
        { { 0x41, 0x42 }, -1, u"" },
    };
    for (auto& c : cases) {
        std::u16string out(8, u'#');
        int written = DecodeDvbText(c.text.data(), static_cast<int>(c.text.size()), reinterpret_cast<WCHAR*>(out.data()), c.capacity);
        EXPECT_EQ(out.substr(0, written), c.expected);
        EXPECT_EQ(out.substr(written), std::u16string(out.size() - written, u'#'));
    }
    const Bytes text = { 0x41 };
    EXPECT_EQ(DecodeDvbText(text.data(), 1, nullptr, 4), 0) << "room without a place to write";
}

TEST_F(DvbTextTest, TheCountIsWhatIsWrittenForEveryInput)
{
    // Every text of one and two bytes, and many longer ones for every selector.
    std::vector<Bytes> texts;
    for (int a = 0; a < 256; ++a) {
        texts.push_back({ static_cast<unsigned char>(a) });
        for (int b = 0; b < 256; ++b)
            texts.push_back({ static_cast<unsigned char>(a), static_cast<unsigned char>(b) });
    }
    std::mt19937 random(20);
    for (int i = 0; i < 20000; ++i) {
        Bytes text(3 + random() % 14);
        for (auto& byte : text)
            byte = static_cast<unsigned char>(random());
        text[0] = static_cast<unsigned char>(i % 0x28);
        if (i % 3 == 0 && text.size() > 3) {
            text[0] = 0x10;
            text[1] = 0;
            text[2] = static_cast<unsigned char>(i % 17);
        }
        texts.push_back(text);
    }
    for (auto& text : texts) {
        int length = static_cast<int>(text.size());
        int count = DecodeDvbText(text.data(), length, nullptr, 0);
        std::vector<WCHAR> out(count + 1, 0xBEEF);
        ASSERT_EQ(DecodeDvbText(text.data(), length, out.data(), count + 1), count) << "selector " << int(text[0]);
        ASSERT_EQ(out[count], 0xBEEF) << "selector " << int(text[0]);
    }
}
