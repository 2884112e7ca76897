#include "ProbeFile.h"

std::optional<uint64_t> probe_file_size(HANDLE file)
{
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(file, &high);
    if (high == 0xFFFFFFFF || (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR))
        return std::nullopt;
    return uint64_t(high) << 32 | low;
}

DWORD probe_read_at(HANDLE file, uint64_t offset, void* buffer, DWORD count)
{
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return 0;
    DWORD read = 0;
    if (!ReadFile(file, buffer, count, &read, nullptr))
        return 0;
    return read;
}
