#include "ComApi.h"

#include "ComApartments.h"
#include "ComClassTable.h"
#include "kernel/Device.h"
#include "kernel/SimThread.h"

#include <cstdlib>

using namespace kivo;

namespace {

SimThread& self()
{
    Device::current();
    return *SimThread::current();
}

ComApartments& apartments()
{
    return Device::current().component<ComApartments>();
}

} // namespace

HRESULT CoInitializeEx(LPVOID reserved, DWORD co_init)
{
    if (reserved)
        return E_INVALIDARG;
    return apartments().initialize(self(), co_init);
}

HRESULT CoInitialize(LPVOID reserved)
{
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize()
{
    apartments().uninitialize(self());
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!apartments().may_create(self()))
        return CO_E_NOTINITIALIZED;
    // Every class of the device is an in-process server; asked for elsewhere, none is registered.
    if ((context & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    return Device::current().component<ComClassTable>().create(clsid, outer, iid, object);
}

LPVOID CoTaskMemAlloc(SIZE_T size)
{
    return std::malloc(size ? size : 1);
}

void CoTaskMemFree(LPVOID memory)
{
    std::free(memory);
}
