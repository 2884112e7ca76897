#pragma once

// The device's run-time file calls. The wide ones take UTF-16 paths and keep UTF-16 text; the
// 8-bit fopen takes a path in the ANSI code page. Both open device paths; the FILE they give is
// a host FILE, so the host's fgets, fputs, fprintf, fread, fwrite, fseek and fclose serve it.

#include "kernel/Types.h"

#include <cstdarg>
#include <cstdio>

FILE* _wfopen(const WCHAR* path, const WCHAR* mode);
int fwprintf(FILE*, const WCHAR* format, ...);
int vfwprintf(FILE*, const WCHAR* format, va_list);
int fwscanf(FILE*, const WCHAR* format, ...);
WCHAR* fgetws(WCHAR* buffer, int count, FILE*);
int fputws(const WCHAR* text, FILE*);

// The device's fopen has the host's signature; the umbrella header maps the system's fopen calls
// to it (see platform.h).
FILE* kivo_fopen(const char* path, const char* mode);
