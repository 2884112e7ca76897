#include "KitbaseTest.h"

#include "Registry.h"

#include <filesystem>

using namespace kitbase::test;

namespace {

constexpr const char16_t* ini = u"\\NAND\\App\\BT\\mobile_setting.ini";
constexpr const char16_t* mirror = u"Software\\ZOLSOFT\\Applicaton\\mobile_setting.ini";

class RegistryProfileTest : public KitbaseTest {
protected:
    RegistryProfileTest()
    {
        // Written with bare line feeds, as our own tools write text.
        write_file(ini, "; phone link\n[COM]\nDUNCOM=COM3\nBAUD=115200\n[mobile]\nShowUI=2\nName=Car\n");
    }

    static std::optional<std::u16string> registry_text(const std::u16string& key_path, const char16_t* name)
    {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return std::nullopt;
        WCHAR text[512] = {};
        DWORD size = sizeof(text);
        DWORD type = 0;
        LONG result = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS || type != REG_SZ)
            return std::nullopt;
        return std::u16string(text);
    }

    static bool key_exists(const std::u16string& key_path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    static void set_flush_key(DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\ZOLSOFT", 0, nullptr, 0, KEY_WRITE, nullptr, &key, &disposition), ERROR_SUCCESS);
        RegSetValueEx(key, u"FlushKey", 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }

    struct Read {
        DWORD result;
        std::u16string text;
    };
    static Read read(const char16_t* section, const char16_t* key, const char16_t* path = ini, DWORD bytes = 2 * MAX_PATH)
    {
        WCHAR buffer[MAX_PATH];
        DWORD result = GetRegProfileString(section, key, u"none", buffer, bytes, path);
        return { result, buffer };
    }

    size_t flushes() { return device->component<kivo::Registry>().flush_count(); }
};

} // namespace

TEST_F(RegistryProfileTest, AFirstReadMirrorsTheSectionAndLaterReadsTrustTheRegistry)
{
    auto first = read(u"COM", u"DUNCOM");
    EXPECT_EQ(first.result, 10u); // "COM3" and its terminating zero
    EXPECT_EQ(first.text, u"COM3");
    EXPECT_EQ(registry_text(std::u16string(mirror) + u"\\COM", u"BAUD"), u"115200");

    write_file(ini, "[COM]\r\nDUNCOM=COM9\r\n");
    EXPECT_EQ(read(u"COM", u"DUNCOM").text, u"COM3");
    // The path is matched without regard to case.
    EXPECT_EQ(read(u"COM", u"DUNCOM", u"\\nand\\APP\\bt\\MOBILE_SETTING.INI").text, u"COM3");
    // A key the section lacks gives the default; the file is not asked again.
    EXPECT_EQ(read(u"COM", u"Parity").result, 0u);
    EXPECT_EQ(read(u"COM", u"Parity").text, u"none");
}

TEST_F(RegistryProfileTest, DefaultsComeBackForWhatIsMissingTooLongOrDoesNotFit)
{
    write_file(ini, "[COM]\nDUNCOM=COM3\nLong=" + std::string(200, 'x') + "\n");
    struct Case {
        const char16_t* section;
        const char16_t* key;
        DWORD bytes;
        DWORD result;
        const char16_t* text;
    };
    const Case cases[] = {
        { u"COM", u"DUNCOM", 520, 10, u"COM3" },
        { u"COM", u"Long", 520, 0, u"none" }, // 402 bytes with its zero
        { u"COM", u"DUNCOM", 8, 0, u"non" },  // no room for the value; the default is cut to fit
        { u"Nowhere", u"DUNCOM", 520, 0, u"none" },
    };
    for (auto& c : cases) {
        auto got = read(c.section, c.key, ini, c.bytes);
        EXPECT_EQ(got.result, c.result) << kivo::to_utf8(c.key) << " " << c.bytes;
        EXPECT_EQ(got.text, c.text) << kivo::to_utf8(c.key) << " " << c.bytes;
    }
    // The caller's room is never passed, even by a default longer than it.
    WCHAR small[4] = { u'a', u'b', u'c', u'd' };
    GetRegProfileString(u"COM", u"Missing", u"a much longer default", small, 6, ini);
    EXPECT_EQ(std::u16string(small), u"a ");
    EXPECT_EQ(small[3], u'd');
}

TEST_F(RegistryProfileTest, AnIniFileElsewhereIsReadAndWrittenDirectly)
{
    write_file(u"\\NAND\\other.ini", "[COM]\nDUNCOM=COM5\n");
    EXPECT_EQ(read(u"COM", u"DUNCOM", u"\\NAND\\other.ini").result, 1u);
    EXPECT_EQ(read(u"COM", u"DUNCOM", u"\\NAND\\other.ini").text, u"COM5");
    EXPECT_EQ(WriteRegProfileString(u"COM", u"DUNCOM", u"COM6", u"\\NAND\\other.ini"), 1);
    EXPECT_EQ(GetRegProfileInt(u"COM", u"Missing", 77, u"\\NAND\\other.ini"), 77);
    EXPECT_EQ(read_file(u"\\NAND\\other.ini"), " [COM]\r\n DUNCOM=COM6\r\n");
    EXPECT_FALSE(key_exists(u"Software\\ZOLSOFT"));
}

TEST_F(RegistryProfileTest, AFirstWriteKeepsTheSectionsOtherValuesReadable)
{
    EXPECT_EQ(WriteRegProfileString(u"COM", u"DUNCOM", u"COM7", ini), 1);
    EXPECT_EQ(read(u"COM", u"DUNCOM").text, u"COM7");
    EXPECT_EQ(read(u"COM", u"BAUD").text, u"115200");
    // The INI file itself is never written.
    EXPECT_EQ(read_file(ini), "; phone link\n[COM]\nDUNCOM=COM3\nBAUD=115200\n[mobile]\nShowUI=2\nName=Car\n");
}

TEST_F(RegistryProfileTest, MirroringAnotherSectionNeverOverwritesWrittenValues)
{
    EXPECT_EQ(WriteRegProfileString(u"mobile", u"ShowUI", u"0", ini), 1);
    EXPECT_EQ(read(u"COM", u"DUNCOM").text, u"COM3");
    EXPECT_EQ(GetRegProfileInt(u"mobile", u"ShowUI", 9, ini), 0);
    EXPECT_EQ(read(u"mobile", u"Name").text, u"Car");
}

TEST_F(RegistryProfileTest, NumbersAreTheTextsLeadingDecimalNumber)
{
    WriteRegProfileString(u"COM", u"Mixed", u"12abc", ini);
    WriteRegProfileString(u"COM", u"Letters", u"abc", ini);
    WriteRegProfileString(u"COM", u"Negative", u"-3", ini);
    EXPECT_EQ(GetRegProfileInt(u"COM", u"Mixed", 5, ini), 12);
    EXPECT_EQ(GetRegProfileInt(u"COM", u"Letters", 5, ini), 0);
    EXPECT_EQ(GetRegProfileInt(u"COM", u"Negative", 5, ini), -3);
    EXPECT_EQ(GetRegProfileInt(u"COM", u"Missing", 5, ini), 5);
}

TEST_F(RegistryProfileTest, WritesAreFlushedUnlessFlushKeySaysZeroAndAFailedFlushFailsTheWrite)
{
    const DWORD zero = 0;
    const char16_t text[] = u"0";
    struct Case {
        const char* name;
        std::function<void()> setup;
        bool flushed;
    };
    const Case cases[] = {
        { "no value", [] {}, true },
        { "a string", [&] { set_flush_key(REG_SZ, text, sizeof(text)); }, true },
        { "zero", [&] { set_flush_key(REG_DWORD, &zero, sizeof(zero)); }, false },
    };
    // A folder in the registry file's place keeps a flush from writing it.
    const auto registry_file = device->component<kivo::Registry>().file_path();
    int program = 0;
    for (auto& c : cases) {
        c.setup();
        size_t before = flushes();
        size_t after_second = 0;
        int unflushable = -1;
        run_in_process(u"\\NAND\\App\\writer" + kivo::to_utf16(std::to_string(program++)) + u".exe", [&] {
            WriteRegProfileString(u"COM", u"DUNCOM", u"COM4", ini);
            // The policy was read with the first write and is kept.
            const DWORD one = 1;
            set_flush_key(REG_DWORD, &one, sizeof(one));
            WriteRegProfileString(u"COM", u"DUNCOM", u"COM5", ini);
            after_second = flushes();
            std::filesystem::remove(registry_file);
            std::filesystem::create_directory(registry_file);
            unflushable = WriteRegProfileString(u"COM", u"DUNCOM", u"COM6", ini);
            std::filesystem::remove(registry_file);
        });
        EXPECT_EQ(after_second - before, c.flushed ? 2u : 0u) << c.name;
        EXPECT_EQ(unflushable, c.flushed ? 0 : 1) << c.name << ": a write that was not flushed as asked fails";
        HKEY key = nullptr;
        RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\ZOLSOFT", 0, KEY_WRITE, &key);
        RegDeleteValue(key, u"FlushKey");
        RegCloseKey(key);
    }
}

TEST_F(RegistryProfileTest, TheRootCanBeMovedPerProcessAndBroughtBack)
{
    EXPECT_EQ(SetRegProfileKeyName(u"Software\\%s", u"Test"), 13);
    EXPECT_EQ(read(u"COM", u"DUNCOM").text, u"COM3");
    EXPECT_EQ(registry_text(u"Software\\Test\\mobile_setting.ini\\COM", u"DUNCOM"), u"COM3");
    EXPECT_FALSE(key_exists(mirror));
    EXPECT_EQ(SetRegProfileKeyName(u""), 0);
    EXPECT_EQ(read(u"mobile", u"Name").text, u"Car");
    EXPECT_EQ(registry_text(std::u16string(mirror) + u"\\mobile", u"Name"), u"Car");
}

TEST_F(RegistryProfileTest, SectionsAndWholeFilesAreCopiedOnRequest)
{
    EXPECT_EQ(CreateRegProfileSection(u"mobile", ini), 1);
    EXPECT_EQ(registry_text(std::u16string(mirror) + u"\\mobile", u"ShowUI"), u"2");
    EXPECT_FALSE(key_exists(std::u16string(mirror) + u"\\COM"));
    EXPECT_EQ(CreateRegProfileSection(u"mobile", u"\\NAND\\other.ini"), 0);

    EXPECT_EQ(LoadIniFile2Reg(ini, u"Software\\Copy"), 1);
    EXPECT_EQ(registry_text(u"Software\\Copy\\COM", u"BAUD"), u"115200");
    EXPECT_EQ(registry_text(u"Software\\Copy\\mobile", u"Name"), u"Car");
    EXPECT_EQ(LoadIniFile2Reg(u"\\NAND\\App\\BT\\missing.ini", u"Software\\None"), 0);
    EXPECT_FALSE(key_exists(u"Software\\None"));
}

TEST_F(RegistryProfileTest, PrivateProfilesReadAndWriteTheFileWithinTheCallersRoom)
{
    const char16_t* path = u"\\NAND\\device.ini";
    write_file(path, "[Main]\nName=" + std::string("\xB9\x71\xB8\xDC") + "\nCount=42x\nEmpty=\n");
    WCHAR buffer[8];
    EXPECT_EQ(GetPrivateProfileString(u"MAIN", u"name", u"none", buffer, sizeof(buffer), path), 1u);
    EXPECT_EQ(std::u16string(buffer), u"電話");
    EXPECT_EQ(GetPrivateProfileString(u"Main", u"Empty", u"none", buffer, sizeof(buffer), path), 0u);
    EXPECT_EQ(std::u16string(buffer), u"none");
    // Sizes are in bytes: three characters and the zero fit in 8 bytes, a longer value does not.
    WCHAR small[4] = {};
    EXPECT_EQ(GetPrivateProfileString(u"Main", u"Count", u"a longer default", small, sizeof(small), path), 1u);
    EXPECT_EQ(std::u16string(small), u"42x");
    EXPECT_EQ(GetPrivateProfileString(u"Main", u"Count", u"a longer default", small, 6, path), 0u);
    EXPECT_EQ(std::u16string(small), u"a ");
    EXPECT_EQ(GetPrivateProfileInt(u"Main", u"Count", 3, path), 42);
    EXPECT_EQ(GetPrivateProfileInt(u"Main", u"Missing", 3, path), 3);

    EXPECT_EQ(WritePrivateProfileString(u"Main", u"Count", u"7", path), 1);
    EXPECT_EQ(GetPrivateProfileInt(u"Main", u"Count", 3, path), 7);
    EXPECT_EQ(WritePrivateProfileString(u"Main", u"Count", u"7", u"\\NAND\\absent.ini"), 0);
    EXPECT_EQ(GetFileAttributes(u"\\NAND\\absent.ini"), INVALID_FILE_ATTRIBUTES);
}
