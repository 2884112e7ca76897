#include "KitbaseApp.h"

#include "program_services.h"

namespace {

kivo::ProcessLocal<CKitbaseApp> s_app;

} // namespace

CKitbaseApp::CKitbaseApp()
    : m_hInstance(kivo::register_module(module_path))
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
