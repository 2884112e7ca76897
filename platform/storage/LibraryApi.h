#pragma once

// Libraries loaded by name and their exports.

#include "kernel/Errors.h"
#include "kernel/Types.h"

// The generic entry of an export; callers cast it to the export's own type.
using FARPROC = void (*)();

HMODULE LoadLibrary(LPCWSTR file_name);
// The device looks exports up by wide name; the narrow form is the same lookup.
FARPROC GetProcAddress(HMODULE, LPCWSTR proc_name);
FARPROC GetProcAddress(HMODULE, LPCSTR proc_name);
BOOL FreeLibrary(HMODULE);
