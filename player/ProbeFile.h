#pragma once

// Reading a media file by its handle, for the format probes: every read answers the bytes it
// actually got, since a read at the end of a file succeeds short.

#include "platform.h"

#include <cstdint>
#include <optional>

// The file's size, or none when the platform cannot tell it (the high part all ones).
std::optional<uint64_t> probe_file_size(HANDLE file);

// Reads up to `count` bytes at `offset` from the start; answers the bytes read, 0 on failure.
DWORD probe_read_at(HANDLE file, uint64_t offset, void* buffer, DWORD count);

inline uint32_t big_endian_16(const uint8_t* bytes) { return uint32_t(bytes[0]) << 8 | bytes[1]; }
inline uint32_t big_endian_32(const uint8_t* bytes) { return big_endian_16(bytes) << 16 | big_endian_16(bytes + 2); }
inline uint32_t little_endian_16(const uint8_t* bytes) { return uint32_t(bytes[1]) << 8 | bytes[0]; }
inline uint32_t little_endian_32(const uint8_t* bytes) { return little_endian_16(bytes + 2) << 16 | little_endian_16(bytes); }
