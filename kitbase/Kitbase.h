#pragma once

// Kitbase, the phone family's shared library: text conversion, path splitting and the wall clock,
// profile strings kept in INI files and mirrored in the registry, and named shared-memory blocks.
// Its exports are plain C names, so outside callers find them by name as well.

#include "platform.h"

#include <list>
#include <string>

#define KITBASE_API extern "C" __attribute__((visibility("default")))

// One parsed line of an INI text: a header gives an entry with an empty key and value.
struct IniEntry {
    std::u16string section;
    std::u16string key;
    std::u16string value;
};
using IniEntryList = std::list<IniEntry>;

// Text, paths and clock. The conversions answer a new copy that the caller deletes with delete[].
KITBASE_API char* WideChar2ANSI(const WCHAR* text);
KITBASE_API WCHAR* ANSI2WideChar(const char* text);
KITBASE_API void _wsplitpath(const WCHAR* path, WCHAR* drive, WCHAR* dir, WCHAR* fname, WCHAR* ext);
KITBASE_API void _wmakepath(WCHAR* path, const WCHAR* drive, const WCHAR* dir, const WCHAR* fname, const WCHAR* ext);
// Milliseconds since 1 January 1601 UTC, from the system time.
KITBASE_API ULONGLONG CE_clock();

// Profiles. INI files in the library's folder or below it are mirrored in the registry; others
// are read and written directly. Buffer sizes are in bytes.
KITBASE_API DWORD GetRegProfileString(const WCHAR* section, const WCHAR* key, const WCHAR* defaultText, WCHAR* buffer,
    DWORD bufferBytes, const WCHAR* iniPath);
KITBASE_API int GetRegProfileInt(const WCHAR* section, const WCHAR* key, int defaultValue, const WCHAR* iniPath);
KITBASE_API int WriteRegProfileString(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* iniPath);
KITBASE_API int CreateRegProfileSection(const WCHAR* section, const WCHAR* iniPath);
KITBASE_API int LoadIniFile2Reg(const WCHAR* iniPath, const WCHAR* fileKey);
// Parses an 8-bit INI text (which it changes) into the list, emptied first.
KITBASE_API void GetANSIIniFileInfo(char* text, IniEntryList& entries);
KITBASE_API int SetRegProfileKeyName(const WCHAR* format, ...);
KITBASE_API DWORD GetPrivateProfileString(const WCHAR* section, const WCHAR* key, const WCHAR* defaultText, WCHAR* buffer,
    DWORD size, const WCHAR* iniPath);
KITBASE_API int GetPrivateProfileInt(const WCHAR* section, const WCHAR* key, int defaultValue, const WCHAR* iniPath);
KITBASE_API int WritePrivateProfileString(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* iniPath);

// Shared-memory blocks: a data pointer, a mapping name (at least 25 characters of room) and a
// mapping handle that travel together. A heap block has an empty name and handle 0.
KITBASE_API void* AllocMemory(DWORD size, WCHAR* name, HANDLE* mapping);
KITBASE_API void* ReAllocMemory(void* block, DWORD oldSize, DWORD newSize, WCHAR* name, HANDLE* mapping);
KITBASE_API void FreeMemory(void* block, HANDLE* mapping, WCHAR* name);
