#pragma once

// Version resources of the device's program files.

#include "kernel/Errors.h"
#include "kernel/Types.h"

inline constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

DWORD GetFileVersionInfoSize(LPCWSTR file_name, LPDWORD handle);
BOOL GetFileVersionInfo(LPCWSTR file_name, DWORD handle, DWORD size, LPVOID data);
BOOL VerQueryValue(LPCVOID block, LPCWSTR sub_block, LPVOID* buffer, UINT* length);
