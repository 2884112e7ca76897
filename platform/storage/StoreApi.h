#pragma once

// The storage manager: stores (the flash disk, the memory card) and their partitions, as the
// settings and media programs enumerate, check, dismount, format and mount them.

#include "kernel/Errors.h"
#include "kernel/Types.h"

inline constexpr size_t DEVICENAMESIZE = 8;
inline constexpr size_t STORENAMESIZE = 32;
inline constexpr size_t PROFILENAMESIZE = 32;
inline constexpr size_t PARTITIONNAMESIZE = 32;
inline constexpr size_t FILESYSNAMESIZE = 32;
inline constexpr size_t VOLUMENAMESIZE = 64;

inline constexpr DWORD STORAGE_DEVICE_CLASS_BLOCK = 0x1;
inline constexpr DWORD STORAGE_DEVICE_FLAG_READWRITE = 0x1;
inline constexpr DWORD STORAGE_DEVICE_FLAG_READONLY = 0x2;

using SECTORNUM = ULONGLONG;

struct STORAGEDEVICEINFO {
    DWORD cbSize;
    WCHAR szProfile[PROFILENAMESIZE];
    DWORD dwDeviceClass;
    DWORD dwDeviceType;
    DWORD dwDeviceFlags;
};
static_assert(sizeof(STORAGEDEVICEINFO) == 80);

struct STOREINFO {
    DWORD cbSize;
    WCHAR szDeviceName[DEVICENAMESIZE];
    WCHAR szStoreName[STORENAMESIZE];
    DWORD dwDeviceClass;
    DWORD dwDeviceType;
    STORAGEDEVICEINFO sdi;
    DWORD dwDeviceFlags;
    SECTORNUM snNumSectors;
    DWORD dwBytesPerSector;
    SECTORNUM snFreeSectors;
    SECTORNUM snBiggestPartCreatable;
    FILETIME ftCreated;
    FILETIME ftLastModified;
    DWORD dwAttributes;
    DWORD dwPartitionCount;
    DWORD dwMountCount;
};
using PSTOREINFO = STOREINFO*;
static_assert(sizeof(STOREINFO) == 240);
static_assert(offsetof(STOREINFO, szStoreName) == 20);
static_assert(offsetof(STOREINFO, dwDeviceFlags) == 172);

struct PARTINFO {
    DWORD cbSize;
    WCHAR szPartitionName[PARTITIONNAMESIZE];
    WCHAR szFileSys[FILESYSNAMESIZE];
    WCHAR szVolumeName[VOLUMENAMESIZE];
    SECTORNUM snNumSectors;
    FILETIME ftCreated;
    FILETIME ftLastModified;
    DWORD dwAttributes;
    BYTE bPartType;
};
using PPARTINFO = PARTINFO*;
static_assert(sizeof(PARTINFO) == 296);
static_assert(offsetof(PARTINFO, bPartType) == 292);

HANDLE FindFirstStore(PSTOREINFO);
BOOL FindNextStore(HANDLE, PSTOREINFO);
BOOL FindCloseStore(HANDLE);
HANDLE OpenStore(LPCWSTR device_name);
BOOL GetStoreInfo(HANDLE store, PSTOREINFO);
HANDLE OpenPartition(HANDLE store, LPCWSTR partition_name);
BOOL GetPartitionInfo(HANDLE partition, PPARTINFO);
BOOL DismountPartition(HANDLE partition);
BOOL MountPartition(HANDLE partition);

// "FormatVolume" of "fatutil.dll", reached through LoadLibrary and GetProcAddress: the partition,
// then the disk information, the options and the progress and message callbacks (all optional).
// Answers 0 on success.
using PFN_FORMATVOLUME = DWORD (*)(HANDLE partition, void* disk_info, void* options, void* progress, void* message);
