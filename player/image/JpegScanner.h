#pragma once

// Finds a JPEG's frame header and reads the picture's size and sample layout from it.

#include "platform.h"

#include <cstdint>

class JpegScanner {
public:
    JpegScanner(HANDLE file, uint64_t file_size);

    // S_OK with the fields below read, or E_FAIL when no frame header can be reached. `head`
    // holds the first bytes of the file (at least 16).
    HRESULT scan(const uint8_t* head);

    int32_t width = 0;
    int32_t height = 0;
    int32_t components = 3;
    int32_t precision = 8; // bits a sample

private:
    HRESULT walk_segments();

    HANDLE m_file;
    uint64_t m_file_size;
    uint64_t m_offset = 2;
};
