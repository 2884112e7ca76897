#include "LibraryApi.h"

#include "Device.h"
#include "KernelApi.h"
#include "LibraryLoader.h"
#include "WideText.h"

using namespace kivo;

namespace {

LibraryLoader& loader()
{
    return Device::current().component<LibraryLoader>();
}

} // namespace

HMODULE LoadLibrary(LPCWSTR file_name)
{
    DWORD error = ERROR_INVALID_PARAMETER;
    HMODULE module = file_name ? loader().load(file_name, error) : nullptr;
    SetLastError(error);
    return module;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR proc_name)
{
    DWORD error = ERROR_INVALID_PARAMETER;
    void* address = proc_name ? loader().find_export(module, proc_name, error) : nullptr;
    SetLastError(error);
    return reinterpret_cast<FARPROC>(address);
}

FARPROC GetProcAddress(HMODULE module, LPCWSTR proc_name)
{
    if (!proc_name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return GetProcAddress(module, to_utf8(proc_name).c_str());
}

BOOL FreeLibrary(HMODULE module)
{
    DWORD error = loader().release(module);
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}
