#pragma once

#include "platform.h"

#include <cstdint>

// The first 16 bytes of every parameter file, little-endian: the signed-byte sum of the record,
// the record's length, and eight reserved zero bytes. The record follows, as it lies in memory.
struct ParmFileHeader {
    int32_t chkSum;
    int32_t dateBytes;
    uint8_t reserved[8];
};
static_assert(sizeof(ParmFileHeader) == 16);
