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

// Overlong UTF-8 forms are no characters: a key name never gains a line break or a separator from
// them, the lines that hold them are skipped, and the file they came in is kept aside, not
// overwritten, when the device writes its values.
TEST_F(RegistryFixture, OverlongFormsInTheFileAreSkippedAndTheFileKeptAside)
{
    const std::string original = "REGEDIT4\r\n"
                                 "[HKEY_LOCAL_MACHINE\\Kept]\r\n"
                                 "\"Old\"=dword:00000001\r\n"
                                 "[HKEY_LOCAL_MACHINE\\Line\xC0\x8A"
                                 "Break]\r\n"
                                 "\"Lost\"=dword:00000002\r\n"
                                 "[HKEY_LOCAL_MACHINE\\Split\xC1\x9C"
                                 "Here]\r\n";
    write_file(original);
    restart();
    EXPECT_EQ(registry().skipped_lines(), 3u);
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, u"Kept", u"Old").data, dword_bytes(1));
    for (auto* path : { u"Line", u"Split", u"Split\\Here" }) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, 0, &key), ERROR_FILE_NOT_FOUND) << to_utf8(path);
    }

    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"Kept", u"New", REG_DWORD, dword_bytes(3)), ERROR_SUCCESS);
    ASSERT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    std::ifstream aside(m_root / "registry.reg.bad", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(aside)), std::istreambuf_iterator<char>()), original);
    auto lines = debug_lines(*m_device);
    EXPECT_NE(std::find_if(lines.begin(), lines.end(), [](auto& line) { return line.find("registry.reg.bad") != std::string::npos; }), lines.end());

    restart();
    EXPECT_EQ(registry().skipped_lines(), 0u);
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, u"Kept", u"Old").data, dword_bytes(1));
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, u"Kept", u"New").data, dword_bytes(3));
}

// A file saved in another encoding is not replaced by the device's values at exit; an earlier
// file kept aside stays as it was. A write cut short left a side file, removed at the next start.
TEST_F(RegistryFixture, AFileInAnotherEncodingSurvivesTheWriteAtExit)
{
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string_view("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Wide]\r\n\"V\"=dword:00000001\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    {
        std::ofstream earlier(m_root / "registry.reg.bad", std::ios::binary);
        earlier << "earlier";
    }
    {
        std::ofstream leftover(m_root / "registry.reg.new", std::ios::binary);
        leftover << "half a write";
    }
    write_file(utf16);
    restart();
    EXPECT_GT(registry().skipped_lines(), 0u);
    EXPECT_FALSE(std::filesystem::exists(m_root / "registry.reg.new"));
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"Device", u"Own", REG_DWORD, dword_bytes(7)), ERROR_SUCCESS);
    restart();

    auto text_of = [](const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(text_of(m_root / "registry.reg.bad"), "earlier");
    EXPECT_EQ(text_of(m_root / "registry.reg.bad2"), utf16);
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, u"Device", u"Own").data, dword_bytes(7));
    EXPECT_EQ(registry().skipped_lines(), 0u);
}
