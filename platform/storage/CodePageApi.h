#pragma once

// Conversions between the device's code pages and its UTF-16 text.

#include "kernel/Errors.h"
#include "kernel/Types.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;
inline constexpr UINT CP_UTF8 = 65001;
inline constexpr DWORD MB_PRECOMPOSED = 0x1;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
inline constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wide_length);
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR text, int length, LPSTR narrow, int narrow_length,
    LPCSTR default_character, LPBOOL used_default);
UINT GetACP();
