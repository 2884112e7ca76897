#pragma once

// The registry calls, by the platform's names. One tree for the whole device; key and value names
// compare without regard to case. Every call answers its error code rather than setting the last
// error, as the platform does.

#include "kernel/Errors.h"
#include "kernel/Types.h"

using REGSAM = DWORD;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002)))

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Access masks are accepted and not enforced: the device's registry ignores them.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// A key that was deleted while a handle to it was still open.
inline constexpr DWORD ERROR_KEY_DELETED = 1018;

LONG RegCreateKeyEx(HKEY, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class, DWORD options, REGSAM,
    LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition);
LONG RegOpenKeyEx(HKEY, LPCWSTR sub_key, DWORD options, REGSAM, PHKEY result);
LONG RegCloseKey(HKEY);
LONG RegQueryValueEx(HKEY, LPCWSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD data_size);
LONG RegSetValueEx(HKEY, LPCWSTR value_name, DWORD reserved, DWORD type, const BYTE* data, DWORD data_size);
LONG RegDeleteValue(HKEY, LPCWSTR value_name);
// Deletes the key with everything below it, as the device does.
LONG RegDeleteKey(HKEY, LPCWSTR sub_key);
LONG RegEnumKeyEx(HKEY, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD reserved, LPWSTR key_class,
    LPDWORD class_chars, PFILETIME last_write);
LONG RegEnumValue(HKEY, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD reserved, LPDWORD type, LPBYTE data,
    LPDWORD data_size);
// Writes the whole registry to its file.
LONG RegFlushKey(HKEY);
