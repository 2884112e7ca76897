#include "KitbaseApp.h"

#include "Device.h"
#include "Process.h"

namespace {

kivo::ProcessLocal<CKitbaseApp> s_app;

} // namespace

CKitbaseApp::CKitbaseApp()
    : m_hInstance(kivo::Device::current().register_module(module_path))
{
    InitInstance();
}

CKitbaseApp& CKitbaseApp::current()
{
    return s_app.get();
}

BOOL CKitbaseApp::InitInstance()
{
    return TRUE;
}
