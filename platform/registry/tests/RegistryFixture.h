#pragma once

#include "../../kernel/tests/TestDevice.h"

#include "Registry.h"
#include "RegistryApi.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace kivo::test {

// A device whose root survives it, so that a test can stop it and start it again over the same
// registry file.
class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_device = make_test_device();
        m_root = m_device->root();
    }

    void restart()
    {
        m_device.reset();
        m_device = std::make_unique<Device>(Device::Options { m_root, {}, false });
    }

    Registry& registry() { return m_device->component<Registry>(); }

    std::string file_text()
    {
        std::ifstream file(m_root / Registry::file_name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }

    void write_file(std::string_view text)
    {
        std::ofstream file(m_root / Registry::file_name, std::ios::binary | std::ios::trunc);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    std::unique_ptr<Device> m_device;
    std::filesystem::path m_root;
};

struct StoredValue {
    LONG result = ERROR_FILE_NOT_FOUND;
    DWORD type = 0;
    std::vector<uint8_t> data;
};

inline StoredValue read_value(HKEY root, const char16_t* path, const char16_t* name)
{
    StoredValue stored;
    HKEY key = nullptr;
    stored.result = RegOpenKeyEx(root, path, 0, KEY_READ, &key);
    if (stored.result != ERROR_SUCCESS)
        return stored;
    DWORD size = 0;
    stored.result = RegQueryValueEx(key, name, nullptr, &stored.type, nullptr, &size);
    if (stored.result == ERROR_SUCCESS) {
        stored.data.resize(size);
        stored.result = RegQueryValueEx(key, name, nullptr, nullptr, stored.data.data(), &size);
    }
    RegCloseKey(key);
    return stored;
}

inline LONG write_value(HKEY root, const char16_t* path, const char16_t* name, DWORD type, std::vector<uint8_t> data)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyEx(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegSetValueEx(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return result;
}

inline std::vector<uint8_t> text_bytes(std::u16string_view text, bool terminated = true)
{
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    if (terminated)
        bytes.insert(bytes.end(), { 0, 0 });
    return bytes;
}

inline std::vector<uint8_t> dword_bytes(DWORD value)
{
    return { uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24) };
}

} // namespace kivo::test
