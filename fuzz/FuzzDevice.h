#pragma once

#include "Device.h"
#include "FileApi.h"
#include "KernelApi.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

// A device for targets whose code reaches the platform (files, code pages): made once by the
// fuzzing thread, which becomes its controller.
inline kivo::Device& fuzz_device()
{
    static std::unique_ptr<kivo::Device> device = [] {
        auto root = std::filesystem::temp_directory_path() / ("kivo-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        return std::make_unique<kivo::Device>(kivo::Device::Options { root, {}, false });
    }();
    return *device;
}

// Writes the input as a device file, as a program would find it on the card or the flash disk.
inline void write_fuzz_file(std::u16string_view path, const uint8_t* data, size_t size)
{
    std::u16string name(path);
    HANDLE file = CreateFile(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        std::abort();
    DWORD written = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written != size)
        std::abort();
    CloseHandle(file);
}

// Opens a device file for reading as the probes are handed it: shared for reading, existing.
inline HANDLE open_fuzz_file(std::u16string_view path)
{
    std::u16string name(path);
    HANDLE file = CreateFile(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        std::abort();
    return file;
}
