#include "RegistryFixture.h"

using namespace kivo;
using namespace kivo::test;

// A file edited by hand: what can be understood loads, every other line is skipped.
TEST_F(RegistryFixture, AHandEditedFileLoadsWhatItCan)
{
    write_file("\xEF\xBB\xBFREGEDIT4\n"
               "; a comment\n"
               "\n"
               "[HKEY_LOCAL_MACHINE\\CORVANE]\n"
               "\"PRODUCTID\"=\"GX-7 \\\"beta\\\"\"\r\n"
               "  \"Count\" = dword:1A\n"
               "\"Long\"=hex:01,02,\\\n"
               "  03,04\n"
               "\"Typed\"=hex(7):41,00,00,00,00,00\n"
               "@=\"unnamed\"\n"
               "\"Unterminated\"=\"text\n"
               "\"BadDword\"=dword:123456789\n"
               "\"BadHex\"=hex:1,zz\n"
               "\"TrailingComma\"=hex:01,\n"
               "\"Trailing\"=\"x\" junk\n"
               "\"Deleted\"=-\n"
               "NoQuotes=\"x\"\n"
               "[HKEY_NOWHERE\\Key]\n"
               "\"Lost\"=dword:1\n"
               "[HKEY_CURRENT_USER\\Bad\\\\Path]\n"
               "[hkcu\\ControlPanel\\Volume]\n"
               "\"Screen\"=dword:00010002\n"
               "[HKEY_LOCAL_MACHINE\\Unclosed\n");

    struct Expected {
        HKEY root;
        const char16_t* path;
        const char16_t* name;
        DWORD type;
        std::vector<uint8_t> data;
    } expected[] = {
        { HKEY_LOCAL_MACHINE, u"CORVANE", u"PRODUCTID", REG_SZ, text_bytes(u"GX-7 \"beta\"") },
        { HKEY_LOCAL_MACHINE, u"CORVANE", u"Count", REG_DWORD, dword_bytes(26) },
        { HKEY_LOCAL_MACHINE, u"CORVANE", u"Long", REG_BINARY, { 1, 2, 3, 4 } },
        { HKEY_LOCAL_MACHINE, u"CORVANE", u"Typed", REG_MULTI_SZ, { 0x41, 0, 0, 0, 0, 0 } },
        { HKEY_LOCAL_MACHINE, u"CORVANE", nullptr, REG_SZ, text_bytes(u"unnamed") },
        { HKEY_CURRENT_USER, u"ControlPanel\\Volume", u"Screen", REG_DWORD, dword_bytes(0x10002) },
    };
    for (auto& e : expected) {
        auto stored = read_value(e.root, e.path, e.name);
        EXPECT_EQ(stored.result, ERROR_SUCCESS) << to_utf8(e.name ? e.name : u"@");
        EXPECT_EQ(stored.type, e.type) << to_utf8(e.name ? e.name : u"@");
        EXPECT_EQ(stored.data, e.data) << to_utf8(e.name ? e.name : u"@");
    }
    for (auto* name : { u"Unterminated", u"BadDword", u"BadHex", u"TrailingComma", u"Trailing", u"Deleted", u"NoQuotes", u"Lost" })
        EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, u"CORVANE", name).result, ERROR_FILE_NOT_FOUND) << to_utf8(name);
    EXPECT_EQ(read_value(HKEY_CURRENT_USER, u"Bad", nullptr).result, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry().skipped_lines(), 11u);
    auto lines = debug_lines(*m_device);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("11 lines"), std::string::npos);
}

// Text that a file of ours cannot hold as plain text (control characters, a missing or inner
// zero) goes out as bytes, so that it comes back exactly as stored.
TEST_F(RegistryFixture, ValuesThatAreNotPlainTextKeepTheirBytes)
{
    std::vector<uint8_t> cases[] = {
        text_bytes(u"tab\there"),
        text_bytes(std::u16string_view(u"in\0ner", 6)),
        text_bytes(u"ok\r\nnext"),
        { 0x3D, 0xD8, 0, 0 }, // a lone surrogate
    };
    int index = 0;
    for (auto& data : cases) {
        auto name = u"v" + std::u16string(1, static_cast<char16_t>(u'0' + index++));
        ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"Odd", name.c_str(), REG_SZ, data), ERROR_SUCCESS);
    }
    ASSERT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    restart();
    index = 0;
    for (auto& data : cases) {
        auto name = u"v" + std::u16string(1, static_cast<char16_t>(u'0' + index++));
        auto stored = read_value(HKEY_LOCAL_MACHINE, u"Odd", name.c_str());
        EXPECT_EQ(stored.type, REG_SZ) << index;
        EXPECT_EQ(stored.data, data) << index;
    }
    EXPECT_EQ(registry().skipped_lines(), 0u);
}
