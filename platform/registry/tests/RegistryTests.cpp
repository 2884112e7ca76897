#include "RegistryFixture.h"

#include "KernelApi.h"
#include "Process.h"

using namespace kivo;
using namespace kivo::test;

namespace {

const std::vector<uint8_t> multi_text = text_bytes(std::u16string_view(u"one\0two\0", 8), true);

} // namespace

TEST_F(RegistryFixture, RoundTripsThroughItsFileWithARecursiveDelete)
{
    const char16_t* section = u"Software\\ZOLSOFT\\Applicaton\\mobile_setting.ini\\COM";
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, section, u"DUNCOM", REG_SZ, text_bytes(u"COM7")), ERROR_SUCCESS);
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, section, u"Note", REG_SZ, text_bytes(u"a \"quoted\" C:\\path 電話")), ERROR_SUCCESS);
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, section, nullptr, REG_SZ, text_bytes(u"default")), ERROR_SUCCESS);
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"Software\\ZOLSOFT", u"FlushKey", REG_DWORD, dword_bytes(0x10002)), ERROR_SUCCESS);
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"Software\\ZOLSOFT", u"Blob", REG_BINARY, { 0, 0xFF, 0x10 }), ERROR_SUCCESS);
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"Software\\ZOLSOFT", u"List", REG_MULTI_SZ, multi_text), ERROR_SUCCESS);
    ASSERT_EQ(write_value(HKEY_CURRENT_USER, u"\\ControlPanel\\Volume", u"Screen", REG_DWORD, dword_bytes(0)), ERROR_SUCCESS);
    ASSERT_EQ(write_value(HKEY_CLASSES_ROOT, u"Empty\\Key", nullptr, REG_NONE, {}), ERROR_SUCCESS);
    HKEY empty_key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"CORVANE\\NoValues", 0, nullptr, 0, 0, nullptr, &empty_key, nullptr), ERROR_SUCCESS);
    RegCloseKey(empty_key);

    // The DirectShow key goes with its subkey; a handle still open to the subkey then fails.
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\DirectShow\\ThreadPriority", u"Video", REG_DWORD, dword_bytes(249)), ERROR_SUCCESS);
    HKEY priority = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"software\\microsoft\\directshow\\threadpriority", 0, 0, &priority), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\DirectShow"), ERROR_SUCCESS);
    DWORD size = 4;
    DWORD value = 0;
    EXPECT_EQ(RegQueryValueEx(priority, u"Video", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(priority), ERROR_SUCCESS);
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\DirectShow\\ThreadPriority", u"Video").result, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft", nullptr).result, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\DirectShow"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(registry().flush_count(), 1u);
    std::string text = file_text();
    EXPECT_EQ(text.rfind("REGEDIT4\r\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\ZOLSOFT\\Applicaton\\mobile_setting.ini\\COM]\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"DUNCOM\"=\"COM7\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"FlushKey\"=dword:00010002\r\n"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\ControlPanel\\Volume]"), std::string::npos);
    EXPECT_EQ(text.find("DirectShow"), std::string::npos);

    restart();
    struct Expected {
        HKEY root;
        const char16_t* path;
        const char16_t* name;
        DWORD type;
        std::vector<uint8_t> data;
    } expected[] = {
        { HKEY_LOCAL_MACHINE, section, u"duncom", REG_SZ, text_bytes(u"COM7") },
        { HKEY_LOCAL_MACHINE, section, u"Note", REG_SZ, text_bytes(u"a \"quoted\" C:\\path 電話") },
        { HKEY_LOCAL_MACHINE, section, u"", REG_SZ, text_bytes(u"default") },
        { HKEY_LOCAL_MACHINE, u"SOFTWARE\\zolsoft", u"FLUSHKEY", REG_DWORD, dword_bytes(0x10002) },
        { HKEY_LOCAL_MACHINE, u"Software\\ZOLSOFT", u"Blob", REG_BINARY, { 0, 0xFF, 0x10 } },
        { HKEY_LOCAL_MACHINE, u"Software\\ZOLSOFT", u"List", REG_MULTI_SZ, multi_text },
        { HKEY_CURRENT_USER, u"ControlPanel\\Volume", u"Screen", REG_DWORD, dword_bytes(0) },
        { HKEY_CLASSES_ROOT, u"Empty\\Key", nullptr, REG_NONE, {} },
    };
    for (auto& e : expected) {
        auto stored = read_value(e.root, e.path, e.name);
        EXPECT_EQ(stored.result, ERROR_SUCCESS) << to_utf8(e.path);
        EXPECT_EQ(stored.type, e.type) << to_utf8(e.path);
        EXPECT_EQ(stored.data, e.data) << to_utf8(e.path);
    }
    HKEY kept = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"CORVANE\\NoValues", 0, 0, &kept), ERROR_SUCCESS);
    RegCloseKey(kept);
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft", nullptr).result, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry().skipped_lines(), 0u);
}

