#pragma once

// The device's file calls, by the platform's names: files and stream drivers opened by name,
// folders, attributes, searches, free space and the memory status. Every path is a device path.

#include "kernel/Errors.h"
#include "kernel/Types.h"

inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
inline constexpr DWORD ERROR_DIRECTORY = 267;

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;

inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

inline constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
inline constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;

inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

struct WIN32_FIND_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};
using LPWIN32_FIND_DATA = WIN32_FIND_DATA*;
static_assert(sizeof(WIN32_FIND_DATA) == 560);

struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
    DWORD dwOID;
};
using LPBY_HANDLE_FILE_INFORMATION = BY_HANDLE_FILE_INFORMATION*;
static_assert(sizeof(BY_HANDLE_FILE_INFORMATION) == 56);

struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    DWORD dwTotalPhys;
    DWORD dwAvailPhys;
    DWORD dwTotalPageFile;
    DWORD dwAvailPageFile;
    DWORD dwTotalVirtual;
    DWORD dwAvailVirtual;
};
using LPMEMORYSTATUS = MEMORYSTATUS*;
static_assert(sizeof(MEMORYSTATUS) == 32);

HANDLE CreateFile(LPCWSTR file_name, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES, DWORD disposition,
    DWORD flags_and_attributes, HANDLE template_file);
BOOL ReadFile(HANDLE, LPVOID buffer, DWORD bytes_to_read, LPDWORD bytes_read, LPOVERLAPPED);
BOOL WriteFile(HANDLE, LPCVOID buffer, DWORD bytes_to_write, LPDWORD bytes_written, LPOVERLAPPED);
DWORD SetFilePointer(HANDLE, LONG distance, PLONG distance_high, DWORD method);
DWORD GetFileSize(HANDLE, LPDWORD size_high);
BOOL SetEndOfFile(HANDLE);
BOOL FlushFileBuffers(HANDLE);
BOOL GetFileInformationByHandle(HANDLE, LPBY_HANDLE_FILE_INFORMATION);
BOOL GetFileTime(HANDLE, LPFILETIME creation, LPFILETIME last_access, LPFILETIME last_write);

BOOL DeleteFile(LPCWSTR file_name);
// Fails when the new name exists.
BOOL MoveFile(LPCWSTR existing, LPCWSTR new_name);
// Replaces `destination` by `source` in one step: the source takes the destination's name.
BOOL DeleteAndRenameFile(LPCWSTR destination, LPCWSTR source);
BOOL CopyFile(LPCWSTR existing, LPCWSTR new_name, BOOL fail_if_exists);
BOOL CreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES);
BOOL RemoveDirectory(LPCWSTR path);
DWORD GetFileAttributes(LPCWSTR file_name);
BOOL SetFileAttributes(LPCWSTR file_name, DWORD attributes);

HANDLE FindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATA);
BOOL FindNextFile(HANDLE, LPWIN32_FIND_DATA);
BOOL FindClose(HANDLE);

BOOL GetDiskFreeSpaceEx(LPCWSTR directory, PULARGE_INTEGER free_to_caller, PULARGE_INTEGER total, PULARGE_INTEGER total_free);
void GlobalMemoryStatus(LPMEMORYSTATUS);
