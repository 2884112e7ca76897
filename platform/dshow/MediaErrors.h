#pragma once

// The HRESULTs the media files answer, as the filter graph will answer them.
// FIXME: a stop-gap until COM's own result codes are in the layer; replace these by COM's header then.

#include "kernel/Types.h"

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
// The file is not one of the media formats the graph can read.
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = static_cast<HRESULT>(0x8004022F);

constexpr bool FAILED(HRESULT result) { return result < 0; }
constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }

// A Win32 error as an HRESULT of facility 7 (0 stays S_OK).
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error)
{
    return error == 0 ? S_OK : static_cast<HRESULT>((error & 0xFFFF) | (7u << 16) | 0x80000000u);
}
