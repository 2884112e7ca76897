#pragma once

// Named shared memory: page-file mappings and their views.

#include "kernel/Errors.h"
#include "kernel/Types.h"

inline constexpr DWORD PAGE_READONLY = 0x02;
inline constexpr DWORD PAGE_READWRITE = 0x04;
inline constexpr DWORD SEC_COMMIT = 0x08000000;
inline constexpr DWORD FILE_MAP_WRITE = 0x0002;
inline constexpr DWORD FILE_MAP_READ = 0x0004;
inline constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

// Only mappings on no file (INVALID_HANDLE_VALUE) are kept; a name is one for all processes.
HANDLE CreateFileMapping(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protection, DWORD size_high, DWORD size_low, LPCWSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low, SIZE_T bytes);
BOOL UnmapViewOfFile(LPCVOID address);
