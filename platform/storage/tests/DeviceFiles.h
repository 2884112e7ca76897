#pragma once

#include "FileApi.h"
#include "KernelApi.h"

#include <optional>
#include <string>
#include <string_view>

namespace kivo::test {

// Creates (or replaces) a device file with the given bytes through the device's own calls;
// answers the error, 0 on success.
inline DWORD write_device_file(std::u16string_view path, std::string_view bytes)
{
    HANDLE file = CreateFile(std::u16string(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    DWORD error = ok ? 0 : GetLastError();
    CloseHandle(file);
    if (!error && written != bytes.size())
        error = ERROR_DISK_FULL;
    return error;
}

// A device file's bytes, or none when it cannot be opened.
inline std::optional<std::string> read_device_file(std::u16string_view path)
{
    HANDLE file = CreateFile(std::u16string(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

} // namespace kivo::test
