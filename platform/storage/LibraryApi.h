#pragma once

// Libraries loaded by name and their exports.

#include "kernel/Errors.h"
#include "kernel/Types.h"

// The generic entry of an export; callers cast it to the export's own type.
using FARPROC = void (*)();

// A library's entry point, the export "DllMain" (extern "C"), if it has one: the loader calls it
// with DLL_PROCESS_ATTACH when a process first loads the library (false refuses the load, which
// fails with ERROR_DLL_INIT_FAILED) and with DLL_PROCESS_DETACH when that process lets it go (its
// last FreeLibrary, its end, or after a refused attach).
inline constexpr DWORD DLL_PROCESS_DETACH = 0;
inline constexpr DWORD DLL_PROCESS_ATTACH = 1;
inline constexpr DWORD ERROR_DLL_INIT_FAILED = 1114;
using PDLLMAIN = BOOL (*)(HINSTANCE, DWORD reason, LPVOID reserved);

HMODULE LoadLibrary(LPCWSTR file_name);
// The device looks exports up by wide name; the narrow form is the same lookup.
FARPROC GetProcAddress(HMODULE, LPCWSTR proc_name);
FARPROC GetProcAddress(HMODULE, LPCSTR proc_name);
BOOL FreeLibrary(HMODULE);
