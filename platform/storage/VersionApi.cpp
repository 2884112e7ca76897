#include "VersionApi.h"

#include "Device.h"
#include "FileSystem.h"
#include "KernelApi.h"
#include "ProgramImages.h"
#include "WideCrt.h"

#include <cstring>

using namespace kivo;

namespace {

// The resource as the device's files carry it: the root block "VS_VERSION_INFO" whose value is
// the fixed part. The programs read only that part; no string tables are kept.
struct VersionBlock {
    WORD wLength;
    WORD wValueLength;
    WORD wType;
    WCHAR szKey[16];
    WORD wPadding;
    VS_FIXEDFILEINFO Value;
};
static_assert(sizeof(VersionBlock) == 92);
static_assert(offsetof(VersionBlock, Value) == 40);

// 0 with the error, or the version of an existing file.
std::optional<ProgramImages::Version> version_of(LPCWSTR file_name, DWORD& error)
{
    auto& device = Device::current();
    DWORD attributes = 0;
    error = file_name ? device.component<FileSystem>().attributes_of(file_name, attributes) : ERROR_INVALID_PARAMETER;
    if (error)
        return std::nullopt;
    auto version = device.component<ProgramImages>().version_of(file_name);
    if (!version)
        error = ERROR_RESOURCE_TYPE_NOT_FOUND;
    return version;
}

} // namespace

DWORD GetFileVersionInfoSize(LPCWSTR file_name, LPDWORD handle)
{
    if (handle)
        *handle = 0;
    DWORD error = 0;
    auto version = version_of(file_name, error);
    SetLastError(error);
    return version ? sizeof(VersionBlock) : 0;
}

BOOL GetFileVersionInfo(LPCWSTR file_name, DWORD, DWORD size, LPVOID data)
{
    DWORD error = 0;
    auto version = version_of(file_name, error);
    if (version && (!data || size < sizeof(VersionBlock)))
        error = ERROR_INSUFFICIENT_BUFFER;
    SetLastError(error);
    if (error)
        return FALSE;
    VersionBlock block {};
    block.wLength = sizeof(VersionBlock);
    block.wValueLength = sizeof(VS_FIXEDFILEINFO);
    wcscpy(block.szKey, u"VS_VERSION_INFO");
    block.Value.dwSignature = VS_FFI_SIGNATURE;
    block.Value.dwStrucVersion = VS_FFI_STRUCVERSION;
    block.Value.dwFileVersionMS = MAKELONG(version->minor, version->major);
    block.Value.dwFileVersionLS = MAKELONG(version->revision, version->build);
    block.Value.dwProductVersionMS = block.Value.dwFileVersionMS;
    block.Value.dwProductVersionLS = block.Value.dwFileVersionLS;
    std::memcpy(data, &block, sizeof block);
    return TRUE;
}

BOOL VerQueryValue(LPCVOID data, LPCWSTR sub_block, LPVOID* buffer, UINT* length)
{
    auto* block = static_cast<const VersionBlock*>(data);
    if (!block || !sub_block || !buffer || block->wLength != sizeof(VersionBlock) || block->Value.dwSignature != VS_FFI_SIGNATURE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (wcscmp(sub_block, u"\\") != 0) {
        // FIXME: the string tables are not kept; no program reads them yet.
        Device::current().write_debug(u"VerQueryValue: only the root block is kept\r\n");
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    *buffer = const_cast<VS_FIXEDFILEINFO*>(&block->Value);
    if (length)
        *length = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}
