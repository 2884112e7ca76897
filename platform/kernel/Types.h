#pragma once

// The device's basic types, with the widths the device gives them: records and files of the
// system keep their exact byte layouts through these.

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using BOOL = int32_t;
using BOOLEAN = uint8_t;
using HRESULT = int32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using DWORD64 = uint64_t;
using CHAR = char;
using UCHAR = unsigned char;
using WCHAR = char16_t;
using TCHAR = WCHAR;
using FLOAT = float;

using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using ULONG_PTR = uintptr_t;
using DWORD_PTR = uintptr_t;
using SIZE_T = size_t;

using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;

using PVOID = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPBYTE = BYTE*;
using PBYTE = BYTE*;
using LPDWORD = DWORD*;
using PDWORD = DWORD*;
using LPWORD = WORD*;
using LPLONG = LONG*;
using PLONG = LONG*;
using LPBOOL = BOOL*;
using LPINT = INT*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using PWSTR = WCHAR*;
using PCWSTR = const WCHAR*;
using LPTSTR = LPWSTR;
using LPCTSTR = LPCWSTR;

#ifndef TRUE
#    define TRUE 1
#endif
#ifndef FALSE
#    define FALSE 0
#endif
#ifndef NULL
#    define NULL nullptr
#endif

#define WINAPI
#define APIENTRY
#define CALLBACK
#define STDMETHODCALLTYPE
#define IN
#define OUT
#define OPTIONAL
#define CONST const

// Wide literals are UTF-16, as on the device.
#define TEXT(s) u##s
#define _T(s) u##s
#define _TEXT(s) u##s

#define MAX_PATH 260

// Handles are opaque values issued by the device; each kind is a distinct pointer type so that
// one cannot be passed for another, but none of them ever points at host memory.
using HANDLE = void*;
using PHANDLE = HANDLE*;
using LPHANDLE = HANDLE*;
#define KIVO_DECLARE_HANDLE(name) \
    struct name##__ {             \
        int unused;               \
    };                            \
    using name = name##__*
KIVO_DECLARE_HANDLE(HWND);
KIVO_DECLARE_HANDLE(HINSTANCE);
KIVO_DECLARE_HANDLE(HKEY);
KIVO_DECLARE_HANDLE(HDC);
KIVO_DECLARE_HANDLE(HBITMAP);
KIVO_DECLARE_HANDLE(HFONT);
KIVO_DECLARE_HANDLE(HBRUSH);
KIVO_DECLARE_HANDLE(HPEN);
KIVO_DECLARE_HANDLE(HRGN);
KIVO_DECLARE_HANDLE(HICON);
KIVO_DECLARE_HANDLE(HMENU);
KIVO_DECLARE_HANDLE(HRSRC);
KIVO_DECLARE_HANDLE(HPALETTE);
// Any drawing object converts to HGDIOBJ without a cast, as the platform's calls expect.
using HGDIOBJ = void*;
using HMODULE = HINSTANCE;
using HCURSOR = HICON;
using HGLOBAL = HANDLE;
using HLOCAL = HANDLE;
using PHKEY = HKEY*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

inline constexpr DWORD INFINITE = 0xFFFFFFFF;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using PSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;
using PFILETIME = FILETIME*;
static_assert(sizeof(FILETIME) == 8);

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;
using PSYSTEMTIME = SYSTEMTIME*;
static_assert(sizeof(SYSTEMTIME) == 16);

struct TIME_ZONE_INFORMATION {
    LONG Bias;
    WCHAR StandardName[32];
    SYSTEMTIME StandardDate;
    LONG StandardBias;
    WCHAR DaylightName[32];
    SYSTEMTIME DaylightDate;
    LONG DaylightBias;
};
using LPTIME_ZONE_INFORMATION = TIME_ZONE_INFORMATION*;
static_assert(sizeof(TIME_ZONE_INFORMATION) == 172);

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
};
using PULARGE_INTEGER = ULARGE_INTEGER*;
using PLARGE_INTEGER = LARGE_INTEGER*;

struct POINT {
    LONG x;
    LONG y;
};
using LPPOINT = POINT*;
struct SIZE {
    LONG cx;
    LONG cy;
};
using LPSIZE = SIZE*;
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;

inline constexpr WORD LOWORD(DWORD_PTR value) { return static_cast<WORD>(value & 0xFFFF); }
inline constexpr WORD HIWORD(DWORD_PTR value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
inline constexpr BYTE LOBYTE(DWORD_PTR value) { return static_cast<BYTE>(value & 0xFF); }
inline constexpr BYTE HIBYTE(DWORD_PTR value) { return static_cast<BYTE>((value >> 8) & 0xFF); }
inline constexpr DWORD MAKELONG(WORD low, WORD high) { return static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16); }
inline constexpr WORD MAKEWORD(BYTE low, BYTE high) { return static_cast<WORD>(low | (high << 8)); }

// A resource named by number rather than by text.
#define MAKEINTRESOURCE(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