TEST_F(RegistryFixture, OnlyAnOrderlyStopKeepsWhatWasNotFlushed)
{
    struct Case {
        StopReason reason;
        bool keeps_unflushed;
    } cases[] = {
        { StopReason::Reset, false },
        { StopReason::PowerOff, true },
        { StopReason::Destroyed, true },
    };
    for (auto& c : cases) {
        std::filesystem::remove(m_root / Registry::file_name);
        restart();
        ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"CORVANE", u"PRODUCTID", REG_SZ, text_bytes(u"flushed")), ERROR_SUCCESS);
        ASSERT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
        ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"CORVANE", u"Later", REG_DWORD, dword_bytes(7)), ERROR_SUCCESS);
        if (c.reason != StopReason::Destroyed)
            m_device->stop(c.reason);
        restart();
        EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, u"CORVANE", u"PRODUCTID").data, text_bytes(u"flushed"));
        EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, u"CORVANE", u"Later").result == ERROR_SUCCESS, c.keeps_unflushed)
            << static_cast<int>(c.reason);
    }
}

TEST_F(RegistryFixture, AResetFromAProgramLosesItsUnflushedWrite)
{
    m_device->programs().add(u"\\NAND\\App\\writer.exe", [](std::u16string_view) {
        write_value(HKEY_CURRENT_USER, u"\\ControlPanel\\Volume", u"Screen", REG_DWORD, dword_bytes(0x10002));
        SetSystemPowerState(nullptr, POWER_STATE_RESET, 0);
        return 0;
    });
    DWORD error = 0;
    ASSERT_TRUE(m_device->create_process(u"\\NAND\\App\\writer.exe", u"", error));
    m_device->run_until_idle();
    EXPECT_EQ(m_device->stop_reason(), StopReason::Reset);
    restart();
    EXPECT_EQ(read_value(HKEY_CURRENT_USER, u"ControlPanel\\Volume", u"Screen").result, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFixture, QueryingAValueTellsTypeAndSizeAndRefusesASmallBuffer)
{
    // A text given without its terminating zero is kept with one.
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"\\CORVANE", u"PRODUCTID", REG_SZ, text_bytes(u"GX-7", false)), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"corvane", 0, 0, &key), ERROR_SUCCESS);

    struct Case {
        const char* what;
        bool with_buffer;
        DWORD room;
        LONG result;
        DWORD size_after;
        bool copied;
    } cases[] = {
        { "size only", false, 0, ERROR_SUCCESS, 10, false },
        { "one byte short", true, 9, ERROR_MORE_DATA, 10, false },
        { "exact", true, 10, ERROR_SUCCESS, 10, true },
        { "roomy", true, 64, ERROR_SUCCESS, 10, true },
    };
    for (auto& c : cases) {
        std::vector<uint8_t> buffer(64, 0xEE);
        DWORD type = 0;
        DWORD size = c.room;
        EXPECT_EQ(RegQueryValueEx(key, u"ProductId", nullptr, &type, c.with_buffer ? buffer.data() : nullptr, &size), c.result) << c.what;
        EXPECT_EQ(type, REG_SZ) << c.what;
        EXPECT_EQ(size, c.size_after) << c.what;
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 10) == text_bytes(u"GX-7"), c.copied) << c.what;
    }
    BYTE byte = 0;
    EXPECT_EQ(RegQueryValueEx(key, u"ProductId", nullptr, nullptr, &byte, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueEx(key, u"Missing", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueEx(key, u"Odd", 0, REG_SZ, &byte, 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteValue(key, u"PRODUCTID"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key, u"PRODUCTID"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryFixture, EnumeratesKeysAndValuesInNameOrder)
{
    for (auto* name : { u"beta", u"Alpha", u"gamma" })
        ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, (std::u16string(u"List\\") + name).c_str(), u"v", REG_DWORD, dword_bytes(1)), ERROR_SUCCESS);
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"List", u"Zed", REG_DWORD, dword_bytes(26)), ERROR_SUCCESS);
    ASSERT_EQ(write_value(HKEY_LOCAL_MACHINE, u"List", u"ant", REG_BINARY, { 1, 2 }), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"LIST", 0, 0, &key), ERROR_SUCCESS);

    std::vector<std::u16string> keys;
    WCHAR name[16];
    for (DWORD index = 0;; ++index) {
        DWORD chars = 16;
        LONG result = RegEnumKeyEx(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(result, ERROR_SUCCESS);
        EXPECT_EQ(chars, std::u16string_view(name).size());
        keys.emplace_back(name);
    }
    EXPECT_EQ(keys, (std::vector<std::u16string> { u"Alpha", u"beta", u"gamma" }));
    DWORD chars = 5;
    EXPECT_EQ(RegEnumKeyEx(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

    std::vector<std::pair<std::u16string, DWORD>> values;
    for (DWORD index = 0;; ++index) {
        DWORD name_chars = 16;
        DWORD type = 0;
        BYTE data[8];
        DWORD size = sizeof data;
        LONG result = RegEnumValue(key, index, name, &name_chars, nullptr, &type, data, &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(result, ERROR_SUCCESS);
        values.emplace_back(name, type);
    }
    EXPECT_EQ(values, (std::vector<std::pair<std::u16string, DWORD>> { { u"ant", REG_BINARY }, { u"Zed", REG_DWORD } }));
    BYTE small[2];
    DWORD name_chars = 16;
    DWORD size = sizeof small;
    EXPECT_EQ(RegEnumValue(key, 1, name, &name_chars, nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    RegCloseKey(key);
}

TEST_F(RegistryFixture, RefusesClosedForeignAndMalformedKeys)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\A", 0, nullptr, 0, 0, nullptr, &key, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    HKEY again = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"\\SOFTWARE\\a\\", 0, nullptr, 0, 0, nullptr, &again, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(again);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueEx(key, u"x", 0, REG_DWORD, dword_bytes(1).data(), 4), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegFlushKey(key), ERROR_INVALID_HANDLE);

    HKEY opened_elsewhere = nullptr;
    m_device->programs().add(u"\\opener.exe", [&](std::u16string_view) {
        RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\A", 0, 0, &opened_elsewhere);
        Sleep(INFINITE);
        return 0;
    });
    DWORD error = 0;
    ASSERT_TRUE(m_device->create_process(u"\\opener.exe", u"", error));
    m_device->run_until_idle();
    ASSERT_NE(opened_elsewhere, nullptr);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(opened_elsewhere, u"x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);

    std::u16string too_long(256, u'k');
    struct Case {
        std::u16string sub_key;
        LONG result;
    } cases[] = {
        { too_long, ERROR_INVALID_PARAMETER },
        { u"Software\\line\nbreak", ERROR_INVALID_PARAMETER },
        // Any control character would be a key that the registry's file cannot give back.
        { u"Software\\tab\tkey", ERROR_INVALID_PARAMETER },
        { u"Software\\bell\x07", ERROR_INVALID_PARAMETER },
        { u"Software\\del\x7F", ERROR_INVALID_PARAMETER },
        { std::u16string(255, u'k'), ERROR_SUCCESS },
    };
    for (auto& c : cases) {
        HKEY made = nullptr;
        EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, c.sub_key.c_str(), 0, nullptr, 0, 0, nullptr, &made, nullptr), c.result);
        if (made)
            RegCloseKey(made);
    }
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, u"\\"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
}
