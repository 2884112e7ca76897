#include "MappingApi.h"

#include "Device.h"
#include "FileMappings.h"
#include "KernelApi.h"
#include "Process.h"
#include "SimThread.h"
#include "WideCrt.h"

using namespace kivo;

namespace {

FileMappings& mappings()
{
    return Device::current().component<FileMappings>();
}

HANDLE fail(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

} // namespace

HANDLE CreateFileMapping(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD, DWORD size_high, DWORD size_low, LPCWSTR name)
{
    auto& device = Device::current();
    if (file != INVALID_HANDLE_VALUE) {
        // FIXME: mappings of files are not kept; every program maps the page file.
        device.write_debug(u"CreateFileMapping: mappings of files are not supported\r\n");
        return fail(ERROR_NOT_SUPPORTED);
    }
    uint64_t size = (static_cast<uint64_t>(size_high) << 32) | size_low;
    if (size == 0)
        return fail(ERROR_INVALID_PARAMETER);
    if (DWORD error = mappings().create_failure())
        return fail(error);
    std::shared_ptr<KernelObject> object;
    bool existed = false;
    auto make = [size]() -> std::shared_ptr<KernelObject> { return std::make_shared<FileMapping>(static_cast<size_t>(size)); };
    if (name && *name) {
        if (wcslen(name) > MAX_PATH)
            return fail(ERROR_INVALID_PARAMETER);
        object = device.named_objects().find_or_create(name, make, existed);
        if (!std::dynamic_pointer_cast<FileMapping>(object))
            return fail(ERROR_INVALID_HANDLE);
    } else {
        object = make();
    }
    HANDLE handle = device.handles().insert(std::move(object), SimThread::current()->process());
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

LPVOID MapViewOfFile(HANDLE handle, DWORD, DWORD offset_high, DWORD offset_low, SIZE_T bytes)
{
    auto mapping = Device::current().handles().resolve_as<FileMapping>(handle, SimThread::current()->process());
    if (!mapping)
        return fail(ERROR_INVALID_HANDLE);
    DWORD error = 0;
    void* view = mappings().map(std::move(mapping), (static_cast<uint64_t>(offset_high) << 32) | offset_low, bytes, error);
    SetLastError(error);
    return view;
}

BOOL UnmapViewOfFile(LPCVOID address)
{
    DWORD error = mappings().unmap(address);
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}
