#pragma once

#include "FuzzDevice.h"
#include "StoredFiles.h"

#include <cstdint>
#include <string>

// The stored files' loaders read what lies on the card and the flash disk: any bytes must load
// without reading past the file or the buffer. The seeds are written for this IMEI.
inline constexpr const char16_t* fuzz_imei = u"356938035643809";

// The device, the folders and the owner, made once; then the input as the file at `path`.
inline void write_stored_fuzz_file(const std::u16string& path, const uint8_t* data, size_t size)
{
    static bool ready = [] {
        fuzz_device();
        std::u16string folder;
        GetStorageCardFolder(&folder);
        CreateDirectory(u"\\NAND\\My Documents", nullptr);
        SetCurrentIMEI(fuzz_imei);
        return true;
    }();
    (void)ready;
    write_fuzz_file(path, data, size);
}
