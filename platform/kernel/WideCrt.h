#pragma once

// The device's wide C run-time calls over UTF-16 text (WCHAR is char16_t here, so these are
// overloads beside the host's wchar_t ones, which the system never uses).

#include "Types.h"

// The host's declarations come first, so that the standard library's own uses of its wchar_t
// functions never see the overloads below.
#include <cstdarg>
#include <cstddef>
#include <cwchar>
#include <cwctype>
#include <string>

size_t wcslen(const WCHAR*);
WCHAR* wcscpy(WCHAR* destination, const WCHAR* source);
WCHAR* wcsncpy(WCHAR* destination, const WCHAR* source, size_t count);
WCHAR* wcscat(WCHAR* destination, const WCHAR* source);
WCHAR* wcsncat(WCHAR* destination, const WCHAR* source, size_t count);
int wcscmp(const WCHAR*, const WCHAR*);
int wcsncmp(const WCHAR*, const WCHAR*, size_t count);
int _wcsicmp(const WCHAR*, const WCHAR*);
int _wcsnicmp(const WCHAR*, const WCHAR*, size_t count);
const WCHAR* wcschr(const WCHAR*, WCHAR);
WCHAR* wcschr(WCHAR*, WCHAR);
const WCHAR* wcsrchr(const WCHAR*, WCHAR);
WCHAR* wcsrchr(WCHAR*, WCHAR);
const WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle);
WCHAR* wcsstr(WCHAR* haystack, const WCHAR* needle);
WCHAR* _wcsupr(WCHAR*);
WCHAR* _wcslwr(WCHAR*);
WCHAR towupper(WCHAR);
WCHAR towlower(WCHAR);
int iswdigit(WCHAR);
int iswspace(WCHAR);
int iswalpha(WCHAR);

int _wtoi(const WCHAR*);
long _wtol(const WCHAR*);
long wcstol(const WCHAR*, WCHAR** end, int base);
unsigned long wcstoul(const WCHAR*, WCHAR** end, int base);
WCHAR* _itow(int value, WCHAR* buffer, int radix);
WCHAR* _ltow(long value, WCHAR* buffer, int radix);

// The device's swprintf takes no buffer size, as its old run-time did; _snwprintf bounds the
// output and, like the device's, leaves it unterminated and answers -1 when it does not fit.
int swprintf(WCHAR* buffer, const WCHAR* format, ...);
int vswprintf(WCHAR* buffer, const WCHAR* format, va_list);
int _snwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...);
int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list);
int wsprintf(WCHAR* buffer, const WCHAR* format, ...);
